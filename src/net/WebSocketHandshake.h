#pragma once
// The text side of the WebSocket opening: the "ws://" URL and the server's
// reply to the handshake request. Pure, no sockets: the client hands the
// reply over byte by byte, so that nothing behind the handshake is read.
#include <functional>
#include <string>

namespace GCore {

constexpr size_t kLongestWebSocketUrl = 128;  // a URL must be shorter
constexpr size_t kLongestHandshakeLine = 255;

struct WebSocketUrl {
  std::string host;
  int port = 80;
  std::string path;  // without its leading "/"
};

// The first form whose every field converts: "ws://host:port/path",
// "ws://host/path", "ws://host:port", "ws://host". The URL must be shorter
// than kLongestWebSocketUrl.
bool ParseWebSocketUrl(const std::string& url, WebSocketUrl& parsed);

enum class HandshakeReply {
  kAccepted,           // "HTTP/1.1 101" and headers through the blank line
  kBadStatus,          // a status line other than 101
  kInvalidStatusLine,  // no line end within kLongestHandshakeLine bytes
  kLost,               // the bytes ended first
};

// Reads the reply through its blank line; `next` gives its next byte, or
// false when none comes. `statusLine` is the status line as read, line end
// included. Header lines of any length are skipped.
HandshakeReply ReadHandshakeReply(const std::function<bool(char&)>& next, std::string& statusLine);

}  // namespace GCore
