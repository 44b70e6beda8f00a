#include "media/VideoHeaders.h"

namespace GCore {

namespace {

// Start codes 00 00 01 20 to 00 00 01 2F open a video object layer header.
constexpr uint8_t kLayerCodeFirst = 0x20;
constexpr uint8_t kLayerCodeLast = 0x2F;
constexpr uint32_t kExtendedPixelAspect = 15;
constexpr uint32_t kShapeRectangular = 0;
constexpr uint32_t kShapeGreyscale = 3;

// Reads bits, most significant first; reading past the end sets `ended`.
class BitReader {
 public:
  BitReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
  // Whole bytes read so far (a byte begun counts).
  size_t BytesRead() const { return (position_ + 7) / 8; }
  uint32_t Read(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      if (position_ >= size_ * 8) {
        ended = true;
        return 0;
      }
      const uint32_t bit = (bytes_[position_ / 8] >> (7 - position_ % 8)) & 1u;
      value = value << 1 | bit;
      ++position_;
    }
    return value;
  }
  bool ended = false;

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t position_ = 0;
};

// The bits of the time increment: enough for values below `resolution`.
int IncrementBits(uint32_t resolution) {
  int bits = 1;
  while (bits < 16 && (1u << bits) < resolution) ++bits;
  return bits;
}

// Reads a header after its start code; false when it announces no size.
bool ReadLayerSize(BitReader& in, int32_t& width, int32_t& height) {
  in.Read(1);  // random access
  in.Read(8);  // object type
  uint32_t version = 1;
  if (in.Read(1)) {
    version = in.Read(4);
    in.Read(3);  // priority
  }
  if (in.Read(4) == kExtendedPixelAspect) in.Read(16);
  if (in.Read(1)) {   // control parameters
    in.Read(3);       // chroma format, low delay
    if (in.Read(1)) { // buffer parameters: rates, sizes and occupancy with their markers
      in.Read(16);
      in.Read(16);
      in.Read(16);
      in.Read(3);
      in.Read(12);
      in.Read(16);
    }
  }
  const uint32_t shape = in.Read(2);
  if (shape == kShapeGreyscale && version != 1) in.Read(4);
  in.Read(1);  // marker
  const uint32_t resolution = in.Read(16);
  in.Read(1);  // marker
  if (in.Read(1)) in.Read(IncrementBits(resolution));
  if (shape != kShapeRectangular) return false;
  in.Read(1);
  width = static_cast<int32_t>(in.Read(13));
  in.Read(1);
  height = static_cast<int32_t>(in.Read(13));
  return !in.ended;
}

}  // namespace

SizeRefusal JudgeAnnouncedSize(int32_t width, int32_t height, const VideoSizeLimits& limits,
                               size_t bytesAfter) {
  if (width <= 0 || height <= 0 || width > limits.maxSide || height > limits.maxSide ||
      int64_t{width} * height > limits.maxPixels) {
    return SizeRefusal::kOutOfLimits;
  }
  const size_t macroblocks = static_cast<size_t>((width + 15) / 16) * static_cast<size_t>((height + 15) / 16);
  if (bytesAfter != kStreamGoesOn && bytesAfter < (macroblocks + 7) / 8) return SizeRefusal::kStreamTooShort;
  return SizeRefusal::kNone;
}

bool FindRefusedHeader(const uint8_t* bytes, size_t size, const VideoSizeLimits& limits, bool streamEnds,
                       AnnouncedSize& found) {
  for (size_t at = 0; at + 4 <= size; ++at) {
    if (bytes[at] != 0 || bytes[at + 1] != 0 || bytes[at + 2] != 1) continue;
    if (bytes[at + 3] < kLayerCodeFirst || bytes[at + 3] > kLayerCodeLast) continue;
    BitReader in(bytes + at + 4, size - at - 4);
    int32_t width = 0;
    int32_t height = 0;
    if (!ReadLayerSize(in, width, height)) continue;
    const size_t after = streamEnds ? size - at - 4 - in.BytesRead() : kStreamGoesOn;
    const SizeRefusal refusal = JudgeAnnouncedSize(width, height, limits, after);
    if (refusal != SizeRefusal::kNone) {
      found = AnnouncedSize{at, width, height, refusal};
      return true;
    }
  }
  return false;
}

}  // namespace GCore
