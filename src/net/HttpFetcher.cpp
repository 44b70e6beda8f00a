#include "net/HttpFetcher.h"

#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/Log.h"
#include "net/HttpConnection.h"
#include "net/HttpResponse.h"

namespace GCore {
namespace {

constexpr int kMaxRedirects = 3;
// With a time-out of 0 a new connection still gets this long to be made.
constexpr int kPollingConnectMs = 1000;

struct ParsedUrl {
  bool tls = false;
  std::string hostText;  // as the URL gives it, with its port: the Host line
  std::string name;
  int port = 0;
  std::string path;
};

bool IsSchemeHttps(std::string_view scheme) {
  if (scheme.size() != 5) return false;
  for (size_t i = 0; i < 5; ++i) {
    if ((scheme[i] | 0x20) != "https"[i]) return false;
  }
  return true;
}

// Reads the host (with an optional port) and the path. A URL too long, with
// bytes that would break the request's lines, or without a usable host or
// port is refused.
bool ParseUrl(std::string_view url, ParsedUrl& parsed) {
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

bool AsksToClose(const HttpResponseHeader& header) {
  const auto value = header.Field("Connection");
  if (!value) return false;
  std::string lower(*value);
  for (char& c : lower) c = static_cast<char>(c | 0x20);
  return lower.find("close") != std::string::npos;
}

// The calling thread's client.
struct ThreadClient {
  int timeoutSeconds = kHttpDefaultTimeoutSeconds;
  std::unique_ptr<HttpConnection> cached;
  std::string cachedKey;  // scheme and host text of the cached connection
  std::unique_ptr<char[]> buffer;

  char* Buffer() {
    if (!buffer) buffer = std::make_unique<char[]>(kHttpBufferSize);
    return buffer.get();
  }
  int WaitMs() const {
    if (timeoutSeconds < 0) return -1;
    return timeoutSeconds > INT_MAX / 1000 ? INT_MAX : timeoutSeconds * 1000;
  }
  void Forget() {
    cached.reset();
    cachedKey.clear();
  }

  // The cached connection when it is for this host, else a new one (which
  // replaces it). `reused` tells which.
  HttpConnection* Connect(const ParsedUrl& url, bool& reused) {
    const std::string key = (url.tls ? "https://" : "http://") + url.hostText;
    reused = cached && cachedKey == key;
    if (reused) return cached.get();
    Forget();
    const int connectWait = timeoutSeconds == 0 ? kPollingConnectMs : WaitMs();
    cached = HttpConnection::Open(url.name, url.port, url.tls, connectWait);
    if (!cached) return nullptr;
    cached->SetWait(WaitMs());
    cachedKey = key;
    return cached.get();
  }
};

// Destroyed when its thread ends, which closes the thread's cached connection.
thread_local ThreadClient t_client;

// Sends the request and reads the response header. A kept connection that
// the server has closed or reset meanwhile gets one more try on a new
// connection.
bool Exchange(ThreadClient& client, const ParsedUrl& url, const std::string& request,
              std::optional<ResponseReader>& reader, HttpResponseHeader& header) {
  for (;;) {
    bool reused = false;
    HttpConnection* connection = client.Connect(url, reused);
    if (!connection) return false;
    reader.emplace(*connection, client.Buffer(), kHttpBufferSize);
    const bool sent = connection->SendAll(request.data(), request.size());
    if (sent && reader->ReadHeader(header)) return true;
    client.Forget();
    if (!reused || (sent && !reader->DroppedUnused())) return false;
  }
}

using RequestText = std::function<std::string(const ParsedUrl&)>;
using BodyPiece = std::function<bool(const char* data, size_t size, const HttpResponseHeader& header)>;

// One request through its redirects; the final response's body goes to
// `piece`. The number of body bytes, or -1. The connection stays cached
// only when `keepAlive` and the response allows it.
int64_t Fetch(const char* url, const RequestText& requestText, bool keepAlive, const BodyPiece& piece,
              HttpResponseHeader& header) {
  ThreadClient& client = t_client;
  const auto fail = [&client] {
    client.Forget();
    return int64_t{-1};
  };
  if (!url) return fail();
  std::string current = url;
  int redirects = 0;
  std::optional<ResponseReader> reader;
  for (;;) {
    ParsedUrl parsed;
    if (!ParseUrl(current, parsed)) return fail();
    const std::string request = requestText(parsed);
    if (request.size() >= kHttpBufferSize) return fail();
    if (!Exchange(client, parsed, request, reader, header)) return fail();
    if (header.status < 200 || header.status > 307) return fail();
    if (header.status < 300) break;
    if (++redirects > kMaxRedirects) return fail();
    const auto location = header.Field("Location");
    if (!location) return fail();
    const std::string_view next = location->substr(0, location->find(' '));
    // An empty location makes this response's body the result.
    if (next.empty()) break;
    if (next.size() >= kHttpUrlLimit) return fail();
    current = std::string(next);
    // Its body was not read, and the server may close it: never reused.
    client.Forget();
  }
  BodyFraming framing;
  if (!FramingOf(header, framing)) return fail();
  int64_t total = 0;
  const bool complete = reader->ReadBody(framing, [&](const char* data, size_t size) {
    total += static_cast<int64_t>(size);
    return piece(data, size, header);
  });
  if (!complete) return fail();
  if (!keepAlive || !reader->EndedCleanly() || AsksToClose(header)) client.Forget();
  return total;
}

}  // namespace

int64_t HttpFetcher_Get(const char* url, HttpSink sink, void* context, int keepAlive) {
  const auto request = [keepAlive](const ParsedUrl& parsed) {
    return "GET " + parsed.path + " HTTP/1.1\r\nHost: " + parsed.hostText + "\r\nUser-Agent: VX/1\r\n" +
           (keepAlive > 0 ? "Keep-Alive:5\r\n\r\n" : "Connection: Close\r\n\r\n");
  };
  const auto piece = [sink, context](const char* data, size_t size, const HttpResponseHeader& header) {
    return !sink || sink(context, data, static_cast<int>(size), header.text.c_str()) >= 0;
  };
  HttpResponseHeader header;
  const int64_t total = Fetch(url, request, keepAlive > 0, piece, header);
  if (total < 0) return -1;
  // The closing call with no bytes says the body is whole.
  if (sink && sink(context, t_client.Buffer(), 0, header.text.c_str()) < 0) {
    HttpFetcher_CloseCachedSocket();
    return -1;
  }
  return total;
}

int64_t HttpFetcher_Post(const char* url, const char* json) {
  if (!json) return -1;
  const std::string body = json;
  const auto request = [&body](const ParsedUrl& parsed) {
    // The two bytes after the body are not counted in its length, as the
    // collectors have always received it.
    return "POST " + parsed.path + " HTTP/1.1\r\nHost: " + parsed.hostText +
           "\r\nUser-Agent: VX/1\r\nAccept: application/json\r\nContent-Type: application/json\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\nConnection: Close\r\n\r\n" + body + "\r\n";
  };
  const auto piece = [](const char*, size_t, const HttpResponseHeader&) {
    LogWrite("post OK");
    return true;
  };
  HttpResponseHeader header;
  const int64_t total = Fetch(url, request, false, piece, header);
  HttpFetcher_CloseCachedSocket();
  return total;
}

void HttpFetcher_SetTimeout(int seconds) { t_client.timeoutSeconds = seconds; }

int HttpFetcher_GetTimeout() { return t_client.timeoutSeconds; }

void HttpFetcher_CloseCachedSocket() { t_client.Forget(); }

}  // namespace GCore
