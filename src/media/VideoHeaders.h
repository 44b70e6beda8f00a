#pragma once
// The frame sizes that the video object layer headers of an MPEG-4 Part 2
// stream announce, read without the codec: a stream can be cut short before
// a header whose size would be refused, so that the codec never sets itself
// up for it. Pure functions over bytes; any thread.
#include <cstddef>
#include <cstdint>

namespace GCore {

// The sizes a stream may announce.
struct VideoSizeLimits {
  int32_t maxSide = 0;    // on either axis
  int64_t maxPixels = 0;  // width x height
};

enum class SizeRefusal {
  kNone,
  kOutOfLimits,     // a side of 0 or past its limit, or too many pixels
  kStreamTooShort,  // less left after the header than any picture of the size takes
};

// Bytes after a header, when more may come.
constexpr size_t kStreamGoesOn = SIZE_MAX;

// Judges a size announced with `bytesAfter` bytes of stream behind it: every
// coded picture takes at least one bit a macroblock (16 x 16 pixels), so a
// stream that holds fewer can show no picture of that size.
SizeRefusal JudgeAnnouncedSize(int32_t width, int32_t height, const VideoSizeLimits& limits,
                               size_t bytesAfter = kStreamGoesOn);

struct AnnouncedSize {
  size_t offset = 0;  // of the header's start code
  int32_t width = 0;
  int32_t height = 0;
  SizeRefusal refusal = SizeRefusal::kNone;
};

// The first header in bytes [0, size) whose size JudgeAnnouncedSize refuses,
// or false when there is none. With `streamEnds` the bytes are all that is
// left of the stream; otherwise more may follow them. Headers cut off by the
// end of the bytes or not of a rectangular shape announce nothing here.
bool FindRefusedHeader(const uint8_t* bytes, size_t size, const VideoSizeLimits& limits, bool streamEnds,
                       AnnouncedSize& found);

}  // namespace GCore
