#pragma once
// The frame sizes that the video object layer headers of an MPEG-4 Part 2
// stream announce, read without the codec: a stream can be cut short before
// a header whose size would be refused, so that the codec never sets itself
// up for it. Pure functions over bytes; any thread.
#include <cstddef>
#include <cstdint>

namespace GCore {

struct AnnouncedSize {
  size_t offset = 0;  // of the header's start code
  int32_t width = 0;
  int32_t height = 0;
};

// The first header in bytes [0, size) that announces a width or height above
// `maxSide`, or null when there is none. Headers cut off by the end of the
// bytes or not of a rectangular shape announce nothing here.
bool FindOversizedHeader(const uint8_t* bytes, size_t size, int32_t maxSide, AnnouncedSize& found);

}  // namespace GCore
