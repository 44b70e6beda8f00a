#pragma once
// Pixel operations on images: tone filters, crop, nearest and bilinear
// resize, a Gaussian blur, and storing a result into an image.
// Rules:
//  - Buffers are 8-bit RGBA, rows top to bottom, as textures hold them.
//  - Every operation checks its sizes first and makes nothing (an empty
//    buffer) from a request it cannot serve; none reads outside its source.
//  - A stored result replaces the texture's pixels and size, marks the
//    whole texture for upload (a new size specifies the GL texture anew) and
//    keeps the pixels in memory from then on: no file holds them.
// Main thread only (textures are).
#include <array>
#include <cstdint>
#include <memory>

namespace GCore {

class Image;

struct PixelBuffer {
  int32_t width = 0;
  int32_t height = 0;
  std::unique_ptr<uint8_t[]> pixels;  // width x height x 4 bytes; null = nothing

  bool Empty() const { return !pixels; }
};

// A source of pixels that an operation reads.
struct PixelView {
  const uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

// The largest width or height an operation makes.
constexpr int32_t kMaxImageOpSide = 16384;

// Three 256-entry tables: [0] maps the blue byte, [1] green, [2] red.
using ToneCurves = std::array<std::array<uint8_t, 256>, 3>;

// The curves of filter n (1 to 4) at strength k: the stored table blended
// with the identity, trunc(S[i] k + i (1 - k)). False for another n.
bool BuildFilterCurves(int32_t n, double k, ToneCurves& curves);
// Every pixel's colour through the curves; alpha kept.
void ApplyFilterCurves(uint8_t* pixels, size_t count, const ToneCurves& curves);

// The pixels of [x0, x1) x [y0, y1) (truncated toward zero) within the
// source; nothing when that holds no pixel.
PixelBuffer CropPixels(const PixelView& source, double x0, double y0, double x1, double y1);
// Nearest-neighbour scaling in 16.16 fixed point; nothing for a size of 0 or
// less, beyond kMaxImageOpSide, or from an empty source.
PixelBuffer ResizeNearest(const PixelView& source, int64_t width, int64_t height);
// Bilinear scaling; the last column and row repeat their own pixel. Sizes as
// for ResizeNearest.
PixelBuffer ResizeBilinear(const PixelView& source, int64_t width, int64_t height);
// The ten-tap Gaussian blur in 8.24 fixed point, horizontally then
// vertically, of a buffer; taps outside it count 0.
PixelBuffer BlurPixels(const PixelView& source);

// The pixels of the image's texture, made when absent; an empty view when
// there are none.
PixelView PixelsOf(Image& image);
// Replaces the image's texture pixels and size by `result`, and the image's
// size; its texture coordinates follow. Nothing for an empty result.
void StoreResult(Image& image, PixelBuffer result);

}  // namespace GCore
