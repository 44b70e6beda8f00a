// A PNG resource all the way to the screen: found by id, decoded on first
// draw, uploaded, placed by the letterbox fit of a window whose aspect differs
// from the design size, and read back.
#include "render/ResourceGLFixture.h"

#include "render/Image.h"
#include "render/PngFixtures.h"

namespace {

using PngOnScreen = ResourceGLFixture;

TEST_F(PngOnScreen, QuadLandsAtItsLetterboxedPixels) {
  // 10 x 10: the top half red, the bottom half green.
  game.WriteImage("game", 0x42, testpng::EncodeRgba(10, 10, testpng::RedOverGreen(10)));

  struct Case {
    float designWidth, designHeight;
    float scale, left, bottom;  // expected fit of the 200 x 100 window
  } cases[] = {
      {100, 100, 1.0f, 50, 0},   // design narrower than the window: side bars
      {400, 100, 0.5f, 0, 25},   // design wider: bars at top and bottom
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.designWidth) + " x " + std::to_string(c.designHeight));
    GCore::g_settings.designWidth = c.designWidth;
    GCore::g_settings.designHeight = c.designHeight;
    renderer->Resize(kWidth, kHeight);
    EXPECT_FLOAT_EQ(renderer->scaleX, c.scale);
    EXPECT_FLOAT_EQ(renderer->offsetX, c.left);
    EXPECT_FLOAT_EQ(renderer->offsetY, c.bottom);

    GCore::Image* image = resources->GetImage({0, TestGame::Id(0x42)});
    ASSERT_NE(image, nullptr);
    const float white[4] = {1, 1, 1, 1};
    Frame([&] {
      renderer->SetBlendMode(0);
      renderer->SetTextureFilter(GCore::kFilterNearest);
      GCore::DrawPlacement at;
      at.x = 40, at.y = 20, at.width = 20, at.height = 20;
      renderer->DrawImage(image, nullptr, white, GCore::kPlaceRect, at);
    });
    // The quad covers design (40, 20) to (60, 40): window pixels from
    // (left + 40 s, bottom + 20 s), 20 s wide and high.
    const int x0 = static_cast<int>(c.left + 40 * c.scale);
    const int y0 = static_cast<int>(c.bottom + 20 * c.scale);
    const int side = static_cast<int>(20 * c.scale);
    EXPECT_TRUE(Near(At(x0 + 1, y0 + side - 2), {255, 0, 0, 255})) << "the first rows at the top";
    EXPECT_TRUE(Near(At(x0 + side - 2, y0 + 1), {0, 255, 0, 255}));
    EXPECT_TRUE(Near(At(x0 - 1, y0 + 1), {0, 0, 0, 255})) << "nothing left of the quad";
    EXPECT_TRUE(Near(At(x0 + 1, y0 + side), {0, 0, 0, 255})) << "nothing above it";
    EXPECT_TRUE(Near(At(x0 + side, y0 + 1), {0, 0, 0, 255})) << "nothing right of it";
    EXPECT_TRUE(resources->IsResident(image->texture));
    EXPECT_EQ(image->texture->pixels, nullptr) << "decoded on the first draw, dropped after upload";
  }
}

TEST_F(PngOnScreen, TextureBudgetFollowsASizeChangeAcrossARendererRebuild) {
  game.WriteImage("game", 0x43, testpng::EncodeRgba(10, 10, testpng::RedOverGreen(10)));
  GCore::Image* image = resources->GetImage({0, TestGame::Id(0x43)});
  ASSERT_NE(image, nullptr);
  const float white[4] = {1, 1, 1, 1};
  auto draw = [&] { renderer->DrawImage(image, nullptr, white, GCore::kPlaceAt, {}); };
  Frame(draw);
  EXPECT_EQ(resources->used, 16 * 16);

  // The renderer is rebuilt: the texture stays listed but is decoded and
  // uploaded again, from a file that has meanwhile grown.
  resources->ResetTextures();
  renderer = std::make_unique<GCore::RendererGLES2>();
  renderer->SetBaseViewTransform(&baseView);
  renderer->Init();
  renderer->Resize(kWidth, kHeight);
  game.WriteImage("game", 0x43, testpng::EncodeRgba(40, 40, testpng::RedOverGreen(40)));
  Frame(draw);
  EXPECT_EQ(image->texture->width, 40);
  EXPECT_EQ(resources->used, 64 * 64) << "the texture counts at the size it now has";

  resources->RemoveImage(1, TestGame::Id(0x43));
  EXPECT_EQ(resources->ResidentCount(), 0u);
  EXPECT_EQ(resources->used, 0) << "eviction takes back exactly what was counted";
}

}  // namespace
