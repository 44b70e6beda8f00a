#include "net/GitTimedStream.h"

#include <git2.h>
#include <git2/sys/stream.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "net/GitWorker.h"

namespace GCore {

namespace {

std::atomic<int64_t> g_stallLimitMs{60000};

// Silence is measured in slices so that a stop of the worker is seen soon.
constexpr int kSliceMs = 200;

struct TimedStream {
  git_stream base = {};  // first: the library holds a pointer to it; plain, no proxy
  std::string host;
  std::string port;
  int socket = -1;
};

TimedStream* Of(git_stream* stream) { return reinterpret_cast<TimedStream*>(stream); }

int NetError(const std::string& message) {
  git_error_set_str(GIT_ERROR_NET, message.c_str());
  return -1;
}

// Waits until the socket is ready for `events`; 0 then, else -1 with the
// library's error set.
int WaitReady(const TimedStream& stream, short events) {
  const int64_t limit = g_stallLimitMs.load();
  for (int64_t waited = 0;; waited += kSliceMs) {
    if (GitWorkerStopping()) return NetError("the transfer was stopped: the program is closing");
    if (waited >= limit) {
      return NetError("no answer from " + stream.host + ":" + stream.port + " for " + std::to_string(limit) +
                      " ms: the server is gone or stalled");
    }
    pollfd watched = {stream.socket, events, 0};
    const int ready = poll(&watched, 1, static_cast<int>(std::min<int64_t>(kSliceMs, limit - waited)));
    if (ready > 0) return 0;
    if (ready < 0 && errno != EINTR) return NetError(std::string("cannot wait on the socket: ") + std::strerror(errno));
  }
}

// Non-blocking connect to one address; true when connected.
bool ConnectTo(TimedStream& stream, const addrinfo& address) {
  stream.socket = socket(address.ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, address.ai_protocol);
  if (stream.socket < 0) return false;
  if (connect(stream.socket, address.ai_addr, address.ai_addrlen) == 0) return true;
  int failure = errno;
  if (failure == EINPROGRESS) {
    if (WaitReady(stream, POLLOUT) < 0) {
      close(stream.socket);
      stream.socket = -1;
      return false;
    }
    socklen_t length = sizeof failure;
    if (getsockopt(stream.socket, SOL_SOCKET, SO_ERROR, &failure, &length) == 0 && failure == 0) return true;
  }
  NetError("failed to connect to " + stream.host + ":" + stream.port + ": " + std::strerror(failure));
  close(stream.socket);
  stream.socket = -1;
  return false;
}

int Connect(git_stream* base) {
  TimedStream& stream = *Of(base);
  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (const int failed = getaddrinfo(stream.host.c_str(), stream.port.c_str(), &hints, &found); failed != 0) {
    return NetError("failed to resolve address for " + stream.host + ": " + gai_strerror(failed));
  }
  git_error_clear();
  bool connected = false;
  for (const addrinfo* address = found; address && !connected; address = address->ai_next) {
    connected = ConnectTo(stream, *address);
  }
  freeaddrinfo(found);
  if (connected) return 0;
  if (!git_error_last()) return NetError("failed to connect to " + stream.host + ":" + stream.port);
  return -1;
}

ssize_t Read(git_stream* base, void* data, size_t length) {
  TimedStream& stream = *Of(base);
  for (;;) {
    const ssize_t received = recv(stream.socket, data, length, 0);
    if (received >= 0) return received;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      return NetError(std::string("error receiving data from socket: ") + std::strerror(errno));
    }
    if (WaitReady(stream, POLLIN) < 0) return -1;
  }
}

ssize_t Write(git_stream* base, const char* data, size_t length, int /*flags*/) {
  TimedStream& stream = *Of(base);
  size_t sent = 0;
  while (sent < length) {
    const ssize_t written = send(stream.socket, data + sent, length - sent, MSG_NOSIGNAL);
    if (written >= 0) {
      sent += static_cast<size_t>(written);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      return NetError(std::string("error sending data: ") + std::strerror(errno));
    }
    if (WaitReady(stream, POLLOUT) < 0) return -1;
  }
  return static_cast<ssize_t>(sent);
}

int Close(git_stream* base) {
  TimedStream& stream = *Of(base);
  if (stream.socket >= 0) close(stream.socket);
  stream.socket = -1;
  return 0;
}

void Free(git_stream* base) {
  Close(base);
  delete Of(base);
}

int Create(git_stream** out, const char* host, const char* port) {
  auto* stream = new TimedStream;
  stream->base.version = GIT_STREAM_VERSION;
  stream->base.connect = Connect;
  stream->base.read = Read;
  stream->base.write = Write;
  stream->base.close = Close;
  stream->base.free = Free;
  stream->host = host;
  stream->port = port;
  *out = &stream->base;
  return 0;
}

}  // namespace

void SetGitStallLimit(std::chrono::milliseconds limit) { g_stallLimitMs = limit.count(); }

bool UseGitTimedStreams() {
  git_stream_registration registration = {};
  registration.version = GIT_STREAM_VERSION;
  registration.init = Create;
  return git_stream_register(GIT_STREAM_STANDARD, &registration) == 0;
}

}  // namespace GCore
