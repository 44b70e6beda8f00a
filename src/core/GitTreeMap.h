#pragma once
// The resource map of repository mode: every plain file (mode 100644) of a
// commit's tree by its path ("/dir/file"), with its blob id. The tree comes
// from the repository as it is: folders deeper than kMaxGitTreeDepth and
// entries past kMaxGitTreeEntries are left out (each logged once), so that
// a tree that shares one subtree many times over cannot make the walk run
// without end.
#include <cstddef>
#include <map>
#include <string>

struct git_oid;
struct git_repository;
struct git_tree;

namespace GCore {

constexpr int kMaxGitTreeDepth = 256;
// Entries walked in all, a shared subtree counted at every place it occurs.
constexpr size_t kMaxGitTreeEntries = size_t{1} << 20;

void MapGitTree(git_repository* repository, const git_tree* tree, std::map<std::string, git_oid>& map);

}  // namespace GCore
