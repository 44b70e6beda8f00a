// The console's "branch" and "tag": listing references and making them at
// HEAD.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "net/GitConsole.h"
#include "net/GitRemoteCommands.h"

namespace GCore {

namespace {

struct BranchIteratorFree {
  void operator()(git_branch_iterator* iterator) const { git_branch_iterator_free(iterator); }
};

// Printed in the order of their full names, as git lists them: local
// branches first, each kind sorted, whether loose or packed.
int ListBranches(git_repository* repository, git_branch_t kind) {
  git_branch_iterator* raw = nullptr;
  if (git_branch_iterator_new(&raw, repository, kind) < 0) {
    if (!git_error_last()) git_error_set_oom();
    return GitLibraryFailure();
  }
  const std::unique_ptr<git_branch_iterator, BranchIteratorFree> iterator(raw);
  struct Listed {
    std::string fullName;
    std::string line;
  };
  std::vector<Listed> listed;
  git_reference* branch = nullptr;
  git_branch_t type;
  int step;
  while ((step = git_branch_next(&branch, &type, iterator.get())) == 0) {
    const GitPtr<git_reference> owned(branch);
    const char* name = nullptr;
    if (git_branch_name(&name, branch) < 0) return GitLibraryFailure();
    listed.push_back({git_reference_name(branch), std::string(git_branch_is_head(branch) == 1 ? "* " : "  ") + name});
  }
  if (step != GIT_ITEROVER) return GitLibraryFailure();
  std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) { return a.fullName < b.fullName; });
  for (const Listed& branchLine : listed) GitPrintOut("%s\n", branchLine.line.c_str());
  return 0;
}

// HEAD's commit, or null with the library's error set.
GitPtr<git_object> HeadCommit(git_repository* repository) {
  git_reference* head = nullptr;
  if (git_repository_head(&head, repository) < 0) return nullptr;
  const GitPtr<git_reference> owned(head);
  git_object* commit = nullptr;
  git_reference_peel(&commit, head, GIT_OBJECT_COMMIT);
  return GitPtr<git_object>(commit);
}

int CreateBranch(git_repository* repository, const char* name) {
  const GitPtr<git_object> commit = HeadCommit(repository);
  git_reference* created = nullptr;
  if (!commit ||
      git_branch_create(&created, repository, name, reinterpret_cast<git_commit*>(commit.get()), 0) < 0) {
    return GitLibraryFailure();
  }
  git_reference_free(created);
  return 0;
}

int CollectTagName(const char* name, void* payload) {
  constexpr std::string_view kPrefix = "refs/tags/";
  if (std::strncmp(name, kPrefix.data(), kPrefix.size()) == 0) {
    static_cast<std::vector<std::string>*>(payload)->emplace_back(name + kPrefix.size());
  }
  return 0;
}

int ListTags(git_repository* repository) {
  std::vector<std::string> names;
  if (git_reference_foreach_name(repository, CollectTagName, &names) < 0) return GitLibraryFailure();
  // Loose and packed tags come in no useful order; listed as git lists them.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) GitPrintOut("%s\n", name.c_str());
  return 0;
}

int TagUsage(const char* command) {
  GitPrintErr(stderr, "USAGE: %s [-d] [tagname]\n", command);
  return 1;
}

}  // namespace

int GitBranch(git_repository* repository, int argc, const char* const* argv) {
  git_branch_t kind = GIT_BRANCH_LOCAL;
  bool kindChosen = false;
  const char* name = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-a") == 0) {
      kind = GIT_BRANCH_ALL;
      kindChosen = true;
    } else if (std::strcmp(argv[i], "-r") == 0) {
      kind = GIT_BRANCH_REMOTE;
      kindChosen = true;
    } else if (argv[i][0] != '-') {
      name = argv[i];
    }
  }
  if (!name) return ListBranches(repository, kind);
  if (kindChosen) {
    GitPrintErr(stderr, "Options -a and -r do not make sense with a branch name");
    return 1;
  }
  return CreateBranch(repository, name);
}

int GitTag(git_repository* repository, int argc, const char* const* argv) {
  if (argc == 1) return ListTags(repository);
  if (argc == 2) {
    const GitPtr<git_object> commit = HeadCommit(repository);
    git_oid created;
    if (!commit || git_tag_create_lightweight(&created, repository, argv[1], commit.get(), 0) < 0) {
      return GitLibraryFailure();
    }
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "-d") == 0) {
    return git_tag_delete(repository, argv[2]) < 0 ? GitLibraryFailure() : 0;
  }
  return TagUsage(argv[0]);
}

}  // namespace GCore
