// PNG files from untrusted bytes: the header alone, then the whole image in
// colour and in grey; a decoded image must hold every pixel its size claims.
// Chunk checksums are made right before decoding: mutations would otherwise
// almost never get past libpng's CRC check into the decoder.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/PNG.h"

namespace {

uint32_t ReadBigEndian(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

std::vector<uint8_t> WithChunkCrcsFixed(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  size_t at = 8;  // after the signature
  while (file.size() - at >= 12) {
    const uint32_t length = ReadBigEndian(&file[at]);
    if (length > file.size() - at - 12) break;
    const uLong crc = crc32(0, &file[at + 4], length + 4);
    uint8_t* stored = &file[at + 8 + length];
    for (int i = 0; i < 4; ++i) stored[i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
  return file;
}

void Decode(const uint8_t* data, size_t size, bool grey, int32_t width, int32_t height) {
  GCore::PngMemorySource source{data, size, 0};
  GCore::PngImage image;
  if (!GCore::DecodePng(GCore::PngReadFromMemory, &source, grey, image)) return;
  if (image.width != width || image.height != height || !image.pixels) __builtin_trap();
  // The last byte is where a short buffer would show.
  volatile uint8_t last = image.pixels[static_cast<size_t>(width) * height * 4 - 1];
  (void)last;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 8) return 0;
  const std::vector<uint8_t> file = WithChunkCrcsFixed(input, size);
  const uint8_t* data = file.data();
  GCore::PngMemorySource source{data, size, 0};
  int32_t width = 0, height = 0;
  if (!GCore::ReadPngHeader(GCore::PngReadFromMemory, &source, width, height)) return 0;
  if (width <= 0 || height <= 0 || width > static_cast<int32_t>(GCore::kMaxPngSide) ||
      height > static_cast<int32_t>(GCore::kMaxPngSide)) {
    __builtin_trap();
  }
  Decode(data, size, false, width, height);
  Decode(data, size, true, width, height);
  return 0;
}
