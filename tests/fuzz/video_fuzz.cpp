// Fuzz target: bytes as a raw MPEG-4 video file through the video decoder,
// played at 40 ms a display frame until the stream ends. Every picture
// handed out must hold the size the decoder reports. Seeds: clips of the
// video tests, written by tests/media/WriteVideoFixtures.cpp.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

#include "fuzz/ScratchFolder.h"
#include "media/VideoDecoder.h"

namespace {

std::filesystem::path g_stream;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_stream = fuzzfiles::MakeScratchFolder("qv-video-fuzz") / "stream.m4v";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Small pictures show every path of the reader; a long input only takes time.
  if (size > 64 * 1024) return 0;
  std::ofstream(g_stream, std::ios::binary).write(reinterpret_cast<const char*>(data),
                                                  static_cast<std::streamsize>(size));
  GCore::VideoDecoder decoder;
  if (decoder.Open(g_stream.c_str()) != 0) return 0;
  // Large pictures are as legal as small ones but slow each run down.
  size_t pictureBytes = 0;
  for (int frame = 0; frame < 200 && decoder.status != GCore::kVideoFinished && pictureBytes < (64u << 20);
       ++frame) {
    std::unique_ptr<uint8_t[]> picture = decoder.Advance(frame == 0 ? 0 : 40);
    if (!picture) continue;
    pictureBytes += static_cast<size_t>(decoder.width) * decoder.height * 4;
    if (decoder.width <= 0 || decoder.height <= 0 || decoder.width > GCore::kVideoMaxSide ||
        decoder.height > GCore::kVideoMaxSide || int64_t{decoder.width} * decoder.height > GCore::kVideoMaxPixels) {
      __builtin_trap();
    }
    // Reads the whole picture: a short one shows under the sanitizer.
    volatile uint8_t last = picture[static_cast<size_t>(decoder.width) * decoder.height * 4 - 1];
    (void)last;
  }
  return 0;
}
