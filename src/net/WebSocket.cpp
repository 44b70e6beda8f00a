#include "net/WebSocket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "net/SocketWait.h"
#include "net/WebSocketHandshake.h"
#include "net/WebSocketFrame.h"
#include "platform/TerminationSignals.h"

namespace GCore::easywsclient {
namespace {

// The same for every connection: the client never checks the server's
// answer to it, so a fresh key would prove nothing.
constexpr const char* kHandshakeKey = "pT7wKc2RmZ9vLq4sXb1NhA==";
// Every frame the client sends is masked with this one key.
constexpr uint8_t kMaskKey[4] = {0x3A, 0x9C, 0x51, 0xE7};
constexpr size_t kReceiveStep = 1500;
constexpr size_t kLongestOrigin = 200;
// More than this is never buffered: it holds the largest frame whole.
constexpr size_t kLargestReceiveBuffer = kLargestWebSocketMessage + kLongestWebSocketHeader;
// Frames queued and not yet taken by the socket: past this a send is
// refused, so a peer that stops reading cannot make the client grow.
constexpr size_t kLargestSendBuffer = kLargestWebSocketMessage + kLongestWebSocketHeader;
// Connecting and the opening handshake together, which block the game.
constexpr int kOpenTimeoutMs = 5000;

bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINPROGRESS; }

void SleepMs(int ms) {
  timespec wait{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && RetryInterruptedCall()) {
  }
}

class RealWebSocket final : public WebSocket {
 public:
  explicit RealWebSocket(int socket) : socket_(socket) {}
  ~RealWebSocket() override { CloseSocket(); }

  void Poll(int timeoutMs) override {
    if (readyState_ == CLOSED) {
      if (timeoutMs > 0) SleepMs(timeoutMs);
      return;
    }
    if (timeoutMs != 0) WaitForSocket(timeoutMs);
    Receive();
    if (readyState_ != CLOSED) Transmit();
    if (readyState_ == CLOSING && sendBuffer_.empty()) CloseSocket();
  }

  void Send(std::string_view text) override { Queue(kWsText, text); }
  void SendBinary(const std::vector<uint8_t>& bytes) override {
    Queue(kWsBinary, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  void SendBinary(std::string_view bytes) override { Queue(kWsBinary, bytes); }
  void SendPing() override { Queue(kWsPing, {}); }

  void Close() override {
    if (readyState_ == CLOSING || readyState_ == CLOSED) return;
    readyState_ = CLOSING;
    // FIN and close, masked, no payload, a key of four zero bytes.
    static constexpr uint8_t kCloseFrame[] = {0x88, 0x80, 0, 0, 0, 0};
    sendBuffer_.insert(sendBuffer_.end(), std::begin(kCloseFrame), std::end(kCloseFrame));
  }

  ReadyState GetReadyState() const override { return readyState_; }

  void Dispatch(const Callback& callback) override {
    WebSocketFrameReader::Event event;
    // Each event is taken off the reader before the callback runs, so a
    // callback that polls again only appends behind it.
    while (reader_.Next(event)) {
      switch (event.kind) {
        case WebSocketFrameReader::Kind::kMessage:
          if (callback) callback(*this, event.payload);
          break;
        case WebSocketFrameReader::Kind::kPing:
          Queue(kWsPong, event.payload);
          break;
        case WebSocketFrameReader::Kind::kClose:
          Close();
          break;
        case WebSocketFrameReader::Kind::kUnexpected:
          std::fputs("ERROR: Got unexpected WebSocket message.\n", stderr);
          Close();
          break;
        case WebSocketFrameReader::Kind::kTooLarge:
          std::fputs("ERROR: WebSocket frame or message over 64 MiB; connection closed.\n", stderr);
          CloseSocket();
          return;
      }
    }
  }

 private:
  void Queue(uint8_t opcode, std::string_view payload) {
    if (readyState_ == CLOSING || readyState_ == CLOSED) return;
    if (payload.size() + kLongestWebSocketHeader > kLargestSendBuffer - sendBuffer_.size()) {
      std::fprintf(stderr,
                   "ERROR: WebSocket send of %zu bytes refused: %zu bytes are still waiting to be sent (64 MiB at "
                   "most).\n",
                   payload.size(), sendBuffer_.size());
      return;
    }
    AppendWebSocketFrame(sendBuffer_, opcode, payload, kMaskKey);
  }

  void WaitForSocket(int timeoutMs) {
    fd_set reading;
    fd_set writing;
    FD_ZERO(&reading);
    FD_ZERO(&writing);
    FD_SET(socket_, &reading);
    if (!sendBuffer_.empty()) FD_SET(socket_, &writing);
    timeval wait{timeoutMs / 1000, static_cast<suseconds_t>(timeoutMs % 1000) * 1000};
    select(socket_ + 1, &reading, &writing, nullptr, timeoutMs < 0 ? nullptr : &wait);
  }

  void Lost(ssize_t result) {
    CloseSocket();
    std::fputs(result == 0 ? "Connection closed!\n" : "Connection error!\n", stderr);
  }

  void Receive() {
    uint8_t piece[kReceiveStep];
    // The rest waits in the socket until the reader has taken what it holds.
    while (reader_.Buffered() < kLargestReceiveBuffer) {
      const ssize_t got = recv(socket_, piece, sizeof(piece), 0);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && WouldBlock()) return;
      if (got <= 0) {
        Lost(got);
        return;
      }
      reader_.Append(piece, static_cast<size_t>(got));
    }
  }

  void Transmit() {
    size_t sent = 0;
    while (sent < sendBuffer_.size()) {
      const ssize_t result = send(socket_, sendBuffer_.data() + sent, sendBuffer_.size() - sent, MSG_NOSIGNAL);
      if (result < 0 && errno == EINTR) continue;
      if (result < 0 && WouldBlock()) break;
      if (result <= 0) {
        Lost(result);  // the send buffer is gone with the socket
        return;
      }
      sent += static_cast<size_t>(result);
    }
    sendBuffer_.erase(sendBuffer_.begin(), sendBuffer_.begin() + static_cast<std::ptrdiff_t>(sent));
  }

  void CloseSocket() {
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
    readyState_ = CLOSED;
    sendBuffer_.clear();
  }

  int socket_;
  ReadyState readyState_ = OPEN;
  WebSocketFrameReader reader_;
  std::vector<uint8_t> sendBuffer_;
};

// The opening's socket and the bounds of its waits. The socket is
// non-blocking from the start, so that no wait goes past the deadline; a
// signal that asks the program to close ends the opening.
struct Opening {
  int socket = -1;
  WaitBounds bounds;
  bool timedOut = false;
  bool interrupted = false;

  explicit Opening(const Deadline& deadline) : bounds{-1, deadline, nullptr, TerminationRequested} {}

  // After a would-block: true once the socket is ready for `events`.
  bool Wait(short events) {
    switch (WaitForSocket(socket, events, bounds)) {
      case WaitResult::kReady:
        return true;
      case WaitResult::kTimedOut:
        timedOut = true;
        return false;
      case WaitResult::kCancelled:
        interrupted = true;
        return false;
      case WaitResult::kFailed:
        return false;
    }
    return false;
  }
};

bool WouldWait() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

bool SendText(Opening& opening, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t result = send(opening.socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (result < 0 && WouldWait() && opening.Wait(POLLOUT)) continue;
    if (result <= 0) return false;
    sent += static_cast<size_t>(result);
  }
  return true;
}

// The next byte of the handshake reply, waiting within the opening's bounds.
bool NextByte(Opening& opening, char& c) {
  for (;;) {
    const ssize_t got = recv(opening.socket, &c, 1, 0);
    if (got == 1) return true;
    if (got < 0 && WouldWait() && opening.Wait(POLLIN)) continue;
    return false;
  }
}

std::string Format(const char* format, const std::string& text, int number) {
  char line[512];
  std::snprintf(line, sizeof(line), format, text.c_str(), number);
  return line;
}

// The opening handshake on a connected socket; false when it fails (printed).
bool Handshake(Opening& opening, const std::string& url, const std::string& host, int port, const std::string& path,
               const std::string& origin, const std::string& protocol) {
  const std::string lines[] = {
      "GET /" + path + " HTTP/1.1\r\n",
      port == 80 ? "Host: " + host + "\r\n" : Format("Host: %s:%d\r\n", host, port),
      "Upgrade: websocket\r\n",
      "Connection: Upgrade\r\n",
      origin.empty() ? std::string() : "Origin: " + origin + "\r\n",
      std::string("Sec-WebSocket-Key: ") + kHandshakeKey + "\r\n",
      "Sec-WebSocket-Protocol: " + protocol + "\r\n",
      "Sec-WebSocket-Version: 13\r\n",
      "\r\n",
  };
  for (const std::string& line : lines) {
    if (!line.empty() && !SendText(opening, line)) return false;
  }
  std::string status;
  switch (ReadHandshakeReply([&opening](char& c) { return NextByte(opening, c); }, status)) {
    case HandshakeReply::kAccepted:
      return true;
    case HandshakeReply::kInvalidStatusLine:
      std::fprintf(stderr, "ERROR: Got invalid status line connecting to: %s\n", url.c_str());
      return false;
    case HandshakeReply::kBadStatus:
      std::fprintf(stderr, "ERROR: Got bad status connecting to %s: %s", url.c_str(), status.c_str());
      return false;
    case HandshakeReply::kLost:
      return false;
  }
  return false;
}

// A non-blocking socket connected to the host and port within the opening's
// bounds, or -1.
int ConnectWithin(const std::string& host, int port, Opening& opening) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* addresses = nullptr;
  const std::string service = std::to_string(port);
  const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &addresses);
  if (status != 0) {
    std::fprintf(stderr, "getaddrinfo: %s\n", gai_strerror(status));
    return -1;
  }
  for (const addrinfo* address = addresses; address && opening.socket < 0; address = address->ai_next) {
    opening.socket =
        ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address->ai_protocol);
    if (opening.socket < 0) continue;
    int error = 0;
    if (connect(opening.socket, address->ai_addr, address->ai_addrlen) != 0) {
      error = errno;
      // Interrupted by a signal, the connection is still made in the background.
      if ((error == EINPROGRESS || error == EINTR) && opening.Wait(POLLOUT)) {
        socklen_t length = sizeof(error);
        if (getsockopt(opening.socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
      }
    }
    if (error != 0) {
      ::close(opening.socket);
      opening.socket = -1;
      if (opening.timedOut || opening.interrupted) break;
    }
  }
  freeaddrinfo(addresses);
  return opening.socket;
}

// Why an opening that ran out of time or was interrupted gave up.
void SayWhyGivenUp(const Opening& opening, const std::string& host, int port) {
  if (opening.timedOut) {
    std::fprintf(stderr, "ERROR: no answer from %s:%d within %d s; WebSocket not opened\n", host.c_str(), port,
                 kOpenTimeoutMs / 1000);
  } else if (opening.interrupted) {
    std::fprintf(stderr, "ERROR: WebSocket opening with %s:%d given up: the program is closing\n", host.c_str(),
                 port);
  }
}

}  // namespace

int WebSocket::ConnectHost(const std::string& host, int port) {
  Opening opening(Deadline::In(kOpenTimeoutMs));
  const int socket = ConnectWithin(host, port, opening);
  SayWhyGivenUp(opening, host, port);
  return socket;
}

std::unique_ptr<WebSocket> WebSocket::FromUrl(const std::string& url, const std::string& origin,
                                              const std::string& protocol) {
  if (url.size() >= kLongestWebSocketUrl) {
    std::fprintf(stderr, "ERROR: url size limit exceeded: %s\n", url.c_str());
    return nullptr;
  }
  if (origin.size() >= kLongestOrigin) {
    std::fprintf(stderr, "ERROR: origin size limit exceeded: %s\n", origin.c_str());
    return nullptr;
  }
  WebSocketUrl parsed;
  if (!ParseWebSocketUrl(url, parsed)) {
    std::fprintf(stderr, "ERROR: Could not parse WebSocket url: %s\n", url.c_str());
    return nullptr;
  }
  std::fprintf(stderr, "easywsclient: connecting: host=%s port=%d path=/%s\n", parsed.host.c_str(), parsed.port,
               parsed.path.c_str());
  // One deadline for connecting and the handshake: the game waits meanwhile.
  Opening opening(Deadline::In(kOpenTimeoutMs));
  const int socket = ConnectWithin(parsed.host, parsed.port, opening);
  if (socket < 0) {
    SayWhyGivenUp(opening, parsed.host, parsed.port);
    std::fprintf(stderr, "Unable to connect to %s:%d\n", parsed.host.c_str(), parsed.port);
    return nullptr;
  }
  if (!Handshake(opening, url, parsed.host, parsed.port, parsed.path, origin, protocol)) {
    SayWhyGivenUp(opening, parsed.host, parsed.port);
    ::close(socket);
    return nullptr;
  }
  const int on = 1;
  setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  std::fprintf(stderr, "Connected to: %s\n", url.c_str());
  return std::make_unique<RealWebSocket>(socket);
}

}  // namespace GCore::easywsclient
