// The console's history commands: "log", "rev-list" and "show".
#include <cstdio>
#include <cstring>
#include <ctime>

#include "net/GitConsole.h"
#include "net/GitInspectCommands.h"

namespace GCore {

namespace {

// Month names of the C locale, whatever locale the process runs under.
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// "commit <id> <date> <message>": the committer's date in the committer's own
// zone as day, month name and year run together; the message keeps its own
// line ends.
void GitPrintCommitLine(const git_commit* commit) {
  char id[GIT_OID_HEXSZ + 1];
  git_oid_tostr(id, sizeof id, git_commit_id(commit));
  const git_time& when = git_commit_committer(commit)->when;
  const time_t local = static_cast<time_t>(when.time + int64_t{when.offset} * 60);
  char date[32];
  tm parts = {};
  if (gmtime_r(&local, &parts)) {
    std::snprintf(date, sizeof date, "%02d%s%d", parts.tm_mday, kMonths[parts.tm_mon], parts.tm_year + 1900);
  } else {
    // A time no calendar holds (only a forged commit has one).
    std::snprintf(date, sizeof date, "%lld", static_cast<long long>(when.time));
  }
  const char* message = git_commit_message(commit);
  while (*message == '\n') ++message;
  GitPrintOut("commit %s %s %s\n", id, date, message);
}

GitPtr<git_revwalk> NewWalk(git_repository* repository) {
  git_revwalk* raw = nullptr;
  if (git_revwalk_new(&raw, repository) < 0) CheckLibgitError();
  return GitPtr<git_revwalk>(raw);
}

// Pushes what the reference named by `name` leads to.
int PushReference(git_revwalk* walk, git_repository* repository, const char* name) {
  git_reference* rawReference = nullptr;
  if (git_reference_dwim(&rawReference, repository, name) < 0) return -1;
  const GitPtr<git_reference> reference(rawReference);
  git_object* rawTarget = nullptr;
  if (git_reference_peel(&rawTarget, reference.get(), GIT_OBJECT_ANY) < 0) return -1;
  const GitPtr<git_object> target(rawTarget);
  return git_revwalk_push(walk, git_object_id(target.get()));
}

// Runs the walk to its end, calling `print` with each commit.
template <typename Print>
int WalkCommits(git_revwalk* walk, git_repository* repository, Print print) {
  git_oid id;
  int step;
  while ((step = git_revwalk_next(&id, walk)) == 0) {
    git_commit* raw = nullptr;
    if (git_commit_lookup(&raw, repository, &id) < 0) return GitLibraryFailure();
    const GitPtr<git_commit> commit(raw);
    print(commit.get());
  }
  return step == GIT_ITEROVER ? 0 : GitLibraryFailure();
}

}  // namespace

int GitLog(git_repository* repository, int argc, const char* const* argv) {
  const GitPtr<git_revwalk> walk = NewWalk(repository);
  if (!walk) return 1;
  if (argc > 1) {
    if (PushReference(walk.get(), repository, argv[1]) < 0) return GitLibraryFailure();
  } else {
    // An unborn HEAD leaves the walk empty: a repository without commits has
    // no log.
    git_oid head;
    if (git_reference_name_to_id(&head, repository, "HEAD") == 0 && git_revwalk_push(walk.get(), &head) < 0) {
      return GitLibraryFailure();
    }
  }
  return WalkCommits(walk.get(), repository, GitPrintCommitLine);
}

int GitRevList(git_repository* repository, int argc, const char* const* argv) {
  const char* commitId = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--pretty=", 9) == 0) {
      GitPrintErr(stderr, "Format \"%s\" not supported!\n", argv[i] + 9);
      return 1;
    }
    if (argv[i][0] == '-') {
      GitPrintErr(stderr, "Unknown option \"%s\"\n", argv[i]);
      return 1;
    }
    commitId = argv[i];
  }
  if (!commitId) {
    GitPrintErr(stderr, "No commit id given!\n");
    return 1;
  }
  // The id may be abbreviated: a unique prefix names its commit.
  const size_t length = std::strlen(commitId);
  git_oid id;
  git_commit* rawCommit = nullptr;
  if (git_oid_fromstrn(&id, commitId, length) < 0 || git_commit_lookup_prefix(&rawCommit, repository, &id, length) < 0) {
    return GitLibraryFailure();
  }
  const GitPtr<git_commit> commit(rawCommit);
  const GitPtr<git_revwalk> walk = NewWalk(repository);
  if (!walk) return 1;
  if (git_revwalk_sorting(walk.get(), GIT_SORT_TIME) < 0 || git_revwalk_push(walk.get(), git_commit_id(commit.get())) < 0) {
    return GitLibraryFailure();
  }
  return WalkCommits(walk.get(), repository, [](const git_commit* each) {
    char text[GIT_OID_HEXSZ + 1];
    GitPrintOut("%s\n", git_oid_tostr(text, sizeof text, git_commit_id(each)));
  });
}

int GitShow(git_repository* repository, int argc, const char* const* argv) {
  const char* revision = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--pretty=raw") == 0) continue;
    if (argv[i][0] == '-') {
      GitPrintErr(stderr, "Unknown option %s!\n", argv[i]);
      return 1;
    }
    revision = argv[i];
  }
  if (!revision) {
    GitPrintErr(stderr, "Needs a tree argument currently\n");
    return 1;
  }
  git_object* raw = nullptr;
  if (git_revparse_single(&raw, repository, revision) < 0) return GitLibraryFailure();
  const GitPtr<git_object> object(raw);
  if (git_object_type(object.get()) == GIT_OBJECT_COMMIT) return 0;
  GitPrintErr(stderr, "Unsupported object type %s\n", git_object_type2string(git_object_type(object.get())));
  return 1;
}

}  // namespace GCore
