// libFuzzer target of the WebSocket frame reader: the input's first byte is
// the size of the pieces the bytes arrive in (0: all at once), the rest is
// what the server sent. The reader may never hold more than arrived, never
// hand over a message past the limit, and takes nothing after refusing.
// Built and run by tests/fuzz/CMakeLists.txt; seeds: websocket_frame_seeds.cpp.
#include <algorithm>
#include <cstdint>

#include "net/WebSocketFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = data[0] == 0 ? size : data[0];
  ++data;
  --size;
  GCore::WebSocketFrameReader reader;
  GCore::WebSocketFrameReader::Event event;
  size_t arrived = 0;
  size_t taken = 0;
  bool refused = false;
  for (size_t at = 0; at < size; at += piece) {
    const size_t n = std::min(piece, size - at);
    reader.Append(data + at, n);
    arrived += n;
    while (reader.Next(event)) {
      if (refused) __builtin_trap();
      if (event.kind == GCore::WebSocketFrameReader::Kind::kTooLarge) refused = true;
      if (event.payload.size() > GCore::kLargestWebSocketMessage) __builtin_trap();
      taken += event.payload.size();
    }
    if (reader.Buffered() > arrived) __builtin_trap();
  }
  // Payloads come out of the frames that arrived, never more.
  if (taken > arrived) __builtin_trap();
  return 0;
}
