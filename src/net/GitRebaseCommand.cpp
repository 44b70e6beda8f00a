// The console's "rebase": HEAD's commits replayed on an upstream, one step at
// a time; a step with conflicts stops the rebase until "--continue" or
// "--abort".
#include <cstring>

#include "net/GitChangeCommands.h"
#include "net/GitConsole.h"
#include "net/GitWorkFolder.h"

namespace GCore {

namespace {

// Commits the step applied last. A step whose changes are already in HEAD
// (the upstream has them, or the step was committed before a stop) leaves
// nothing to commit and is passed over, as git does.
int CommitStep(git_rebase* rebase, const git_signature* committer) {
  git_oid id;
  const int error = git_rebase_commit(&id, rebase, nullptr, committer, nullptr, nullptr);
  return error == GIT_EAPPLIED ? 0 : error;
}

int ReplayRemainingSteps(git_rebase* rebase, const git_signature* committer) {
  git_rebase_operation* step = nullptr;
  int error = 0;
  while ((error = git_rebase_next(&step, rebase)) == 0) {
    if ((error = CommitStep(rebase, committer)) < 0) return error;
  }
  if (error != GIT_ITEROVER) return error;
  return git_rebase_finish(rebase, committer);
}

GitPtr<git_annotated_commit> AnnotatedCommit(git_repository* repository, git_reference* reference) {
  git_annotated_commit* raw = nullptr;
  if (git_annotated_commit_from_ref(&raw, repository, reference) < 0) return nullptr;
  return GitPtr<git_annotated_commit>(raw);
}

// A new rebase of HEAD's branch onto the upstream the name resolves to.
GitPtr<git_rebase> StartRebase(git_repository* repository, const char* upstreamName) {
  git_reference* raw = nullptr;
  if (git_reference_dwim(&raw, repository, upstreamName) < 0) return nullptr;
  const GitPtr<git_reference> upstreamReference(raw);
  git_object* rawUpstreamCommit = nullptr;
  if (git_reference_peel(&rawUpstreamCommit, upstreamReference.get(), GIT_OBJECT_COMMIT) < 0) return nullptr;
  const GitPtr<git_object> upstreamCommit(rawUpstreamCommit);
  if (!GitHasNoFileFolderTwins(upstreamCommit.get())) return nullptr;
  if (git_repository_head(&raw, repository) < 0) return nullptr;
  const GitPtr<git_reference> headReference(raw);
  const GitPtr<git_annotated_commit> upstream = AnnotatedCommit(repository, upstreamReference.get());
  const GitPtr<git_annotated_commit> head = upstream ? AnnotatedCommit(repository, headReference.get()) : nullptr;
  if (!head) return nullptr;
  git_rebase* rebase = nullptr;
  const git_rebase_options options = GIT_REBASE_OPTIONS_INIT;
  if (git_rebase_init(&rebase, repository, head.get(), upstream.get(), nullptr, &options) < 0) return nullptr;
  return GitPtr<git_rebase>(rebase);
}

GitPtr<git_rebase> RebaseInProgress(git_repository* repository) {
  git_rebase* rebase = nullptr;
  const git_rebase_options options = GIT_REBASE_OPTIONS_INIT;
  if (git_rebase_open(&rebase, repository, &options) < 0) return nullptr;
  return GitPtr<git_rebase>(rebase);
}

// A step with conflicts stops the rebase; the library's own words for that
// speak only of unstaged changes.
int RebaseStopped(git_repository* repository) {
  if (GitIndexHasConflicts(repository) > 0) {
    GitPrintErr(stderr, "conflict during rebase! Please resolve and run rebase --continue\n");
    return 1;
  }
  return GitLibraryFailure();
}

}  // namespace

int GitRebase(git_repository* repository, int argc, const char* const* argv) {
  if (argc < 2) {
    GitPrintErr(stderr, "USAGE: %s <upstream>\n", argv[0]);
    GitPrintErr(stderr, "USAGE: %s --abort|--continue\n", argv[0]);
    return 1;
  }
  const char* argument = argv[1];
  if (std::strcmp(argument, "--abort") == 0) {
    const GitPtr<git_rebase> rebase = RebaseInProgress(repository);
    if (!rebase || git_rebase_abort(rebase.get()) < 0) return GitLibraryFailure();
    return 0;
  }

  // Taken before the rebase starts, so that a failure here changes nothing.
  git_signature* rawCommitter = nullptr;
  if (GitAuthorSignature(&rawCommitter, repository) < 0) return GitLibraryFailure();
  const GitPtr<git_signature> committer(rawCommitter);

  const bool resume = std::strcmp(argument, "--continue") == 0;
  const GitPtr<git_rebase> rebase = resume ? RebaseInProgress(repository) : StartRebase(repository, argument);
  if (!rebase) return GitLibraryFailure();
  // The step a conflict stopped at holds the resolution now: commit it before
  // going on, or the next step would replace the index and lose it.
  if (resume && git_rebase_operation_current(rebase.get()) != GIT_REBASE_NO_OPERATION &&
      CommitStep(rebase.get(), committer.get()) < 0) {
    return RebaseStopped(repository);
  }
  if (ReplayRemainingSteps(rebase.get(), committer.get()) < 0) return RebaseStopped(repository);
  return 0;
}

}  // namespace GCore
