// The console's "write-tree" and "commit": trees and commits from the index.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/PathBelow.h"
#include "net/GitConsole.h"
#include "net/GitIndexTrees.h"

namespace GCore {

namespace {

// Larger index files are not read for their cached trees.
constexpr size_t kMaxIndexFileSize = size_t{1} << 30;

// The entry's path below the prefix folder, or null when the entry is not
// below it. "docs" holds docs/a.txt (as a.txt) but not docs2/b.txt.
const char* PathBelow(const char* path, const std::string& prefix) {
  if (std::strncmp(path, prefix.c_str(), prefix.size()) != 0) return nullptr;
  const char* rest = path + prefix.size();
  if (prefix.back() != '/') {
    if (*rest != '/') return nullptr;
    ++rest;
  }
  return *rest ? rest : nullptr;
}

// A copy of the entries below the prefix, with their paths shortened.
GitPtr<git_index> SubtreeIndex(git_index* index, const std::string& prefix) {
  git_index* raw = nullptr;
  if (git_index_new(&raw) < 0) return nullptr;
  GitPtr<git_index> subtree(raw);
  const size_t count = git_index_entrycount(index);
  for (size_t i = 0; i < count; ++i) {
    git_index_entry entry = *git_index_get_byindex(index, i);
    entry.path = PathBelow(entry.path, prefix);
    if (entry.path && git_index_add(subtree.get(), &entry) < 0) return nullptr;
  }
  return subtree;
}

// Where the index file's entries end, if the file lays out the library's
// entries as git writes them; 0 for a version the reader does not know.
size_t EntriesEnd(git_index* index) {
  const unsigned version = git_index_version(index);
  if (version < 2 || version > 4) return 0;
  size_t end = kGitIndexHeaderSize;
  const char* previous = "";
  const size_t count = git_index_entrycount(index);
  for (size_t i = 0; i < count; ++i) {
    const git_index_entry* entry = git_index_get_byindex(index, i);
    const bool extended =
        (entry->flags & GIT_INDEX_ENTRY_EXTENDED) || (entry->flags_extended & GIT_INDEX_ENTRY_EXTENDED_FLAGS);
    end += GitIndexEntrySize(version, entry->path, extended, previous);
    previous = entry->path;
  }
  return end;
}

// The entries of the index that need no look-up: those below a folder whose
// cached tree is current and in the repository. Git looks no further below
// such a folder when it writes trees (it reuses the tree), so an object
// missing below it is reported by neither git nor the console. libgit2 keeps
// the cache to itself, so it is read from the index file; nothing is covered
// (every entry is looked at) when the file cannot be read or is not the
// index libgit2 holds: its checksum differs (the file changed since; the
// console opens the repository, and with it the index, afresh for each
// command, and every command that changes the index writes it), or a
// folder's entry count disagrees. git_index_checksum is deprecated without a
// replacement; losing it would mean checking every entry again.
// Only the bytes after the entries are read, from where the library's
// entries say they end: the whole file (a megabyte for 10,000 entries), read
// into fresh memory for every command, cost a third as much as the look-ups
// of an index without cached trees. A file laid out otherwise has no
// extensions at that place, and covers nothing.
std::vector<bool> EntriesBelowCachedTrees(git_odb* odb, git_index* index) {
  const char* path = git_index_path(index);
  const git_oid* checksum = git_index_checksum(index);
  // Paths sorted without regard to case do not keep a folder's entries together.
  if (!path || !checksum || (git_index_caps(index) & GIT_INDEX_CAPABILITY_IGNORE_CASE)) return {};
  const size_t count = git_index_entrycount(index);
  const size_t entriesEnd = EntriesEnd(index);
  if (entriesEnd == 0 || entriesEnd > kMaxIndexFileSize) return {};
  const FileDescriptor file = OpenRegularAt(AT_FDCWD, path, O_RDONLY);
  std::string tail;
  GitIndexTrees cache;
  if (!file.IsOpen() ||
      !ReadDescriptorFrom(file.Get(), static_cast<off_t>(entriesEnd), tail, kMaxIndexFileSize - entriesEnd) ||
      !ReadGitIndexTreesAfterEntries(tail, static_cast<uint32_t>(count), cache) ||
      std::memcmp(cache.checksum.data(), checksum->id, kGitIndexIdSize) != 0) {
    return {};
  }
  const auto exists = [odb](const GitIndexId& id) {
    git_oid tree;
    return git_oid_fromraw(&tree, id.data()) == 0 && git_odb_exists(odb, &tree);
  };
  std::vector<bool> covered(count);
  for (const size_t trusted : TrustedGitTrees(cache.trees, exists)) {
    const GitCachedTree& tree = cache.trees[trusted];
    size_t at = 0;
    if (!tree.path.empty() && git_index_find_prefix(&at, index, tree.path.c_str()) < 0) at = count;
    int64_t entries = 0;
    for (; at < count && std::strncmp(git_index_get_byindex(index, at)->path, tree.path.c_str(), tree.path.size()) == 0;
         ++at, ++entries) {
      if (covered[at]) return {};  // two cached folders of one path
      covered[at] = true;
    }
    if (entries != tree.entries) return {};
  }
  return covered;
}

// The first entry at or below the prefix folder (all with none) whose object
// is not in the repository, or null. Submodule entries name commits of other
// repositories and are not looked for.
const git_index_entry* FirstMissingObject(git_repository* repository, git_index* index, const std::string& prefix) {
  git_odb* raw = nullptr;
  if (git_repository_odb(&raw, repository) < 0) return nullptr;
  const GitPtr<git_odb> odb(raw);
  const std::vector<bool> covered = EntriesBelowCachedTrees(odb.get(), index);
  const size_t count = git_index_entrycount(index);
  for (size_t i = 0; i < count; ++i) {
    if (!covered.empty() && covered[i]) continue;
    const git_index_entry* entry = git_index_get_byindex(index, i);
    if (!prefix.empty() && !PathBelow(entry->path, prefix)) continue;
    if (entry->mode != GIT_FILEMODE_COMMIT && !git_odb_exists(odb.get(), &entry->id)) return entry;
  }
  return nullptr;
}

int CollectId(const git_oid* id, void* payload) {
  static_cast<std::vector<git_oid>*>(payload)->push_back(*id);
  return 0;
}

// The parents of a commit on HEAD: HEAD's commit and the heads of a merge in
// progress; none on an unborn branch. False when one cannot be read.
bool CommitParents(git_repository* repository, std::vector<GitPtr<git_commit>>& parents, size_t& mergeHeads) {
  git_oid head;
  const int resolved = git_reference_name_to_id(&head, repository, "HEAD");
  if (resolved == GIT_ENOTFOUND || resolved == GIT_EUNBORNBRANCH) return true;
  if (resolved < 0) return false;
  std::vector<git_oid> ids = {head};
  const int merging = git_repository_mergehead_foreach(repository, CollectId, &ids);
  if (merging < 0 && merging != GIT_ENOTFOUND) return false;
  mergeHeads = ids.size() - 1;
  for (const git_oid& id : ids) {
    git_commit* raw = nullptr;
    if (git_commit_lookup(&raw, repository, &id) < 0) return false;
    parents.emplace_back(raw);
  }
  return true;
}

// A committed merge is over: its heads must not become parents of the next
// commit as well.
void EndMerge(git_repository* repository) {
  const std::string folder = git_repository_path(repository);
  for (const char* name : {"MERGE_HEAD", "MERGE_MSG", "MERGE_MODE"}) unlink((folder + name).c_str());
}

}  // namespace

int GitWriteTree(git_repository* repository, int argc, const char* const* argv) {
  bool missingOk = false;
  std::string prefix;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--missing-ok") == 0) {
      missingOk = true;
    } else if (const char* value = GitOptionValue("--prefix", argc, argv, &i)) {
      prefix = value;
    } else {
      GitPrintErr(stderr, "Unknown option \"%s\"\n", argv[i]);
      return 1;
    }
  }

  git_index* raw = nullptr;
  if (git_repository_index(&raw, repository) < 0) return GitLibraryFailure();
  const GitPtr<git_index> index(raw);
  GitPtr<git_index> subtree;
  if (!prefix.empty() && !(subtree = SubtreeIndex(index.get(), prefix))) return GitLibraryFailure();
  git_index* source = subtree ? subtree.get() : index.get();

  if (!missingOk) {
    if (const git_index_entry* missing = FirstMissingObject(repository, index.get(), prefix)) {
      char id[GIT_OID_HEXSZ + 1];
      git_oid_tostr(id, sizeof id, &missing->id);
      const char* path = prefix.empty() ? missing->path : PathBelow(missing->path, prefix);
      GitPrintOut("error: invalid object %06o %s for '%s'\n", missing->mode, id, path);
      GitPrintOut("fatal: git-write-tree: error building trees\n");
      return 1;
    }
  }
  // The library's strict checks open and inflate every object the tree names
  // to learn its type, and refuse missing ones: as git, the console checks
  // only that they exist, above, and not with --missing-ok. Only the console
  // writes trees, one command at a time.
  git_libgit2_opts(GIT_OPT_ENABLE_STRICT_OBJECT_CREATION, 0);
  git_oid tree;
  const int written = git_index_write_tree_to(&tree, source, repository);
  git_libgit2_opts(GIT_OPT_ENABLE_STRICT_OBJECT_CREATION, 1);
  if (written < 0) return GitLibraryFailure();
  char id[GIT_OID_HEXSZ + 1];
  GitPrintOut("%s\n", git_oid_tostr(id, sizeof id, &tree));
  return 0;
}

int GitCommit(git_repository* repository, int argc, const char* const* argv) {
  const char* message = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-m") == 0) {
      if (i + 1 >= argc) {
        GitPrintErr(stderr, "Option -m misses argument\n");
        return 1;
      }
      message = argv[++i];
    } else if (argv[i][0] == '-') {
      GitPrintErr(stderr, "Unknown option \"%s\"\n", argv[i]);
      return 1;
    }
  }
  if (!message) {
    GitPrintErr(stderr, "A commit message is required (-m option)!\n");
    return 1;
  }

  std::vector<GitPtr<git_commit>> parents;
  size_t mergeHeads = 0;
  if (!CommitParents(repository, parents, mergeHeads)) return GitLibraryFailure();
  git_signature* rawAuthor = nullptr;
  if (GitAuthorSignature(&rawAuthor, repository) < 0) return GitLibraryFailure();
  const GitPtr<git_signature> author(rawAuthor);
  git_signature* rawCommitter = nullptr;
  if (GitCommitterSignature(&rawCommitter, repository) < 0) return GitLibraryFailure();
  const GitPtr<git_signature> committer(rawCommitter);

  git_index* rawIndex = nullptr;
  if (git_repository_index(&rawIndex, repository) < 0) return GitLibraryFailure();
  const GitPtr<git_index> index(rawIndex);
  if (git_index_entrycount(index.get()) == 0) {
    GitPrintErr(stderr, "Nothing to commit!\n");
    return 1;
  }
  git_oid treeId;
  git_tree* rawTree = nullptr;
  if (git_index_write_tree(&treeId, index.get()) < 0 || git_tree_lookup(&rawTree, repository, &treeId) < 0) {
    return GitLibraryFailure();
  }
  const GitPtr<git_tree> tree(rawTree);
  std::vector<const git_commit*> parentList;
  for (const GitPtr<git_commit>& parent : parents) parentList.push_back(parent.get());
  git_oid commit;
  if (git_commit_create(&commit, repository, "HEAD", author.get(), committer.get(), nullptr, message, tree.get(),
                        parentList.size(), parentList.data()) < 0) {
    return GitLibraryFailure();
  }
  if (mergeHeads > 0) EndMerge(repository);
  return 0;
}

}  // namespace GCore
