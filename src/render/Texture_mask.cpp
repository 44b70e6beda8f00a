// Brush masks: soft strokes painted into a coverage mask, and the pixels
// composed from the saved source through that mask.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "render/Renderer.h"
#include "render/Texture.h"

namespace GCore {

namespace {

// Script coordinates can be anything; keep integer conversions defined.
int ClampToInt(double value) {
  if (!(value > -1e9)) return -1000000000;
  if (value > 1e9) return 1000000000;
  return static_cast<int>(value);
}

// Distance from p to the segment (a, b) of length `length`: to the nearer end
// when the foot of the perpendicular falls outside, else to the line (twice
// the triangle's area by Heron's formula over the base).
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by,
                       double length) {
  const double d1 = std::hypot(px - ax, py - ay);
  if (d1 < 0.0001 || length < 0.01) return d1;
  const double d2 = std::hypot(px - bx, py - by);
  if (d2 < 0.0001) return d2;
  if (d1 * d1 >= length * length + d2 * d2) return d2;
  if (d2 * d2 >= length * length + d1 * d1) return d1;
  const double s = (d1 + d2 + length) * 0.5;
  const double area = std::sqrt(std::max(0.0, s * (s - d1) * (s - d2) * (s - length)));
  return 2.0 * area / length;
}

// Coverage of a pixel at distance d from the stroke: 0 inside the radius,
// rising over the feather width to 255; inverted when painting.
uint8_t Coverage(double d, double radius, double feather, bool paint) {
  // A distance that cannot be computed counts as far away: no change.
  if (std::isnan(d) || std::isnan(radius)) return paint ? 0 : 255;
  double value;
  if (feather > 0) {
    value = std::trunc((d - radius) * (255.0 / feather));
  } else {
    value = d > radius ? 255.0 : (d < radius ? -255.0 : 0.0);
  }
  if (paint) value = -value;
  return static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
}

uint8_t Mix(uint8_t a, uint8_t b, double t) {
  return static_cast<uint8_t>(std::clamp(std::trunc(a * (1.0 - t) + b * t), 0.0, 255.0));
}

}  // namespace

bool Texture::MakeMask(bool paint) {
  const size_t count = static_cast<size_t>(width) * height;
  if (!mask) {
    mask.reset(new (std::nothrow) uint8_t[count]());
    if (!mask) return false;
  }
  if (!savedSource) {
    savedSource.reset(new (std::nothrow) uint8_t[count * 4]);
    if (!savedSource) return false;
    std::memcpy(savedSource.get(), pixels.get(), count * 4);
    if (!paint) {
      std::memset(mask.get(), 255, count);
    } else {
      for (size_t i = 0; i < count; ++i) pixels[i * 4 + 3] = 0;
    }
  }
  return true;
}

bool Texture::DrawMask(float x1, float y1, float x2, float y2, float radius, bool paint) {
  if (!EnsurePixels() || !pixels || width <= 0 || height <= 0) return false;
  if (!MakeMask(paint)) return false;

  const double length = std::hypot(double(x2) - x1, double(y2) - y1);
  const int margin = ClampToInt(std::ceil(double(feather) + radius)) + 1;
  const int row0 = std::max(0, ClampToInt(std::min(y1, y2)) - margin);
  const int row1 = std::min(height, ClampToInt(row0 + std::fabs(double(y1) - y2) + 2.0 * margin));
  const int col0 = std::max(0, ClampToInt(std::min(x1, x2)) - margin);
  const int col1 = std::min(width, ClampToInt(col0 + std::fabs(double(x1) - x2) + 2.0 * margin));

  for (int y = row0; y < row1; ++y) {
    for (int x = col0; x < col1; ++x) {
      const double d = SegmentDistance(x, y, x1, y1, x2, y2, length);
      const uint8_t value = Coverage(d, radius, feather, paint);
      uint8_t& stored = mask[static_cast<size_t>(y) * width + x];
      if (paint ? value > stored : value < stored) stored = value;
    }
  }
  if (outlineColour == 0) {
    ComposeMask(col0, row0, col1, row1);
  } else {
    ComposeMaskOutline(col0, row0, col1, row1);
  }
  // The next draw creates and uploads the texture afresh.
  if (g_renderer) g_renderer->ReleaseTexture(this);
  return true;
}

void Texture::ComposeMask(int x0, int y0, int x1, int y1) {
  if (!savedSource || !mask || !EnsurePixels() || !pixels) return;
  x0 = std::clamp(x0, 0, width);
  x1 = std::clamp(x1, 0, width);
  y0 = std::clamp(y0, 0, height);
  y1 = std::clamp(y1, 0, height);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const size_t i = static_cast<size_t>(y) * width + x;
      std::memcpy(&pixels[i * 4], &savedSource[i * 4], 3);
      pixels[i * 4 + 3] = mask[i];
    }
  }
}

void Texture::ComposeMaskOutline(int x0, int y0, int x1, int y1) {
  if (!savedSource || !mask || !EnsurePixels() || !pixels) return;
  x0 = std::clamp(x0, 0, width);
  x1 = std::clamp(x1, 0, width);
  y0 = std::clamp(y0, 0, height);
  y1 = std::clamp(y1, 0, height);
  // The outline colour is written 0xRRGGBB; pixels are RGBA bytes.
  const uint8_t outline[3] = {static_cast<uint8_t>(outlineColour >> 16),
                              static_cast<uint8_t>(outlineColour >> 8),
                              static_cast<uint8_t>(outlineColour)};
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const size_t i = static_cast<size_t>(y) * width + x;
      const uint8_t m = mask[i];
      uint8_t* out = &pixels[i * 4];
      const uint8_t* source = &savedSource[i * 4];
      if (m == 255) {
        std::memcpy(out, source, 4);
      } else if (m >= 128) {
        const double t = 1.0 - (255.0 - m) / 128.0;
        for (int c = 0; c < 3; ++c) out[c] = Mix(outline[c], source[c], t);
        out[3] = 0xFF;
      } else {
        std::memcpy(out, outline, 3);
        out[3] = static_cast<uint8_t>(m * 2);
      }
    }
  }
}

}  // namespace GCore
