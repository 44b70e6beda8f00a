#include "media/VideoDecoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/Log.h"
#include "media/VideoHeaders.h"

namespace GCore {

namespace {

// Zero bytes behind the window: the codec reads whole words and may look a
// few bytes past the end of what it is given.
constexpr size_t kWindowGuardBytes = 64;
// Flush calls at the end of a stream before the codec is taken as empty.
constexpr int kDrainCalls = 8;
// RGBA.
constexpr size_t kBytesPerPixel = 4;

constexpr VideoSizeLimits kLimits{kVideoMaxSide, kVideoMaxPixels};

void ReportRefusedSize(int32_t width, int32_t height, SizeRefusal refusal) {
  if (refusal == SizeRefusal::kStreamTooShort) {
    LogErrorPrintf("Refused frame size %dx%d: the stream holds less than one picture of it\n", width, height);
  } else {
    LogErrorPrintf("Refused frame size %dx%d (at most %dx%d and %lld pixels)\n", width, height, kVideoMaxSide,
                   kVideoMaxSide, static_cast<long long>(kVideoMaxPixels));
  }
}

}  // namespace

VideoDecoder::VideoDecoder(std::unique_ptr<VideoCodec> codec) : codec_(std::move(codec)) {}

VideoDecoder::~VideoDecoder() { Release(); }

int32_t VideoDecoder::Open(const char* path) {
  if (!path) return -1;
  file_.reset(std::fopen(path, "rb"));
  if (!file_) {
    LogErrorPrintf("Error opening input file %s\n", path);
    return -1;
  }
  window_.reset(new (std::nothrow) uint8_t[kVideoWindowBytes + kWindowGuardBytes]());
  if (!window_) {
    LogErrorPrintf("malloc failed\n");
    return -1;
  }
  const int32_t created = CreateDecoder();
  if (created != 0) {
    LogErrorPrintf("Decore INIT problem, return value %d\n", created);
    Release();
    return -1;
  }
  bytesLeft_ = static_cast<int64_t>(std::fread(window_.get(), 1, kVideoWindowBytes, file_.get()));
  cursor_ = 0;
  CutBeforeOversizedHeader();
  status = kVideoDecoding;
  frameTimer = kVideoNotStarted;
  return 0;
}

int32_t VideoDecoder::CreateDecoder() { return codec_->Create(threads_); }

int32_t VideoDecoder::DecodeCall(const uint8_t* bitstream, int32_t length, VideoStats& stats) {
  stats = VideoStats{};
  const int32_t stride = static_cast<int32_t>(static_cast<size_t>(width) * kBytesPerPixel);
  return codec_->Decode(bitstream, length, frame_.get(), stride, stats);
}

void VideoDecoder::Release() {
  const int32_t result = codec_->Destroy();
  if (result != 0) LogErrorPrintf("decore RELEASE problem return value %d\n", result);
}

bool VideoDecoder::AdoptSize(int32_t newWidth, int32_t newHeight) {
  const SizeRefusal refusal = JudgeAnnouncedSize(newWidth, newHeight, kLimits);
  if (refusal != SizeRefusal::kNone) {
    ReportRefusedSize(newWidth, newHeight, refusal);
    return false;
  }
  // The codec writes pictures of the announced size with a stride of the
  // announced width: both are taken even when the buffer is large enough.
  const size_t bytes = static_cast<size_t>(newWidth) * static_cast<size_t>(newHeight) * kBytesPerPixel;
  if (bytes > frameCapacity_) {
    frame_.reset();
    frameCapacity_ = 0;
    frame_.reset(new (std::nothrow) uint8_t[bytes]());
    if (!frame_) {
      width = height = 0;
      LogErrorPrintf("No memory for a frame buffer of %dx%d\n", newWidth, newHeight);
      return false;
    }
    frameCapacity_ = bytes;
    LogErrorPrintf("Resized frame buffer to %dx%d\n", newWidth, newHeight);
  }
  width = newWidth;
  height = newHeight;
  return true;
}

void VideoDecoder::RefillWindow() {
  // The unread bytes and the freed space overlap whenever more than the
  // cursor's distance is left.
  const size_t kept = static_cast<size_t>(std::max<int64_t>(bytesLeft_, 0));
  std::memmove(window_.get(), window_.get() + cursor_, kept);
  cursor_ = 0;
  if (!InputEnded()) {
    bytesLeft_ += static_cast<int64_t>(
        std::fread(window_.get() + kept, 1, kVideoWindowBytes - kept, file_.get()));
    CutBeforeOversizedHeader();
  }
}

void VideoDecoder::CutBeforeOversizedHeader() {
  if (bytesLeft_ <= 0) return;
  AnnouncedSize found;
  if (!FindRefusedHeader(window_.get() + cursor_, static_cast<size_t>(bytesLeft_), kLimits,
                         std::feof(file_.get()) != 0, found)) {
    return;
  }
  // The codec would set itself up for the size before saying it: the
  // stream ends where the header begins.
  ReportRefusedSize(found.width, found.height, found.refusal);
  bytesLeft_ = static_cast<int64_t>(found.offset);
  inputCut_ = true;
}

bool VideoDecoder::InputEnded() const { return inputCut_ || std::feof(file_.get()); }

const uint8_t* VideoDecoder::Drain() {
  for (int call = 0; call < kDrainCalls; ++call) {
    VideoStats stats;
    if (DecodeCall(nullptr, -1, stats) < 0) break;
    if (stats.type > 0) return frame_.get();
  }
  status = kVideoFinished;
  return nullptr;
}

const uint8_t* VideoDecoder::DecodeFrame() {
  if (status == kVideoDraining) return Drain();
  if (status != kVideoDecoding) return nullptr;
  if (cursor_ > kVideoRefillMark) RefillWindow();

  VideoStats stats;
  do {
    const int32_t length = static_cast<int32_t>(bytesLeft_);
    const int32_t used = DecodeCall(window_.get() + cursor_, length, stats);
    if (stats.type == kVideoNewSize && !AdoptSize(stats.width, stats.height)) {
      status = kVideoFinished;
      return nullptr;
    }
    if (used < 1) {
      // The codec can go no further in these bytes, and offering them again
      // would give the same answer for ever: the stream ends here.
      status = kVideoDraining;
      return nullptr;
    }
    if (used > bytesLeft_) {
      // The codec took more than it was given: nothing after it is stream.
      bytesLeft_ = -1;
      break;
    }
    cursor_ += static_cast<size_t>(used);
    bytesLeft_ -= used;
  } while (stats.type < 1 && bytesLeft_ > 1);

  if (bytesLeft_ < 0) {
    status = kVideoDraining;
    return nullptr;
  }
  status = bytesLeft_ < 2 && InputEnded() ? kVideoDraining : kVideoDecoding;
  return frame_.get();
}

std::unique_ptr<uint8_t[]> VideoDecoder::Advance(uint32_t elapsed) {
  if (frameTimer == kVideoNotStarted) {
    lastFrame_ = DecodeFrame();
    frameTimer = framePeriod;
  } else {
    int64_t timer = static_cast<int64_t>(frameTimer) - elapsed;
    // A long step decodes every picture it covers and shows the last, so
    // the video keeps its pace in game time.
    while (timer <= 0) {
      lastFrame_ = DecodeFrame();
      timer += framePeriod;
      if (status == kVideoFinished) timer = std::max<int64_t>(timer, framePeriod);
    }
    frameTimer = static_cast<int32_t>(timer);
  }
  if (!lastFrame_) return nullptr;
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * kBytesPerPixel;
  std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[bytes]);
  if (copy) std::memcpy(copy.get(), lastFrame_, bytes);
  return copy;
}

}  // namespace GCore
