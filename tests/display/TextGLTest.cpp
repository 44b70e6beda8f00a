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
  // its bottom at y (window pixels): each pixel as bright as the cell's
  // coverage there (white text on black). Returns the number of pixels more
  // than half covered. Coverage, not full coverage, counts: a face's strokes
  // need not reach 255 at every size.
  int ExpectCellOnScreen(uint32_t code, int x, int y) {
    const GCore::Image* glyph = text->GetGlyph(code, 1);
    auto* atlas = static_cast<GCore::FontTexture*>(glyph->texture);
    const auto* pixels = reinterpret_cast<const uint32_t*>(atlas->pixels.get());
    const int w = static_cast<int>(glyph->width), h = static_cast<int>(glyph->height);
    int ink = 0;
    int wrong = 0;
    for (int row = 0; row < h; ++row) {
      for (int column = 0; column < w; ++column) {
        const auto alpha = static_cast<int>(
            pixels[(static_cast<int>(glyph->y) + row) * 1024 + static_cast<int>(glyph->x) + column] >> 24);
        // The colour only: the screen's alpha takes the blend too.
        const Rgba shown = At(x + column, y + h - 1 - row);
        const testing::AssertionResult near = Near(shown, {alpha, alpha, alpha, shown.a}, 8);
        if (!near && wrong++ < 5) ADD_FAILURE() << "cell pixel " << column << ", " << row << ": " << near.message();
        ink += alpha > 128;
      }
    }
    EXPECT_EQ(wrong, 0) << "cell pixels not where the line puts them";
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

TEST_F(TextOnScreen, FacesOfAFontCollectionAreDrawnWithOrWithoutBitmapStrikes) {
  // wqy-zenhei.ttc holds three faces; the third ("Sharp") has bitmap strikes
  // from 12 to 16 pixels per em, which 16-pixel text falls on and 32-pixel
  // text does not. The outlines are drawn either way, as for TrueType files.
  struct Case {
    const char* face;
    uint32_t font;  // slot 1, pixel height in bits 16 to 23
  };
  const Case cases[] = {
      {"WenQuanYi Zen Hei", 0x61180000},       {"WenQuanYi Zen Hei Mono", 0x61180000},
      {"WenQuanYi Zen Hei Sharp", 0x61100000}, {"WenQuanYi Zen Hei Sharp", 0x61200000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.face << " at " << ((c.font >> 16) & 0xFF) << " pixels");
    resources = std::make_unique<GCore::ResourceManager>();
    resources->SetFont(1, 1, c.face, false);
    text->SetFont(c.font);
    text->SetText("\xE4\xB8\xAD");
    Frame([&] { text->Draw(); });
    const int lineBottom = 80 - static_cast<int>(text->lines[0].height);
    EXPECT_GT(ExpectCellOnScreen(0x4E2D, 20, lineBottom), 10) << "the glyph has ink";
  }
}

}  // namespace
