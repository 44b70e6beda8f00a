#pragma once
// The WebSocket frame format, both directions: encoding of the client's
// frames and the reader that turns received bytes into messages and control
// frames. The reader trusts nothing it is given: a frame or a message over
// kLargestWebSocketMessage bytes is refused before anything is buffered for
// it, so a peer cannot make the client allocate without bound. No sockets
// here; any thread, one reader per connection.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace GCore {

enum WebSocketOpcode : uint8_t {
  kWsContinuation = 0,
  kWsText = 1,
  kWsBinary = 2,
  kWsClose = 8,
  kWsPing = 9,
  kWsPong = 10,
};

// The largest frame payload and the largest assembled message: 64 MiB.
constexpr uint64_t kLargestWebSocketMessage = uint64_t{64} << 20;
// The longest frame header: 2 bytes, a 64-bit length and a masking key.
constexpr size_t kLongestWebSocketHeader = 14;

// Appends one frame with FIN set, the shortest length form and, when `mask`
// is given, the payload masked with that key.
void AppendWebSocketFrame(std::vector<uint8_t>& out, uint8_t opcode, std::string_view payload,
                          const uint8_t* mask);

class WebSocketFrameReader {
 public:
  enum class Kind {
    kMessage,     // a whole text, binary or continued message
    kPing,        // payload: what the pong must carry
    kClose,
    kUnexpected,  // an opcode this client does not know
    kTooLarge,    // a frame or message over the limit: the stream is unusable
  };
  struct Event {
    Kind kind = Kind::kMessage;
    std::string payload;
  };

  void Append(const uint8_t* bytes, size_t size);
  // Bytes received and not yet taken as frames.
  size_t Buffered() const { return buffer_.size() - start_; }
  // Takes the next complete frame off the buffer. False while no complete
  // frame is buffered; pongs and message fragments without FIN are taken
  // without an event. After kTooLarge the reader holds nothing and stays so.
  bool Next(Event& event);
  void Clear();

 private:
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;  // bytes at the front already taken
  std::string message_;
  bool failed_ = false;
};

}  // namespace GCore
