// The console's index commands: "add", "rm", "read-tree", "ls-files" and
// "checkout-index".
#include <dirent.h>
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "net/GitConsole.h"
#include "net/GitText.h"
#include "net/GitWorkFolder.h"

namespace GCore {

namespace {

int CountMatch(const char* /*path*/, const char* /*matchedSpec*/, void* payload) {
  ++*static_cast<size_t*>(payload);
  return 0;
}

// A list of path patterns as the library takes it.
class Pathspec {
 public:
  void Add(const char* spec) { specs_.emplace_back(spec); }
  bool Empty() const { return specs_.empty(); }
  git_strarray* Get() {
    pointers_.clear();
    for (std::string& spec : specs_) pointers_.push_back(spec.data());
    array_ = {pointers_.data(), pointers_.size()};
    return &array_;
  }

 private:
  std::vector<std::string> specs_;
  std::vector<char*> pointers_;
  git_strarray array_ = {};
};

GitPtr<git_index> RepositoryIndex(git_repository* repository) {
  git_index* raw = nullptr;
  if (git_repository_index(&raw, repository) < 0) CheckLibgitError();
  return GitPtr<git_index>(raw);
}

int AddAll(git_index* index, Pathspec& specs) {
  size_t matched = 0;
  return git_index_add_all(index, specs.Get(), GIT_INDEX_ADD_DEFAULT, CountMatch, &matched);
}

// The working folder's top-level entries that the ignore rules keep.
bool KeptTopLevelEntries(git_repository* repository, const char* workdir, Pathspec& out) {
  DIR* folder = opendir(workdir);
  if (!folder) return false;
  while (const dirent* entry = readdir(folder)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    int ignored = 0;
    if (git_ignore_path_is_ignored(&ignored, repository, entry->d_name) == 0 && !ignored) out.Add(entry->d_name);
  }
  closedir(folder);
  return true;
}

int RefuseUnplacedName(const char* root, const git_tree_entry* entry, void* /*payload*/) {
  const char* name = git_tree_entry_name(entry);
  if (*name && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0 && strcasecmp(name, ".git") != 0 &&
      !std::strchr(name, '/')) {
    return 0;
  }
  git_error_set(GIT_ERROR_INDEX, "invalid path: '%s%s'", root, name);
  return -1;
}

// The library refuses these names too, but loses memory on the way.
bool HasOnlyPlaceableNames(const git_tree* tree) {
  return git_tree_walk(tree, GIT_TREEWALK_PRE, RefuseUnplacedName, nullptr) == 0;
}

}  // namespace

int GitAdd(git_repository* repository, int argc, const char* const* argv) {
  if (argc < 2) {
    GitPrintErr(stderr, "USAGE: %s <paths>\n", argv[0]);
    return -1;
  }
  const char* workdir = git_repository_workdir(repository);
  if (!workdir) {
    GitPrintErr(stderr, "Couldn't determine workdir!\n");
    return 1;
  }
  const size_t workdirLength = std::strlen(workdir);
  Pathspec specs;
  bool wholeFolder = false;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') {
      GitPrintErr(stderr, "Unknown option \"%s\"\n", argv[i]);
      return 1;
    }
    std::string path = argv[i];
    if (path.empty() || path.back() != '/') path += '/';
    if (path.compare(0, workdirLength, workdir) != 0) {
      GitPrintErr(stderr, "%s is outside the Git repository\n", path.c_str());
      return 1;
    }
    if (path.size() == workdirLength) {
      wholeFolder = true;
    } else {
      specs.Add(path.c_str() + workdirLength);
    }
  }

  const GitPtr<git_index> index = RepositoryIndex(repository);
  if (!index) return 1;
  if (!specs.Empty() && AddAll(index.get(), specs) < 0) return GitLibraryFailure();
  if (wholeFolder) {
    Pathspec entries;
    if (!KeptTopLevelEntries(repository, workdir, entries)) {
      GitPrintErr(stderr, "Can browse root of repository!\n");
      return 1;
    }
    if (!entries.Empty() && AddAll(index.get(), entries) < 0) return GitLibraryFailure();
  }
  if (git_index_write(index.get()) < 0) return GitLibraryFailure();
  return 0;
}

int GitRm(git_repository* repository, int argc, const char* const* argv) {
  if (argc < 2) {
    GitPrintErr(stderr, "USAGE: %s <paths>\n", argv[0]);
    return -1;
  }
  Pathspec specs;
  for (int i = 1; i < argc; ++i) specs.Add(argv[i]);
  const GitPtr<git_index> index = RepositoryIndex(repository);
  if (!index) return 1;
  size_t matched = 0;
  if (git_index_remove_all(index.get(), specs.Get(), CountMatch, &matched) < 0 || git_index_write(index.get()) < 0) {
    return GitLibraryFailure();
  }
  return 0;
}

int GitReadTree(git_repository* repository, int argc, const char* const* argv) {
  if (argc < 2) {
    GitPrintErr(stderr, "USAGE: %s <treeish>\n", argv[0]);
    return -1;
  }
  const char* treeId = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') {
      GitPrintErr(stderr, "Unknown option \"%s\"\n", argv[i]);
    } else {
      treeId = argv[i];
    }
  }
  if (!treeId) {
    GitPrintErr(stderr, "No tree-ish given\n");
    return 1;
  }
  git_oid id;
  git_tree* rawTree = nullptr;
  if (git_oid_fromstr(&id, treeId) < 0 || git_tree_lookup(&rawTree, repository, &id) < 0) return GitLibraryFailure();
  const GitPtr<git_tree> tree(rawTree);
  const GitPtr<git_index> index = RepositoryIndex(repository);
  if (!index) return 1;
  if (!HasOnlyPlaceableNames(tree.get()) || git_index_clear(index.get()) < 0 ||
      git_index_read_tree(index.get(), tree.get()) < 0 ||
      git_index_write(index.get()) < 0) {
    return GitLibraryFailure();
  }
  return 0;
}

int GitLsFiles(git_repository* repository, int argc, const char* const* argv) {
  bool stageForm = false;
  const char* pattern = "*";
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument[0] != '-') {
      pattern = argument;
    } else if (std::strcmp(argument, "--stage") == 0 || std::strcmp(argument, "-s") == 0) {
      stageForm = true;
    } else if (std::strcmp(argument, "--cached") == 0 || std::strcmp(argument, "-c") == 0) {
      stageForm = false;
    } else {
      GitPrintErr(stderr, "Unknown option %s!\n", argument);
      return 1;
    }
  }
  const GitPtr<git_index> index = RepositoryIndex(repository);
  if (!index) return 1;
  const size_t count = git_index_entrycount(index.get());
  for (size_t i = 0; i < count; ++i) {
    const git_index_entry* entry = git_index_get_byindex(index.get(), i);
    if (!LsFilesPatternMatches(entry->path, pattern)) continue;
    std::string line;
    if (stageForm) {
      char id[GIT_OID_HEXSZ + 1];
      git_oid_tostr(id, sizeof id, &entry->id);
      char prefix[64];
      std::snprintf(prefix, sizeof prefix, "%06o %s %i\t", entry->mode, id, git_index_entry_stage(entry));
      line = prefix;
    }
    GitPrintPath(entry->path, &line);
    line += '\n';
    GitPrintOut("%s", line.c_str());
  }
  return 0;
}

int GitCheckoutIndex(git_repository* repository, int argc, const char* const* argv) {
  bool all = false;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '-') {
      GitPrintErr(stderr, "File arguments not supported!\n");
      return 1;
    }
    if (std::strcmp(argv[i], "--all") != 0) {
      GitPrintErr(stderr, "Unknown option \"%s\"\n", argv[i]);
      return 1;
    }
    all = true;
  }
  if (!all) {
    GitPrintErr(stderr, "Only --all is supported for now!\n");
    return 1;
  }
  git_checkout_options options = GIT_CHECKOUT_OPTIONS_INIT;
  options.checkout_strategy = GIT_CHECKOUT_FORCE | GIT_CHECKOUT_REMOVE_UNTRACKED;
  const GitPtr<git_index> index = RepositoryIndex(repository);
  if (!index) return 1;
  if (!GitHasNoFileFolderTwins(index.get()) || !GitRemoveLinksInTheWay(repository, index.get()) ||
      git_checkout_index(repository, index.get(), &options) < 0) {
    return GitLibraryFailure();
  }
  return 0;
}

}  // namespace GCore
