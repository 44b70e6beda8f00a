#pragma once
// PNG reading and writing. Every decoded image is 8-bit RGBA, rows top to
// bottom, bytes in the order red, green, blue, alpha; the writer takes the same
// layout, so a written file decodes to the very bytes it was given. Input is
// untrusted: the read callbacks refuse to deliver more bytes than their source
// holds, sizes are capped, and a libpng error ends the call with false.
// Any thread, one call per image (no shared state).
#include <cstddef>
#include <cstdint>
#include <memory>

namespace GCore {

// The largest width or height accepted, in pixels.
constexpr uint32_t kMaxPngSide = 16384;
// The most pixels one decoded picture may hold (8192 x 8192, 256 MiB as
// RGBA): a file a thousand times smaller can declare that many.
constexpr uint64_t kMaxPngPixels = uint64_t{8192} * 8192;

struct PngImage {
  int32_t width = 0;
  int32_t height = 0;
  std::unique_ptr<uint8_t[]> pixels;  // width x height x 4 bytes
};

// Where the decoder takes its bytes from: copies exactly `length` bytes to
// `buffer` and returns true, or returns false, a read error that ends the
// decoding. `io` is the reader's own state.
using PngReadFunction = bool (*)(void* io, uint8_t* buffer, size_t length);

// A bounded byte buffer for PngReadFromMemory.
struct PngMemorySource {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t position = 0;
};

// The reader whose `io` is a PngMemorySource.
bool PngReadFromMemory(void* io, uint8_t* buffer, size_t length);

// Reads only the header. False when it cannot be read.
bool ReadPngHeader(PngReadFunction read, void* io, int32_t& width, int32_t& height);

// Decodes the whole image to RGBA. With `grey`, red, green and blue each become
// their integer mean, in files that are not interlaced. False (and an empty
// image) on any failure; a picture of more than kMaxPngPixels is refused with
// a message in the log before any row is decoded. The picture's memory grows
// with the rows decoded, so a file cut short costs what it holds.
bool DecodePng(PngReadFunction read, void* io, bool grey, PngImage& image);

// Writes RGBA pixels as an 8-bit RGBA PNG file. 0 on success, 1 on failure
// (the reason is printed to standard error and no partial file is left).
int WritePng(const char* path, const uint8_t* pixels, int32_t width, int32_t height);

}  // namespace GCore
