// The console's "stash": local changes put aside, listed, and brought back.
// With no argument and with "apply" it saves: scripts call it that way.
#include <cstring>

#include "net/GitChangeCommands.h"
#include "net/GitConsole.h"

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

struct NewestStash {
  bool found = false;
  git_oid id = {};
};

int FindNewest(size_t index, const char* /*message*/, const git_oid* id, void* payload) {
  if (index != 0) return 0;
  auto* newest = static_cast<NewestStash*>(payload);
  newest->found = true;
  newest->id = *id;
  return 0;
}

// The stash's files come back into the working folder; the index is left as
// it is. Local changes in the way stop it, and the stash is then kept.
int StashPop(git_repository* repository) {
  NewestStash newest;
  if (git_stash_foreach(repository, FindNewest, &newest) < 0) return GitLibraryFailure();
  if (!newest.found) {
    GitPrintErr(stderr, "No stash entries found.\n");
    return 1;
  }
  git_commit* rawCommit = nullptr;
  if (git_commit_lookup(&rawCommit, repository, &newest.id) < 0) return GitLibraryFailure();
  const GitPtr<git_commit> commit(rawCommit);
  git_tree* rawTree = nullptr;
  if (git_commit_tree(&rawTree, commit.get()) < 0) return GitLibraryFailure();
  const GitPtr<git_tree> tree(rawTree);
  git_checkout_options options = GIT_CHECKOUT_OPTIONS_INIT;
  options.checkout_strategy = GIT_CHECKOUT_SAFE | GIT_CHECKOUT_DONT_UPDATE_INDEX;
  if (git_checkout_tree(repository, reinterpret_cast<const git_object*>(tree.get()), &options) < 0 ||
      git_stash_drop(repository, 0) < 0) {
    return GitLibraryFailure();
  }
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
