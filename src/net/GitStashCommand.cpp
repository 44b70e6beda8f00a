// The console's "stash": local changes put aside, listed, and brought back.
// With no argument and with "apply" it saves: scripts call it that way.
#include <cstring>

#include "net/GitChangeCommands.h"
#include "net/GitConsole.h"
#include "net/GitWorkFolder.h"

namespace GCore {

namespace {

int StashSave(git_repository* repository) {
  git_signature* raw = nullptr;
  if (git_signature_now(&raw, "Quarvelin Stash", "stash@example.invalid") < 0) return GitLibraryFailure();
  const GitPtr<git_signature> stasher(raw);
  git_oid id;
  if (git_stash_save(&id, repository, stasher.get(), nullptr, GIT_STASH_DEFAULT) < 0) return GitLibraryFailure();
  return 0;
}

int PrintStash(size_t index, const char* message, const git_oid* /*id*/, void* /*payload*/) {
  GitPrintOut("stash@{%zu}: %s\n", index, message);
  return 0;
}

int StashList(git_repository* repository) {
  if (git_stash_foreach(repository, PrintStash, nullptr) < 0) return GitLibraryFailure();
  return 0;
}

int CountStash(size_t /*index*/, const char* /*message*/, const git_oid* /*id*/, void* payload) {
  ++*static_cast<size_t*>(payload);
  return 0;
}

// The newest stash's trees (its files, its index and its untracked files)
// hold no file-folder twins.
bool NewestStashIsCheckable(git_repository* repository) {
  git_object* raw = nullptr;
  if (git_revparse_single(&raw, repository, "refs/stash") < 0) return false;
  const GitPtr<git_object> stash(raw);
  if (!GitHasNoFileFolderTwins(stash.get())) return false;
  const auto* commit = reinterpret_cast<const git_commit*>(stash.get());
  for (unsigned i = 0; i < git_commit_parentcount(commit); ++i) {
    git_commit* rawParent = nullptr;
    if (git_commit_parent(&rawParent, commit, i) < 0) return false;
    const GitPtr<git_commit> parent(rawParent);
    if (!GitHasNoFileFolderTwins(reinterpret_cast<const git_object*>(parent.get()))) return false;
  }
  return true;
}

// The newest stash's changes are merged into the files as they are now, so
// commits made since the stash (an update, say) stay; files the stash added
// are staged, its other changes come back unstaged. Putting the stash's whole
// tree back instead would undo those commits in the working folder. Local
// changes in the way stop it; the stash is dropped only once its changes are
// in without conflicts.
int StashPop(git_repository* repository) {
  size_t count = 0;
  if (git_stash_foreach(repository, CountStash, &count) < 0) return GitLibraryFailure();
  if (count == 0) {
    GitPrintErr(stderr, "No stash entries found.\n");
    return 1;
  }
  if (!NewestStashIsCheckable(repository)) return GitLibraryFailure();
  const git_stash_apply_options options = GIT_STASH_APPLY_OPTIONS_INIT;  // safe checkout
  if (git_stash_apply(repository, 0, &options) < 0) return GitLibraryFailure();
  const int conflicts = GitIndexHasConflicts(repository);
  if (conflicts < 0) return GitLibraryFailure();
  if (conflicts) {
    GitPrintErr(stderr, "conflict during stash pop! Please resolve; the stash is kept\n");
    return 1;
  }
  if (git_stash_drop(repository, 0) < 0) return GitLibraryFailure();
  return 0;
}

struct StashAction {
  const char* word;
  int (*run)(git_repository*);
};
constexpr StashAction kActions[] = {
    {"apply", StashSave},
    {"list", StashList},
    {"pop", StashPop},
};

}  // namespace

int GitStash(git_repository* repository, int argc, const char* const* argv) {
  if (argc == 1) return StashSave(repository);
  if (argc == 2) {
    for (const StashAction& action : kActions) {
      if (std::strcmp(action.word, argv[1]) == 0) return action.run(repository);
    }
  }
  GitPrintErr(stderr, "USAGE: %s [apply|list|pop]\n", argv[0]);
  return 1;
}

}  // namespace GCore
