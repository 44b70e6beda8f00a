#pragma once
// The git console: a small command-line git over libgit2, thirty commands
// run one at a time on the git worker's thread. Each command is a handler
// (repository or null, argc, argv) -> 0 on success, 1 (some -1) on failure;
// argv[0] is the command name, argv[argc] is null. Commands print only
// through GitPrintOut and GitPrintErr (net/GitWorker.h), so that all their
// text reaches the script as records; library failures are reported by
// CheckLibgitError in the library's words. Objects taken from the library
// are held by GitPtr and released on every path.
//
// Threads: the worker's (tests call handlers directly on theirs).
#include <git2.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "net/GitWorker.h"

namespace GCore {

using GitCommandHandler = int (*)(git_repository* repository, int argc, const char* const* argv);

struct GitCommand {
  const char* name;
  int porcelain;  // 1 user-level, 0 plumbing; not read by the lookup
  const char* description;
  GitCommandHandler handler;  // null while the command is not built
};

// The thirty rows in table order.
std::span<const GitCommand> GitCommandTable();
// The first row whose name equals `name` byte for byte; null when none (or
// when its command is not built).
GitCommandHandler FindGitCommand(const char* name);

// Opens the repository at `path` (the path itself, parent folders are not
// searched) and runs the command; "init", "config" and "clone" also run
// without one. The global configuration is that of $HOME and
// $XDG_CONFIG_HOME as they are when the command runs.
void RunGitConsoleCommand(const char* path, int argc, const char* const* argv);

// The value of an option given as "--name=value" or as "--name value"; null
// when argv[*index] is not that option. A value taken from the next argument
// moves the index past it.
const char* GitOptionValue(const char* option, int argc, const char* const* argv, int* index);

// Prints the library's last error through the error channel.
void CheckLibgitError();
// CheckLibgitError, then the failure result 1.
int GitLibraryFailure();

// 0120000 a symbolic link, 0160000 a folder or gitlink, else 0100755 when the
// owner may execute, 0100644 otherwise.
uint32_t GitFileModeNormalise(uint32_t mode);

// Signatures for commits: the configured user, else the environment's
// GIT_AUTHOR_* (GIT_COMMITTER_*), else a placeholder with a notice.
int GitAuthorSignature(git_signature** out, git_repository* repository);
int GitCommitterSignature(git_signature** out, git_repository* repository);

// The commands of the repository, configuration, index and commit family.
int GitInit(git_repository* repository, int argc, const char* const* argv);
int GitConfig(git_repository* repository, int argc, const char* const* argv);
int GitAdd(git_repository* repository, int argc, const char* const* argv);
int GitRm(git_repository* repository, int argc, const char* const* argv);
int GitUpdateIndex(git_repository* repository, int argc, const char* const* argv);
int GitReadTree(git_repository* repository, int argc, const char* const* argv);
int GitWriteTree(git_repository* repository, int argc, const char* const* argv);
int GitLsFiles(git_repository* repository, int argc, const char* const* argv);
int GitCheckoutIndex(git_repository* repository, int argc, const char* const* argv);
int GitCommit(git_repository* repository, int argc, const char* const* argv);

// Owning handles of library objects.
struct GitFree {
  void operator()(git_repository* p) const { git_repository_free(p); }
  void operator()(git_index* p) const { git_index_free(p); }
  void operator()(git_tree* p) const { git_tree_free(p); }
  void operator()(git_commit* p) const { git_commit_free(p); }
  void operator()(git_object* p) const { git_object_free(p); }
  void operator()(git_reference* p) const { git_reference_free(p); }
  void operator()(git_signature* p) const { git_signature_free(p); }
  void operator()(git_config* p) const { git_config_free(p); }
  void operator()(git_odb* p) const { git_odb_free(p); }
  void operator()(git_annotated_commit* p) const { git_annotated_commit_free(p); }
  void operator()(git_diff* p) const { git_diff_free(p); }
  void operator()(git_odb_object* p) const { git_odb_object_free(p); }
  void operator()(git_rebase* p) const { git_rebase_free(p); }
  void operator()(git_revwalk* p) const { git_revwalk_free(p); }
};
template <typename T>
using GitPtr = std::unique_ptr<T, GitFree>;

// A text the library fills, disposed with the holder.
struct GitBuffer {
  GitBuffer() = default;
  GitBuffer(const GitBuffer&) = delete;
  GitBuffer& operator=(const GitBuffer&) = delete;
  ~GitBuffer() { git_buf_dispose(&buffer); }
  git_buf buffer = {};
};

}  // namespace GCore
