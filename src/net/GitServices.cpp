// Services every console command shares: option values, file modes and the
// signatures of commits.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "net/GitConsole.h"

namespace GCore {

namespace {

// An environment variable, or null when it is unset or empty.
const char* Environment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

struct SignatureSource {
  const char* nameVariable;
  const char* emailVariable;
  const char* notice;
  const char* placeholderName;
  const char* placeholderEmail;
};

int ConfiguredSignature(git_signature** out, git_repository* repository, const SignatureSource& source) {
  const int error = git_signature_default(out, repository);
  if (error != GIT_ENOTFOUND) return error;
  const char* name = Environment(source.nameVariable);
  const char* email = Environment(source.emailVariable);
  if (name && email) return git_signature_now(out, name, email);
  GitPrintErr(stderr, "%s", source.notice);
  return git_signature_now(out, name ? name : source.placeholderName, email ? email : source.placeholderEmail);
}

}  // namespace

const char* GitOptionValue(const char* option, int argc, const char* const* argv, int* index) {
  const char* argument = argv[*index];
  const size_t length = std::strlen(option);
  if (std::strncmp(argument, option, length) != 0) return nullptr;
  if (argument[length] == '=') return argument + length + 1;
  if (argument[length] == '\0' && *index + 1 < argc) return argv[++*index];
  return nullptr;
}

uint32_t GitFileModeNormalise(uint32_t mode) {
  if (S_ISLNK(mode)) return 0120000;
  if (S_ISDIR(mode) || (mode & S_IFMT) == 0160000) return 0160000;
  return (mode & S_IXUSR) ? 0100755 : 0100644;
}

int GitAuthorSignature(git_signature** out, git_repository* repository) {
  static constexpr SignatureSource kAuthor = {"GIT_AUTHOR_NAME", "GIT_AUTHOR_EMAIL",
                                              "Author information not properly configured!\n", "Dummy Author",
                                              "author@example.invalid"};
  return ConfiguredSignature(out, repository, kAuthor);
}

int GitCommitterSignature(git_signature** out, git_repository* repository) {
  static constexpr SignatureSource kCommitter = {"GIT_COMMITTER_NAME", "GIT_COMMITTER_EMAIL",
                                                 "Committer information not properly configured!\n",
                                                 "Dummy Committer", "committer@example.invalid"};
  return ConfiguredSignature(out, repository, kCommitter);
}

}  // namespace GCore
