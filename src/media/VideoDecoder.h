#pragma once
// Playback of an MPEG-4 Part 2 elementary stream (a raw .m4v file) for a
// display object's video media. The file is read through a 2 MiB window that
// is refilled once the cursor passes its first half; pictures are decoded
// into one RGBA frame buffer and paced by game time at 40 ms a picture.
// Rules:
//  - Every size the stream announces is adopted; the frame buffer only
//    grows. Sizes above kVideoMaxSide on either axis or of more than
//    kVideoMaxPixels pixels end the stream, and so do sizes announced with
//    less stream behind them than one picture of that size takes: read from
//    the headers before the codec sees them (the codec sets itself up for a
//    size as it reads it) where they can be, and from what the codec
//    reports otherwise.
//  - Advance hands out a fresh copy of the current picture that the caller
//    owns, so the texture may keep it while the next one is decoded.
//  - A video plays once: made -> opened (decoding) -> draining at the end of
//    the file -> finished.
// Main thread only; no threads of its own beyond the codec's.
#include <cstdint>
#include <cstdio>
#include <memory>

#include "media/VideoCodec.h"

namespace GCore {

constexpr size_t kVideoWindowBytes = 0x200000;
// The window moves its unread bytes to the front once the cursor passes this.
constexpr size_t kVideoRefillMark = 0x100000;
constexpr int32_t kVideoMaxSide = 4096;
// 2048 x 2048: 1440p fits. The codec takes some 28 bytes a pixel.
constexpr int64_t kVideoMaxPixels = int64_t{1} << 22;
constexpr int32_t kVideoFramePeriod = 40;
// The frame timer before the first picture.
constexpr int32_t kVideoNotStarted = -1000;

enum VideoStatus : int32_t {
  kVideoFinished = -1,
  kVideoDecoding = 0,
  kVideoDraining = 1,  // the file has ended; the codec gives what it still holds
};

class VideoDecoder {
 public:
  explicit VideoDecoder(std::unique_ptr<VideoCodec> codec = MakeXvidCodec());
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  // Opens the stream: 0, or -1 with the reason on standard error.
  int32_t Open(const char* path);
  // Advances game time by `elapsed` ms: a copy of the current picture
  // (width x height x 4 bytes), or null when the stream has none any more.
  std::unique_ptr<uint8_t[]> Advance(uint32_t elapsed);
  // Decodes until one picture is out: the frame buffer, or null.
  const uint8_t* DecodeFrame();
  // Codec set-up; its result (0 on success).
  int32_t CreateDecoder();
  // One decode call of `length` bytes into the frame buffer; the bytes used.
  int32_t DecodeCall(const uint8_t* bitstream, int32_t length, VideoStats& stats);
  // Destroys the codec's decoder.
  void Release();

  int32_t width = 0;
  int32_t height = 0;
  uint32_t mediaId = 0;
  uint32_t mediaProject = 0;
  int32_t frameTimer = 0;
  const int32_t framePeriod = kVideoFramePeriod;
  int32_t status = kVideoFinished;

 private:
  struct CloseFile {
    void operator()(FILE* file) const { std::fclose(file); }
  };

  // Takes an announced size; false (and the stream ends) when it is refused
  // or its buffer cannot be had.
  bool AdoptSize(int32_t newWidth, int32_t newHeight);
  // Moves the unread bytes to the window's start and reads behind them.
  void RefillWindow();
  // Ends the input before the first header in the window whose size would
  // be refused (also for the stream left behind it once the file is read).
  void CutBeforeOversizedHeader();
  // The file is read to its end, or cut.
  bool InputEnded() const;
  const uint8_t* Drain();

  std::unique_ptr<VideoCodec> codec_;
  std::unique_ptr<uint8_t[]> window_;
  size_t cursor_ = 0;
  int64_t bytesLeft_ = 0;
  std::unique_ptr<uint8_t[]> frame_;
  size_t frameCapacity_ = 0;
  const uint8_t* lastFrame_ = nullptr;
  int32_t threads_ = 0;
  std::unique_ptr<FILE, CloseFile> file_;
  bool inputCut_ = false;
};

}  // namespace GCore
