#pragma once
// The git path hook: inside the git library, and only there, a path whose
// first character is '-' is not a path of the file system but a name below
// the root folder: "-name/x" is the file "<root>/acgname/x" (no separator is
// added after "acg"; "-" alone is "<root>/acg"). Every other path, and every
// dashed path that the engine's own code or another library uses, is left as
// it stands.
//
// How: the git library is Debian's shared libgit2, whose file calls (realpath,
// stat, lstat, open, access, opendir, mkdir, rename, unlink and the rest) are
// imports from the C library. The program defines those functions itself
// (GitPathHook.cpp) and forwards each call to the C library unchanged unless
// its path begins with '-' and the call returns into libgit2's own code; then
// it forwards the mapped path. A changed build of the library from Debian's
// source package would bring the library's TLS, SSH and HTTP dependencies
// into our build and a patch to carry to every new version, for the same
// effect.
//
// Why every file call and not only the whole-file reads and the loose-object
// test: on Linux the library resolves a repository's path with realpath and
// tests folders and sizes with stat before it reads, so mapping only the reads
// would leave a dashed repository unopenable, and a library write to a dashed
// path (a lock file, a configuration change) would land beside the process's
// current folder while the next read comes from under the root. Mapped alike,
// a repository at "<root>/acgname" is opened, read and committed to as
// "-name"; once opened, the library works on its resolved absolute path.
//
// A mapped path is composed into a buffer of kGitHookPathSize bytes; one that
// does not fit fails the call with ENAMETOOLONG instead of being cut.
//
// Threads: any. The root folder copy is guarded by its own mutex.
#include <cstddef>
#include <string>

namespace GCore {

constexpr size_t kGitHookPathSize = 512;

// Sets the process-wide copy of the root folder the hook maps under (the game
// object's, without a trailing separator).
void SetGitRootFolder(const std::string& rootFolder);

// The file a dashed library path names: "<root>/acg" and the path after its
// dash. False when the result does not fit kGitHookPathSize bytes with its
// terminating zero (out is then left empty).
bool ComposeGitHookPath(const char* dashedPath, char (&out)[kGitHookPathSize]);

}  // namespace GCore
