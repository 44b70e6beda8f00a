#pragma once
// The URLs of the HTTP client: the one a caller gives and the one a redirect
// names. Pure text handling, no sockets; any thread.
#include <optional>
#include <string>
#include <string_view>

#include "net/HttpResponse.h"

namespace GCore {

struct HttpUrl {
  bool tls = false;      // the scheme word is https (any case)
  std::string hostText;  // as the URL gives it, with its port: the Host line
  std::string name;
  int port = 0;
  std::string path;      // "/" when the URL has none
};

// Reads the host (with an optional port) and the path; any scheme word
// before "://" other than https means plain HTTP. A URL of kHttpUrlLimit
// bytes or more, with bytes that would break the request's lines, or
// without a usable host or port is refused.
bool ParseHttpUrl(std::string_view url, HttpUrl& parsed);

// Where a redirect response sends the client: its Location field up to the
// first space, possibly empty (the response's own body is then the result).
// None when the field is missing.
std::optional<std::string> RedirectTarget(const HttpResponseHeader& header);

}  // namespace GCore
