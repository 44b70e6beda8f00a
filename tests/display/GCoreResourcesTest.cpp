// "gcore.c" on the resource manager: images and their grids, pixels, brush
// masks and air data, with PNG files made by the test in a project folder.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "DisplayFixture.h"
#include "display/AirParser.h"
#include "display/Quad.h"
#include "render/Image.h"
#include "render/PngFixtures.h"
#include "render/Texture.h"
#include "spine/SpineRecords.h"

namespace {

class GCoreResources : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run(R"lua(
      g = require "gcore.c"
      g_dir = { [0x01050000] = "img" }
      g_ext = { [0x50000000] = ".png", [0x70000000] = ".fnt" }
    )lua");
    // 4 x 2 pixels (r, g, b, a) = (10 x + 1, 20 y + 2, 3, 100 + x + 10 y).
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x) {
        pixels.insert(pixels.end(), {uint8_t(10 * x + 1), uint8_t(20 * y + 2), 3, uint8_t(100 + x + 10 * y)});
      }
    }
    WriteImage("0001", testpng::EncodeRgba(4, 2, pixels));
    // A header that reads and data that does not decode.
    std::vector<uint8_t> broken = testpng::EncodeRgba(4, 2, pixels);
    broken.resize(40);
    WriteImage("0002", broken);
  }

  void WriteImage(const std::string& name, const std::vector<uint8_t>& bytes) {
    root.Write("p/img/" + name + ".png", std::string(bytes.begin(), bytes.end()));
  }

  GCore::Image* Found(uint32_t id) { return resources->FindImage(GCore::OwnerPair{1, id}); }
};

TEST_F(GCoreResources, ImageSizesAndTheTableOfKnownImages) {
  EXPECT_EQ(Eval("g.isImage(0x51050001)"), "false") << "not looked up yet";
  EXPECT_EQ(Eval("table.concat({g.imageSize(0x51050001)}, ' ')"), "4 2");
  EXPECT_EQ(Eval("g.isImage(0x51050001)"), "true");
  EXPECT_EQ(Eval("select('#', g.imageSize(0x51050009))"), "0") << "no file, no image";
  EXPECT_EQ(Eval("g.isImage(0x51050009)"), "false");
  EXPECT_EQ(Eval("g.isImage(0x60104143)"), "true") << "a glyph cell is made by its lookup";
  Run("g.removeImage(0x51050001)");
  EXPECT_EQ(Found(0x51050001), nullptr);
}

TEST_F(GCoreResources, ImageGridsRoundTripTheirBytes) {
  Run("g.setImageGrid(0x51050001, 3, 40, 2, 1)");
  EXPECT_EQ(Eval("table.concat({g.getImageGrid(0x51050001)}, ' ')"), "3 40 2 1");
  EXPECT_EQ(Found(0x51050001)->slicingOff, 0u);
  Run("g.setImageGrid(0x51050001, -3, 300, -1, 0)");
  EXPECT_EQ(Eval("table.concat({g.getImageGrid(0x51050001)}, ' ')"), "-3 44 255 0") << "bytes";
  EXPECT_EQ(Found(0x51050001)->slicingOff, 1u);
  EXPECT_EQ(Found(0x51050001)->insets[0], 2) << "the complement is stored";
  EXPECT_EQ(Eval("select('#', g.getImageGrid(0x51050009))"), "0");
  Run("g.setImageGrid(0x51050009, 1, 1, 1, 1)");
}

TEST_F(GCoreResources, AddImageRegistersARegionOfAnotherImagesTexture) {
  Run("g.addImage(0x56001000, 0x51050001, 1, 0, 2, 2)");
  GCore::Image* region = Found(0x56001000);
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(region->texture, Found(0x51050001)->texture);
  EXPECT_FLOAT_EQ(region->u, 0.25f);
  EXPECT_FLOAT_EQ(region->du, 0.5f);
  EXPECT_EQ(Eval("table.concat({g.imageSize(0x56001000)}, ' ')"), "2 2");
  Run("g.addImage(0x56001001, 0x51050001, 0, 0, 1, 1, 5, 6, 7, 8)");
  EXPECT_EQ(Eval("table.concat({g.getImageGrid(0x56001001)}, ' ')"), "5 6 7 8");
  Run("g.addImage(0x56001002, 0x56001002, 0, 0, 1, 1)");
  EXPECT_EQ(Found(0x56001002), nullptr) << "an image of itself";
  Run("g.addImage(0x56001003, 0x51050009, 0, 0, 1, 1)");
  EXPECT_EQ(Found(0x56001003), nullptr) << "no source image";
  // Removing the source leaves the region without a texture, not a dangling one.
  Run("g.UnloadResource(0x51050001)");
  EXPECT_EQ(Found(0x51050001), nullptr);
  EXPECT_EQ(Found(0x56001000)->texture, nullptr);
  EXPECT_EQ(Eval("g.GetPixelColor(0x56001000, 0, 0)"), "0");
}

TEST_F(GCoreResources, PixelsAreReadClampedAndMissingPixelsReadZero) {
  struct Case {
    const char* call;
    const char* value;
  };
  const Case cases[] = {
      {"g.GetPixelColor(0x51050001, 0, 0)", "197121"},   // 0x030201
      {"g.GetPixelAlpha(0x51050001, 0, 0)", "100"},
      {"g.GetPixelColor(0x51050001, 3, 1)", "202271"},   // 0x03161F
      {"g.GetPixelAlpha(0x51050001, 3, 1)", "113"},
      {"g.GetPixelAlpha(0x51050001, 4, 2)", "113"},      // x = width, y = height: the last pixel
      {"g.GetPixelAlpha(0x51050001, -5, 99)", "110"},    // clamped to (0, 1)
      {"g.GetPixelAlpha(0x51050001, 1e300, -1e300)", "103"},
      {"g.GetPixelColor(0x51050002, 0, 0)", "0"},        // does not decode
      {"g.GetPixelAlpha(0x51050002, 0, 0)", "0"},
      {"g.GetPixelColor(0x51050009, 0, 0)", "0"},        // no image
      {"g.GetPixelColor(0x71000001, 0, 0)", "0"},        // a kind without pixels, size 0
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(c.call), c.value) << c.call;
}

TEST_F(GCoreResources, AFileThatDoesNotDecodeIsTriedOnceUntilMarkedChanged) {
  // 64 x 48 pixels whose header reads and whose image data stops short.
  std::vector<uint8_t> cut = testpng::EncodeRgba(64, 48, std::vector<uint8_t>(64 * 48 * 4, 7));
  const std::string idat = "IDAT";
  const auto data = std::search(cut.begin(), cut.end(), idat.begin(), idat.end());
  ASSERT_NE(data, cut.end());
  cut.resize(static_cast<size_t>(data - cut.begin()) + 8);
  WriteImage("0003", cut);
  EXPECT_EQ(Eval("table.concat({g.imageSize(0x51050003)}, ' ')"), "64 48") << "the header reads";
  ASSERT_TRUE(GCore::LogOpen(root.Path("decode-log.txt")));
  auto failures = [&] {
    const std::string log = root.Read("decode-log.txt");
    size_t count = 0;
    for (size_t at = log.find("does not decode"); at != std::string::npos; at = log.find("does not decode", at + 1)) {
      ++count;
    }
    return count;
  };
  Run("for y = 0, 47 do for x = 0, 63 do g.GetPixelColor(0x51050003, x, y) g.GetPixelAlpha(0x51050003, x, y) end end");
  EXPECT_EQ(failures(), 1u) << "6144 reads, one decode";
  Run("g.MarkImageChange(0x51050003)");
  Run("g.GetPixelColor(0x51050003, 0, 0) g.GetPixelColor(0x51050003, 1, 0)");
  EXPECT_EQ(failures(), 2u) << "a texture marked changed is decoded again, once";
}

TEST_F(GCoreResources, MarkImageChangeAndSavePNG) {
  Run("g.imageSize(0x51050001)");
  GCore::Texture* texture = Found(0x51050001)->texture;
  texture->dirty = false;
  Run("g.MarkImageChange(0x51050001)");
  EXPECT_TRUE(texture->dirty);
  renderer.blurState = 1;
  Run("g.MarkImageChange(0x20000001)");
  EXPECT_EQ(renderer.blurState, 0) << "a render target clears the blur request";

  const std::string saved = root.Path("saved.png");
  Run("g.SavePNG(0x51050001, '" + saved + "')");
  const std::string bytes = root.Read("saved.png");
  ASSERT_GT(bytes.size(), 8u);
  EXPECT_EQ(bytes.substr(1, 3), "PNG");
  Run("g.SavePNG(0x51050009, '" + root.Path("none.png") + "')");
  EXPECT_TRUE(root.Read("none.png").empty());
}

TEST_F(GCoreResources, MasksOfAnObjectsMediaImage) {
  GCore::Quad* quad = Make<GCore::Quad>("quad");
  quad->SetMedia(0x51050001);
  EXPECT_EQ(Eval("table.concat({g.GetMaskOutline(quad)}, ' ')"), "0 5.0");
  // Erase a disc of radius 1 around (0, 0): x1, y1 are the 5th and 6th
  // arguments, y2 the 2nd, radius the 3rd, paint the 4th, x2 the 7th.
  Run("g.DrawMask(quad, 0, 1, false, 0, 0, 0)");
  GCore::Texture* texture = Found(0x51050001)->texture;
  ASSERT_TRUE(texture->pixels && texture->mask);
  EXPECT_EQ(texture->pixels[3], 0) << "erased at the stroke";
  // Alpha rises over the feather (5 pixels) beyond the radius:
  // trunc((sqrt(10) - 1) * 255 / 5) at (3, 1).
  EXPECT_EQ(texture->pixels[(1 * 4 + 3) * 4 + 3], 110);
  Run("g.SetMaskOutline(quad, 0xFF0000, 2.5)");
  EXPECT_EQ(Eval("table.concat({g.GetMaskOutline(quad)}, ' ')"), "16711680 2.5");
  EXPECT_EQ(texture->pixels[0], 0xFF) << "recomposed with the outline colour, red in bits 16 to 23";
  EXPECT_EQ(texture->pixels[2], 0);
  Run("g.SetMaskOutline(quad, 0, 5)");
  EXPECT_EQ(texture->pixels[0], 1) << "recomposed plainly";
  EXPECT_EQ(Eval("select('#', g.GetMaskOutline(g.Quad()))"), "0") << "no media";
  Run("g.DrawMask(g.Entity(), 0, 1, false, 0, 0, 0) g.SetMaskOutline(nil, 1, 1)");
}

TEST_F(GCoreResources, AirData) {
  const std::string text = "1,25,64,48,\n[A]5,run\n50000001,2\n\n[A]6\n50000002,3\n\n";
  auto data = GCore::ParseAirData(text.data(), text.size(), 1);
  ASSERT_TRUE(data);
  resources->AddAirData(GCore::OwnerPair{1, 0x30000001}, std::move(data));
  EXPECT_EQ(Eval("table.concat({g.AirActionHead(0x30000001)}, ' ')"), "40 64.0 48.0 2");
  EXPECT_EQ(Eval("table.concat({g.imageSize(0x30000001)}, ' ')"), "64 48");
  EXPECT_EQ(Eval("table.concat({g.AirActionID(0x30000001, 0)}, ' ')"), "5 run");
  EXPECT_EQ(Eval("select('#', g.AirActionID(0x30000001, 1))"), "2");
  EXPECT_EQ(Eval("tostring(select(2, g.AirActionID(0x30000001, 1)))"), "nil") << "an action without a name";
  EXPECT_EQ(Eval("select('#', g.AirActionID(0x30000001, 2))"), "0");
  EXPECT_EQ(Eval("g.AirActionToLua(0x30000001, 1).action_id"), "6");
  EXPECT_EQ(Eval("select('#', g.AirActionToLua(0x30000001, 2))"), "0");
  EXPECT_EQ(Eval("select('#', g.AirActionToLua(0x30000001, -1))"), "0");
  Run("g.UnloadAirData(0x30000001)");
  EXPECT_EQ(resources->GetAirData(GCore::OwnerPair{1, 0x30000001}), nullptr);
  EXPECT_EQ(Eval("select('#', g.AirActionHead(0x30000001))"), "0");
}

TEST_F(GCoreResources, SkeletalEntriesAndTheDefaultAnimation) {
  Run("g.LoadSpAnim(0x81050001, 0x81050002) g.UnloadResource(0x81050001, 0x81050002)");
  Run("g.SetDefaultAnim('idle')");
  EXPECT_EQ(GCore::g_defaultAnimationName, "idle");
  Run("g.SetDefaultAnim()");
  EXPECT_EQ(GCore::g_defaultAnimationName, "");
}

}  // namespace
