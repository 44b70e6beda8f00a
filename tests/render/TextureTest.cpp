// Textures over real resource files: decoding through resource streams, grey
// variants, the placeholder fallback, size probes, SavePNG, and brush masks.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "render/PNG.h"
#include "render/PngFixtures.h"
#include "render/RecordingRenderer.h"
#include "render/TestGame.h"
#include "render/Texture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using GCore::Texture;

class TextureFiles : public testing::Test {
 protected:
  TextureFiles() : game({"game"}) {}
  TestGame game;
};

TEST_F(TextureFiles, DecodesItsFileThroughAStream) {
  const Bytes rgba = testpng::Pattern(5, 3);
  game.WriteImage("game", 0x2A, testpng::EncodeRgba(5, 3, rgba, true));
  Texture texture(1, TestGame::Id(0x2A));
  ASSERT_TRUE(texture.ReadPNGSize());
  EXPECT_EQ(texture.width, 5);
  EXPECT_EQ(texture.height, 3);
  EXPECT_EQ(texture.pixels, nullptr) << "the probe decodes nothing";
  ASSERT_TRUE(texture.EnsurePixels());
  ASSERT_NE(texture.pixels, nullptr);
  EXPECT_EQ(Bytes(texture.pixels.get(), texture.pixels.get() + rgba.size()), rgba);

  texture.ReleasePixels();
  EXPECT_EQ(texture.pixels, nullptr);
}

TEST_F(TextureFiles, GreyVariantReadsTheColourFileInGrey) {
  game.WriteImage("game", 0x2A, testpng::EncodeRgba(1, 1, {30, 60, 91, 77}));
  Texture grey(1, TestGame::Id(0xB02A));  // bits 12 to 15 = 0xB
  ASSERT_TRUE(grey.LoadPNG());
  EXPECT_EQ(Bytes(grey.pixels.get(), grey.pixels.get() + 4), (Bytes{60, 60, 60, 77}));
}

TEST_F(TextureFiles, MissingFileFallsBackToThePlaceholder) {
  const Bytes rgba = testpng::Pattern(2, 2);
  game.WritePlaceholder("game", testpng::EncodeRgba(2, 2, rgba));
  Texture missing(1, TestGame::Id(0x77));
  ASSERT_TRUE(missing.LoadPNG());
  EXPECT_EQ(missing.width, 2);
  EXPECT_EQ(Bytes(missing.pixels.get(), missing.pixels.get() + rgba.size()), rgba);
}

TEST_F(TextureFiles, SizeProbeByKind) {
  Texture target(1, 0x20000005);
  EXPECT_TRUE(target.ReadPNGSize());
  EXPECT_EQ(target.width, 512);
  Texture skeletonPage(1, 0x81050001);
  EXPECT_FALSE(skeletonPage.ReadPNGSize()) << "kind 8 is not probed";
  Texture other(1, 0x41050001);
  EXPECT_FALSE(other.ReadPNGSize());
  EXPECT_TRUE(other.EnsurePixels()) << "kinds without a source have nothing to make";
  EXPECT_EQ(other.pixels, nullptr);
  ASSERT_TRUE(target.EnsurePixels());
  EXPECT_EQ(target.pixels[512 * 512 * 4 - 1], 0) << "a render target's pixels cover its size";
  EXPECT_TRUE(target.dirty);
}

TEST_F(TextureFiles, TruncatedFileFailsWithoutPixels) {
  Bytes file = testpng::EncodeRgba(8, 8, testpng::Pattern(8, 8));
  file.resize(file.size() / 2);
  game.WriteImage("game", 0x2B, file);
  Texture texture(1, TestGame::Id(0x2B));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(texture.LoadPNG());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Read Error"), std::string::npos);
  EXPECT_EQ(texture.pixels, nullptr);
  EXPECT_EQ(texture.width, 0);
}

TEST_F(TextureFiles, SavePngWritesWhatItHolds) {
  const Bytes rgba = testpng::Pattern(4, 4);
  game.WriteImage("game", 0x2C, testpng::EncodeRgba(4, 4, rgba));
  Texture texture(1, TestGame::Id(0x2C));
  const std::string out = game.root.Path("write/saved.png");
  ASSERT_EQ(texture.SavePNG(out.c_str()), 0) << "pixels are made first when absent";
  std::ifstream in(out, std::ios::binary);
  const Bytes saved{std::istreambuf_iterator<char>(in), {}};
  GCore::PngMemorySource source{saved.data(), saved.size(), 0};
  GCore::PngImage image;
  ASSERT_TRUE(GCore::DecodePng(GCore::PngReadFromMemory, &source, false, image));
  EXPECT_EQ(Bytes(image.pixels.get(), image.pixels.get() + rgba.size()), rgba);
}

// A white, opaque 40 x 20 texture made in memory.
class Mask : public testing::Test {
 protected:
  Mask() : texture(1, 0x51050009) {
    texture.width = 40;
    texture.height = 20;
    texture.pixels.reset(new uint8_t[40 * 20 * 4]);
    for (int i = 0; i < 40 * 20; ++i) {
      uint8_t* p = &texture.pixels[i * 4];
      p[0] = p[1] = p[2] = 200;
      p[3] = 255;
    }
  }
  int Alpha(int x, int y) const { return texture.pixels[(y * 40 + x) * 4 + 3]; }

  RecordingRenderer renderer;
  Texture texture;
};

TEST_F(Mask, ErasingStrokeFadesOverTheFeather) {
  texture.glName = 5;
  ASSERT_TRUE(texture.DrawMask(20, 10, 20, 10, 3, false));  // a disc of radius 3
  EXPECT_EQ(renderer.calls, (std::vector<std::string>{"release"})) << "the next draw uploads anew";
  // Distance d from (20, 10): alpha 0 within the radius, 255 beyond radius +
  // feather (5), trunc((d - 3) * 51) between.
  EXPECT_EQ(Alpha(20, 10), 0);
  EXPECT_EQ(Alpha(23, 10), 0);
  EXPECT_EQ(Alpha(25, 10), 102);
  EXPECT_EQ(Alpha(27, 10), 204);
  EXPECT_EQ(Alpha(28, 10), 255);
  EXPECT_EQ(Alpha(20, 16), 153);
  EXPECT_EQ(Alpha(0, 0), 255) << "outside the stroke's box the mask is full";
  EXPECT_EQ(texture.pixels[(10 * 40 + 20) * 4], 200) << "colour comes from the saved source";
  EXPECT_NE(texture.savedSource, nullptr);
  texture.ReleasePixels();
  EXPECT_NE(texture.pixels, nullptr) << "a masked texture keeps its pixels";
}

TEST_F(Mask, StrokeDistanceIsToTheSegment) {
  ASSERT_TRUE(texture.DrawMask(5, 10, 35, 10, 2, false));
  EXPECT_EQ(Alpha(20, 10), 0) << "on the segment";
  EXPECT_NEAR(Alpha(20, 14), 102, 1) << "beside the segment: the distance to the line";
  EXPECT_EQ(Alpha(2, 10), 51) << "beyond an end: the distance to that end";
}

TEST_F(Mask, PaintingBringsTheSourceBack) {
  ASSERT_TRUE(texture.DrawMask(20, 10, 20, 10, 10, true));
  EXPECT_EQ(Alpha(0, 0), 0) << "a first painting stroke starts from nothing";
  EXPECT_EQ(Alpha(20, 10), 255);
  EXPECT_EQ(Alpha(25, 10), 255);
  EXPECT_EQ(Alpha(29, 10), 51) << "coverage falls off towards the radius";
  EXPECT_EQ(Alpha(31, 10), 0);
  ASSERT_TRUE(texture.DrawMask(20, 10, 20, 10, 3, false));
  EXPECT_EQ(Alpha(20, 10), 0);
}

TEST_F(Mask, OutlineColourRimsTheStroke) {
  texture.outlineColour = 0xFF0000;  // red, written 0xRRGGBB
  ASSERT_TRUE(texture.DrawMask(20, 10, 20, 10, 3, false));
  const uint8_t* inside = &texture.pixels[(10 * 40 + 20) * 4];
  EXPECT_EQ(inside[0], 255);
  EXPECT_EQ(inside[1], 0);
  EXPECT_EQ(inside[3], 0) << "mask 0: the outline colour, transparent";
  const uint8_t* rim = &texture.pixels[(10 * 40 + 26) * 4];  // mask 153: outline and source mixed
  EXPECT_EQ(rim[3], 255);
  EXPECT_GT(rim[0], rim[1]) << "red blended in";
  const uint8_t* edge = &texture.pixels[(10 * 40 + 25) * 4];  // mask 102: outline, alpha 204
  EXPECT_EQ(edge[0], 255);
  EXPECT_EQ(edge[3], 204);
}

TEST_F(Mask, WildCoordinatesStayInsideTheImage) {
  EXPECT_TRUE(texture.DrawMask(-1e30f, 1e30f, 5e9f, -7e9f, 1e20f, false));
  EXPECT_TRUE(texture.DrawMask(NAN, 3, 4, NAN, 2, true));
  texture.feather = 0;
  EXPECT_TRUE(texture.DrawMask(10, 10, 12, 10, 1, false));
  EXPECT_EQ(Alpha(11, 10), 0);
}

}  // namespace
