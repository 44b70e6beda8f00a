#include "net/HttpUrl.h"

#include "net/HttpFetcher.h"

namespace GCore {
namespace {

bool IsSchemeHttps(std::string_view scheme) {
  if (scheme.size() != 5) return false;
  for (size_t i = 0; i < 5; ++i) {
    if ((scheme[i] | 0x20) != "https"[i]) return false;
  }
  return true;
}

}  // namespace

bool ParseHttpUrl(std::string_view url, HttpUrl& parsed) {
  if (url.size() >= kHttpUrlLimit) return false;
  for (const char c : url) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return false;
  }
  size_t hostStart = 0;
  if (const size_t scheme = url.find("://"); scheme != std::string_view::npos) {
    parsed.tls = IsSchemeHttps(url.substr(0, scheme));
    hostStart = scheme + 3;
  }
  const size_t slash = url.find('/', hostStart);
  parsed.hostText = std::string(url.substr(hostStart, slash == std::string_view::npos ? slash : slash - hostStart));
  parsed.path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
  const size_t colon = parsed.hostText.find(':');
  parsed.name = parsed.hostText.substr(0, colon);
  parsed.port = parsed.tls ? 443 : 80;
  if (colon != std::string::npos) {
    const std::string digits = parsed.hostText.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    parsed.port = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return false;
      parsed.port = parsed.port * 10 + (c - '0');
    }
    if (parsed.port == 0 || parsed.port > 65535) return false;
  }
  return !parsed.name.empty();
}

std::optional<std::string> RedirectTarget(const HttpResponseHeader& header) {
  const auto location = header.Field("Location");
  if (!location) return std::nullopt;
  return std::string(location->substr(0, location->find(' ')));
}

}  // namespace GCore
