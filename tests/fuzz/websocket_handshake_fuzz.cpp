// libFuzzer target of the WebSocket opening's texts: the input's first line
// is a URL as a script gives it, the rest what the server answers to the
// handshake. A URL that is taken has a host without ':' or '/'; the reply
// reader never reads past the bytes it is given, stops at the blank line,
// and keeps the status line within its bound.
// Built and run by tests/fuzz/CMakeLists.txt; seeds: tests/net/fuzz_seeds.py.
#include <cstdint>
#include <string>
#include <string_view>

#include "net/WebSocketHandshake.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t lineEnd = input.find('\n');
  GCore::WebSocketUrl url;
  if (GCore::ParseWebSocketUrl(std::string(input.substr(0, lineEnd)), url)) {
    if (url.host.empty() || url.host.find_first_of(":/") != std::string::npos) __builtin_trap();
    if (url.host.size() >= GCore::kLongestWebSocketUrl || url.path.size() >= GCore::kLongestWebSocketUrl) {
      __builtin_trap();
    }
  }
  if (lineEnd == std::string_view::npos) return 0;
  const std::string_view reply = input.substr(lineEnd + 1);
  size_t at = 0;
  std::string status;
  const GCore::HandshakeReply result = GCore::ReadHandshakeReply(
      [&](char& c) {
        if (at >= reply.size()) return false;
        c = reply[at++];
        return true;
      },
      status);
  if (status.size() > GCore::kLongestHandshakeLine) __builtin_trap();
  // Accepted only at the end of an empty line.
  if (result == GCore::HandshakeReply::kAccepted && (at < 2 || reply.substr(at - 2, 2) != "\r\n")) __builtin_trap();
  return 0;
}
