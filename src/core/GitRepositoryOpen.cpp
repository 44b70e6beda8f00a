#include "core/GitRepositoryOpen.h"

#include <git2.h>

#include <mutex>

#include "core/GitLibrary.h"

namespace GCore {

git_repository* OpenRepositoryOfAnyOwner(const char* path) {
  std::lock_guard lock(GitOptionsMutex());
  int ownerValidation = 1;
  git_libgit2_opts(GIT_OPT_GET_OWNER_VALIDATION, &ownerValidation);
  git_libgit2_opts(GIT_OPT_SET_OWNER_VALIDATION, 0);
  git_repository* repository = nullptr;
  if (git_repository_open_ext(&repository, path, GIT_REPOSITORY_OPEN_NO_SEARCH, nullptr) < 0) repository = nullptr;
  git_libgit2_opts(GIT_OPT_SET_OWNER_VALIDATION, ownerValidation);
  return repository;
}

}  // namespace GCore
