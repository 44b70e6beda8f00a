// The image operations of "gcore.c" on PNG resources of a game, with the
// GLES2 renderer on the surfaceless context: results replace the images,
// stay after uploads and evictions, are drawn at their new size, and a
// screen shot saved as PNG holds the read-back pixels.
#include <cstring>

#include "game/GCoreApi.h"
#include "display/Quad.h"
#include "render/Image.h"
#include "render/ImageOps.h"
#include "render/PNG.h"
#include "render/PngFixtures.h"
#include "render/ResourceGLFixture.h"

namespace {

class ImageOpsOnScreen : public ResourceGLFixture {
 protected:
  void SetUp() override {
    ResourceGLFixture::SetUp();
    L = game.game->GetLuaManager()->GetProject(1)->state;
    Run("g = require 'gcore.c'");
  }
  void Run(const std::string& chunk) {
    if (luaL_dostring(L, chunk.c_str()) != LUA_OK) ADD_FAILURE() << lua_tostring(L, -1);
    lua_settop(L, 0);
  }
  std::string Eval(const std::string& expression) {
    if (luaL_dostring(L, ("return " + expression).c_str()) != LUA_OK) return lua_tostring(L, -1);
    std::string text = luaL_tolstring(L, -1, nullptr);
    lua_settop(L, 0);
    return text;
  }
  void WriteImage(uint32_t number, int width, int height, const std::vector<uint8_t>& rgba) {
    game.WriteImage("game", number, testpng::EncodeRgba(width, height, rgba));
  }
  GCore::Texture* TextureOf(uint32_t number) {
    GCore::Image* image = resources->GetImage(GCore::OwnerPair{1, TestGame::Id(number)});
    return image ? image->texture : nullptr;
  }
  // The texture's pixels, made when absent.
  std::vector<uint8_t> PixelsOf(uint32_t number) {
    GCore::Texture* texture = TextureOf(number);
    if (!texture || !texture->EnsurePixels() || !texture->pixels) return {};
    return std::vector<uint8_t>(texture->pixels.get(),
                                texture->pixels.get() + static_cast<size_t>(texture->width) * texture->height * 4);
  }
  static std::string Id(uint32_t number) { return std::to_string(TestGame::Id(number)); }
  // A quad showing image `number` over the design box, texels unfiltered.
  GCore::Retained<GCore::Quad> PlacedQuad(uint32_t number, float left, float bottom, float right, float top) {
    GCore::RegisterScriptClasses(L);
    GCore::Retained<GCore::Quad> quad(GCore::NewDisplayObject<GCore::Quad>(L));
    quad->anchorMinX = quad->anchorMaxX = quad->anchorMinY = quad->anchorMaxY = 0;
    quad->offsetMinX = left;
    quad->offsetMinY = bottom;
    quad->offsetMaxX = right;
    quad->offsetMaxY = top;
    quad->textureFilter = GCore::kFilterNearest;
    quad->SetMedia(TestGame::Id(number));
    return quad;
  }

  lua_State* L = nullptr;
};

std::vector<uint8_t> Flat(int width, int height, std::initializer_list<uint8_t> rgba) {
  std::vector<uint8_t> out;
  for (int i = 0; i < width * height; ++i) out.insert(out.end(), rgba);
  return out;
}

TEST_F(ImageOpsOnScreen, EachOperationReplacesItsTarget) {
  const std::vector<uint8_t> pattern = testpng::Pattern(12, 8);
  WriteImage(1, 12, 8, pattern);
  WriteImage(2, 4, 4, Flat(4, 4, {1, 2, 3, 4}));
  GCore::PixelView source{pattern.data(), 12, 8};

  struct Case {
    const char* call;
    int width, height;
    GCore::PixelBuffer expected;
  };
  Case cases[] = {
      {"g.doCrop(%1, %2, 2, 1, 10, 5)", 8, 4, GCore::CropPixels(source, 2, 1, 10, 5)},
      {"g.doResize(%1, %2, 5, 3)", 5, 3, GCore::ResizeNearest(source, 5, 3)},
      {"g.doResize_Bi(%1, %2, 30, 17)", 30, 17, GCore::ResizeBilinear(source, 30, 17)},
  };
  for (Case& c : cases) {
    std::string call = c.call;
    call.replace(call.find("%1"), 2, Id(1));
    call.replace(call.find("%2"), 2, Id(2));
    SCOPED_TRACE(call);
    Run(call);
    EXPECT_EQ(Eval("table.concat({g.imageSize(" + Id(2) + ")}, ' ')"),
              std::to_string(c.width) + " " + std::to_string(c.height));
    const std::vector<uint8_t> got = PixelsOf(2);
    ASSERT_EQ(got.size(), static_cast<size_t>(c.width) * c.height * 4);
    EXPECT_EQ(std::memcmp(got.data(), c.expected.pixels.get(), got.size()), 0);
    EXPECT_EQ(PixelsOf(1), pattern) << "the source is left alone";
  }

  // Filters work in place; an unknown filter changes nothing.
  testing::internal::CaptureStdout();
  Run("g.doFilter(" + Id(1) + ", 7)");
  EXPECT_EQ(PixelsOf(1), pattern);
  Run("g.doFilter(" + Id(1) + ", 3)");
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Filter done in"), std::string::npos);
  GCore::ToneCurves curves;
  ASSERT_TRUE(GCore::BuildFilterCurves(3, 1.0, curves));
  std::vector<uint8_t> filtered = pattern;
  GCore::ApplyFilterCurves(filtered.data(), 12 * 8, curves);
  EXPECT_EQ(PixelsOf(1), filtered);
}

TEST_F(ImageOpsOnScreen, RequestsThatCannotBeServedChangeNothing) {
  WriteImage(1, 6, 6, testpng::Pattern(6, 6));
  WriteImage(2, 1, 1, Flat(1, 1, {9, 9, 9, 9}));
  WriteImage(3, 3, 1, Flat(3, 1, {5, 5, 5, 5}));
  const std::vector<uint8_t> before = PixelsOf(3);
  for (const std::string call : {
           "g.doCrop(%1, %3, 4, 4, 2, 2)",     // reversed
           "g.doCrop(%1, %3, 7, 0, 9, 9)",     // beyond the source
           "g.doResize(%1, %3, 0, 4)",
           "g.doResize(%1, %3, 4, -2)",
           "g.doResize_Bi(%1, %3, -1, -1)",
           "g.doResize_Bi(%1, %3, 1e12, 1)",
           "g.GaussianBlur(%2, %3)",           // under 2 pixels
           "g.GaussianBlur(%3, %3)",           // 1 row
           "g.doCrop(%1, 0x51050099, 0, 0, 2, 2)",  // no such target
           "g.doResize(0x51050099, %3, 2, 2)",
           "g.GaussianBlur(%1, 0x51050099)",
       }) {
    std::string text = call;
    for (const auto& [mark, number] : {std::pair{"%1", 1}, std::pair{"%2", 2}, std::pair{"%3", 3}}) {
      for (size_t at; (at = text.find(mark)) != std::string::npos;) text.replace(at, 2, Id(number));
    }
    SCOPED_TRACE(text);
    Run(text);
    EXPECT_EQ(PixelsOf(3), before);
    EXPECT_EQ(Eval("table.concat({g.imageSize(" + Id(3) + ")}, ' ')"), "3 1");
  }
  EXPECT_EQ(PixelsOf(2).size(), 4u);
}

TEST_F(ImageOpsOnScreen, GaussianBlurHalvesTheSourceAndKeepsTheTargetsSize) {
  WriteImage(1, 64, 64, testpng::Pattern(64, 64));
  WriteImage(2, 4, 4, Flat(4, 4, {0, 0, 0, 0}));
  const std::vector<uint8_t> pattern = testpng::Pattern(64, 64);
  Run("g.GaussianBlur(" + Id(1) + ", " + Id(2) + ")");
  EXPECT_EQ(Eval("table.concat({g.imageSize(" + Id(1) + ")}, ' ')"), "32 32");
  EXPECT_EQ(Eval("table.concat({g.imageSize(" + Id(2) + ")}, ' ')"), "64 64");
  const GCore::PixelBuffer half = GCore::ResizeNearest({pattern.data(), 64, 64}, 32, 32);
  const GCore::PixelBuffer blurred = GCore::BlurPixels({half.pixels.get(), 32, 32});
  const GCore::PixelBuffer full = GCore::ResizeNearest({blurred.pixels.get(), 32, 32}, 64, 64);
  const std::vector<uint8_t> got = PixelsOf(2);
  ASSERT_EQ(got.size(), 64u * 64 * 4);
  EXPECT_EQ(std::memcmp(got.data(), full.pixels.get(), got.size()), 0);
}

TEST_F(ImageOpsOnScreen, AResultIsDrawnAtItsNewSizeAndOutlivesUploads) {
  WriteImage(3, 8, 8, Flat(8, 8, {255, 0, 0, 255}));
  WriteImage(4, 2, 2, Flat(2, 2, {0, 0, 255, 255}));
  GCore::Retained<GCore::Quad> quad = PlacedQuad(3, 40, 20, 80, 60);
  Frame([&] { quad->Draw(); });
  EXPECT_TRUE(Near(At(60, 40), {255, 0, 0, 255}));

  // A different size: the GL texture is specified anew.
  Run("g.doResize(" + Id(4) + ", " + Id(3) + ", 4, 4)");
  Frame([&] { quad->Draw(); });
  EXPECT_TRUE(Near(At(42, 22), {0, 0, 255, 255}));
  EXPECT_TRUE(Near(At(78, 58), {0, 0, 255, 255}));
  // The pixels live only in memory: uploads and evictions keep them.
  GCore::Texture* texture = TextureOf(3);
  resources->EvictTexture(texture);
  EXPECT_EQ(Eval("g.GetPixelColor(" + Id(3) + ", 1, 1)"), std::to_string(0xFF0000));
  Frame([&] { quad->Draw(); });
  EXPECT_TRUE(Near(At(60, 40), {0, 0, 255, 255}));
}

TEST_F(ImageOpsOnScreen, AScreenShotSavedAsPngHoldsTheReadBackPixels) {
  WriteImage(1, 16, 16, testpng::Pattern(16, 16));
  WriteImage(5, 2, 2, Flat(2, 2, {0, 0, 0, 0}));
  GCore::Retained<GCore::Quad> quad = PlacedQuad(1, 10, 5, 170, 90);
  Frame([&] { quad->Draw(); });

  const std::string path = game.root.Path("shot.png");
  Run("g.screenShot(" + Id(5) + ") g.SavePNG(" + Id(5) + ", '" + path + "')");
  EXPECT_EQ(Eval("table.concat({g.imageSize(" + Id(5) + ")}, ' ')"), "200 100");
  const std::string file = game.root.Read("shot.png");
  GCore::PngMemorySource memory{reinterpret_cast<const uint8_t*>(file.data()), file.size(), 0};
  GCore::PngImage png;
  ASSERT_TRUE(GCore::DecodePng(GCore::PngReadFromMemory, &memory, false, png));
  ASSERT_EQ(png.width, kWidth);
  ASSERT_EQ(png.height, kHeight);
  // The file's rows run top down; the read-back's bottom up.
  for (int row = 0; row < kHeight; ++row) {
    ASSERT_EQ(std::memcmp(png.pixels.get() + static_cast<size_t>(row) * kWidth * 4,
                          &screen[static_cast<size_t>(kHeight - 1 - row) * kWidth * 4], kWidth * 4), 0)
        << "row " << row;
  }
  EXPECT_NE(At(50, 50).a + At(50, 50).r, 0) << "the quad is there";
}

}  // namespace
