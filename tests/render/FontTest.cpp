// TrueType and system-font rasterising into atlas cells, the checks that keep
// stb_truetype inside a font file, and the glyph atlas: its grid, recycling,
// outlines, styles and uploads.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "render/FontStyle.h"
#include "platform/SystemFont.h"
#include "render/FontFixtures.h"
#include "render/FontTexture.h"
#include "render/StbTruetype.h"
#include "render/TTFManager.h"

namespace {

using GCore::FontKey;
using GCore::FontTexture;
using GCore::Image;

constexpr int kStride = 1024;

uint32_t AlphaAt(const std::vector<uint32_t>& pixels, int x, int y) { return pixels[y * kStride + x] >> 24; }

// The cell as stb_truetype run here makes it, by the rasteriser's rules.
struct Expected {
  std::vector<uint32_t> pixels;
  int width = 0;
  int height = 0;
};

Expected StbCell(const Bytes& font, uint32_t code, int pixelHeight, int cell) {
  stbtt_fontinfo info;
  EXPECT_TRUE(stbtt_InitFont(&info, font.data(), 0));
  const int glyph = stbtt_FindGlyphIndex(&info, static_cast<int>(code));
  const float s = stbtt_ScaleForPixelHeight(&info, static_cast<float>(pixelHeight));
  int ascent, descent, gap, x0, y0, x1, y1, advance, bearing;
  stbtt_GetFontVMetrics(&info, &ascent, &descent, &gap);
  stbtt_GetGlyphBitmapBoxSubpixel(&info, glyph, s, s, 0, 0, &x0, &y0, &x1, &y1);
  std::vector<uint8_t> bitmap(static_cast<size_t>(cell) * cell);
  stbtt_MakeGlyphBitmapSubpixel(&info, bitmap.data(), std::min(x1 - x0, cell), std::min(y1 - y0, cell), cell,
                                s, s, 0, 0, glyph);
  stbtt_GetGlyphHMetrics(&info, glyph, &advance, &bearing);
  Expected out;
  out.width = static_cast<int>(std::ceil(advance * s));
  out.height = static_cast<int>(descent * s) - (static_cast<int>(ascent * s) + y0) + cell;
  int left = static_cast<int>(bearing * s) - 1;
  if (left < 1) left = 0;
  out.pixels.assign(static_cast<size_t>(kStride) * cell, 0);
  for (int row = 0; row < cell; ++row) {
    for (int column = left + 1; column < cell; ++column) {
      out.pixels[row * kStride + column] = uint32_t{bitmap[row * cell + column - left - 1]} << 24 | 0xFFFFFF;
    }
  }
  return out;
}

class TrueType : public testing::Test {
 protected:
  void SetUp() override { manager.Init(); }
  void TearDown() override { manager.Shutdown(); }

  GCore::TTFManager manager;
};

TEST_F(TrueType, GlyphLandsInItsCellAsStbTruetypeDrawsIt) {
  const Bytes dejavu = ReadBytes(kDejaVuSans);
  const Bytes tiny = ReadBytes(kTinyFont);
  ASSERT_FALSE(dejavu.empty()) << "fonts-dejavu-core is not installed";
  ASSERT_TRUE(GCore::AddTTFBytes({1, 0x72000001}, dejavu));
  ASSERT_TRUE(GCore::AddTTFBytes({1, 0x72000002}, tiny));
  struct Case {
    uint32_t fontId;
    const Bytes* bytes;
    uint32_t code;
    int pixelHeight, cell;
  } cases[] = {
      {0x72000001, &dejavu, 'A', 24, 27}, {0x72000001, &dejavu, 'g', 24, 27},
      {0x72000001, &dejavu, 'W', 48, 53}, {0x72000001, &dejavu, 0x416, 16, 18},
      {0x72000002, &tiny, 'A', 16, 18},   {0x72000002, &tiny, 'C', 40, 44},  // a composite glyph
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "font " << std::hex << c.fontId << " code " << c.code);
    std::vector<uint32_t> cell(static_cast<size_t>(kStride) * c.cell, 0xDEADBEEF);
    int32_t width = kStride, height = c.pixelHeight;
    ASSERT_TRUE(manager.RasterizeGlyph(c.code, {1, c.fontId}, c.cell, width, height, cell.data()));
    const Expected expected = StbCell(*c.bytes, c.code, c.pixelHeight, c.cell);
    EXPECT_EQ(width, expected.width);
    EXPECT_EQ(height, expected.height);
    for (int row = 0; row < c.cell; ++row) {
      for (int column = 0; column < c.cell; ++column) {
        ASSERT_EQ(cell[row * kStride + column], expected.pixels[row * kStride + column]) << row << ", " << column;
      }
    }
    // Nothing beyond the cell's columns.
    EXPECT_EQ(cell[c.cell], 0xDEADBEEFu);
  }
}

TEST_F(TrueType, MissingFontsAndCharactersFallThrough) {
  ASSERT_TRUE(GCore::AddTTFBytes({1, 0x72000001}, ReadBytes(kTinyFont)));
  std::vector<uint32_t> cell(static_cast<size_t>(kStride) * 18, 7);
  int32_t width = kStride, height = 16;
  EXPECT_FALSE(manager.RasterizeGlyph('Z', {1, 0x72000001}, 18, width, height, cell.data()));
  EXPECT_FALSE(manager.RasterizeGlyph('A', {2, 0x72000001}, 18, width, height, cell.data()));
  EXPECT_EQ(width, kStride);
  EXPECT_EQ(cell[0], 7u) << "nothing written";
}

TEST_F(TrueType, LargestCellsStayInsideTheScratch) {
  // Size 255 makes cells of 281 pixels, beyond a 64 KB scratch of 256 x 256.
  ASSERT_TRUE(GCore::AddTTFBytes({1, 0x72000001}, ReadBytes(kDejaVuSans)));
  // U+0489 is the tallest glyph of the font, U+2031 the widest.
  for (uint32_t code : {uint32_t{0x489}, uint32_t{0x2031}, uint32_t{0x1FA}}) {
    std::vector<uint32_t> cell(static_cast<size_t>(kStride) * 281);
    int32_t width = kStride, height = 255;
    EXPECT_TRUE(manager.RasterizeGlyph(code, {1, 0x72000001}, 281, width, height, cell.data())) << code;
  }
}

// Font files that stb_truetype must never be handed as they are.
TEST_F(TrueType, BadFontFilesAreRefused) {
  const Bytes tiny = ReadBytes(kTinyFont);
  ASSERT_EQ(tiny.size(), 500u) << "run scripts/make-test-font.py";
  struct Case {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"empty", {}},
      {"not a font", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!'}},
      {"cut in the directory", Bytes(tiny.begin(), tiny.begin() + 40)},
      {"cut in the tables", Bytes(tiny.begin(), tiny.begin() + 300)},
      {"cut by one byte", Bytes(tiny.begin(), tiny.end() - 1)},
      {"CFF outlines", WithU32(tiny, 0, 0x4F54544F)},
      {"a table beyond the file", WithU32(tiny, TableRecord(tiny, "glyf") + 8, 0x7FFFFFF0)},
      {"a table longer than the file", WithU32(tiny, TableRecord(tiny, "loca") + 12, 0x10000)},
      {"character map beyond its table", WithU32(tiny, TableOffset(tiny, "cmap") + 8, 0x10000)},
      {"character map of format 2", WithU16(tiny, TableOffset(tiny, "cmap") + 12, 2)},
      {"too many segments", WithU16(tiny, TableOffset(tiny, "cmap") + 12 + 6, 0xFFFE)},
      {"more glyphs than locations", WithU16(tiny, TableOffset(tiny, "maxp") + 4, 0xFFFF)},
      {"no height", WithU16(tiny, TableOffset(tiny, "hhea") + 6, 800)},
      {"unknown location format", WithU16(tiny, TableOffset(tiny, "head") + 50, 2)},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(GCore::AddTTFBytes({1, 0x72000001}, c.bytes)) << c.name;
    EXPECT_FALSE(GCore::HasTTF({1, 0x72000001})) << c.name;
  }
}

// Glyph outlines that would take stb_truetype outside the file or its
// memory, into endless recursion, or past 16-bit coordinates: the glyph is
// not drawn, the others are. Some were found by fuzzing.
TEST_F(TrueType, BadGlyphsAreNotDrawn) {
  const Bytes tiny = ReadBytes(kTinyFont);
  const size_t glyf = TableOffset(tiny, "glyf");
  const size_t loca = TableOffset(tiny, "loca");
  // Glyph 3 ('C') is the composite of glyphs 1 and 2; its first component
  // index sits 12 bytes into it.
  const size_t composite = glyf + 2 * ReadU16(tiny, loca + 6);
  // Glyph 2 ('B'): two contours of four points, flags from 16 bytes in.
  const size_t square = glyf + 2 * ReadU16(tiny, loca + 4);
  struct Case {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"made of itself", WithU16(tiny, composite + 12, 3)},
      {"placed by matching points", WithU16(tiny, composite + 10, 0x0021)},
      {"outline beyond its table", WithU16(tiny, loca + 8, 0x4000)},
      // Glyph 2 ('B') has two contours; the second now ends before the first.
      {"contour ends out of order", WithU16(tiny, square + 12, 0)},
      // Its last contour becomes its last point alone, off the curve.
      {"a last contour of one point off the curve", WithByte(WithU16(tiny, square + 10, 6), square + 23, 0)},
      // The second component moved so far that its points leave 16 bits.
      {"coordinates beyond 16 bits", WithU16(tiny, composite + 22, 32700)},
  };
  for (const Case& c : cases) {
    GCore::ClearTTFRecords();
    ASSERT_TRUE(GCore::AddTTFBytes({1, 0x72000001}, c.bytes)) << c.name;
    std::vector<uint32_t> cell(static_cast<size_t>(kStride) * 44);
    int32_t width = kStride, height = 40;
    EXPECT_FALSE(manager.RasterizeGlyph('C', {1, 0x72000001}, 44, width, height, cell.data())) << c.name;
    width = kStride, height = 40;
    EXPECT_TRUE(manager.RasterizeGlyph('A', {1, 0x72000001}, 44, width, height, cell.data())) << c.name;
  }
}

TEST(SystemFont, LatinAndChineseGlyphsAreDrawn) {
  struct Case {
    const char* face;
    uint32_t code;
  } cases[] = {{"DejaVu Sans", 'A'}, {"", 'A'}, {"", 0x4E2D}, {"DejaVu Sans", 0x4E2D}, {"No Such Face", 'x'}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "face '" << c.face << "' code " << std::hex << c.code);
    std::vector<uint32_t> cell(static_cast<size_t>(kStride) * 27, 0xDEADBEEF);
    int32_t width = kStride, height = 24;
    GCore::RasterizeGlyphGDI(c.code, c.face, 27, width, height, cell.data());
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    uint32_t covered = 0;
    for (int row = 0; row < 27; ++row) {
      for (int column = 0; column < 27; ++column) covered += AlphaAt(cell, column, row) > 128;
    }
    EXPECT_GT(covered, 10u) << "the glyph has ink";
    EXPECT_EQ(cell[27], 0xDEADBEEFu) << "nothing beyond the cell";
  }
}

TEST(SystemFont, EachFaceOfACollectionIsItsOwn) {
  // wqy-zenhei.ttc: face 0 is proportional, face 1 ("Mono") gives every
  // Latin letter the same advance.
  auto advance = [](const char* face, uint32_t code) {
    std::vector<uint32_t> cell(static_cast<size_t>(kStride) * 27);
    int32_t width = kStride, height = 24;
    GCore::RasterizeGlyphGDI(code, face, 27, width, height, cell.data());
    return width;
  };
  EXPECT_LT(advance("WenQuanYi Zen Hei", 'i'), advance("WenQuanYi Zen Hei", 'W'));
  EXPECT_EQ(advance("WenQuanYi Zen Hei Mono", 'i'), advance("WenQuanYi Zen Hei Mono", 'W'))
      << "the collection's second face (fonts-wqy-zenhei must be installed)";
}

TEST(SystemFont, CellsHaveTheShapeOfTrueTypeCells) {
  // The same face through both rasterisers: same advance and cell height.
  GCore::TTFManager manager;
  manager.Init();
  ASSERT_TRUE(GCore::AddTTFBytes({1, 0x72000001}, ReadBytes(kDejaVuSans)));
  for (uint32_t code : {uint32_t{'A'}, uint32_t{'g'}, uint32_t{'.'}, uint32_t{0x416}}) {
    std::vector<uint32_t> cell(static_cast<size_t>(kStride) * 27);
    int32_t trueTypeWidth = kStride, trueTypeHeight = 24;
    ASSERT_TRUE(manager.RasterizeGlyph(code, {1, 0x72000001}, 27, trueTypeWidth, trueTypeHeight, cell.data()));
    int32_t width = kStride, height = 24;
    GCore::RasterizeGlyphGDI(code, "DejaVu Sans", 27, width, height, cell.data());
    EXPECT_NEAR(width, trueTypeWidth, 1) << code;
    EXPECT_NEAR(height, trueTypeHeight, 1) << code;
  }
  manager.Shutdown();
}

// An atlas over the DejaVu file, registered for its slot.
class Atlas : public testing::Test {
 protected:
  void SetUp() override {
    fonts.Init();
    ASSERT_TRUE(GCore::AddTTFBytes({1, 0x72000001}, ReadBytes(kDejaVuSans)));
  }
  void TearDown() override {
    fonts.Shutdown();
    GCore::ClearFontStyles();
  }
  static void AddStyle(int outline) {
    auto style = std::make_unique<GCore::FontStyle>();
    style->outline = outline;
    GCore::FontStyles().push_back(std::move(style));
  }
  // Every pixel of the atlas, as words.
  static std::vector<uint32_t> Pixels(const FontTexture& atlas) {
    const auto* words = reinterpret_cast<const uint32_t*>(atlas.pixels.get());
    return std::vector<uint32_t>(words, words + kStride * kStride);
  }

  GCore::TTFManager fonts;
  FontTexture atlas{1, 0x601D0000};
};

TEST_F(Atlas, CellGridFollowsTheCellSize) {
  const std::pair<int, int> cases[] = {{32, 1024}, {48, 441}, {281, 9}, {2, 262144}};
  for (auto [cell, count] : cases) {
    FontTexture sheet(1, 0x60100000);
    ASSERT_TRUE(sheet.Init(16, cell, 1, 0x60100000));
    EXPECT_EQ(sheet.CellCount(), count) << cell;
  }
  FontTexture none(1, 0x60000000);
  EXPECT_FALSE(none.Init(0, 0, 1, 0x60000000));
}

TEST_F(Atlas, GlyphsTakeCellsInGridOrderAndKeepThem) {
  ASSERT_TRUE(atlas.Init(29, 32, 1, 0x601D0000));
  Image* a = atlas.GetGlyph('A', 1);
  Image* b = atlas.GetGlyph('B', 1);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->x, 0);
  EXPECT_EQ(b->x, 32);
  EXPECT_EQ(atlas.GetGlyph('A', 1), a) << "a hit returns the cell unchanged";
  EXPECT_NE(atlas.GetGlyph('A', 2), a) << "another style is another glyph";
  EXPECT_GT(a->width, 0);
  EXPECT_FLOAT_EQ(a->du, a->width / 1024);
  EXPECT_FLOAT_EQ(a->v, 0);
}

TEST_F(Atlas, TheOldestCellIsRecycledEvenWhenLookedUpSince) {
  ASSERT_TRUE(atlas.Init(255, 281, 1, 0x601D0000));  // 9 cells
  Image* first = atlas.GetGlyph('A', 1);
  for (uint32_t code = 'B'; code < 'B' + 8; ++code) atlas.GetGlyph(code, 1);
  EXPECT_EQ(atlas.GetGlyph('A', 1), first);
  Image* tenth = atlas.GetGlyph('Z', 1);
  EXPECT_EQ(tenth, first);
  EXPECT_NE(atlas.GetGlyph('A', 1), first) << "'A' lost its cell and is drawn again elsewhere";
}

TEST_F(Atlas, OutlinedStylesGetADilatedSecondCell) {
  AddStyle(1);
  AddStyle(0);
  ASSERT_TRUE(atlas.Init(29, 32, 1, 0x601D0000));
  for (int style : {0, 1, 3}) EXPECT_NE(atlas.GetGlyph('O', style)->extra, 0u) << "style " << style << " is the first";
  Image* plain = atlas.GetGlyph('O', 2);
  EXPECT_EQ(plain->extra, 0u);

  const Image* glyph = atlas.GetGlyph('W', 1);
  const auto* outline = reinterpret_cast<const Image*>(glyph->extra);
  ASSERT_TRUE(outline);
  EXPECT_EQ(outline->width, glyph->width + 2);
  EXPECT_EQ(outline->height, glyph->height + 2);
  const std::vector<uint32_t> pixels = Pixels(atlas);
  const int gx = static_cast<int>(glyph->x), gy = static_cast<int>(glyph->y);
  const int ox = static_cast<int>(outline->x), oy = static_cast<int>(outline->y);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      // The largest glyph alpha among the pixels this one dilates.
      uint32_t largest = 0;
      for (int dy = 0; dy < 3; ++dy) {
        for (int dx = 0; dx < 3; ++dx) {
          const int sx = x - dx, sy = y - dy;
          if (sx >= 0 && sy >= 0 && sx < glyph->width && sy < glyph->height && sx < 32 && sy < 32) {
            largest = std::max(largest, AlphaAt(pixels, gx + sx, gy + sy));
          }
        }
      }
      const uint32_t alpha = AlphaAt(pixels, ox + x, oy + y);
      ASSERT_GE(alpha, largest) << x << ", " << y;
      ASSERT_LE(alpha, std::min(2 * largest, 255u)) << x << ", " << y;
    }
  }
}

TEST_F(Atlas, WithoutStylesGlyphsTakeTheDefaultStyle) {
  ASSERT_TRUE(atlas.Init(29, 32, 1, 0x601D0000));
  EXPECT_EQ(atlas.GetGlyph('A', 1)->extra, 0u);
  EXPECT_EQ(GCore::FontStyleAt(1).color1, 0xFFFFFFu);
}

TEST_F(Atlas, OutlinesOfWideGlyphsStayInTheirCell) {
  // A long arrow at 29 px is wider than its 32-pixel cell; in the last cell
  // of the atlas its outline would run past the pixels.
  AddStyle(1);
  ASSERT_TRUE(atlas.Init(29, 32, 1, 0x601D0000));
  for (uint32_t code = 0x4E00; code < 0x4E00 + 1022; ++code) atlas.AllocGlyphCell(code);
  const std::vector<uint32_t> before = Pixels(atlas);
  const Image* arrow = atlas.GetGlyph(0x27FF, 1);
  const auto* outline = reinterpret_cast<const Image*>(arrow->extra);
  ASSERT_TRUE(outline);
  EXPECT_GT(arrow->width, 32) << "the glyph is wider than its cell";
  EXPECT_EQ(outline->x, 992);
  EXPECT_EQ(outline->y, 992);
  const std::vector<uint32_t> after = Pixels(atlas);
  for (int y = 0; y < kStride; ++y) {
    for (int x = 0; x < kStride; ++x) {
      if (y >= 992 && x >= 960) continue;  // the glyph's and the outline's cells
      ASSERT_EQ(after[y * kStride + x], before[y * kStride + x]) << x << ", " << y;
    }
  }
}

TEST_F(Atlas, OnlyTheRowsOfNewGlyphsAreUploadedAgain) {
  ASSERT_TRUE(atlas.Init(29, 32, 1, 0x601D0000));
  atlas.dirty = false;
  atlas.GetGlyph('A', 1);
  for (int i = 0; i < 40; ++i) atlas.GetGlyph('a' + i, 1);  // into the second row of cells
  EXPECT_TRUE(atlas.dirty);
  EXPECT_EQ(atlas.dirtyRowsBegin, 0);
  EXPECT_EQ(atlas.dirtyRowsEnd, 64);
}

TEST_F(Atlas, ReleasedAtlasesDrawTheirGlyphsAgain) {
  ASSERT_TRUE(atlas.Init(29, 32, 1, 0x601D0000));
  Image* a = atlas.GetGlyph('A', 1);
  const float width = a->width;
  atlas.Release();
  EXPECT_EQ(atlas.pixels, nullptr);
  Image* again = atlas.GetGlyph('A', 1);
  EXPECT_EQ(again, a) << "the first cell again";
  EXPECT_EQ(again->width, width);
  ASSERT_NE(atlas.pixels, nullptr);
  EXPECT_TRUE(atlas.dirty);
}

}  // namespace
