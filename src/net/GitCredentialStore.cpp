#include "net/GitCredentialStore.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace GCore {

namespace {

// The parts of a URL a stored credential is matched on.
struct UrlParts {
  std::string_view scheme;  // "https"
  std::string_view user;    // empty when the URL names none
  std::string_view password;
  std::string_view host;  // host[:port]
};

std::optional<UrlParts> SplitUrl(std::string_view url) {
  const size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string_view::npos || schemeEnd == 0) return std::nullopt;
  UrlParts parts;
  parts.scheme = url.substr(0, schemeEnd);
  std::string_view authority = url.substr(schemeEnd + 3);
  authority = authority.substr(0, std::min(authority.find_first_of("/?#"), authority.size()));
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
    const std::string_view userInfo = authority.substr(0, at);
    const size_t colon = userInfo.find(':');
    parts.user = userInfo.substr(0, colon);
    if (colon != std::string_view::npos) parts.password = userInfo.substr(colon + 1);
    authority.remove_prefix(at + 1);
  }
  if (authority.empty()) return std::nullopt;
  parts.host = authority;
  return parts;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
    const int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
    if (low >= 0) {
      decoded += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

const char* Environment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

}  // namespace

std::optional<GitCredential> FindStoredCredential(std::string_view store, std::string_view url) {
  const std::optional<UrlParts> wanted = SplitUrl(url);
  if (!wanted) return std::nullopt;
  while (!store.empty()) {
    const size_t end = std::min(store.find('\n'), store.size());
    std::string_view line = store.substr(0, end);
    store.remove_prefix(std::min(end + 1, store.size()));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    const std::optional<UrlParts> stored = SplitUrl(line);
    if (!stored || stored->user.empty() || stored->scheme != wanted->scheme || stored->host != wanted->host) continue;
    const std::string user = PercentDecoded(stored->user);
    if (!wanted->user.empty() && PercentDecoded(wanted->user) != user) continue;
    return GitCredential{user, PercentDecoded(stored->password)};
  }
  return std::nullopt;
}

std::optional<GitCredential> FindGitCredential(std::string_view url) {
  const char* user = Environment("QUARVELIN_GIT_USERNAME");
  if (user) {
    const char* password = std::getenv("QUARVELIN_GIT_PASSWORD");
    return GitCredential{user, password ? password : ""};
  }
  const char* file = Environment("QUARVELIN_GIT_CREDENTIALS");
  if (!file) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return FindStoredCredential(text.str(), url);
}

}  // namespace GCore
