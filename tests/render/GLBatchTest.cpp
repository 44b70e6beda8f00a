// The renderer's quad batch read back from a surfaceless pbuffer: batches
// longer than 16-bit indices reach (with and without 32-bit indices), lone
// triangles beside quads, byte colours, and frames that change texture and
// blending between batches and from one frame to the next.
#include "render/GLFixture.h"

#include "render/Image.h"

namespace {

using GCore::DrawPlacement;
using GCore::Image;

constexpr Rgba kBlack{0, 0, 0, 255};

// The renderer a context without OES_element_index_uint gets.
class ShortIndexRenderer : public GCore::RendererGLES2 {
 public:
  int Init() override {
    const int result = RendererGLES2::Init();
    uintIndices_ = false;
    return result;
  }
};

class GLBatch : public GLFixture {
 protected:
  void UseShortIndices() {
    renderer = std::make_unique<ShortIndexRenderer>();
    renderer->SetBaseViewTransform(&baseView);
    renderer->Init();
    renderer->Resize(kWidth, kHeight);
  }
};

TEST_F(GLBatch, ABatchBeyondSixteenBitIndicesIsDrawnWholeInOneFlush) {
  // One quad a pixel over the whole window: 20,000 quads, 80,000 vertices,
  // so the last 3,616 quads lie beyond what a 16-bit index reaches.
  for (bool shortIndices : {false, true}) {
    SCOPED_TRACE(shortIndices ? "16-bit indices" : "32-bit indices");
    if (shortIndices) UseShortIndices();
    GCore::Texture* white = White();
    Frame([&] {
      const float colours[2][4] = {{1, 0, 0, 1}, {0, 0, 1, 1}};
      for (int i = 0; i < kWidth * kHeight; ++i) {
        Fill(white, i % kWidth, i / kWidth, 1, 1, colours[(i / kWidth) % 2]);
      }
    });
    EXPECT_EQ(renderer->drawCalls, 1);
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      const Rgba expected = y % 2 ? Rgba{0, 0, 255, 255} : Rgba{255, 0, 0, 255};
      for (int x = 0; x < kWidth; ++x) wrong += !Near(At(x, y), expected);
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(GLBatch, LoneTrianglesDrawOnlyThemselvesBesideQuads) {
  GCore::Texture* white = White();
  const float red[7] = {1, 0, 0, 1, 1, 0, 0};  // the rim's colour too
  const float green[4] = {0, 1, 0, 1};
  Frame([&] {
    Fill(white, 0, 0, 20, 20, green);
    // An ellipse is eighteen lone triangles; its bounding box's corners stay
    // outside it.
    Image image(0, 0, white, 0, 0, 1, 1);
    renderer->DrawImage(&image, nullptr, red, GCore::kPlaceRect | (80u << 16),
                        Rect(100, 0, 100, 100));
    Fill(white, 30, 0, 20, 20, green);
  });
  EXPECT_EQ(renderer->drawCalls, 1);
  EXPECT_TRUE(Near(At(10, 10), {0, 255, 0, 255}));
  EXPECT_TRUE(Near(At(40, 10), {0, 255, 0, 255})) << "a quad after the triangles";
  EXPECT_TRUE(Near(At(25, 10), kBlack));
  EXPECT_TRUE(Near(At(150, 50), {255, 0, 0, 255})) << "the centre";
  EXPECT_TRUE(Near(At(197, 50), {255, 0, 0, 255})) << "near the rim";
  EXPECT_TRUE(Near(At(103, 3), kBlack)) << "a corner of the box";
  EXPECT_TRUE(Near(At(196, 96), kBlack)) << "the opposite corner";
}

TEST_F(GLBatch, ColoursKeepTheirBytes) {
  GCore::Texture* white = White();
  const float colour[4] = {1, 128 / 255.0f, 64 / 255.0f, 1};
  const float outOfRange[4] = {2, -1, 0.5f, 1};
  Frame([&] {
    Fill(white, 0, 0, 100, 100, colour);
    Fill(white, 100, 0, 100, 100, outOfRange);
  });
  EXPECT_TRUE(Near(At(50, 50), {255, 128, 64, 255}, 0));
  EXPECT_TRUE(Near(At(150, 50), {255, 0, 128, 255}, 1)) << "channels beyond 0 and 1 are clamped";
}

TEST_F(GLBatch, FramesRedrawWhatChangedBetweenTexturesAndBlendModes) {
  GCore::Texture* red = MakeTexture(1, 1, {255, 0, 0, 255});
  GCore::Texture* blue = MakeTexture(1, 1, {0, 0, 255, 255});
  const float opaque[4] = {1, 1, 1, 1};
  auto scene = [&](double x) {
    return [&, x] {
      renderer->SetBlendMode(0);
      Fill(red, x, 0, 40, 40, opaque);
      Fill(blue, x + 50, 0, 40, 40, opaque);
      renderer->SetBlendMode(1);
      Fill(red, x + 50, 0, 40, 40, opaque);
      renderer->SetBlendMode(0);
      Fill(red, x, 50, 40, 40, opaque);
    };
  };
  for (double x : {0.0, 0.0, 100.0}) {
    SCOPED_TRACE("quads at x " + std::to_string(x));
    Frame(scene(x));
    EXPECT_EQ(renderer->drawCalls, 4);
    const int left = static_cast<int>(x), other = 100 - left;
    EXPECT_TRUE(Near(At(left + 20, 20), {255, 0, 0, 255}));
    EXPECT_TRUE(Near(At(left + 70, 20), {255, 0, 255, 255})) << "blue, red added";
    EXPECT_TRUE(Near(At(left + 20, 70), {255, 0, 0, 255}));
    EXPECT_TRUE(Near(At(other + 20, 20), kBlack)) << "nothing left of the other frame";
    EXPECT_TRUE(Near(At(other + 70, 20), kBlack));
  }
}

}  // namespace
