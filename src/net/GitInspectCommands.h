#pragma once
// The console's inspection commands: they read the repository, its index and
// its working folder and never write to any of them. Same calling convention
// and threads as every console command (net/GitConsole.h).
#include <git2.h>

namespace GCore {

int GitStatus(git_repository* repository, int argc, const char* const* argv);
int GitLog(git_repository* repository, int argc, const char* const* argv);
int GitRevList(git_repository* repository, int argc, const char* const* argv);
int GitShow(git_repository* repository, int argc, const char* const* argv);
int GitCatFile(git_repository* repository, int argc, const char* const* argv);
int GitLsTree(git_repository* repository, int argc, const char* const* argv);
int GitDiff(git_repository* repository, int argc, const char* const* argv);
int GitDiffFiles(git_repository* repository, int argc, const char* const* argv);

}  // namespace GCore
