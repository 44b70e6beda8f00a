// Pixel operations against reference results computed here: tone curves,
// crop, nearest and bilinear resize and the blur.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "render/ImageOps.h"

namespace {

using GCore::PixelBuffer;
using GCore::PixelView;

struct Pixels {
  int w = 0, h = 0;
  std::vector<uint8_t> bytes;
  PixelView View() const { return {bytes.data(), w, h}; }
  const uint8_t* At(int x, int y) const { return &bytes[(static_cast<size_t>(y) * w + x) * 4]; }
};

// A pattern with every channel moving, alpha included.
Pixels Pattern(int w, int h) {
  Pixels p{w, h, {}};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      p.bytes.insert(p.bytes.end(), {uint8_t(x * 37 + y * 11), uint8_t(x * 5 + y * 29 + 7),
                                     uint8_t((x ^ y) * 13), uint8_t(255 - x * 3 - y)});
    }
  }
  return p;
}

std::vector<uint8_t> Bytes(const PixelBuffer& b) {
  return b.pixels ? std::vector<uint8_t>(b.pixels.get(), b.pixels.get() + static_cast<size_t>(b.width) * b.height * 4)
                  : std::vector<uint8_t>{};
}

TEST(ToneCurves, TheStoredTablesHoldTheirTellingEntries) {
  const int indices[7] = {0, 1, 2, 127, 128, 254, 255};
  // [filter][table][index of `indices`]
  const int expected[4][3][7] = {
      {{29, 29, 29, 158, 158, 219, 219}, {51, 51, 52, 175, 177, 230, 230}, {80, 81, 81, 153, 154, 226, 225}},
      {{23, 18, 20, 189, 189, 249, 249}, {29, 31, 30, 181, 182, 238, 238}, {49, 52, 54, 146, 149, 215, 215}},
      {{18, 21, 18, 145, 146, 254, 254}, {18, 18, 14, 146, 147, 254, 254}, {10, 7, 8, 144, 145, 254, 254}},
      {{0, 1, 3, 192, 193, 254, 254}, {0, 3, 4, 161, 162, 254, 254}, {0, 0, 1, 126, 127, 253, 254}},
  };
  for (int n = 1; n <= 4; ++n) {
    GCore::ToneCurves curves;
    ASSERT_TRUE(GCore::BuildFilterCurves(n, 1.0, curves));
    for (int t = 0; t < 3; ++t) {
      for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(curves[t][indices[i]], expected[n - 1][t][i]) << "filter " << n << " S" << t << "[" << indices[i] << "]";
      }
      // Smooth between the telling entries: no step of more than 3 levels.
      for (int i = 3; i < 127; ++i) EXPECT_LE(std::abs(curves[t][i + 1] - curves[t][i]), 3);
    }
  }
  GCore::ToneCurves curves;
  ASSERT_TRUE(GCore::BuildFilterCurves(1, 1.0, curves));
  EXPECT_EQ(curves[1][126], 176) << "falls to 175 at 127";
  for (int n : {0, 5, -1}) EXPECT_FALSE(GCore::BuildFilterCurves(n, 1.0, curves)) << n;
}

TEST(ToneCurves, StrengthBlendsWithTheIdentityAndAlphaIsKept) {
  GCore::ToneCurves full, half;
  ASSERT_TRUE(GCore::BuildFilterCurves(2, 1.0, full));
  ASSERT_TRUE(GCore::BuildFilterCurves(2, 0.5, half));
  for (int t = 0; t < 3; ++t) {
    for (int i = 0; i < 256; ++i) ASSERT_EQ(half[t][i], static_cast<int>(std::trunc(full[t][i] * 0.5 + i * 0.5)));
  }
  // Words 0x??000000: filter 4 gives (alpha, 0, 0, 0), filter 1 blue 29,
  // green 51, red 80.
  for (const auto& [n, rgb] : std::vector<std::pair<int, std::vector<int>>>{{4, {0, 0, 0}}, {1, {80, 51, 29}}}) {
    uint8_t pixel[4] = {0, 0, 0, 77};
    GCore::ToneCurves curves;
    ASSERT_TRUE(GCore::BuildFilterCurves(n, 1.0, curves));
    GCore::ApplyFilterCurves(pixel, 1, curves);
    EXPECT_EQ(std::vector<int>(pixel, pixel + 4), (std::vector<int>{rgb[0], rgb[1], rgb[2], 77})) << n;
  }
  Pixels p = Pattern(9, 7);
  const Pixels before = p;
  GCore::ApplyFilterCurves(p.bytes.data(), 63, full);
  for (size_t i = 0; i < 63; ++i) {
    const uint8_t* a = &before.bytes[4 * i];
    const uint8_t* b = &p.bytes[4 * i];
    ASSERT_EQ(b[0], full[2][a[0]]);
    ASSERT_EQ(b[1], full[1][a[1]]);
    ASSERT_EQ(b[2], full[0][a[2]]);
    ASSERT_EQ(b[3], a[3]);
  }
}

TEST(Crop, TheRectangleIsClampedIntoTheSource) {
  const Pixels source = Pattern(40, 70);
  struct Case {
    double x0, y0, x1, y1;
    int left, top, w, h;  // w 0: nothing
  };
  const Case cases[] = {
      {10, 20, 30, 60, 10, 20, 20, 40},
      {10.9, 20.7, 30.2, 60.99, 10, 20, 20, 40},  // truncated
      {-5, -7, 12, 3, 0, 0, 12, 3},               // beyond the top left
      {35, 60, 99, 999, 35, 60, 5, 10},           // beyond the bottom right
      {30, 60, 10, 20, 0, 0, 0, 0},               // reversed
      {50, 10, 60, 20, 0, 0, 0, 0},               // wholly outside
      {5, 5, 5, 9, 0, 0, 0, 0},                   // no width
      {NAN, 0, 4, 4, 0, 0, 4, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x0 << "," << c.y0 << "," << c.x1 << "," << c.y1);
    const PixelBuffer out = GCore::CropPixels(source.View(), c.x0, c.y0, c.x1, c.y1);
    if (c.w == 0) {
      EXPECT_TRUE(out.Empty());
      continue;
    }
    ASSERT_FALSE(out.Empty());
    EXPECT_EQ(out.width, c.w);
    EXPECT_EQ(out.height, c.h);
    std::vector<uint8_t> reference;
    for (int y = c.top; y < c.top + c.h; ++y) {
      for (int x = c.left; x < c.left + c.w; ++x) reference.insert(reference.end(), source.At(x, y), source.At(x, y) + 4);
    }
    EXPECT_EQ(Bytes(out), reference);
  }
}

// The straightforward nearest-neighbour scale of the fixed-point steps.
std::vector<uint8_t> NearestReference(const Pixels& s, int w, int h) {
  std::vector<uint8_t> out;
  const long long stepX = (static_cast<long long>(s.w) * 65536) / w + 1;
  const long long stepY = (static_cast<long long>(s.h) * 65536) / h + 1;
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const int x = static_cast<int>(std::min<long long>(i * stepX / 65536, s.w - 1));
      const int y = static_cast<int>(std::min<long long>(j * stepY / 65536, s.h - 1));
      out.insert(out.end(), s.At(x, y), s.At(x, y) + 4);
    }
  }
  return out;
}

std::vector<uint8_t> BilinearReference(const Pixels& s, int w, int h) {
  std::vector<uint8_t> out;
  const float rx = static_cast<float>(s.w) / w, ry = static_cast<float>(s.h) / h;
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const float sx = i * rx, sy = j * ry;
      const int x0 = static_cast<int>(std::floor(sx)), y0 = static_cast<int>(std::floor(sy));
      const float fx = sx - x0, fy = sy - y0;
      const bool right = x0 + 1 < s.w, down = y0 + 1 < s.h;
      const uint8_t* p00 = s.At(x0, y0);
      const uint8_t* p01 = down ? s.At(x0, y0 + 1) : p00;
      const uint8_t* p10 = right ? s.At(x0 + 1, y0) : p00;
      const uint8_t* p11 = right && down ? s.At(x0 + 1, y0 + 1) : p00;
      for (int c = 0; c < 4; ++c) {
        out.push_back(static_cast<uint8_t>(p00[c] * (1 - fx) * (1 - fy) + p01[c] * (1 - fx) * fy +
                                           p10[c] * fx * (1 - fy) + p11[c] * fx * fy));
      }
    }
  }
  return out;
}

TEST(Resize, BothScalesMatchTheirReferences) {
  struct Case {
    int sw, sh, w, h;
  };
  const Case cases[] = {{100, 100, 50, 50}, {7, 5, 19, 3}, {13, 11, 13, 11}, {3, 40, 1, 1}, {1, 1, 6, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sw << "x" << c.sh << " to " << c.w << "x" << c.h);
    const Pixels source = Pattern(c.sw, c.sh);
    const PixelBuffer nearest = GCore::ResizeNearest(source.View(), c.w, c.h);
    ASSERT_EQ(nearest.width, c.w);
    ASSERT_EQ(nearest.height, c.h);
    EXPECT_EQ(Bytes(nearest), NearestReference(source, c.w, c.h));
    const PixelBuffer bilinear = GCore::ResizeBilinear(source.View(), c.w, c.h);
    ASSERT_EQ(bilinear.width, c.w);
    EXPECT_EQ(Bytes(bilinear), BilinearReference(source, c.w, c.h));
  }
  // Halving takes the even columns.
  const Pixels wide = Pattern(100, 1);
  const PixelBuffer half = GCore::ResizeNearest(wide.View(), 50, 1);
  for (int i = 0; i < 50; ++i) ASSERT_EQ(std::memcmp(half.pixels.get() + 4 * i, wide.At(2 * i, 0), 4), 0) << i;
  // Black and white to four: the last column repeats its own pixel.
  const Pixels pair{2, 1, {0, 0, 0, 0, 255, 255, 255, 255}};
  const PixelBuffer stretched = GCore::ResizeBilinear(pair.View(), 4, 1);
  const std::vector<uint8_t> reds = {stretched.pixels[0], stretched.pixels[4], stretched.pixels[8], stretched.pixels[12]};
  EXPECT_EQ(reds, (std::vector<uint8_t>{0, 127, 255, 255}));
}

TEST(Resize, SizesOfZeroOrLessAndEmptySourcesMakeNothing) {
  const Pixels source = Pattern(4, 4);
  const long long sizes[][2] = {{0, 4}, {4, 0}, {-1, 4}, {4, -5}, {GCore::kMaxImageOpSide + 1, 1}};
  for (const auto& size : sizes) {
    EXPECT_TRUE(GCore::ResizeNearest(source.View(), size[0], size[1]).Empty()) << size[0] << "x" << size[1];
    EXPECT_TRUE(GCore::ResizeBilinear(source.View(), size[0], size[1]).Empty()) << size[0] << "x" << size[1];
  }
  EXPECT_TRUE(GCore::ResizeNearest(PixelView{}, 4, 4).Empty());
  EXPECT_TRUE(GCore::BlurPixels(PixelView{}).Empty());
}

TEST(Blur, TenTapsAcrossThenDownWithinOneLevel) {
  // Straightforward: each pass sums the weighted taps inside the image,
  // each term truncated.
  const double weights[10] = {0.07028143, 0.09352436, 0.11469811, 0.12963887, 0.13503972,
                              0.12963887, 0.11469811, 0.09352436, 0.07028143, 0.04867476};
  constexpr int w = 23, h = 17;
  const Pixels source = Pattern(w, h);
  const PixelBuffer out = GCore::BlurPixels(source.View());
  ASSERT_EQ(out.width, w);
  ASSERT_EQ(out.height, h);
  std::vector<double> image(source.bytes.begin(), source.bytes.end());
  for (bool alongX : {true, false}) {
    std::vector<double> next(image.size());
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        for (int c = 0; c < 4; ++c) {
          double sum = 0;
          for (int t = 0; t < 10; ++t) {
            const int tx = alongX ? x + t - 5 : x, ty = alongX ? y : y + t - 5;
            if (tx < 0 || tx >= w || ty < 0 || ty >= h) continue;
            sum += std::floor(image[(static_cast<size_t>(ty) * w + tx) * 4 + c] *
                              std::floor(weights[t] * 16777216) / 16777216);
          }
          next[(static_cast<size_t>(y) * w + x) * 4 + c] = sum;
        }
      }
    }
    image = std::move(next);
  }
  int worst = 0;
  for (size_t i = 0; i < image.size(); ++i) worst = std::max(worst, std::abs(out.pixels[i] - static_cast<int>(image[i])));
  EXPECT_LE(worst, 1);
  // A flat image keeps its level in the middle (less what the truncated
  // terms lose) and darkens at the edges, where the taps outside count 0.
  const Pixels flat{20, 20, std::vector<uint8_t>(20 * 20 * 4, 200)};
  const PixelBuffer blurred = GCore::BlurPixels(flat.View());
  EXPECT_NEAR(blurred.pixels[(10 * 20 + 10) * 4], 200, 20);
  EXPECT_LT(blurred.pixels[0], 120);
}

}  // namespace
