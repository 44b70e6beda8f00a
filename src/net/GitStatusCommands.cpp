// The console's working-folder commands: "status" and "diff-files".
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "net/GitConsole.h"
#include "net/GitInspectCommands.h"
#include "net/GitWorkFolder.h"

namespace GCore {

namespace {

enum StatusSection { kStaged, kUnstaged, kUntracked };

constexpr const char* kSectionHeaders[] = {
    "# Changes to be committed:\n#\n",
    "#\n# Changes not staged for commit:\n#\n",
    "#\n# Untracked files:\n#\n",
};

struct SectionState {
  StatusSection section;
  bool headerPrinted = false;
};

// Staged deletions and type changes have their own words, like the working
// folder's.
const char* StatusWord(unsigned flags) {
  if (flags & GIT_STATUS_INDEX_NEW) return "new file";
  if (flags & (GIT_STATUS_INDEX_MODIFIED | GIT_STATUS_WT_MODIFIED)) return "modified";
  if (flags & GIT_STATUS_WT_NEW) return "new file";
  if (flags & (GIT_STATUS_WT_TYPECHANGE | GIT_STATUS_INDEX_TYPECHANGE)) return "typechange";
  if (flags & (GIT_STATUS_WT_DELETED | GIT_STATUS_INDEX_DELETED)) return "deleted";
  return "unknown";
}

int GitStatusPrintEntry(const char* path, unsigned flags, void* payload) {
  auto& state = *static_cast<SectionState*>(payload);
  if (flags == 0) return 0;
  const bool untracked = (flags & GIT_STATUS_WT_NEW) != 0;
  if (untracked != (state.section == kUntracked)) return 0;
  if (!state.headerPrinted) {
    GitPrintOut("%s", kSectionHeaders[state.section]);
    state.headerPrinted = true;
  }
  if (untracked) {
    GitPrintOut("#       %s\n", path);
  } else {
    GitPrintOut("#       %s: %s\n", StatusWord(flags), path);
  }
  return 0;
}

struct WorkFolderSections {
  SectionState unstaged{kUnstaged};
  std::vector<std::string> untracked;
};

int TakeWorkFolderEntry(const char* path, unsigned flags, void* payload) {
  auto& sections = *static_cast<WorkFolderSections*>(payload);
  if (flags & GIT_STATUS_WT_NEW) {
    sections.untracked.emplace_back(path);
    return 0;
  }
  return GitStatusPrintEntry(path, flags, &sections.unstaged);
}

int CountId(const git_oid* /*id*/, void* payload) {
  ++*static_cast<int*>(payload);
  return 0;
}

bool Failed() {
  CheckLibgitError();
  return false;
}

// The branch line and the distance to the upstream branch; false on a
// library failure (already reported).
bool PrintBranch(git_repository* repository) {
  git_reference* rawHead = nullptr;
  const int found = git_repository_head(&rawHead, repository);
  const GitPtr<git_reference> head(rawHead);
  if (found == GIT_EUNBORNBRANCH || found == GIT_ENOTFOUND || (found == 0 && !git_reference_is_branch(head.get()))) {
    GitPrintOut("# On an unnamed branch\n");
    return true;
  }
  if (found < 0) return Failed();

  int mergeHeads = 0;
  const int merging = git_repository_mergehead_foreach(repository, CountId, &mergeHeads);
  if (merging < 0 && merging != GIT_ENOTFOUND) return Failed();
  GitPrintOut(mergeHeads > 0 ? "# On branch %s, but merging\n" : "# On branch %s\n", git_reference_shorthand(head.get()));

  git_reference* rawUpstream = nullptr;
  const int tracked = git_branch_upstream(&rawUpstream, head.get());
  const GitPtr<git_reference> upstream(rawUpstream);
  if (tracked == GIT_ENOTFOUND) return true;
  git_oid local;
  git_oid remote;
  size_t ahead = 0;
  size_t behind = 0;
  if (tracked < 0 || git_reference_name_to_id(&local, repository, git_reference_name(head.get())) < 0 ||
      git_reference_name_to_id(&remote, repository, git_reference_name(upstream.get())) < 0 ||
      git_graph_ahead_behind(&ahead, &behind, repository, &local, &remote) < 0) {
    return Failed();
  }
  const char* name = git_reference_shorthand(upstream.get());
  if (ahead && behind) {
    GitPrintOut("# You branch and its upstream branch '%s' have diverged.\n", name);
    GitPrintOut("# They have %d and %d different commits each, respectively.\n", static_cast<int>(ahead),
                static_cast<int>(behind));
  } else if (ahead) {
    GitPrintOut("# Your branch is ahead its upstream branch '%s' by %d commits.\n", name, static_cast<int>(ahead));
  } else if (behind) {
    GitPrintOut("# Your branch is behind its upstream branch '%s' by %d commits.\n", name, static_cast<int>(behind));
  }
  return true;
}

// True when the index holds a current cached tree of its root (as git's
// write-tree and commit leave it) and that tree is HEAD's: nothing is staged.
// Git trusts that cache the same way; without it, comparing HEAD with the
// index reads and verifies every tree of HEAD. The index is asked for its
// root tree with nowhere to write one, so an index whose cache is missing or
// stale answers with a failure here rather than by building trees.
bool NothingStaged(git_repository* repository) {
  git_index* rawIndex = nullptr;
  git_object* rawHead = nullptr;
  git_odb* rawNowhere = nullptr;
  git_repository* rawWrapper = nullptr;
  const bool found = git_repository_index(&rawIndex, repository) == 0 &&
                     git_revparse_single(&rawHead, repository, "HEAD") == 0 && git_odb_new(&rawNowhere) == 0;
  const GitPtr<git_index> index(rawIndex);
  const GitPtr<git_object> head(rawHead);
  const GitPtr<git_odb> nowhere(rawNowhere);
  const bool wrapped = found && git_repository_wrap_odb(&rawWrapper, nowhere.get()) == 0;
  const GitPtr<git_repository> wrapper(rawWrapper);
  git_oid cached;
  const bool same = wrapped && git_object_type(head.get()) == GIT_OBJECT_COMMIT &&
                    git_index_write_tree_to(&cached, index.get(), wrapper.get()) == 0 &&
                    git_oid_equal(&cached, git_commit_tree_id(reinterpret_cast<const git_commit*>(head.get())));
  git_error_clear();
  return same;
}

}  // namespace

int GitStatus(git_repository* repository, int argc, const char* const* argv) {
  if (argc > 1) {
    if (argv[1][0] == '-') {
      GitPrintErr(stderr, "Unknown option \"%s\"\n", argv[1]);
    } else {
      GitPrintErr(stderr, "No args supported at the moment\n");
    }
    return 1;
  }
  if (!PrintBranch(repository)) return 1;

  git_status_options options = GIT_STATUS_OPTIONS_INIT;
  options.flags = GIT_STATUS_OPT_INCLUDE_UNTRACKED | GIT_STATUS_OPT_RECURSE_UNTRACKED_DIRS;
  options.show = GIT_STATUS_SHOW_INDEX_ONLY;
  SectionState staged{kStaged};
  if (!NothingStaged(repository) && git_status_foreach_ext(repository, &options, GitStatusPrintEntry, &staged) < 0) {
    return GitLibraryFailure();
  }
  // One pass over the working folder (a stat of every file) gives both of
  // its sections: the untracked files wait until the unstaged ones are out.
  options.show = GIT_STATUS_SHOW_WORKDIR_ONLY;
  // A file whose stat data no longer match its entry (a copied or touched
  // working folder) is hashed to be found unchanged; its new stat data go
  // back into the index, as git's status writes them, or every later status
  // would hash it again. An index that cannot be written (locked by another
  // process, a read-only repository) still gets its status, without. The
  // entries are passed on only once the whole pass has succeeded.
  options.flags |= GIT_STATUS_OPT_UPDATE_INDEX;
  WorkFolderSections work;
  if (git_status_foreach_ext(repository, &options, TakeWorkFolderEntry, &work) < 0) {
    git_error_clear();
    options.flags &= ~GIT_STATUS_OPT_UPDATE_INDEX;
    if (git_status_foreach_ext(repository, &options, TakeWorkFolderEntry, &work) < 0) return GitLibraryFailure();
  }
  SectionState untracked{kUntracked};
  for (const std::string& path : work.untracked) GitStatusPrintEntry(path.c_str(), GIT_STATUS_WT_NEW, &untracked);
  GitPrintOut("#\n");
  return 0;
}

int GitDiffFiles(git_repository* repository, int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') {
      GitPrintErr(stderr, "Unknown option \"%s\"\n", argv[i]);
      return 1;
    }
  }
  git_index* rawIndex = nullptr;
  if (git_repository_index(&rawIndex, repository) < 0) {
    GitPrintErr(stderr, "%d\n", -1);
    return -1;
  }
  const GitPtr<git_index> index(rawIndex);
  // Index paths are relative to the working folder, wherever the process is.
  const char* workdir = git_repository_workdir(repository);
  if (!workdir) {
    GitPrintErr(stderr, "Couldn't determine workdir!\n");
    return 1;
  }
  const std::string folder = workdir;
  constexpr char kZeroId[] = "0000000000000000000000000000000000000000";
  const size_t count = git_index_entrycount(index.get());
  for (size_t i = 0; i < count; ++i) {
    const git_index_entry* entry = git_index_get_byindex(index.get(), i);
    // A symbolic link is compared as the link the index records, not as the
    // file it points to; a path below a link is not in the working folder.
    struct stat file;
    uint32_t mode = 0;
    char status = 'D';
    if (GitLstatBelow(folder, entry->path, file) == 0) {
      mode = GitFileModeNormalise(file.st_mode);
      // The index keeps the size in 32 bits.
      if (mode == entry->mode && file.st_mtime == entry->mtime.seconds &&
          static_cast<uint32_t>(file.st_size) == entry->file_size) {
        continue;
      }
      status = 'M';
    }
    char id[GIT_OID_HEXSZ + 1];
    git_oid_tostr(id, sizeof id, &entry->id);
    GitPrintOut(":%06o %06o %s %s %c\t%s\n", entry->mode, mode, id, kZeroId, status, entry->path);
  }
  return 0;
}

}  // namespace GCore
