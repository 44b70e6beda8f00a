// The console's "update-index": index entries from the working folder's files,
// and from entry lines on the standard input (--index-info).
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "net/GitConsole.h"
#include "net/GitText.h"
#include "net/GitWorkFolder.h"

namespace GCore {

namespace {

struct UpdateOptions {
  bool add = false;      // paths not yet in the index may be added
  bool remove = false;   // paths missing from the working folder leave the index
  bool replace = false;  // a path may replace entries that stand in its way
  bool indexInfo = false;
  bool refresh = false;
};

struct OptionFlag {
  const char* name;
  bool UpdateOptions::*flag;
};
constexpr OptionFlag kOptions[] = {
    {"--add", &UpdateOptions::add},         {"--remove", &UpdateOptions::remove},
    {"--replace", &UpdateOptions::replace}, {"--index-info", &UpdateOptions::indexInfo},
    {"--refresh", &UpdateOptions::refresh},
};

bool SetOption(const char* argument, UpdateOptions& options) {
  for (const OptionFlag& option : kOptions) {
    if (std::strcmp(argument, option.name) == 0) {
      options.*option.flag = true;
      return true;
    }
  }
  return false;
}

int Unprocessable(const char* error, const char* path) {
  GitPrintOut(error, path);
  GitPrintOut("fatal: Unable to process path %s\n", path);
  return 1;
}

// The file at `path`, in the working folder where the library reads it (not
// in the process's current folder), found without following links: 0
// present, 1 missing, -1 beyond a symbolic link, where the library would
// read the file the link leads to, outside the repository, into the index.
// Without a working folder (no cursor) the path is the process's.
int FindWorkFile(GitLstatCursor* workdir, const char* path, struct stat& status) {
  if (!workdir) return stat(path, &status) == 0 ? 0 : 1;
  if (workdir->Lstat(path, status) == 0) return 0;
  return errno == ELOOP ? -1 : 1;
}

int BeyondLink(const char* path) { return Unprocessable("error: '%s' is beyond a symbolic link\n", path); }

// The mode an index entry takes for a file of this status: only regular
// files and links can match an entry without reading them.
uint32_t IndexMode(const struct stat& status) {
  if (S_ISLNK(status.st_mode)) return 0120000;
  if (S_ISREG(status.st_mode)) return (status.st_mode & S_IXUSR) ? 0100755 : 0100644;
  return 0;
}

bool NotOlder(const git_index_time& time, const struct timespec& than) {
  const auto seconds = static_cast<int32_t>(than.tv_sec);
  return time.seconds != seconds ? time.seconds > seconds
                                 : time.nanoseconds >= static_cast<uint32_t>(than.tv_nsec);
}

// An entry whose file has the status it recorded holds that file's contents,
// as git trusts it, unless the file could have changed within the same clock
// tick as the index was written (its time not older than the index file's):
// such an entry is read again. The index keeps 32 bits of each number.
bool StatusMatches(const git_index_entry& entry, const struct stat& status, const struct stat* indexFile) {
  if (!indexFile || NotOlder(entry.mtime, indexFile->st_mtim)) return false;
  return GIT_INDEX_ENTRY_STAGE(&entry) == 0 && entry.mode == IndexMode(status) &&
         entry.file_size == static_cast<uint32_t>(status.st_size) &&
         entry.ino == static_cast<uint32_t>(status.st_ino) && entry.uid == static_cast<uint32_t>(status.st_uid) &&
         entry.gid == static_cast<uint32_t>(status.st_gid) &&
         entry.mtime.seconds == static_cast<int32_t>(status.st_mtim.tv_sec) &&
         entry.mtime.nanoseconds == static_cast<uint32_t>(status.st_mtim.tv_nsec) &&
         entry.ctime.seconds == static_cast<int32_t>(status.st_ctim.tv_sec) &&
         entry.ctime.nanoseconds == static_cast<uint32_t>(status.st_ctim.tv_nsec);
}

// Only files whose status differs from their entry's are read and hashed;
// without a working folder every entry goes to the library as it did.
int RefreshAll(git_index* index, GitLstatCursor* workdir) {
  struct stat indexStatus;
  const char* indexPath = git_index_path(index);
  const bool indexKnown = indexPath && stat(indexPath, &indexStatus) == 0;
  std::vector<std::string> paths;
  const size_t count = git_index_entrycount(index);
  for (size_t i = 0; i < count; ++i) {
    const git_index_entry* entry = git_index_get_byindex(index, i);
    struct stat status;
    if (workdir && FindWorkFile(workdir, entry->path, status) == 0 &&
        StatusMatches(*entry, status, indexKnown ? &indexStatus : nullptr)) {
      continue;
    }
    paths.emplace_back(entry->path);
  }
  for (const std::string& path : paths) {
    struct stat status;
    if (FindWorkFile(workdir, path.c_str(), status) < 0) return BeyondLink(path.c_str());
    if (git_index_add_bypath(index, path.c_str()) < 0) return GitLibraryFailure();
  }
  return 0;
}

int UpdatePath(git_index* index, GitLstatCursor* workdir, const char* path, const UpdateOptions& options) {
  size_t position = 0;
  const bool inIndex = git_index_find(&position, index, path) == 0;
  struct stat status;
  const int found = FindWorkFile(workdir, path, status);
  if (found < 0) return BeyondLink(path);
  const bool present = found == 0;

  if (!inIndex && !options.add) {
    return Unprocessable("error: %s: cannot add to the index - missing --add option?\n", path);
  }
  if (!present) {
    if (!options.remove) return Unprocessable("error: %s: does not exists and --remove not passed\n", path);
    // A path that is in neither place has nothing to remove.
    if (inIndex && git_index_remove(index, path, 0) < 0) return GitLibraryFailure();
    return 0;
  }
  if (!S_ISDIR(status.st_mode) && git_index_find_prefix(&position, index, (std::string(path) + "/").c_str()) == 0) {
    if (!options.replace) {
      GitPrintErr(stderr, "File %s is contained as a directory in the index!\n", path);
      return 1;
    }
    if (git_index_remove_directory(index, path, 0) < 0) return GitLibraryFailure();
  }
  for (const char* slash = std::strchr(path, '/'); slash; slash = std::strchr(slash + 1, '/')) {
    const std::string leading(path, slash);
    if (!git_index_get_bypath(index, leading.c_str(), 0)) continue;
    if (!options.replace) {
      GitPrintErr(stderr, "The path %s extends a file in the index!\n", path);
      return 1;
    }
    if (git_index_remove(index, leading.c_str(), 0) < 0) return GitLibraryFailure();
  }
  if (git_index_add_bypath(index, path) < 0) return GitLibraryFailure();
  return 0;
}

int AddIndexInfoLine(git_index* index, std::string_view text) {
  IndexInfoLine line;
  if (!ParseIndexInfoLine(text, line)) return 0;
  git_index_entry entry = {};
  if (line.id.size() != GIT_OID_HEXSZ || git_oid_fromstrn(&entry.id, line.id.data(), line.id.size()) < 0) {
    GitPrintErr(stderr, "Invalid OID format!\n");
    return 1;
  }
  const std::string path(line.path);
  entry.mode = line.mode;
  entry.path = path.c_str();
  GIT_INDEX_ENTRY_STAGE_SET(&entry, line.stage);
  if (git_index_add(index, &entry) < 0) return GitLibraryFailure();
  return 0;
}

// Entry lines come from the standard input only while it has data at hand:
// its end, or nothing to read at once, ends the list. The worker never waits
// on a console nobody types into.
int ReadIndexInfo(git_index* index) {
  std::string pending;
  char chunk[4096];
  for (;;) {
    pollfd input = {STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0 || !(input.revents & POLLIN)) break;
    const ssize_t count = read(STDIN_FILENO, chunk, sizeof chunk);
    if (count <= 0) break;
    pending.append(chunk, static_cast<size_t>(count));
    for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      if (AddIndexInfoLine(index, std::string_view(pending).substr(0, end + 1)) != 0) return 1;
      pending.erase(0, end + 1);
    }
  }
  return AddIndexInfoLine(index, pending);
}

}  // namespace

int GitUpdateIndex(git_repository* repository, int argc, const char* const* argv) {
  UpdateOptions options;
  int first = 1;
  for (; first < argc; ++first) {
    const char* argument = argv[first];
    if (SetOption(argument, options)) continue;
    if (std::strcmp(argument, "--") == 0) {
      ++first;
      break;
    }
    if (argument[0] == '-') {
      GitPrintErr(stderr, "Unsupported option \"%s\"!\n", argument);
      return 1;
    }
    break;
  }

  git_index* raw = nullptr;
  if (git_repository_index(&raw, repository) < 0) return GitLibraryFailure();
  const GitPtr<git_index> index(raw);
  const char* workdir = git_repository_workdir(repository);
  std::unique_ptr<GitLstatCursor> below = workdir ? std::make_unique<GitLstatCursor>(workdir) : nullptr;
  if (options.refresh && RefreshAll(index.get(), below.get()) != 0) return 1;
  for (int i = first; i < argc; ++i) {
    if (UpdatePath(index.get(), below.get(), argv[i], options) != 0) return 1;
  }
  if (options.indexInfo && ReadIndexInfo(index.get()) != 0) return 1;
  if (git_index_write(index.get()) < 0) return GitLibraryFailure();
  return 0;
}

}  // namespace GCore
