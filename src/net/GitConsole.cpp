// The console's command table and the run of one command on the worker.
#include "net/GitConsole.h"

#include <cstring>

#include "core/GitLibrary.h"
#include "core/GitRepositoryOpen.h"
#include "net/GitChangeCommands.h"
#include "net/GitInspectCommands.h"
#include "net/GitRemoteCommands.h"

namespace GCore {

namespace {

constexpr GitCommand kCommands[] = {
    {"add", 1, "Add contents of file to the index", GitAdd},
    {"branch", 1, "Create, delete, or delete branches", GitBranch},
    {"cat-file", 0, "Show content of repository objects", GitCatFile},
    {"checkout-index", 0, "Copy files from the index", GitCheckoutIndex},
    {"checkout", 1, "Copy a branch or paths to the working directory", GitCheckout},
    {"cherry-pick", 1, "Redo commits", GitCherryPick},
    {"clone", 1, "Fetch and checkout a repository into a new directory", GitClone},
    {"commit", 1, "Create a new commit from the index", GitCommit},
    {"config", 1, "Get and set repository or global options", GitConfig},
    {"diff-files", 0, "Show differences between files in the working directory and the index", GitDiffFiles},
    {"diff", 1, "Show differences between objects", GitDiff},
    {"fetch", 1, "Fetch objects from another repository", GitFetch},
    {"init", 1, "Create or reinitialize a git repository", GitInit},
    {"log", 1, "Show the commit logs", GitLog},
    {"ls-files", 0, "Show information about files in the index and the working directory", GitLsFiles},
    {"ls-remote", 0, "Show information about remote references", GitLsRemote},
    {"ls-tree", 0, "Show information about a tree object", GitLsTree},
    {"merge", 1, "Join histories defined by commit together", GitMerge},
    {"push", 1, "Update the remote references and push associated objects", GitPush},
    {"read-tree", 0, "Read a tree object into the index", GitReadTree},
    {"rebase", 1, "Reapply changes", GitRebase},
    {"reset", 1, "Reset the HEAD or the index to a specific state", GitReset},
    {"rev-list", 0, "Show information about commit objects", GitRevList},
    {"rm", 1, "Remove files", GitRm},
    {"show", 1, "Show objects", GitShow},
    {"stash", 1, "Manage a separate stash of changes", GitStash},
    {"status", 1, "Summarize working directory changes", GitStatus},
    {"tag", 1, "Manage tags", GitTag},
    {"update-index", 0, "Update the index with files from the working directory", GitUpdateIndex},
    {"write-tree", 0, "Create a write object from the current index", GitWriteTree},
};
static_assert(std::size(kCommands) == 30);

// Commands that create or find their repository themselves.
bool RunsWithoutRepository(const char* name) {
  return std::strcmp(name, "init") == 0 || std::strcmp(name, "config") == 0 || std::strcmp(name, "clone") == 0;
}

}  // namespace

std::span<const GitCommand> GitCommandTable() { return kCommands; }

GitCommandHandler FindGitCommand(const char* name) {
  for (const GitCommand& command : kCommands) {
    if (std::strcmp(command.name, name) == 0) return command.handler;
  }
  return nullptr;
}

void RunGitConsoleCommand(const char* path, int argc, const char* const* argv) {
  // The library's per-thread error slot exists only while it is initialised.
  // On the worker, which keeps the library from its first command on, this
  // use only counts; elsewhere it sets the library up and takes it down.
  const GitLibraryUse library;
  if (!library.ok()) {
    GitPrintErr(stderr, "The libgit2 initialization failed!\n");
    return;
  }
  FollowGitConfigHome();
  GitPtr<git_repository> repository(OpenRepositoryOfAnyOwner(path));
  if (!repository && !RunsWithoutRepository(argv[0])) {
    GitPrintErr(stderr, "repo error\n");
    return;
  }
  git_error_clear();
  if (GitCommandHandler handler = FindGitCommand(argv[0])) {
    handler(repository.get(), argc, argv);
  } else {
    GitPrintErr(stderr, "Command \"%s\" not supported\n", argv[0]);
  }
}

void CheckLibgitError() {
  if (const git_error* error = git_error_last(); error && error->message) {
    GitPrintErr(stderr, "libgit error (%d): %s\n", error->klass, error->message);
  } else {
    GitPrintErr(stderr, "libgit error: No detailed error message!\n");
  }
}

int GitLibraryFailure() {
  CheckLibgitError();
  return 1;
}

}  // namespace GCore
