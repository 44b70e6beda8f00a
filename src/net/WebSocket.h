#pragma once
// A WebSocket client for scripts: "ws://" URLs only, no TLS. FromUrl
// connects and performs the opening handshake, blocking for 5 s at most (a
// signal that asks the program to close ends it sooner); then the owner
// calls Poll to send what was queued and receive what arrived, and Dispatch
// to hand over each complete message. Nothing is sent before the next Poll.
// Messages and frames over 64 MiB close the connection; a send that would
// leave more than 64 MiB waiting to be sent is refused. Main thread only.
// Messages go to standard error.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct lua_State;

namespace GCore::easywsclient {

class WebSocket {
 public:
  enum ReadyState { CLOSING = 0, CLOSED = 1, CONNECTING = 2, OPEN = 3 };
  using Callback = std::function<void(WebSocket& client, std::string_view message)>;

  // Null on a bad or too long URL or origin, an unreachable host, a refused
  // handshake or one that does not end in time (each printed).
  static std::unique_ptr<WebSocket> FromUrl(const std::string& url, const std::string& origin,
                                            const std::string& protocol);
  // A connected non-blocking socket to the host and port within 5 s, or -1.
  static int ConnectHost(const std::string& host, int port);

  virtual ~WebSocket() = default;
  // timeout: 0 returns at once, a negative value waits without limit.
  virtual void Poll(int timeoutMs) = 0;
  // Sends queue a frame; over the send buffer's bound they are refused
  // (printed) and nothing is queued.
  virtual void Send(std::string_view text) = 0;
  virtual void SendBinary(const std::vector<uint8_t>& bytes) = 0;
  virtual void SendBinary(std::string_view bytes) = 0;
  virtual void SendPing() = 0;
  virtual void Close() = 0;
  virtual ReadyState GetReadyState() const = 0;
  // Hands each complete buffered message to the callback, in order. The
  // callback may call Poll, which only adds bytes behind those being read.
  virtual void Dispatch(const Callback& callback) = 0;

  // The state of the last script update and its callback's registry
  // reference (0 while none is held).
  lua_State* state = nullptr;
  int callbackRef = 0;
  // True while a script update of this client runs, callbacks included.
  bool updating = false;
};

}  // namespace GCore::easywsclient
