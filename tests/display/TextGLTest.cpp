// Text drawn by the GLES2 renderer on the surfaceless context and read back:
// every pixel of a glyph's cell lands on the screen where its line puts it,
// for a TrueType glyph and for a Chinese glyph of the system's fonts.
#include "render/ResourceGLFixture.h"

#include "game/GCoreApi.h"
#include "render/FontStyle.h"
#include "display/TextQuad.h"
#include "render/FontFixtures.h"
#include "render/FontTexture.h"
#include "render/TTFManager.h"

namespace {

class TextOnScreen : public ResourceGLFixture {
 protected:
  void SetUp() override {
    ResourceGLFixture::SetUp();
    fonts.Init();
    ASSERT_TRUE(GCore::AddTTFBytes({1, 0x72000001}, ReadBytes(kDejaVuSans)));
    lua_State* L = game.game->GetLuaManager()->GetProject(1)->state;
    GCore::RegisterScriptClasses(L);
    text.Reset(GCore::NewDisplayObject<GCore::TextQuad>(L));
    // Design (20, 20) to (180, 80) of the 200 x 100 design filling the window.
    text->anchorMinX = text->anchorMaxX = text->anchorMinY = text->anchorMaxY = 0;
    text->offsetMinX = 20;
    text->offsetMinY = 20;
    text->offsetMaxX = 180;
    text->offsetMaxY = 80;
    text->align = 1;
    text->textureFilter = GCore::kFilterNearest;
  }
  void TearDown() override {
    text.Reset();
    fonts.Shutdown();
    GCore::ClearFontStyles();
    ResourceGLFixture::TearDown();
  }

  // Checks that the glyph's cell shows on screen with its left edge at x and
  // its bottom at y (window pixels): full coverage white, none black.
  // Returns the number of full-coverage pixels.
  int ExpectCellOnScreen(uint32_t code, int x, int y) {
    const GCore::Image* glyph = text->GetGlyph(code, 1);
    auto* atlas = static_cast<GCore::FontTexture*>(glyph->texture);
    const auto* pixels = reinterpret_cast<const uint32_t*>(atlas->pixels.get());
    const int w = static_cast<int>(glyph->width), h = static_cast<int>(glyph->height);
    int ink = 0;
    for (int row = 0; row < h; ++row) {
      for (int column = 0; column < w; ++column) {
        const uint32_t alpha = pixels[(static_cast<int>(glyph->y) + row) * 1024 + static_cast<int>(glyph->x) + column] >> 24;
        if (alpha != 0 && alpha != 255) continue;
        const int value = alpha == 255 ? 255 : 0;
        EXPECT_TRUE(Near(At(x + column, y + h - 1 - row), {value, value, value, 255}, 8))
            << "cell pixel " << column << ", " << row;
        ink += alpha == 255;
      }
    }
    return ink;
  }

  GCore::TTFManager fonts;
  GCore::Retained<GCore::TextQuad> text;
};

TEST_F(TextOnScreen, TrueTypeGlyphsLandOnTheirLine) {
  text->SetText("H");
  Frame([&] { text->Draw(); });
  const int lineBottom = 80 - static_cast<int>(text->lines[0].height);
  EXPECT_GT(ExpectCellOnScreen('H', 20, lineBottom), 10) << "the glyph has ink";
  EXPECT_TRUE(Near(At(19, 60), {0, 0, 0, 255})) << "nothing left of the block";
  EXPECT_TRUE(Near(At(60, 60), {0, 0, 0, 255})) << "nothing right of the glyph";
}

TEST_F(TextOnScreen, ChineseGlyphsComeFromTheSystemsFonts) {
  // Slot 1 has no font file: the system's default face draws it.
  text->SetFont(0x61180000);
  text->SetText("\xE4\xB8\xAD");
  Frame([&] { text->Draw(); });
  const int lineBottom = 80 - static_cast<int>(text->lines[0].height);
  EXPECT_GT(ExpectCellOnScreen(0x4E2D, 20, lineBottom), 10) << "the glyph has ink";
}

}  // namespace
