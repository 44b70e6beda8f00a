// The console's "checkout" and "reset": HEAD moved to a branch or a commit,
// and the index and working folder with it.
#include <cstring>
#include <string>
#include <vector>

#include "net/GitChangeCommands.h"
#include "net/GitConsole.h"
#include "net/GitWorkFolder.h"

namespace GCore {

namespace {

int ReportCode(int error) {
  GitPrintErr(stderr, "Error code %d\n", error);
  return GitLibraryFailure();
}

// The local branch named `name`; when there is none but origin has one, a new
// local branch at origin's commit. Null (with no error) when neither exists;
// `error` holds a failure to create the branch.
GitPtr<git_reference> LocalBranch(git_repository* repository, const char* name, int& error) {
  error = 0;
  git_reference* raw = nullptr;
  if (git_branch_lookup(&raw, repository, name, GIT_BRANCH_LOCAL) == 0) return GitPtr<git_reference>(raw);
  const std::string remoteName = std::string("origin/") + name;
  if (git_branch_lookup(&raw, repository, remoteName.c_str(), GIT_BRANCH_REMOTE) < 0) return nullptr;
  const GitPtr<git_reference> remote(raw);
  git_object* rawCommit = nullptr;
  if ((error = git_reference_peel(&rawCommit, remote.get(), GIT_OBJECT_COMMIT)) < 0) return nullptr;
  const GitPtr<git_object> commit(rawCommit);
  error = git_branch_create(&raw, repository, name, reinterpret_cast<const git_commit*>(commit.get()), 0);
  return GitPtr<git_reference>(error < 0 ? nullptr : raw);
}

struct ResetKind {
  const char* option;
  git_reset_t kind;
};
constexpr ResetKind kResetKinds[] = {
    {"--soft", GIT_RESET_SOFT},
    {"--mixed", GIT_RESET_MIXED},
    {"--hard", GIT_RESET_HARD},
};

const ResetKind* FindResetKind(const char* option) {
  for (const ResetKind& kind : kResetKinds) {
    if (std::strcmp(kind.option, option) == 0) return &kind;
  }
  return nullptr;
}

}  // namespace

int GitCheckout(git_repository* repository, int argc, const char* const* argv) {
  const char* name = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '-') name = argv[i];
  }
  if (!name) {
    GitPrintErr(stderr, "USAGE: %s <branch>\n", argv[0]);
    return -1;
  }
  int error = 0;
  const GitPtr<git_reference> branch = LocalBranch(repository, name, error);
  if (error < 0) return ReportCode(error);
  const char* target = branch ? git_reference_name(branch.get()) : name;
  GitPrintOut("Checking out %s\n", target);
  // HEAD may only name a reference that exists: pointed at a branch that is
  // not there, it would stay on a branch without commits.
  git_reference* rawExisting = nullptr;
  if (!branch && git_reference_lookup(&rawExisting, repository, target) < 0) {
    // The library's words would call a plain missing branch name invalid.
    git_error_set(GIT_ERROR_REFERENCE, "cannot locate branch or reference '%s'", target);
    return ReportCode(GIT_ENOTFOUND);
  }
  const GitPtr<git_reference> existing(rawExisting);
  git_object* rawCommit = nullptr;
  if (git_reference_peel(&rawCommit, branch ? branch.get() : existing.get(), GIT_OBJECT_COMMIT) < 0) {
    return GitLibraryFailure();
  }
  const GitPtr<git_object> commit(rawCommit);

  // Forced on purpose: the working folder becomes exactly the branch, local
  // changes and untracked files included.
  // The files go first, while HEAD still names the tree they are in: the
  // library removes what that tree holds and the branch does not (a symbolic
  // link where the branch has a folder, say) before it writes the branch's
  // files. With HEAD moved first it would take the branch for what is there
  // and write the folder's files through the link. A refused checkout leaves
  // HEAD where it was.
  git_checkout_options options = GIT_CHECKOUT_OPTIONS_INIT;
  options.checkout_strategy = GIT_CHECKOUT_FORCE | GIT_CHECKOUT_REMOVE_UNTRACKED;
  if (!GitHasNoFileFolderTwins(commit.get()) || !GitRemoveLinksInTheWay(repository, commit.get()) ||
      git_checkout_tree(repository, commit.get(), &options) < 0) {
    return GitLibraryFailure();
  }
  if ((error = git_repository_set_head(repository, target)) < 0) return ReportCode(error);
  return 0;
}

int GitReset(git_repository* repository, int argc, const char* const* argv) {
  if (argc < 3) {
    GitPrintErr(stderr, "USAGE: %s <treeish> <paths>\n", argv[0]);
    GitPrintErr(stderr, "USAGE: %s [--soft|--mixed|--hard] <commit>\n", argv[0]);
    return -1;
  }
  const ResetKind* kind = FindResetKind(argv[1]);
  const char* spec = kind ? argv[2] : argv[1];
  git_object* raw = nullptr;
  if (git_revparse_single(&raw, repository, spec) < 0) return GitLibraryFailure();
  const GitPtr<git_object> target(raw);

  if (kind) {
    if (kind->kind == GIT_RESET_HARD &&
        (!GitHasNoFileFolderTwins(target.get()) || !GitRemoveLinksInTheWay(repository, target.get()))) {
      return GitLibraryFailure();
    }
    if (git_reset(repository, target.get(), kind->kind, nullptr) < 0) return GitLibraryFailure();
    return 0;
  }
  std::vector<char*> paths;
  for (int i = 2; i < argc; ++i) paths.push_back(const_cast<char*>(argv[i]));
  const git_strarray pathspec = {paths.data(), paths.size()};
  if (git_reset_default(repository, target.get(), &pathspec) < 0) return GitLibraryFailure();
  return 0;
}

}  // namespace GCore
