#include "net/GitRemoteServices.h"

#include <cstdlib>
#include <cstring>

#include "net/GitCredentialStore.h"
#include "net/GitWorker.h"

namespace GCore {

int GitCredentialPrompt(git_credential** out, const char* url, const char* /*userFromUrl*/,
                        unsigned int /*allowedTypes*/, void* payload) {
  if (std::strncmp(url, "https:", 6) != 0) return GIT_PASSTHROUGH;
  if (auto* progress = static_cast<GitProgress*>(payload); progress && progress->credentialsOffered++ > 0) {
    const std::string message = std::string("the server refused the credential for ") + url;
    git_error_set_str(GIT_ERROR_HTTP, message.c_str());
    return GIT_EAUTH;
  }
  GitPrintOut("Enter user name for %s: ", url);
  GitPrintOut("Enter password for %s: ", url);
  const std::optional<GitCredential> credential = FindGitCredential(url);
  if (!credential) {
    const std::string message = std::string("no credential for ") + url +
                                " (set QUARVELIN_GIT_USERNAME and QUARVELIN_GIT_PASSWORD, or name a credential "
                                "file in QUARVELIN_GIT_CREDENTIALS)";
    git_error_set_str(GIT_ERROR_NET, message.c_str());
    return GIT_EAUTH;
  }
  return git_credential_userpass_plaintext_new(out, credential->user.c_str(), credential->password.c_str()) < 0 ? -1
                                                                                                                : 0;
}

bool GitCertificateAccepted(int valid) {
  if (valid) return true;
  const char* noVerify = std::getenv("GIT_SSL_NO_VERIFY");
  int truth = 0;
  if (!noVerify || git_config_parse_bool(&truth, noVerify) < 0 || !truth) return false;
  GitPrintErr(stderr, "Ignoring that certificate could not be verified as GIT_SSL_NO_VERIFY variable is set.\n");
  return true;
}

int GitCertificateCheck(git_cert* /*certificate*/, int valid, const char* /*host*/, void* /*payload*/) {
  return GitCertificateAccepted(valid) ? 0 : GIT_PASSTHROUGH;
}

void GitCloneProgress(const GitProgress& progress) {
  const git_indexer_progress& transfer = progress.transfer;
  const unsigned total = transfer.total_objects;
  const int networkPercent = total > 0 ? static_cast<int>(100 * transfer.received_objects / total) : 0;
  const int indexPercent = total > 0 ? static_cast<int>(100 * transfer.indexed_objects / total) : 0;
  const int checkoutPercent =
      progress.totalSteps > 0
          ? static_cast<int>(static_cast<float>(progress.completedSteps) * 100.0f / static_cast<float>(progress.totalSteps))
          : 0;
  GitPrintErr(stderr, "net %3d%% (%4d kb, %5d/%5d)  /  idx %3d%% (%5d/%5d)  /  chk %3d%% (%4zu/%4zu)\r",
              networkPercent, static_cast<int>(transfer.received_bytes / 1024),
              static_cast<int>(transfer.received_objects), static_cast<int>(total), indexPercent,
              static_cast<int>(transfer.indexed_objects), static_cast<int>(total), checkoutPercent,
              progress.completedSteps, progress.totalSteps);
}

int GitFetchProgressCb(const git_indexer_progress* stats, void* payload) {
  auto* progress = static_cast<GitProgress*>(payload);
  progress->transfer = *stats;
  GitCloneProgress(*progress);
  return GitWorkerStopping() ? GIT_EUSER : 0;
}

void GitCheckoutProgressCb(const char* path, size_t completedSteps, size_t totalSteps, void* payload) {
  auto* progress = static_cast<GitProgress*>(payload);
  progress->path = path ? path : "";
  progress->completedSteps = completedSteps;
  progress->totalSteps = totalSteps;
  GitCloneProgress(*progress);
}

int GitSidebandCb(const char* text, int length, void* /*payload*/) {
  GitPrintOut("remote: %.*s", length, text);
  return GitWorkerStopping() ? GIT_EUSER : 0;
}

int GitUpdateTipsCb(const char* referenceName, const git_oid* oldId, const git_oid* newId, void* /*payload*/) {
  char newText[GIT_OID_HEXSZ + 1];
  git_oid_tostr(newText, sizeof newText, newId);
  if (git_oid_is_zero(oldId)) {
    GitPrintOut("[new]     %.20s %s\n", newText, referenceName);
  } else {
    char oldText[GIT_OID_HEXSZ + 1];
    git_oid_tostr(oldText, sizeof oldText, oldId);
    GitPrintOut("[updated] %.10s..%.10s %s\n", oldText, newText, referenceName);
  }
  return 0;
}

int GitPushStatusCb(const char* referenceName, const char* status, void* /*payload*/) {
  GitPrintOut("%s: %s\n", referenceName, status ? status : "Ok");
  return 0;
}

}  // namespace GCore
