#pragma once
// What every network operation of the git console is given: the credential
// callback, the certificate check, and the progress and reference-update
// printers. They run on the worker's thread inside a transfer and print
// through the console's channels.
#include <git2.h>

#include <cstddef>
#include <string>

namespace GCore {

// Offers a user-name and password credential to https URLs only, taken from
// the environment or the configured file (GitCredentialStore.h); prints the
// two prompts as the console always did. With no credential for the URL the
// transfer fails with a library error that says so; it never waits for input.
// Payload: the operation's GitProgress, or null. A stored credential does not
// change when the server refuses it, so it is offered once per operation: a
// second request fails the transfer with a library error naming the refusal.
int GitCredentialPrompt(git_credential** out, const char* url, const char* userFromUrl, unsigned int allowedTypes,
                        void* payload);

// A certificate the library verified is accepted; an unverified one only while
// GIT_SSL_NO_VERIFY holds a true git boolean, with a notice.
bool GitCertificateAccepted(int valid);
// The library's callback over GitCertificateAccepted: 0 accepts; a refusal
// leaves the decision to the library, which refuses an unverified certificate.
int GitCertificateCheck(git_cert* certificate, int valid, const char* host, void* payload);

// The progress record all progress callbacks of one operation share.
struct GitProgress {
  git_indexer_progress transfer = {};
  size_t completedSteps = 0;
  size_t totalSteps = 0;
  std::string path;
  int credentialsOffered = 0;
};

// Prints the clone progress line (error channel, ends in a carriage return).
void GitCloneProgress(const GitProgress& progress);
// Payload: the GitProgress. The transfer callbacks answer an error once the
// worker is told to stop, so a transfer ends early at exit.
int GitFetchProgressCb(const git_indexer_progress* stats, void* payload);
void GitCheckoutProgressCb(const char* path, size_t completedSteps, size_t totalSteps, void* payload);
int GitSidebandCb(const char* text, int length, void* payload);
int GitUpdateTipsCb(const char* referenceName, const git_oid* oldId, const git_oid* newId, void* payload);
int GitPushStatusCb(const char* referenceName, const char* status, void* payload);

}  // namespace GCore
