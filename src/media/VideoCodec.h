#pragma once
// The MPEG-4 Part 2 decoding library behind one small table of operations:
// the video decoder owns one codec, created empty and sized by the stream.
// VideoCodecXvid.cpp is the only file that includes xvidcore; tests give the
// decoder codecs of their own. Main thread only.
#include <cstdint>
#include <memory>

namespace GCore {

// What one decode call reports.
struct VideoStats {
  int32_t type = 0;    // above 0 a picture came out; kVideoNewSize a size was announced
  int32_t width = 0;   // the announced size (kVideoNewSize only)
  int32_t height = 0;
};

constexpr int32_t kVideoNewSize = -1;

class VideoCodec {
 public:
  virtual ~VideoCodec() = default;
  // Global set-up and creation of a decoder of no size for `threads`
  // threads (0: as many as processors, which `threads` then receives).
  // 0 on success, else the library's code.
  virtual int32_t Create(int32_t& threads) = 0;
  // Decodes from `bitstream` (null with length -1: the pictures still held
  // at the end of a stream) into `frame`, RGBA rows of `stride` bytes, or
  // into nothing when `frame` is null. The bytes used, or below 0 on error.
  virtual int32_t Decode(const uint8_t* bitstream, int32_t length, uint8_t* frame, int32_t stride,
                         VideoStats& stats) = 0;
  // Destroys the decoder made by Create, if any; 0 or the library's code.
  virtual int32_t Destroy() = 0;
};

std::unique_ptr<VideoCodec> MakeXvidCodec();

}  // namespace GCore
