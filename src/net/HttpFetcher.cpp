#include "net/HttpFetcher.h"

#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/Log.h"
#include "net/HttpConnection.h"
#include "net/HttpResponse.h"
#include "net/HttpUrl.h"
#include "net/SocketWait.h"

namespace GCore {
namespace {

constexpr int kMaxRedirects = 3;
// With a time-out of 0 a new connection still gets this long to be made.
constexpr int kPollingConnectMs = 1000;

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
  int deadlineSeconds = kHttpDefaultDeadlineSeconds;
  const WaitCancel* cancel = nullptr;
  std::unique_ptr<HttpConnection> cached;
  std::string cachedKey;  // scheme and host text of the cached connection
  std::unique_ptr<char[]> buffer;

  char* Buffer() {
    if (!buffer) buffer = std::make_unique<char[]>(kHttpBufferSize);
    return buffer.get();
  }
  static int Milliseconds(int seconds) {
    if (seconds < 0) return -1;
    return seconds > INT_MAX / 1000 ? INT_MAX : seconds * 1000;
  }
  int WaitMs() const { return Milliseconds(timeoutSeconds); }
  bool Cancelled() const { return cancel && cancel->Raised(); }
  void Forget() {
    cached.reset();
    cachedKey.clear();
  }

  // The cached connection when it is for this host, else a new one (which
  // replaces it), its waits bounded by the fetch's deadline. `reused` tells
  // which.
  HttpConnection* Connect(const HttpUrl& url, const Deadline& deadline, bool& reused) {
    const std::string key = (url.tls ? "https://" : "http://") + url.hostText;
    const WaitBounds bounds{WaitMs(), deadline, cancel};
    reused = cached && cachedKey == key;
    if (!reused) {
      Forget();
      WaitBounds connecting = bounds;
      if (timeoutSeconds == 0) connecting.waitMs = kPollingConnectMs;
      cached = HttpConnection::Open(url.name, url.port, url.tls, connecting);
      if (!cached) return nullptr;
      cachedKey = key;
    }
    cached->SetBounds(bounds);
    return cached.get();
  }
};

// Destroyed when its thread ends, which closes the thread's cached connection.
thread_local ThreadClient t_client;

// Sends the request and reads the response header. A kept connection that
// the server has closed or reset meanwhile gets one more try on a new
// connection.
bool Exchange(ThreadClient& client, const HttpUrl& url, const Deadline& deadline, const std::string& request,
              std::optional<ResponseReader>& reader, HttpResponseHeader& header) {
  for (;;) {
    bool reused = false;
    HttpConnection* connection = client.Connect(url, deadline, reused);
    if (!connection) return false;
    reader.emplace(*connection, client.Buffer(), kHttpBufferSize);
    const bool sent = connection->SendAll(request.data(), request.size());
    if (sent && reader->ReadHeader(header)) return true;
    client.Forget();
    if (!reused || (sent && !reader->DroppedUnused())) return false;
  }
}

using RequestText = std::function<std::string(const HttpUrl&)>;
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
  if (!url || client.Cancelled()) return fail();
  const Deadline deadline = Deadline::In(int64_t{ThreadClient::Milliseconds(client.deadlineSeconds)});
  std::string current = url;
  int redirects = 0;
  std::optional<ResponseReader> reader;
  for (;;) {
    HttpUrl parsed;
    if (!ParseHttpUrl(current, parsed)) return fail();
    const std::string request = requestText(parsed);
    if (request.size() >= kHttpBufferSize) return fail();
    if (!Exchange(client, parsed, deadline, request, reader, header)) return fail();
    if (header.status < 200 || header.status > 307) return fail();
    if (header.status < 300) break;
    if (++redirects > kMaxRedirects) return fail();
    const std::optional<std::string> next = RedirectTarget(header);
    if (!next) return fail();
    // An empty location makes this response's body the result.
    if (next->empty()) break;
    if (next->size() >= kHttpUrlLimit) return fail();
    current = *next;
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
  const auto request = [keepAlive](const HttpUrl& parsed) {
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
  const auto request = [&body](const HttpUrl& parsed) {
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

void HttpFetcher_SetDeadline(int seconds) { t_client.deadlineSeconds = seconds; }

int HttpFetcher_GetDeadline() { return t_client.deadlineSeconds; }

void HttpFetcher_SetCancel(const WaitCancel* cancel) { t_client.cancel = cancel; }

void HttpFetcher_CloseCachedSocket() { t_client.Forget(); }

}  // namespace GCore
