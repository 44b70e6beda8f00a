// Repository mode: resources come straight out of the objects of a local git
// repository, from the tree of its master commit, without a checked-out tree.
#include <git2.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "base/Log.h"
#include "core/FileStream.h"
#include "core/GameIF.h"
#include "core/GitLibrary.h"
#include "core/GitRepositoryOpen.h"
#include "core/GitTreeMap.h"

namespace {

// Ordered: the remote's master is what a game ships; a local master serves a
// repository that was never fetched.
constexpr const char* kMasterRefs[] = {"refs/remotes/origin/master", "refs/heads/master"};

struct ObjectFree {
  void operator()(git_object* object) const { git_object_free(object); }
  void operator()(git_tree* tree) const { git_tree_free(tree); }
  void operator()(git_blob* blob) const { git_blob_free(blob); }
  void operator()(git_repository* repository) const { git_repository_free(repository); }
};
template <typename T>
using GitPtr = std::unique_ptr<T, ObjectFree>;

// Process-wide and never rebuilt: a later restart into another repository
// keeps serving the first one. The handle stays open for the whole run.
struct GitResources {
  git_repository* repository = nullptr;
  std::map<std::string, git_oid> treeMap;  // "/dir/file" -> blob id
};

GitResources& Resources() {
  static GitResources resources;
  return resources;
}

// Git stores modes loosely; only a plain regular file (100644) is a resource.
uint32_t NormaliseMode(uint32_t mode) {
  if ((mode & 0xF000) == 0x4000) return 0x4000;
  if (mode & 0111) return 0100755;
  if ((mode & 0xF000) == 0xE000) return 0xE000;
  if ((mode & 0xF000) == 0xA000) return 0xA000;
  return 0100644;
}

struct TreeWalk {
  git_repository* repository;
  std::map<std::string, git_oid>& map;
  size_t entriesLeft = GCore::kMaxGitTreeEntries;
  bool told = false;
};

void BuildGitTreeMap(TreeWalk& walk, const git_tree* tree, const std::string& prefix, int depth) {
  const size_t count = git_tree_entrycount(tree);
  for (size_t i = 0; i < count; ++i) {
    if (walk.entriesLeft == 0) {
      if (!walk.told) {
        GCore::LogPrintf("git tree of more than %zu entries: the rest is left out\n", GCore::kMaxGitTreeEntries);
      }
      walk.told = true;
      return;
    }
    --walk.entriesLeft;
    const git_tree_entry* entry = git_tree_entry_byindex(tree, i);
    const std::string path = prefix + "/" + git_tree_entry_name(entry);
    const uint32_t mode = NormaliseMode(git_tree_entry_filemode_raw(entry));
    if (mode == 0100644) {
      walk.map[path] = *git_tree_entry_id(entry);
    } else if (mode == 0x4000) {
      // Deeper trees are left out of the map rather than risking the stack.
      if (depth >= GCore::kMaxGitTreeDepth) {
        GCore::LogPrintf("git tree deeper than %d levels left out: %s\n", GCore::kMaxGitTreeDepth,
                         path.c_str());
        continue;
      }
      git_tree* raw = nullptr;
      if (git_tree_lookup(&raw, walk.repository, git_tree_entry_id(entry)) != 0) {
        GCore::LogPrintf("git tree missing: %s\n", path.c_str());
        continue;
      }
      GitPtr<git_tree> subtree(raw);
      BuildGitTreeMap(walk, subtree.get(), path, depth + 1);
    }
    // Executables, symbolic links and submodules cannot be opened as resources.
  }
}

bool FindMasterCommit(git_repository* repository, git_oid* commit) {
  // Resolved through the library so that packed references count as well.
  for (const char* ref : kMasterRefs) {
    if (git_reference_name_to_id(commit, repository, ref) == 0) return true;
  }
  return false;
}

}  // namespace

void GCore::MapGitTree(git_repository* repository, const git_tree* tree, std::map<std::string, git_oid>& map) {
  TreeWalk walk{repository, map};
  BuildGitTreeMap(walk, tree, "", 0);
}

bool OpenGitResources() {
  GitResources& resources = Resources();
  if (resources.repository) return true;
  if (!GCore::g_game || GCore::g_game->repositoryPath.empty()) return false;
  const std::string& path = GCore::g_game->repositoryPath;

  // Declared first: the objects below are freed before a failed open lets the
  // library go.
  GCore::GitLibraryUse library;
  if (!library.ok()) return false;
  GitPtr<git_repository> repository(GCore::OpenRepositoryOfAnyOwner(path.c_str()));
  git_oid commit;
  if (!repository || !FindMasterCommit(repository.get(), &commit)) return false;
  git_object* rawCommit = nullptr;
  if (git_object_lookup(&rawCommit, repository.get(), &commit, GIT_OBJECT_ANY) != 0) return false;
  GitPtr<git_object> commitObject(rawCommit);
  git_object* rawTree = nullptr;
  if (git_object_peel(&rawTree, commitObject.get(), GIT_OBJECT_TREE) != 0) return false;
  GitPtr<git_object> tree(rawTree);

  GCore::MapGitTree(repository.get(), reinterpret_cast<git_tree*>(tree.get()), resources.treeMap);
  // The open repository keeps the library for the rest of the run.
  resources.repository = repository.release();
  library.Keep();
  return true;
}

bool FileStream_Git::Open(const char* path, int /*flags*/) {
  Close();
  return OpenGitResources() && ReadGitBlob(path);
}

bool FileStream_Git::ReadGitBlob(const char* path) {
  GitResources& resources = Resources();
  const auto found = resources.treeMap.find(path);
  if (found == resources.treeMap.end()) return false;
  git_blob* raw = nullptr;
  if (git_blob_lookup(&raw, resources.repository, &found->second) != 0) {
    GCore::LogPrintf("git object of %s cannot be read\n", path);
    return false;
  }
  GitPtr<git_blob> blob(raw);
  const git_object_size_t size = git_blob_rawsize(blob.get());
  if (size > INT32_MAX) {
    GCore::LogPrintf("git object of %s is too large for a resource stream\n", path);
    return false;
  }
  const auto* content = static_cast<const uint8_t*>(git_blob_rawcontent(blob.get()));
  bytes_.assign(content, content + size);
  position_ = 0;
  return true;
}

void FileStream_Git::Close() {
  std::vector<uint8_t>().swap(bytes_);
  position_ = 0;
}

int32_t FileStream_Git::Size() { return static_cast<int32_t>(bytes_.size()); }

bool FileStream_Git::Read(void* buffer, size_t n) {
  if (position_ >= bytes_.size()) return false;
  const size_t count = std::min(n, bytes_.size() - position_);
  std::memcpy(buffer, bytes_.data() + position_, count);
  position_ += count;
  return true;
}

int FileStream_Git::Write(const void* /*buffer*/, size_t /*n*/) { return 0; }

bool FileStream_Git::Verify() { return HasDigestPrefix(bytes_.data(), bytes_.size()); }
