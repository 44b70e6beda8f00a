#pragma once
// Names below a repository's working folder, resolved one component at a
// time from the folder's descriptor without following symbolic links. The
// names come from trees, indexes and scripts, the links from those trees:
// a path "link/file" must never reach a file that `link` points at. The
// working folder itself is trusted as the repository opened it.
//
// Any thread; no state beyond the calls.
#include <sys/stat.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/GitConsole.h"

namespace GCore {

// lstat of `path` ('/'-separated, relative) below `workdir`, whose leading
// components must be real folders. 0 with `status` filled; else -1 with
// errno: ENOENT nothing there, ENOTDIR a leading component is a file,
// ELOOP a leading component is a symbolic link, EINVAL an empty, "." or
// ".." component.
int GitLstatBelow(const std::string& workdir, std::string_view path, struct stat& status);

// GitLstatBelow for many paths below one working folder. The folders of the
// last path stay open, so paths in an index's (sorted) order open only the
// folders where they part from the path before: one call per file where
// each path alone costs a descriptor per component.
class GitLstatCursor {
 public:
  explicit GitLstatCursor(std::string workdir) : workdir_(std::move(workdir)) {}
  ~GitLstatCursor();
  GitLstatCursor(const GitLstatCursor&) = delete;
  GitLstatCursor& operator=(const GitLstatCursor&) = delete;

  int Lstat(std::string_view path, struct stat& status);

  // Folders held open below the working folder, at most.
  static constexpr size_t kKeptFolders = 64;

 private:
  void CloseBelow(size_t depth);

  std::string workdir_;
  // The working folder's descriptor, then those of the folders below it on
  // the last path, whose names `names_` holds.
  std::vector<int> folders_;
  std::vector<std::string> names_;
};

// Before a forced checkout of `treeish`'s tree into the working folder:
// removes each symbolic link that stands where the tree has a folder, or a
// file that is not a link, unless HEAD's tree holds that link. The checkout
// replaces them in any case, but the library removes only the links it
// knows from HEAD's tree and writes through the others (one left untracked,
// say). False, with the library's error set, when a link cannot be removed
// or the tree cannot be read.
bool GitRemoveLinksInTheWay(git_repository* repository, const git_object* treeish);
// The same for the index's entries.
bool GitRemoveLinksInTheWay(git_repository* repository, git_index* index);

// False, with the library's error set, when `treeish`'s tree (or the index)
// names a path both as a file and as a folder: a tree with duplicate
// entries, which the git command line calls broken. Checked out, the file
// (a link) comes first and the folder's files are written through it.
bool GitHasNoFileFolderTwins(const git_object* treeish);
bool GitHasNoFileFolderTwins(git_index* index);

}  // namespace GCore
