#pragma once
// The console's remote, branch and tag commands. "clone", "fetch", "push"
// and "ls-remote" talk to other repositories through the library's own
// transports (local paths, file://, git://, http:// and https://) and hold
// the worker for the whole transfer; every transfer is given the console's
// credential and certificate callbacks (net/GitRemoteServices.h). "branch"
// and "tag" list and make references. "clone" also runs without an open
// repository. Handlers follow net/GitConsole.h.
//
// Threads: the worker's (tests call handlers directly on theirs).
#include <git2.h>

namespace GCore {

int GitClone(git_repository* repository, int argc, const char* const* argv);
int GitFetch(git_repository* repository, int argc, const char* const* argv);
int GitPush(git_repository* repository, int argc, const char* const* argv);
int GitLsRemote(git_repository* repository, int argc, const char* const* argv);
int GitBranch(git_repository* repository, int argc, const char* const* argv);
int GitTag(git_repository* repository, int argc, const char* const* argv);

}  // namespace GCore
