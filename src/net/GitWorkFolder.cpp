#include "net/GitWorkFolder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace GCore {

namespace {

// A descriptor closed with its holder.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

// Opened only to name a folder in the *at calls: no read permission needed.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool IsPlainName(std::string_view name) { return !name.empty() && name != "." && name != ".."; }

// The folder `name` in `folder`; -1 with errno ELOOP where a link stands
// there, ENOTDIR a file, ENOENT nothing.
int OpenFolderAt(int folder, const std::string& name) {
  const int opened = openat(folder, name.c_str(), kFolderFlags);
  if (opened < 0) {
    // O_NOFOLLOW does not say whether a link or a file stood there.
    struct stat what;
    if (errno != ENOENT && fstatat(folder, name.c_str(), &what, AT_SYMLINK_NOFOLLOW) == 0) {
      errno = S_ISLNK(what.st_mode) ? ELOOP : ENOTDIR;
    }
  }
  return opened;
}

// Walks `path` below `workdir` one component at a time. `onFolder` sees each
// leading component (folder, its name) before the walk enters it and may
// stop the walk by answering false; `onLeaf` sees the last one. -1 with
// errno as GitLstatBelow says when the walk cannot go on.
template <typename OnFolder, typename OnLeaf>
int WalkFrom(Descriptor folder, std::string_view path, OnFolder onFolder, OnLeaf onLeaf) {
  if (folder.get() < 0) return -1;
  for (size_t start = 0;;) {
    const size_t slash = path.find('/', start);
    const std::string name(path.substr(start, slash == std::string_view::npos ? slash : slash - start));
    if (!IsPlainName(name)) {
      errno = EINVAL;
      return -1;
    }
    if (slash == std::string_view::npos) return onLeaf(folder.get(), name);
    if (!onFolder(folder.get(), name)) return -1;
    const int next = OpenFolderAt(folder.get(), name);
    if (next < 0) return -1;
    folder.reset(next);
    start = slash + 1;
  }
}

template <typename OnFolder, typename OnLeaf>
int WalkBelow(const std::string& workdir, std::string_view path, OnFolder onFolder, OnLeaf onLeaf) {
  return WalkFrom(Descriptor(open(workdir.c_str(), kFolderFlags)), path, onFolder, onLeaf);
}

int LstatAt(int folder, const std::string& name, struct stat& status) {
  return fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW);
}

bool IsLinkAt(int folder, const std::string& name) {
  struct stat what;
  return fstatat(folder, name.c_str(), &what, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(what.st_mode);
}

// Null when HEAD has no commit yet.
GitPtr<git_tree> HeadTree(git_repository* repository) {
  git_object* raw = nullptr;
  if (git_revparse_single(&raw, repository, "HEAD^{tree}") < 0) {
    git_error_clear();
    return nullptr;
  }
  return GitPtr<git_tree>(reinterpret_cast<git_tree*>(raw));
}

bool TreeHoldsLink(const git_tree* tree, const std::string& path) {
  git_tree_entry* entry = nullptr;
  if (!tree || git_tree_entry_bypath(&entry, tree, path.c_str()) < 0) {
    git_error_clear();
    return false;
  }
  const bool link = git_tree_entry_filemode(entry) == GIT_FILEMODE_LINK;
  git_tree_entry_free(entry);
  return link;
}

// A path the checkout is to write, and whether it writes a link there.
struct TargetPath {
  std::string path;
  bool link;
};

// Removes the links in the way of each target path: where it needs a folder,
// and at the path itself unless a link is written there. Links HEAD's tree
// holds are left to the library, which removes them itself (and fails when
// they are missing). Names the library refuses to check out (".git", "..")
// are left for it to refuse.
bool RemoveLinks(git_repository* repository, const std::vector<TargetPath>& targets) {
  const char* workdir = git_repository_workdir(repository);
  if (!workdir) return true;
  const GitPtr<git_tree> head = HeadTree(repository);
  for (const TargetPath& target : targets) {
    std::string walked;
    std::string failed;
    int failure = 0;
    // False when the walk has nothing further to look at.
    const auto clear = [&](int folder, const std::string& name, bool keepLink) {
      if (name == ".git") return false;
      walked += walked.empty() ? name : "/" + name;
      if (keepLink || !IsLinkAt(folder, name)) return true;
      if (TreeHoldsLink(head.get(), walked)) return false;
      if (unlinkat(folder, name.c_str(), 0) < 0) {
        failure = errno;
        failed = walked;
      }
      return false;
    };
    WalkBelow(
        workdir, target.path, [&](int folder, const std::string& name) { return clear(folder, name, false); },
        [&](int folder, const std::string& name) { return clear(folder, name, target.link) ? 0 : -1; });
    if (!failed.empty()) {
      git_error_set(GIT_ERROR_OS, "could not remove the symbolic link '%s' in the way of '%s': %s", failed.c_str(),
                    target.path.c_str(), std::strerror(failure));
      return false;
    }
  }
  return true;
}

int CollectBlob(const char* root, const git_tree_entry* entry, void* payload) {
  const git_filemode_t mode = git_tree_entry_filemode(entry);
  if (mode == GIT_FILEMODE_TREE) return 0;
  static_cast<std::vector<TargetPath>*>(payload)->push_back(
      {std::string(root) + git_tree_entry_name(entry), mode == GIT_FILEMODE_LINK});
  return 0;
}

}  // namespace

int GitLstatBelow(const std::string& workdir, std::string_view path, struct stat& status) {
  return GitLstatCursor(workdir).Lstat(path, status);
}

GitLstatCursor::~GitLstatCursor() {
  CloseBelow(0);
  if (!folders_.empty()) close(folders_.front());
}

void GitLstatCursor::CloseBelow(size_t depth) {
  for (; names_.size() > depth; names_.pop_back(), folders_.pop_back()) close(folders_.back());
}

int GitLstatCursor::Lstat(std::string_view path, struct stat& status) {
  if (folders_.empty()) {
    const int top = open(workdir_.c_str(), kFolderFlags);
    if (top < 0) return -1;
    folders_.push_back(top);
  }
  for (size_t start = 0, depth = 0;; ++depth) {
    const size_t slash = path.find('/', start);
    const std::string name(path.substr(start, slash == std::string_view::npos ? slash : slash - start));
    if (!IsPlainName(name)) {
      errno = EINVAL;
      return -1;
    }
    if (slash == std::string_view::npos) return LstatAt(folders_[depth], name, status);
    if (depth == kKeptFolders) {
      // A repository decides how deep its paths go: past this depth the
      // folders are opened one at a time, as a single lookup does, rather
      // than held open by the hundred.
      return WalkFrom(
          Descriptor(fcntl(folders_[depth], F_DUPFD_CLOEXEC, 0)), path.substr(start),
          [](int, const std::string&) { return true; },
          [&status](int folder, const std::string& leaf) { return LstatAt(folder, leaf, status); });
    }
    if (depth >= names_.size() || names_[depth] != name) {
      CloseBelow(depth);
      const int next = OpenFolderAt(folders_[depth], name);
      if (next < 0) return -1;
      folders_.push_back(next);
      names_.push_back(name);
    }
    start = slash + 1;
  }
}

bool GitRemoveLinksInTheWay(git_repository* repository, const git_object* treeish) {
  git_object* raw = nullptr;
  if (git_object_peel(&raw, treeish, GIT_OBJECT_TREE) < 0) return false;
  const GitPtr<git_object> tree(raw);
  std::vector<TargetPath> targets;
  if (git_tree_walk(reinterpret_cast<const git_tree*>(tree.get()), GIT_TREEWALK_PRE, CollectBlob, &targets) < 0) {
    return false;
  }
  return RemoveLinks(repository, targets);
}

bool GitRemoveLinksInTheWay(git_repository* repository, git_index* index) {
  std::vector<TargetPath> targets;
  const size_t count = git_index_entrycount(index);
  for (size_t i = 0; i < count; ++i) {
    const git_index_entry* entry = git_index_get_byindex(index, i);
    targets.push_back({entry->path, entry->mode == GIT_FILEMODE_LINK});
  }
  return RemoveLinks(repository, targets);
}

bool GitHasNoFileFolderTwins(const git_object* treeish) {
  git_object* raw = nullptr;
  if (git_object_peel(&raw, treeish, GIT_OBJECT_TREE) < 0) return false;
  const GitPtr<git_object> tree(raw);
  // Entries are sorted: twins stand next to each other in their tree.
  std::map<std::string, std::string> lastNameIn;
  auto visit = [&lastNameIn](const char* root, const git_tree_entry* entry) {
    std::string& last = lastNameIn[root];
    const char* name = git_tree_entry_name(entry);
    if (last == name) {
      git_error_set(GIT_ERROR_CHECKOUT, "refusing to check out '%s%s' both as a file and as a folder", root, name);
      return -1;
    }
    last = name;
    return 0;
  };
  using Visit = decltype(visit);
  return git_tree_walk(
             reinterpret_cast<const git_tree*>(tree.get()), GIT_TREEWALK_PRE,
             [](const char* root, const git_tree_entry* entry, void* payload) {
               return (*static_cast<Visit*>(payload))(root, entry);
             },
             &visit) == 0;
}

bool GitHasNoFileFolderTwins(git_index* index) {
  std::set<std::string_view> paths;
  const size_t count = git_index_entrycount(index);
  for (size_t i = 0; i < count; ++i) paths.insert(git_index_get_byindex(index, i)->path);
  for (const std::string_view path : paths) {
    for (size_t slash = path.find('/'); slash != std::string_view::npos; slash = path.find('/', slash + 1)) {
      if (paths.count(path.substr(0, slash))) {
        const std::string folder(path.substr(0, slash));
        git_error_set(GIT_ERROR_CHECKOUT, "refusing to check out '%s' both as a file and as a folder",
                      folder.c_str());
        return false;
      }
    }
  }
  return true;
}

}  // namespace GCore
