#include "render/ImageOps.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <new>
#include <utility>

#include "core/DrawEpoch.h"
#include "render/Image.h"
#include "render/Texture.h"

namespace GCore {

namespace {

// The stored tone tables are kept as their fixed points (index, value), in
// rising index order from 0 to 255; the entries between two points lie on
// the straight line joining them.
struct CurvePoint {
  int index;
  int value;
};
using CurvePoints = std::initializer_list<CurvePoint>;

struct FilterPoints {
  CurvePoints tables[3];
};

const FilterPoints kFilters[4] = {
    {{{{0, 29}, {2, 29}, {127, 158}, {128, 158}, {254, 219}, {255, 219}},
      {{0, 51}, {1, 51}, {2, 52}, {126, 176}, {127, 175}, {128, 177}, {254, 230}, {255, 230}},
      {{0, 80}, {1, 81}, {2, 81}, {127, 153}, {128, 154}, {254, 226}, {255, 225}}}},
    {{{{0, 23}, {1, 18}, {2, 20}, {127, 189}, {128, 189}, {254, 249}, {255, 249}},
      {{0, 29}, {1, 31}, {2, 30}, {127, 181}, {128, 182}, {254, 238}, {255, 238}},
      {{0, 49}, {1, 52}, {2, 54}, {127, 146}, {128, 149}, {254, 215}, {255, 215}}}},
    {{{{0, 18}, {1, 21}, {2, 18}, {127, 145}, {128, 146}, {254, 254}, {255, 254}},
      {{0, 18}, {1, 18}, {2, 14}, {127, 146}, {128, 147}, {254, 254}, {255, 254}},
      {{0, 10}, {1, 7}, {2, 8}, {127, 144}, {128, 145}, {254, 254}, {255, 254}}}},
    {{{{0, 0}, {1, 1}, {2, 3}, {127, 192}, {128, 193}, {254, 254}, {255, 254}},
      {{0, 0}, {1, 3}, {2, 4}, {127, 161}, {128, 162}, {254, 254}, {255, 254}},
      {{0, 0}, {1, 0}, {2, 1}, {127, 126}, {128, 127}, {254, 253}, {255, 254}}}},
};

std::array<uint8_t, 256> StoredTable(CurvePoints points) {
  std::array<uint8_t, 256> table{};
  const CurvePoint* previous = points.begin();
  for (const CurvePoint* next = points.begin() + 1; next != points.end(); previous = next++) {
    const int span = next->index - previous->index;
    for (int i = previous->index; i <= next->index; ++i) {
      const int rise = (next->value - previous->value) * (i - previous->index);
      table[static_cast<size_t>(i)] = static_cast<uint8_t>(previous->value + rise / span);
    }
  }
  return table;
}

// The blur's weights for the taps at offsets -5 to +4, in 8.24 fixed point.
constexpr float kBlurWeights[10] = {0.07028143f, 0.09352436f, 0.11469811f, 0.12963887f,
                                    0.13503972f, 0.12963887f, 0.11469811f, 0.09352436f,
                                    0.07028143f, 0.04867476f};
constexpr int kFirstTap = -5;

struct FixedWeights {
  uint64_t w[10];
  constexpr FixedWeights() : w{} {
    for (int i = 0; i < 10; ++i) w[i] = static_cast<uint64_t>(static_cast<double>(kBlurWeights[i]) * 16777216.0);
  }
};
constexpr FixedWeights kFixedWeights;

PixelBuffer NewBuffer(int64_t width, int64_t height) {
  PixelBuffer buffer;
  if (width <= 0 || height <= 0 || width > kMaxImageOpSide || height > kMaxImageOpSide) return buffer;
  buffer.pixels.reset(new (std::nothrow) uint8_t[static_cast<size_t>(width) * static_cast<size_t>(height) * 4]);
  if (buffer.pixels) {
    buffer.width = static_cast<int32_t>(width);
    buffer.height = static_cast<int32_t>(height);
  }
  return buffer;
}

bool Usable(const PixelView& view) { return view.pixels && view.width > 0 && view.height > 0; }

const uint8_t* PixelAt(const PixelView& view, int32_t x, int32_t y) {
  return view.pixels + (static_cast<size_t>(y) * static_cast<size_t>(view.width) + static_cast<size_t>(x)) * 4;
}

PixelView ViewOf(const PixelBuffer& buffer) { return {buffer.pixels.get(), buffer.width, buffer.height}; }

// One pass of the blur along x (dx = 1) or y (dx = 0).
PixelBuffer BlurPass(const PixelView& source, bool alongX) {
  PixelBuffer out = NewBuffer(source.width, source.height);
  if (out.Empty()) return out;
  const int32_t limit = alongX ? source.width : source.height;
  for (int32_t y = 0; y < source.height; ++y) {
    for (int32_t x = 0; x < source.width; ++x) {
      uint64_t sums[4] = {0, 0, 0, 0};
      const int32_t at = alongX ? x : y;
      for (int tap = 0; tap < 10; ++tap) {
        const int32_t t = at + kFirstTap + tap;
        if (t < 0 || t >= limit) continue;
        const uint8_t* p = alongX ? PixelAt(source, t, y) : PixelAt(source, x, t);
        // Each term is truncated on its own.
        for (int c = 0; c < 4; ++c) sums[c] += (p[c] * kFixedWeights.w[tap]) >> 24;
      }
      uint8_t* q = out.pixels.get() + (static_cast<size_t>(y) * static_cast<size_t>(out.width) + static_cast<size_t>(x)) * 4;
      for (int c = 0; c < 4; ++c) q[c] = static_cast<uint8_t>(std::min<uint64_t>(sums[c], 255));
    }
  }
  return out;
}

}  // namespace

bool BuildFilterCurves(int32_t n, double k, ToneCurves& curves) {
  if (n < 1 || n > 4) return false;
  for (size_t j = 0; j < 3; ++j) {
    const std::array<uint8_t, 256> stored = StoredTable(kFilters[n - 1].tables[j]);
    for (size_t i = 0; i < 256; ++i) {
      const double blended = stored[i] * k + static_cast<double>(i) * (1 - k);
      curves[j][i] = static_cast<uint8_t>(std::clamp(std::trunc(blended), 0.0, 255.0));
    }
  }
  return true;
}

void ApplyFilterCurves(uint8_t* pixels, size_t count, const ToneCurves& curves) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t* p = pixels + 4 * i;
    // Byte 0 is red (bits 0 to 7 of the word), byte 2 blue (bits 16 to 23).
    const uint8_t red = p[0], green = p[1], blue = p[2];
    p[0] = curves[2][red];
    p[1] = curves[1][green];
    p[2] = curves[0][blue];
  }
}

PixelBuffer CropPixels(const PixelView& source, double x0, double y0, double x1, double y1) {
  if (!Usable(source)) return {};
  auto clampTo = [](double value, int32_t limit) {
    return static_cast<int32_t>(std::isnan(value) ? 0.0 : std::trunc(std::clamp(value, 0.0, static_cast<double>(limit))));
  };
  const int32_t left = clampTo(x0, source.width), right = clampTo(x1, source.width);
  const int32_t top = clampTo(y0, source.height), bottom = clampTo(y1, source.height);
  PixelBuffer out = NewBuffer(right - left, bottom - top);
  if (out.Empty()) return out;
  const size_t rowBytes = static_cast<size_t>(out.width) * 4;
  for (int32_t y = 0; y < out.height; ++y) {
    std::memcpy(out.pixels.get() + rowBytes * static_cast<size_t>(y), PixelAt(source, left, top + y), rowBytes);
  }
  return out;
}

PixelBuffer ResizeNearest(const PixelView& source, int64_t width, int64_t height) {
  if (!Usable(source)) return {};
  PixelBuffer out = NewBuffer(width, height);
  if (out.Empty()) return out;
  const int64_t stepX = (int64_t{source.width} << 16) / width + 1;
  const int64_t stepY = (int64_t{source.height} << 16) / height + 1;
  uint8_t* q = out.pixels.get();
  for (int32_t j = 0; j < out.height; ++j) {
    const auto sy = static_cast<int32_t>(std::min<int64_t>((j * stepY) >> 16, source.height - 1));
    for (int32_t i = 0; i < out.width; ++i, q += 4) {
      const auto sx = static_cast<int32_t>(std::min<int64_t>((i * stepX) >> 16, source.width - 1));
      std::memcpy(q, PixelAt(source, sx, sy), 4);
    }
  }
  return out;
}

PixelBuffer ResizeBilinear(const PixelView& source, int64_t width, int64_t height) {
  if (!Usable(source)) return {};
  PixelBuffer out = NewBuffer(width, height);
  if (out.Empty()) return out;
  const float rx = static_cast<float>(source.width) / static_cast<float>(width);
  const float ry = static_cast<float>(source.height) / static_cast<float>(height);
  uint8_t* q = out.pixels.get();
  for (int32_t j = 0; j < out.height; ++j) {
    const float sy = static_cast<float>(j) * ry;
    const auto y0 = static_cast<int32_t>(std::floor(sy));
    const float fy = sy - static_cast<float>(y0);
    for (int32_t i = 0; i < out.width; ++i, q += 4) {
      const float sx = static_cast<float>(i) * rx;
      const auto x0 = static_cast<int32_t>(std::floor(sx));
      const float fx = sx - static_cast<float>(x0);
      const bool nextColumn = x0 + 1 < source.width;
      const bool nextRow = y0 + 1 < source.height;
      const uint8_t* p00 = PixelAt(source, x0, y0);
      const uint8_t* p01 = nextRow ? PixelAt(source, x0, y0 + 1) : p00;
      const uint8_t* p10 = nextColumn ? PixelAt(source, x0 + 1, y0) : p00;
      const uint8_t* p11 = nextColumn && nextRow ? PixelAt(source, x0 + 1, y0 + 1) : p00;
      for (int c = 0; c < 4; ++c) {
        const float value = p00[c] * (1 - fx) * (1 - fy) + p01[c] * (1 - fx) * fy +
                            p10[c] * fx * (1 - fy) + p11[c] * fx * fy;
        q[c] = static_cast<uint8_t>(std::clamp(value, 0.0f, 255.0f));
      }
    }
  }
  return out;
}

PixelBuffer BlurPixels(const PixelView& source) {
  if (!Usable(source)) return {};
  const PixelBuffer across = BlurPass(source, true);
  if (across.Empty()) return {};
  return BlurPass(ViewOf(across), false);
}

PixelView PixelsOf(Image& image) {
  Texture* texture = image.texture;
  if (!texture || !texture->EnsurePixels() || !texture->pixels) return {};
  return {texture->pixels.get(), texture->width, texture->height};
}

void StoreResult(Image& image, PixelBuffer result) {
  DrawInputsChanged();
  Texture* texture = image.texture;
  if (!texture || result.Empty()) return;
  texture->width = result.width;
  texture->height = result.height;
  texture->pixels = std::move(result.pixels);
  texture->keepsPixels = true;
  // The whole texture; the renderer specifies it anew when its size changed.
  texture->dirty = true;
  texture->dirtyRowsBegin = texture->dirtyRowsEnd = 0;
  image.width = static_cast<float>(result.width);
  image.height = static_cast<float>(result.height);
  image.UpdateTexCoords();
}

}  // namespace GCore
