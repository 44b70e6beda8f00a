#pragma once
// The console's commands that move HEAD and rewrite the index and the working
// folder: "checkout", "reset", "merge", "rebase", "cherry-pick" and "stash".
// Same calling convention as every console command (net/GitConsole.h).
//
// Some overwrite on purpose: "checkout" forces the working folder to the
// branch and deletes untracked files, "reset --hard" discards local changes,
// and "stash" with no argument or with "apply" saves (it never applies).
// "merge", "rebase", "cherry-pick" and "stash pop" refuse to overwrite local
// changes in the files they would touch.
#include <git2.h>

namespace GCore {

int GitCheckout(git_repository* repository, int argc, const char* const* argv);
int GitReset(git_repository* repository, int argc, const char* const* argv);
int GitMerge(git_repository* repository, int argc, const char* const* argv);
int GitCherryPick(git_repository* repository, int argc, const char* const* argv);
int GitRebase(git_repository* repository, int argc, const char* const* argv);
int GitStash(git_repository* repository, int argc, const char* const* argv);

// -1 on a library failure, else whether the repository's index holds
// conflicts (the library leaves them there without failing).
int GitIndexHasConflicts(git_repository* repository);

}  // namespace GCore
