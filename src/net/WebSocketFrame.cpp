#include "net/WebSocketFrame.h"

namespace GCore {
namespace {

constexpr uint8_t kFin = 0x80;
constexpr uint8_t kMaskBit = 0x80;

}  // namespace

void AppendWebSocketFrame(std::vector<uint8_t>& out, uint8_t opcode, std::string_view payload,
                          const uint8_t* mask) {
  const uint64_t length = payload.size();
  const uint8_t maskBit = mask ? kMaskBit : 0;
  out.push_back(kFin | opcode);
  if (length < 126) {
    out.push_back(maskBit | static_cast<uint8_t>(length));
  } else if (length < 65536) {
    out.push_back(maskBit | 126);
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(length));
  } else {
    out.push_back(maskBit | 127);
    for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(length >> shift));
  }
  if (mask) out.insert(out.end(), mask, mask + 4);
  const size_t at = out.size();
  out.insert(out.end(), payload.begin(), payload.end());
  if (mask) {
    for (size_t i = 0; i < payload.size(); ++i) out[at + i] ^= mask[i % 4];
  }
}

void WebSocketFrameReader::Append(const uint8_t* bytes, size_t size) {
  if (failed_) return;
  // Taken bytes are dropped only now and then, so that a burst of small
  // frames does not move the rest of the buffer once per frame.
  if (start_ > 0 && start_ >= buffer_.size() / 2) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes, bytes + size);
}

void WebSocketFrameReader::Clear() {
  buffer_.clear();
  start_ = 0;
  message_.clear();
}

bool WebSocketFrameReader::Next(Event& event) {
  while (!failed_ && Buffered() >= 2) {
    const uint8_t* frame = buffer_.data() + start_;
    const size_t available = Buffered();
    const bool fin = frame[0] & kFin;
    const uint8_t opcode = frame[0] & 0x0F;
    const bool masked = frame[1] & kMaskBit;
    const uint8_t code = frame[1] & 0x7F;
    const size_t header = 2 + (code == 126 ? 2 : code == 127 ? 8 : 0) + (masked ? 4 : 0);
    if (available < header) return false;
    uint64_t length = code;
    if (code >= 126) {
      const int bytes = code == 126 ? 2 : 8;
      length = 0;
      for (int i = 0; i < bytes; ++i) length = (length << 8) | frame[2 + i];
    }
    // Checked before any sum with the header, which a length near 2^64
    // would wrap, and before anything waits for the frame's bytes.
    const bool dataFrame = opcode == kWsText || opcode == kWsBinary || opcode == kWsContinuation;
    if (length > kLargestWebSocketMessage ||
        (dataFrame && message_.size() + length > kLargestWebSocketMessage)) {
      failed_ = true;
      Clear();
      event = Event{Kind::kTooLarge, {}};
      return true;
    }
    if (available - header < length) return false;
    std::string payload(reinterpret_cast<const char*>(frame + header), static_cast<size_t>(length));
    if (masked) {
      const uint8_t* key = frame + header - 4;
      for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(payload[i] ^ key[i % 4]);
    }
    start_ += header + static_cast<size_t>(length);
    if (start_ == buffer_.size()) {
      buffer_.clear();
      start_ = 0;
    }
    switch (opcode) {
      case kWsText:
      case kWsBinary:
      case kWsContinuation:
        message_ += payload;
        if (!fin) continue;
        event.kind = Kind::kMessage;
        event.payload = std::move(message_);
        message_.clear();
        return true;
      case kWsPing:
        event = Event{Kind::kPing, std::move(payload)};
        return true;
      case kWsPong:
        continue;
      case kWsClose:
        event = Event{Kind::kClose, {}};
        return true;
      default:
        event = Event{Kind::kUnexpected, {}};
        return true;
    }
  }
  return false;
}

}  // namespace GCore
