// The console's "merge" and "cherry-pick": another line of history brought
// into the index and the working folder.
#include <cstdio>
#include <cstring>

#include "net/GitChangeCommands.h"
#include "net/GitConsole.h"
#include "net/GitWorkFolder.h"

namespace GCore {

namespace {

int MergeUsage(const char* command) {
  GitPrintErr(stderr, "USAGE: %s <commit> [--no-commit]\n", command);
  return -1;
}

// A local branch of that name, else a remote-tracking one.
GitPtr<git_reference> BranchToMerge(git_repository* repository, const char* name) {
  git_reference* raw = nullptr;
  if (git_branch_lookup(&raw, repository, name, GIT_BRANCH_LOCAL) < 0 &&
      git_branch_lookup(&raw, repository, name, GIT_BRANCH_REMOTE) < 0) {
    return nullptr;
  }
  return GitPtr<git_reference>(raw);
}

// Moves the current branch (or a detached HEAD) to the branch's commit. The
// files go first and safely: local changes in their way stop it all before
// HEAD moves.
int FastForward(git_repository* repository, git_reference* branch) {
  git_object* rawCommit = nullptr;
  if (git_reference_peel(&rawCommit, branch, GIT_OBJECT_COMMIT) < 0) return GitLibraryFailure();
  const GitPtr<git_object> commit(rawCommit);
  git_reference* rawHead = nullptr;
  if (git_repository_head(&rawHead, repository) < 0) return GitLibraryFailure();
  const GitPtr<git_reference> head(rawHead);
  git_checkout_options options = GIT_CHECKOUT_OPTIONS_INIT;
  options.checkout_strategy = GIT_CHECKOUT_SAFE;
  git_reference* rawMoved = nullptr;
  if (git_checkout_tree(repository, commit.get(), &options) < 0 ||
      git_reference_set_target(&rawMoved, head.get(), git_object_id(commit.get()), nullptr) < 0) {
    return GitLibraryFailure();
  }
  git_reference_free(rawMoved);
  return 0;
}

}  // namespace

int GitIndexHasConflicts(git_repository* repository) {
  git_index* raw = nullptr;
  if (git_repository_index(&raw, repository) < 0) return -1;
  const GitPtr<git_index> index(raw);
  return git_index_has_conflicts(index.get());
}

int GitMerge(git_repository* repository, int argc, const char* const* argv) {
  if (argc < 2) return MergeUsage(argv[0]);
  bool commit = true;
  const char* name = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-commit") == 0) {
      commit = false;
    } else if (name) {
      return MergeUsage(argv[0]);
    } else {
      name = argv[i];
    }
  }
  // The option may stand before the branch too: the branch is the one name.
  if (!name) return MergeUsage(argv[0]);

  const GitPtr<git_reference> branch = BranchToMerge(repository, name);
  if (!branch) return GitLibraryFailure();
  git_object* rawTheirs = nullptr;
  if (git_reference_peel(&rawTheirs, branch.get(), GIT_OBJECT_COMMIT) < 0) return GitLibraryFailure();
  const GitPtr<git_object> theirsCommit(rawTheirs);
  if (!GitHasNoFileFolderTwins(theirsCommit.get())) return GitLibraryFailure();
  git_annotated_commit* rawHead = nullptr;
  if (git_annotated_commit_from_ref(&rawHead, repository, branch.get()) < 0) return GitLibraryFailure();
  const GitPtr<git_annotated_commit> theirs(rawHead);
  const git_annotated_commit* heads[] = {theirs.get()};

  git_merge_analysis_t analysis;
  git_merge_preference_t preference;
  if (git_merge_analysis(&analysis, &preference, repository, heads, 1) < 0) return GitLibraryFailure();
  // Merging a branch that HEAD already contains would only record a merge
  // commit that changes nothing.
  if (analysis & GIT_MERGE_ANALYSIS_UP_TO_DATE) {
    GitPrintOut("Already up to date.\n");
    return 0;
  }
  if ((analysis & GIT_MERGE_ANALYSIS_FASTFORWARD) && !(preference & GIT_MERGE_PREFERENCE_NO_FASTFORWARD)) {
    GitPrintErr(stderr, "Fast forward merge\n");
    return FastForward(repository, branch.get());
  }

  git_merge_options mergeOptions = GIT_MERGE_OPTIONS_INIT;
  mergeOptions.flags = GIT_MERGE_FIND_RENAMES;
  git_checkout_options checkoutOptions = GIT_CHECKOUT_OPTIONS_INIT;
  checkoutOptions.checkout_strategy = GIT_CHECKOUT_SAFE;
  if (git_merge(repository, heads, 1, &mergeOptions, &checkoutOptions) < 0) return GitLibraryFailure();
  const int conflicts = GitIndexHasConflicts(repository);
  if (conflicts < 0) return GitLibraryFailure();
  if (conflicts) {
    GitPrintErr(stderr, "conflict during merge! Please resolve and commit\n");
    return 1;
  }
  if (!commit) return 0;
  char message[256];
  std::snprintf(message, sizeof message, "Merged branch '%s'", name);
  const char* const commitArgv[] = {"commit", "-m", message, nullptr};
  return GitCommit(repository, 3, commitArgv);
}

int GitCherryPick(git_repository* repository, int argc, const char* const* argv) {
  if (argc < 2) {
    GitPrintErr(stderr, "USAGE: %s <commit>\n", argv[0]);
    return 1;
  }
  const char* text = argv[1];
  const size_t length = std::strlen(text);
  git_oid id;
  git_commit* raw = nullptr;
  if (git_oid_fromstrn(&id, text, length) < 0 || git_commit_lookup_prefix(&raw, repository, &id, length) < 0) {
    return GitLibraryFailure();
  }
  const GitPtr<git_commit> commit(raw);
  if (!GitHasNoFileFolderTwins(reinterpret_cast<const git_object*>(commit.get()))) {
    return GitLibraryFailure();
  }
  if (git_cherrypick(repository, commit.get(), nullptr) < 0) return GitLibraryFailure();
  // The library leaves conflicts in the index without failing; say so, as
  // "merge" does, instead of answering success.
  const int conflicts = GitIndexHasConflicts(repository);
  if (conflicts < 0) return GitLibraryFailure();
  if (conflicts) {
    GitPrintErr(stderr, "conflict during cherry-pick! Please resolve and commit\n");
    return 1;
  }
  return 0;
}

}  // namespace GCore
