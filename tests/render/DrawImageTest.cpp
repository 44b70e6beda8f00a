// What DrawImage and DrawQuads append to the batch: placement by selector,
// grid cells, edge fades and gradients, ellipses, air frames with flips and
// collision boxes, and nine-slice cells.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "core/AirData.h"
#include "core/GameSettings.h"
#include "core/Matrix.h"
#include "render/Image.h"
#include "render/RecordingRenderer.h"
#include "render/Texture.h"

namespace {

using GCore::DrawPlacement;
using GCore::Image;
using GCore::Texture;

struct Point {
  float x, y;
};

// P0 bottom-left, P1 bottom-right, P2 top-right, P3 top-left of the quad
// starting at vertex `first` (written P0 P1 P2 P0 P2 P3).
std::array<Point, 4> Corners(const std::vector<RecordedVertex>& v, size_t first = 0) {
  return {Point{v[first].x, v[first].y}, Point{v[first + 1].x, v[first + 1].y},
          Point{v[first + 2].x, v[first + 2].y}, Point{v[first + 5].x, v[first + 5].y}};
}

DrawPlacement Rect(double x, double y, double w, double h, const GCore::Matrix* m = nullptr) {
  DrawPlacement p;
  p.x = x, p.y = y, p.width = w, p.height = h, p.matrix = m;
  return p;
}

class DrawImage : public testing::Test {
 protected:
  DrawImage() : texture(1, 0x50000001) {
    texture.width = texture.height = 40;
    // A grid cell: the 20 x 10 rectangle at (20, 10) of the texture.
    image = std::make_unique<Image>(0, 0, &texture, 20, 10, 20, 10);
  }
  std::vector<RecordedVertex> Draw(uint32_t mode, const DrawPlacement& at,
                                   const GCore::AirFrameInfo* frame = nullptr,
                                   const float* colour = kColour) {
    renderer.DrawImage(image.get(), frame, colour, mode, at);
    return renderer.Pending();
  }

  static constexpr float kColour[8] = {0.1f, 0.2f, 0.3f, 0.8f, 0.9f, 0.7f, 0.5f, 0};
  Texture texture;
  std::unique_ptr<Image> image;
  GCore::Matrix matrix;
  RecordingRenderer renderer;
};

TEST_F(DrawImage, GridCellTextureCoordinatesPutTheFirstRowOnTop) {
  EXPECT_FLOAT_EQ(image->u, 0.5f);
  EXPECT_FLOAT_EQ(image->v, 0.25f);
  EXPECT_FLOAT_EQ(image->du, 0.5f);
  EXPECT_FLOAT_EQ(image->dv, 0.25f);
  const auto v = Draw(GCore::kPlaceAt, Rect(0, 0, 0, 0));
  ASSERT_EQ(v.size(), 6u);
  const float uv[6][2] = {{0.5f, 0.5f}, {1, 0.5f}, {1, 0.25f}, {0.5f, 0.5f}, {1, 0.25f}, {0.5f, 0.25f}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_FLOAT_EQ(v[i].u, uv[i][0]) << i;
    EXPECT_FLOAT_EQ(v[i].v, uv[i][1]) << i;
    EXPECT_EQ(v[i].z, GCore::kQuadDepth);
    EXPECT_EQ(v[i].a, Stored(0.8f));
  }
  EXPECT_EQ(renderer.CurrentBatch()->texture, &texture);
}

TEST_F(DrawImage, SelectorsPlaceTheQuad) {
  const float xs[4] = {0, 1, 2, 3};
  const float ys[4] = {10, 11, 12, 13};
  GCore::Matrix scale, move;
  scale.SetValues(2, 0, 0, 3, 1, 1);
  move.SetValues(1, 0, 0, 1, 10, 20);
  DrawPlacement corners;
  corners.cornerX = xs;
  corners.cornerY = ys;
  DrawPlacement scaled;
  scaled.matrix = &scale;
  struct Case {
    uint32_t selector;
    DrawPlacement at;
    Point p0, p1, p2, p3;
  } cases[] = {
      {0, Rect(5, 7, 0, 0), {5, 7}, {25, 7}, {25, 17}, {5, 17}},
      {1, Rect(5, 7, 0, 0), {5, -3}, {25, -3}, {25, 7}, {5, 7}},
      {2, Rect(5, 7, 100, 50), {5, 7}, {105, 7}, {105, 57}, {5, 57}},
      {3, scaled, {1, 1}, {41, 1}, {41, 31}, {1, 31}},
      {4, Rect(5, 7, 100, 50, &move), {15, 27}, {115, 27}, {115, 77}, {15, 77}},
      {5, Rect(5, 7, 100, 50, &move), {15, 27}, {35, 27}, {35, 37}, {15, 37}},
      {6, corners, {0, 10}, {1, 11}, {3, 13}, {2, 12}},
      {9, Rect(5, 7, 100, 50, &move), {0, 0}, {20, 0}, {20, 10}, {0, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("selector " + std::to_string(c.selector));
    RecordingRenderer fresh;
    fresh.DrawImage(image.get(), nullptr, kColour, c.selector, c.at);
    const auto v = fresh.Pending();
    ASSERT_EQ(v.size(), 6u);
    const auto p = Corners(v);
    const Point expected[4] = {c.p0, c.p1, c.p2, c.p3};
    for (int i = 0; i < 4; ++i) {
      EXPECT_FLOAT_EQ(p[i].x, expected[i].x) << "P" << i;
      EXPECT_FLOAT_EQ(p[i].y, expected[i].y) << "P" << i;
    }
  }
}

TEST_F(DrawImage, EdgeFadesAndSecondColours) {
  struct Case {
    uint32_t bits;
    float alpha[4];  // P0..P3
    bool second[4];  // takes the second colour's r, g, b
  } cases[] = {
      {0, {0.8f, 0.8f, 0.8f, 0.8f}, {false, false, false, false}},
      {1, {0.8f, 0.8f, 0, 0}, {false, false, false, false}},
      {2, {0, 0, 0.8f, 0.8f}, {false, false, false, false}},
      {3, {0.8f, 0, 0, 0.8f}, {false, false, false, false}},
      {4, {0, 0.8f, 0.8f, 0}, {false, false, false, false}},
      {16, {0.8f, 0.8f, 0.8f, 0.8f}, {false, false, true, true}},
      {32, {0.8f, 0.8f, 0.8f, 0.8f}, {true, true, false, false}},
      {48, {0.8f, 0.8f, 0.8f, 0.8f}, {false, true, true, false}},
      {64, {0.8f, 0.8f, 0.8f, 0.8f}, {true, false, false, true}},
      {16 | 2, {0, 0, 0.8f, 0.8f}, {false, false, true, true}},  // gradient down to nothing
  };
  const int cornerOfVertex[6] = {0, 1, 2, 0, 2, 3};
  for (const Case& c : cases) {
    SCOPED_TRACE("colour bits " + std::to_string(c.bits));
    RecordingRenderer fresh;
    fresh.DrawImage(image.get(), nullptr, kColour, GCore::kPlaceAt | (c.bits << 16), {});
    const auto v = fresh.Pending();
    ASSERT_EQ(v.size(), 6u);
    for (int i = 0; i < 6; ++i) {
      const int corner = cornerOfVertex[i];
      EXPECT_FLOAT_EQ(v[i].a, Stored(c.alpha[corner])) << "vertex " << i;
      EXPECT_FLOAT_EQ(v[i].r, Stored(c.second[corner] ? 0.9f : 0.1f)) << "vertex " << i;
      EXPECT_FLOAT_EQ(v[i].b, Stored(c.second[corner] ? 0.5f : 0.3f)) << "vertex " << i;
    }
  }
}

TEST_F(DrawImage, EllipsesFanEighteenTrianglesAroundTheCentre) {
  struct Case {
    uint32_t bits;
    float centreAlpha, rimAlpha, rimRed;
  } cases[] = {{5, 0.8f, 0, 0.1f}, {6, 0, 0.8f, 0.1f}, {80, 0.8f, 0.8f, 0.9f}};
  for (const Case& c : cases) {
    SCOPED_TRACE("colour bits " + std::to_string(c.bits));
    RecordingRenderer fresh;
    fresh.DrawImage(image.get(), nullptr, kColour, GCore::kPlaceRect | (c.bits << 16),
                    Rect(0, 0, 100, 50));
    const auto v = fresh.Pending();
    ASSERT_EQ(v.size(), 54u);
    for (int k = 0; k < 18; ++k) {
      const RecordedVertex& centre = v[3 * k];
      const RecordedVertex& from = v[3 * k + 1];
      const RecordedVertex& to = v[3 * k + 2];
      EXPECT_FLOAT_EQ(centre.x, 50);
      EXPECT_FLOAT_EQ(centre.y, 25);
      EXPECT_FLOAT_EQ(centre.a, Stored(c.centreAlpha));
      EXPECT_FLOAT_EQ(from.a, Stored(c.rimAlpha));
      EXPECT_FLOAT_EQ(to.r, Stored(c.rimRed));
      const double angle = k * 20.0 * M_PI / 180.0;
      EXPECT_NEAR(from.x, 50 + 50 * std::cos(angle), 1e-4);
      EXPECT_NEAR(from.y, 25 + 25 * std::sin(angle), 1e-4);
      EXPECT_FLOAT_EQ(centre.v, image->v + image->dv);
      EXPECT_FLOAT_EQ(from.u, image->u + image->du);
      EXPECT_FLOAT_EQ(to.u, image->u);
    }
    EXPECT_NEAR(v[53].x, 100, 1e-4) << "the last rim point closes the ellipse";
  }
}

TEST_F(DrawImage, AirFramesScaleOffsetAndFlip) {
  GCore::AirFrameInfo frame;
  frame.width = 40;
  frame.height = 20;
  frame.offsetX = 4;
  frame.offsetY = 2;
  // The reference size 40 x 20 onto an 80 x 40 rectangle: scale 2.
  const auto v = Draw(GCore::kPlaceRectMatrix, Rect(0, 0, 80, 40), &frame);
  const auto p = Corners(v);
  EXPECT_FLOAT_EQ(p[0].x, 8);
  EXPECT_FLOAT_EQ(p[0].y, 4);
  EXPECT_FLOAT_EQ(p[2].x, 48);
  EXPECT_FLOAT_EQ(p[2].y, 24);

  for (uint8_t flip : {1, 2, 3}) {
    RecordingRenderer fresh;
    frame.flip = flip;
    fresh.DrawImage(image.get(), &frame, kColour, GCore::kPlaceRectMatrix, Rect(0, 0, 80, 40));
    const auto f = fresh.Pending();
    EXPECT_FLOAT_EQ(f[0].u, (flip & 1) ? 1.0f : 0.5f) << int(flip);
    EXPECT_FLOAT_EQ(f[0].v, (flip & 2) ? 0.25f : 0.5f) << int(flip);
  }
}

TEST_F(DrawImage, CollisionBoxesFollowTheFrameWhenShown) {
  GCore::AirFrameInfo frame;
  frame.width = 40;
  frame.height = 20;
  frame.offsetX = 4;
  frame.offsetY = 2;
  frame.boxes = {{1, 0, 0, 5, 5}, {2, -1, 1, 1, 3}};
  Draw(GCore::kPlaceRectMatrix, Rect(0, 0, 80, 40), &frame);
  EXPECT_EQ(renderer.Pending().size(), 6u) << "boxes are hidden by default";

  GCore::g_settings.showCollisionBoxes = true;
  RecordingRenderer fresh;
  fresh.DrawImage(image.get(), &frame, kColour, GCore::kPlaceRectMatrix, Rect(0, 0, 80, 40));
  GCore::g_settings.showCollisionBoxes = false;
  ASSERT_EQ(fresh.batches.size(), 1u) << "the boxes' placeholder texture is another texture";
  EXPECT_EQ(fresh.batches[0].texture, &texture);
  const auto boxes = fresh.Pending();
  ASSERT_EQ(boxes.size(), 12u);
  const auto red = Corners(boxes, 0);
  EXPECT_FLOAT_EQ(red[0].x, 8);
  EXPECT_FLOAT_EQ(red[0].y, 4);
  EXPECT_FLOAT_EQ(red[2].x, 18);
  EXPECT_FLOAT_EQ(red[2].y, 14);
  EXPECT_EQ(boxes[0].r, 1);
  EXPECT_EQ(boxes[0].b, 0);
  EXPECT_FLOAT_EQ(boxes[0].a, Stored(0.3f));
  const auto blue = Corners(boxes, 6);
  EXPECT_FLOAT_EQ(blue[0].x, 6);
  EXPECT_FLOAT_EQ(blue[0].y, 6);
  EXPECT_FLOAT_EQ(blue[2].x, 10);
  EXPECT_FLOAT_EQ(blue[2].y, 10);
  EXPECT_EQ(boxes[6].b, 1);
}

TEST_F(DrawImage, NineSliceDrawsNineCellsFromTheInsets) {
  Texture sheet(1, 0x50000002);
  sheet.width = sheet.height = 30;
  Image sliced(0, 0, &sheet, 0, 0, 30, 30);
  sliced.insets[Image::kLeft] = 5;
  sliced.insets[Image::kRight] = 5;
  sliced.insets[Image::kTop] = 5;
  sliced.insets[Image::kBottom] = 10;
  renderer.DrawImage(&sliced, nullptr, kColour, GCore::kPlaceRect, Rect(0, 0, 100, 60));
  const auto v = renderer.Pending();
  ASSERT_EQ(v.size(), 54u);
  // Cells run left to right, bottom row first.
  const float xs[4] = {0, 5, 95, 100};
  const float ys[4] = {0, 10, 55, 60};
  const float us[4] = {0, 5 / 30.f, 25 / 30.f, 1};
  const float vs[4] = {1, 20 / 30.f, 5 / 30.f, 0};  // source rows counted from the top
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      const size_t first = 6 * (3 * row + column);
      const auto p = Corners(v, first);
      SCOPED_TRACE("cell " + std::to_string(row) + "," + std::to_string(column));
      EXPECT_FLOAT_EQ(p[0].x, xs[column]);
      EXPECT_FLOAT_EQ(p[0].y, ys[row]);
      EXPECT_FLOAT_EQ(p[2].x, xs[column + 1]);
      EXPECT_FLOAT_EQ(p[2].y, ys[row + 1]);
      EXPECT_NEAR(v[first].u, us[column], 1e-6);
      EXPECT_NEAR(v[first].v, vs[row], 1e-6);
      EXPECT_NEAR(v[first + 2].u, us[column + 1], 1e-6);
      EXPECT_NEAR(v[first + 2].v, vs[row + 1], 1e-6);
    }
  }

  RecordingRenderer narrow;
  narrow.DrawImage(&sliced, nullptr, kColour, GCore::kPlaceRect, Rect(0, 0, 8, 60));
  const auto n = narrow.Pending();
  ASSERT_EQ(n.size(), 36u) << "insets wider than the target meet in the middle: no middle column";
  EXPECT_FLOAT_EQ(Corners(n, 0)[2].x, 4);
  EXPECT_FLOAT_EQ(Corners(n, 6)[0].x, 4);

  sliced.slicingOff = 1;
  RecordingRenderer plain;
  plain.DrawImage(&sliced, nullptr, kColour, GCore::kPlaceRect, Rect(0, 0, 100, 60));
  EXPECT_EQ(plain.Pending().size(), 6u);
  sliced.slicingOff = 0;
  plain.DrawImage(&sliced, nullptr, kColour, GCore::kPlaceAt, Rect(0, 0, 100, 60));
  EXPECT_EQ(plain.Pending().size(), 12u) << "selectors without a size do not slice";
}

TEST_F(DrawImage, QuadsFromCallerArrays) {
  // c0 top-left, c1 top-right, c2 bottom-left, c3 bottom-right.
  const float corners[16] = {0, 10, 10, 10, 0, 0, 10, 0, /* second */ 20, 30, 30, 30, 20, 20, 30, 20};
  renderer.DrawQuads(image.get(), 2, corners, nullptr, nullptr, 0, 0xFF800040);
  const auto v = renderer.Pending();
  ASSERT_EQ(v.size(), 12u);
  const float positions[6][2] = {{0, 10}, {10, 10}, {10, 0}, {0, 10}, {10, 0}, {0, 0}};
  const float uv[6][2] = {{0.5f, 0.25f}, {1, 0.25f}, {1, 0.5f}, {0.5f, 0.25f}, {1, 0.5f}, {0.5f, 0.5f}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(v[i].x, positions[i][0]);
    EXPECT_EQ(v[i].y, positions[i][1]);
    EXPECT_FLOAT_EQ(v[i].u, uv[i][0]);
    EXPECT_FLOAT_EQ(v[i].v, uv[i][1]);
  }
  EXPECT_FLOAT_EQ(v[0].r, 1);
  EXPECT_FLOAT_EQ(v[0].g, 128 / 255.f);
  EXPECT_FLOAT_EQ(v[0].b, 0);
  EXPECT_FLOAT_EQ(v[0].a, 64 / 255.f);
  EXPECT_EQ(v[6].x, 20);

  // A stride of 24 steps every array by 24 floats: positions, uv and colours interleaved.
  float packed[48] = {};
  for (int q = 0; q < 2; ++q) {
    float* quad = packed + 24 * q;
    for (int i = 0; i < 8; ++i) quad[i] = float(100 * q + i);  // positions
  }
  RecordingRenderer strided;
  strided.DrawQuads(image.get(), 2, packed, packed, packed, 24, 0);
  const auto s = strided.Pending();
  ASSERT_EQ(s.size(), 12u);
  EXPECT_EQ(s[6].x, 100);
  EXPECT_EQ(s[7].u, 102);
  EXPECT_EQ(s[6].r, 1) << "colours are read from the same stride (100, the most a channel keeps)";
}

TEST_F(DrawImage, NoQuadsChangeNothing) {
  Texture other(1, 0x50000009);
  Image otherImage(0, 0, &other, 0, 0, 1, 1);
  Draw(GCore::kPlaceAt, {});
  renderer.DrawQuads(&otherImage, 0, nullptr, nullptr, nullptr, 0, 0xFFFFFFFF);
  renderer.DrawQuads(&otherImage, -3, nullptr, nullptr, nullptr, 0, 0xFFFFFFFF);
  EXPECT_EQ(renderer.CurrentBatch()->texture, &texture);
  EXPECT_EQ(renderer.Pending().size(), 6u);
  EXPECT_TRUE(renderer.calls.empty());
}

}  // namespace
