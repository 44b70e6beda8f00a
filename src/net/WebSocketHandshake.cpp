#include "net/WebSocketHandshake.h"

#include <cstdio>

namespace GCore {
namespace {

enum class LineRead { kLine, kTooLong, kLost };

// One line through "\r\n", at most kLongestHandshakeLine bytes of it.
LineRead ReadLine(const std::function<bool(char&)>& next, std::string& line) {
  line.clear();
  while (line.size() < kLongestHandshakeLine) {
    char c = 0;
    if (!next(c)) return LineRead::kLost;
    line.push_back(c);
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) return LineRead::kLine;
  }
  return LineRead::kTooLong;
}

}  // namespace

bool ParseWebSocketUrl(const std::string& url, WebSocketUrl& parsed) {
  if (url.size() >= kLongestWebSocketUrl) return false;
  char host[kLongestWebSocketUrl] = {};
  char path[kLongestWebSocketUrl] = {};
  int port = 80;
  const char* text = url.c_str();
  if (std::sscanf(text, "ws://%127[^:/]:%d/%127s", host, &port, path) == 3 ||
      std::sscanf(text, "ws://%127[^:/]/%127s", host, path) == 2 ||
      (path[0] = 0, std::sscanf(text, "ws://%127[^:/]:%d", host, &port) == 2) ||
      (port = 80, std::sscanf(text, "ws://%127[^:/]", host) == 1)) {
    parsed.host = host;
    parsed.port = port;
    parsed.path = path;
    return true;
  }
  return false;
}

HandshakeReply ReadHandshakeReply(const std::function<bool(char&)>& next, std::string& statusLine) {
  const LineRead status = ReadLine(next, statusLine);
  if (status == LineRead::kTooLong) return HandshakeReply::kInvalidStatusLine;
  if (status == LineRead::kLost) return HandshakeReply::kLost;
  int code = 0;
  if (std::sscanf(statusLine.c_str(), "HTTP/1.1 %d", &code) != 1 || code != 101) return HandshakeReply::kBadStatus;
  // The headers say nothing the client acts on; a long one is read in pieces.
  std::string line;
  for (;;) {
    const LineRead header = ReadLine(next, line);
    if (header == LineRead::kLost) return HandshakeReply::kLost;
    if (header == LineRead::kLine && line == "\r\n") return HandshakeReply::kAccepted;
  }
}

}  // namespace GCore
