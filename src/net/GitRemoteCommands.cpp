// The console's network commands: "clone", "fetch", "push" and "ls-remote".
#include "net/GitRemoteCommands.h"

#include <memory>
#include <string>

#include "net/GitConsole.h"
#include "net/GitRemoteServices.h"
#include "net/GitTimedStream.h"

namespace GCore {

namespace {

// What stands before the command name in the usage lines of fetch and
// ls-remote: the console has no program name of its own.
constexpr const char* kProgramName = "git";

struct RemoteFree {
  void operator()(git_remote* remote) const { git_remote_free(remote); }
};
using RemotePtr = std::unique_ptr<git_remote, RemoteFree>;

// Every transfer offers the console's credential and judges certificates
// with the console's check; the progress record is the callbacks' payload.
// Its sockets give up on a silent server.
git_remote_callbacks TransferCallbacks(GitProgress& progress) {
  if (!UseGitTimedStreams()) CheckLibgitError();
  git_remote_callbacks callbacks = GIT_REMOTE_CALLBACKS_INIT;
  callbacks.credentials = GitCredentialPrompt;
  callbacks.certificate_check = GitCertificateCheck;
  callbacks.payload = &progress;
  return callbacks;
}

git_fetch_options FetchOptions(const git_remote_callbacks& callbacks) {
  git_fetch_options options = GIT_FETCH_OPTIONS_INIT;
  options.callbacks = callbacks;
  options.prune = GIT_FETCH_PRUNE_UNSPECIFIED;
  options.update_fetchhead = 1;
  options.download_tags = GIT_REMOTE_DOWNLOAD_TAGS_UNSPECIFIED;
  return options;
}

// The configured remote of that name, else a remote without a name for the
// text as its URL; null (the library's error set) when neither can be made.
RemotePtr NamedOrAnonymousRemote(git_repository* repository, const char* nameOrUrl) {
  git_remote* remote = nullptr;
  if (git_remote_lookup(&remote, repository, nameOrUrl) < 0 &&
      git_remote_create_anonymous(&remote, repository, nameOrUrl) < 0) {
    return nullptr;
  }
  return RemotePtr(remote);
}

// A refspec naming a reference of this repository ("master") is sent as the
// reference's full name; anything else as it stands.
std::string PushRefspec(git_repository* repository, const char* argument) {
  git_reference* reference = nullptr;
  if (git_reference_dwim(&reference, repository, argument) < 0) {
    git_error_clear();
    return argument;
  }
  const GitPtr<git_reference> owned(reference);
  return git_reference_name(reference);
}

// The library counts the bytes it receives only while a transfer callback
// is set: this one keeps quiet, and ends the transfer once the worker stops.
int CountTransfer(const git_indexer_progress* /*stats*/, void* /*payload*/) {
  return GitWorkerStopping() ? GIT_EUSER : 0;
}

void PrintReceived(const git_indexer_progress& stats) {
  if (stats.local_objects > 0) {
    GitPrintOut("\rReceived %d/%d objects in %zu bytes (used %d local objects)\n",
                static_cast<int>(stats.indexed_objects), static_cast<int>(stats.total_objects), stats.received_bytes,
                static_cast<int>(stats.local_objects));
  } else {
    GitPrintOut("\rReceived %d/%d objects in %zu bytes\n", static_cast<int>(stats.indexed_objects),
                static_cast<int>(stats.total_objects), stats.received_bytes);
  }
}

}  // namespace

int GitClone(git_repository* /*repository*/, int argc, const char* const* argv) {
  if (argc < 3) {
    GitPrintErr(stderr, "USAGE: %s <url> <path>\n", argv[0]);
    return -1;
  }
  GitProgress progress;
  git_clone_options options = GIT_CLONE_OPTIONS_INIT;
  // Only the repository is made: the resource streams read objects, not files.
  options.checkout_opts.checkout_strategy = GIT_CHECKOUT_NONE;
  options.checkout_opts.progress_cb = GitCheckoutProgressCb;
  options.checkout_opts.progress_payload = &progress;
  options.local = GIT_CLONE_NO_LOCAL;
  options.fetch_opts = FetchOptions(TransferCallbacks(progress));
  options.fetch_opts.callbacks.transfer_progress = GitFetchProgressCb;
  git_repository* cloned = nullptr;
  // A failed clone removes what it made of the target folder.
  if (git_clone(&cloned, argv[1], argv[2], &options) < 0) return GitLibraryFailure();
  const GitPtr<git_repository> owned(cloned);
  GitPrintOut("\n");
  return 0;
}

int GitFetch(git_repository* repository, int argc, const char* const* argv) {
  if (argc < 2) {
    GitPrintErr(stderr, "usage: %s fetch <repo>\n", kProgramName);
    return 1;
  }
  GitPrintOut("Fetching %s for repo at %s\n", argv[1], git_repository_path(repository));
  const RemotePtr remote = NamedOrAnonymousRemote(repository, argv[1]);
  if (!remote) return GitLibraryFailure();
  GitProgress progress;
  git_remote_callbacks callbacks = TransferCallbacks(progress);
  callbacks.sideband_progress = GitSidebandCb;
  callbacks.update_tips = GitUpdateTipsCb;
  callbacks.transfer_progress = CountTransfer;
  const git_fetch_options options = FetchOptions(callbacks);
  if (git_remote_connect(remote.get(), GIT_DIRECTION_FETCH, &callbacks, nullptr, nullptr) < 0 ||
      git_remote_download(remote.get(), nullptr, &options) < 0) {
    return GitLibraryFailure();
  }
  PrintReceived(*git_remote_stats(remote.get()));
  git_remote_disconnect(remote.get());
  if (git_remote_update_tips(remote.get(), &callbacks, 1, GIT_REMOTE_DOWNLOAD_TAGS_UNSPECIFIED, nullptr) < 0) {
    return GitLibraryFailure();
  }
  return 0;
}

int GitPush(git_repository* repository, int argc, const char* const* argv) {
  RemotePtr remote;
  std::string refspec;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument[0] == '-') {
      GitPrintErr(stderr, "Unknown option \"%s\"\n", argument);
      return 1;
    }
    if (positional == 0) {
      git_remote* found = nullptr;
      if (git_remote_lookup(&found, repository, argument) < 0) return GitLibraryFailure();
      remote.reset(found);
    } else if (positional == 1) {
      refspec = PushRefspec(repository, argument);
    } else {
      GitPrintErr(stderr, "USAGE: %s <remote> <refspec>\n", argv[0]);
      return 1;
    }
    ++positional;
  }
  if (!remote) {
    GitPrintErr(stderr, "No remote given!\n");
    return 1;
  }
  char* refspecs[] = {refspec.data()};
  const git_strarray given = {refspecs, 1};
  const git_strarray* chosen = positional > 1 ? &given : nullptr;
  if (!chosen) {
    git_strarray configured = {};
    const bool none = git_remote_get_push_refspecs(&configured, remote.get()) == 0 && configured.count == 0;
    git_strarray_dispose(&configured);
    if (none) GitPrintErr(stderr, "No refspec given and no refspec configured. Pushing is probably a noop.\n");
  }
  GitProgress progress;
  git_push_options options = GIT_PUSH_OPTIONS_INIT;
  options.callbacks = TransferCallbacks(progress);
  options.callbacks.push_update_reference = GitPushStatusCb;
  if (git_remote_push(remote.get(), chosen, &options) < 0) return GitLibraryFailure();
  return 0;
}

int GitLsRemote(git_repository* repository, int argc, const char* const* argv) {
  if (argc < 2) {
    GitPrintErr(stderr, "usage: %s ls-remote <remote>\n", kProgramName);
    return 1;
  }
  const RemotePtr remote = NamedOrAnonymousRemote(repository, argv[1]);
  if (!remote) return GitLibraryFailure();
  GitProgress progress;
  const git_remote_callbacks callbacks = TransferCallbacks(progress);
  // A remote that cannot be reached says so: an empty listing would read as
  // a repository without references.
  if (git_remote_connect(remote.get(), GIT_DIRECTION_FETCH, &callbacks, nullptr, nullptr) < 0) {
    return GitLibraryFailure();
  }
  const git_remote_head** heads = nullptr;
  size_t count = 0;
  if (git_remote_ls(&heads, &count, remote.get()) < 0) return GitLibraryFailure();
  for (size_t i = 0; i < count; ++i) {
    char id[GIT_OID_HEXSZ + 1];
    GitPrintOut("%s\t%s\n", git_oid_tostr(id, sizeof id, &heads[i]->oid), heads[i]->name);
  }
  return 0;
}

}  // namespace GCore
