// The atlas text reader: page and region lines by position, names matched
// by prefix, texture coordinates, page textures from the host, and what it
// does with text no packer writes.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "spine/Atlas.h"
#include "spine/SpineFixtures.h"

namespace {

using spinefix::AtlasPtr;
using spinefix::ParseAtlas;

std::string Page(const std::string& header) {
  return "page.png\n" + header +
         "r\n  rotate: false\n  xy: 0, 0\n  size: 1, 1\n  orig: 1, 1\n  offset: 0, 0\n  index: 0\n";
}

TEST(Atlas, ReadsPagesAndRegionsInFileOrder) {
  AtlasPtr atlas = spinefix::FixtureAtlas();
  ASSERT_TRUE(atlas);
  const GCore::AtlasPage* page = atlas->pages;
  ASSERT_TRUE(page);
  EXPECT_STREQ(page->name, "page.png");
  EXPECT_EQ(page->atlas, atlas.get());
  EXPECT_EQ(page->width, 256);
  EXPECT_EQ(page->height, 128);
  EXPECT_EQ(page->format, 7);
  EXPECT_EQ(page->minFilter, 2);
  EXPECT_EQ(page->magFilter, 2);
  EXPECT_EQ(page->uWrap, 1);
  EXPECT_EQ(page->vWrap, 1);
  EXPECT_EQ(page->rendererObject, nullptr);
  EXPECT_EQ(page->next, nullptr);

  struct Row {
    const char* name;
    int x, y, width, height;
    bool rotate;
    float u, v, u2, v2;
    int originalWidth, originalHeight, offsetX, offsetY, index;
    bool splits, pads;
  };
  const Row rows[] = {
      {"head", 0, 0, 32, 32, false, 0, 0, 0.125f, 0.25f, 32, 32, 0, 0, -1, false, false},
      {"body", 32, 0, 64, 32, true, 0.125f, 0, 0.25f, 0.5f, 64, 32, 0, 0, -1, false, false},
      {"arm", 0, 64, 64, 32, false, 0, 0.5f, 0.25f, 0.75f, 80, 40, 8, 4, 2, true, true},
  };
  const GCore::AtlasRegion* region = atlas->regions;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(region);
    EXPECT_STREQ(region->name, row.name);
    EXPECT_EQ(region->page, page);
    EXPECT_EQ(region->x, row.x);
    EXPECT_EQ(region->y, row.y);
    EXPECT_EQ(region->width, row.width);
    EXPECT_EQ(region->height, row.height);
    EXPECT_EQ(region->rotate, row.rotate);
    EXPECT_FLOAT_EQ(region->u, row.u);
    EXPECT_FLOAT_EQ(region->v, row.v);
    EXPECT_FLOAT_EQ(region->u2, row.u2);
    EXPECT_FLOAT_EQ(region->v2, row.v2);
    EXPECT_EQ(region->originalWidth, row.originalWidth);
    EXPECT_EQ(region->originalHeight, row.originalHeight);
    EXPECT_EQ(region->offsetX, row.offsetX);
    EXPECT_EQ(region->offsetY, row.offsetY);
    EXPECT_EQ(region->index, row.index);
    EXPECT_EQ(region->splits != nullptr, row.splits);
    EXPECT_EQ(region->pads != nullptr, row.pads);
    region = region->next;
  }
  EXPECT_EQ(region, nullptr);
  const GCore::AtlasRegion* arm = GCore::Atlas_findRegion(atlas.get(), "arm");
  ASSERT_TRUE(arm);
  EXPECT_EQ(arm->splits[0], 1);
  EXPECT_EQ(arm->splits[3], 4);
  EXPECT_EQ(arm->pads[0], 5);
  EXPECT_EQ(arm->pads[3], 8);
  EXPECT_EQ(GCore::Atlas_findRegion(atlas.get(), "missing"), nullptr);
  EXPECT_EQ(GCore::Atlas_findRegion(atlas.get(), "ar"), nullptr);
}

TEST(Atlas, PageHeaderLines) {
  struct Row {
    const char* header;
    int width, height, format, minFilter, magFilter, uWrap, vWrap;
  };
  const Row rows[] = {
      {"size: 8,4\nformat: RGBA8888\nfilter: Linear,Linear\nrepeat: none\n", 8, 4, 7, 2, 2, 1, 1},
      {"format: Alpha\nfilter: Nearest,MipMap\nrepeat: x\n", 0, 0, 1, 1, 7, 2, 1},
      {"format: Bogus\nfilter: Bogus,MipMapLinearNearest\nrepeat: y\n", 0, 0, 0, 0, 5, 1, 2},
      {"format: RGB5\nfilter: Linear\nrepeat: xy\n", 0, 0, 4, 2, 0, 2, 2},
      {"format: RGBA4\nfilter: ,Line\nrepeat: no\n", 0, 0, 5, 7, 2, 1, 1},
      {"format: RGBA8888\nfilter: Linear,Linear\nrepeat: z\n", 0, 0, 7, 2, 2, 1, 1},
      {"format: RGBA8888\nfilter: Linear,Linear\nrepeat:\n", 0, 0, 7, 2, 2, 1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.header);
    AtlasPtr atlas = ParseAtlas(Page(row.header));
    ASSERT_TRUE(atlas);
    const GCore::AtlasPage& page = *atlas->pages;
    EXPECT_EQ(page.width, row.width);
    EXPECT_EQ(page.height, row.height);
    EXPECT_EQ(page.format, row.format);
    EXPECT_EQ(page.minFilter, row.minFilter);
    EXPECT_EQ(page.magFilter, row.magFilter);
    EXPECT_EQ(page.uWrap, row.uWrap);
    EXPECT_EQ(page.vWrap, row.vWrap);
  }
}

TEST(Atlas, RegionLines) {
  const std::string header = "size: 100,100\nformat: RGBA8888\nfilter: Linear,Linear\nrepeat: none\n";
  // A rotated region spans its height across and its width down.
  AtlasPtr rotated = ParseAtlas("p.png\n" + header +
                                "r\nrotate: true\nxy: 0, 0\nsize: 10, 20\norig: 10, 20\noffset: 0, 0\nindex: -1\n");
  ASSERT_TRUE(rotated);
  EXPECT_FLOAT_EQ(rotated->regions->u2, 0.2f);
  EXPECT_FLOAT_EQ(rotated->regions->v2, 0.1f);

  struct Row {
    const char* lines;
    bool rotate;
    bool splits, pads;
    int originalWidth, offsetX;
  };
  const Row rows[] = {
      {"rotate: tr\nxy: 1, 2\nsize: 3, 4\norig: 5, 6\noffset: 7, 8\nindex: 9\n", true, false, false, 5, 7},
      {"rotate:\nxy: 1, 2\nsize: 3, 4\norig: 5, 6\noffset: 7, 8\nindex: 9\n", true, false, false, 5, 7},
      {"rotate: false\nxy: 1, 2\nsize: 3, 4\nsplit: 1, 2, 3, 4\norig: 5, 6\noffset: 7, 8\nindex: 9\n",
       false, true, false, 5, 7},
      {"rotate: false\nxy: 1, 2\nsize: 3, 4\nsplit: 1, 2, 3, 4\npad: 1, 2, 3, 4\norig: 5, 6\n"
       "offset: 7, 8\nindex: 9\n",
       false, true, true, 5, 7},
      // The offset line is not checked: anything there gives 0, 0.
      {"rotate: false\nxy: 1, 2\nsize: 3, 4\norig: 5, 6\nno colon\nindex: 9\n", false, false, false, 5, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lines);
    AtlasPtr atlas = ParseAtlas("p.png\n" + header + "r\n" + row.lines);
    ASSERT_TRUE(atlas);
    const GCore::AtlasRegion& region = *atlas->regions;
    EXPECT_EQ(region.rotate, row.rotate);
    EXPECT_EQ(region.x, 1);
    EXPECT_EQ(region.height, 4);
    EXPECT_EQ(region.splits != nullptr, row.splits);
    EXPECT_EQ(region.pads != nullptr, row.pads);
    EXPECT_EQ(region.originalWidth, row.originalWidth);
    EXPECT_EQ(region.offsetX, row.offsetX);
    EXPECT_EQ(region.index, 9);
  }
}

TEST(Atlas, TextShapes) {
  AtlasPtr empty = ParseAtlas("");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->pages, nullptr);
  EXPECT_EQ(empty->regions, nullptr);

  std::string crlf = spinefix::kAtlasText;
  for (size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2)) {
    crlf.insert(at, "\r");
  }
  AtlasPtr atlas = ParseAtlas(crlf);
  ASSERT_TRUE(atlas);
  EXPECT_STREQ(atlas->pages->name, "page.png");
  EXPECT_STREQ(atlas->regions->next->name, "body");
  EXPECT_EQ(atlas->regions->next->next->pads[3], 8);

  // An empty line ends a page; the next line starts another.
  AtlasPtr two = ParseAtlas(Page("format: A\nfilter: L,L\nrepeat: none\n") + "\n" +
                            Page("format: A\nfilter: L,L\nrepeat: none\n"));
  ASSERT_TRUE(two);
  ASSERT_TRUE(two->pages->next);
  EXPECT_EQ(two->regions->next->page, two->pages->next);
}

TEST(Atlas, MalformedTextIsRefused) {
  const char* const bad[] = {
      "p.png\nformat RGBA8888\nfilter: L,L\nrepeat: none\n",
      "p.png\nformat: RGBA8888\n\nrepeat: none\n",
      "p.png\nformat: RGBA8888\nfilter: L,L\n",
      "p.png\nformat: A\nfilter: L,L\nrepeat: none\nr\nrotate: false\nxy: 1, 2, 3\nsize: 1, 1\n"
      "orig: 1, 1\noffset: 0, 0\nindex: 0\n",
      "p.png\nformat: A\nfilter: L,L\nrepeat: none\nr\nrotate: false\nxy: 1, 2\nsize: 1\n"
      "orig: 1, 1\noffset: 0, 0\nindex: 0\n",
      "p.png\nformat: A\nfilter: L,L\nrepeat: none\nr\nrotate: false\nxy: 1, 2\nsize: 1, 1\n"
      "orig: 1, 1\noffset: 0, 0\n",
      "p.png\nformat: A\nfilter: L,L\nrepeat: none\nr\nrotate\n",
  };
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseAtlas(text));
  }
}

TEST(Atlas, WhiteSpaceIsAsciiOnlyAndLongNumbersSaturate) {
  // Bytes above 0x7F are part of names whatever the locale says of them.
  const std::string name = "\xA0head\x85";
  AtlasPtr atlas = ParseAtlas(
      "p.png\nsize: 2147483647,100\nformat: A\nfilter: L,L\nrepeat: none\n" + name +
      "\nrotate: false\nxy: 99999999999999999999, -99999999999999999999\nsize: 2147483647, 5\n"
      "orig: 1, 1\noffset: 0, 0\nindex: 0\n");
  ASSERT_TRUE(atlas);
  const GCore::AtlasRegion& region = *atlas->regions;
  EXPECT_EQ(region.name, name);
  EXPECT_EQ(region.x, INT_MAX);
  EXPECT_EQ(region.y, INT_MIN);
  EXPECT_FLOAT_EQ(region.u, 1.0f);
  EXPECT_FLOAT_EQ(region.u2, 2.0f) << "position plus size in 64 bits";
}

TEST(Atlas, PageWithoutSizeGivesZeroCoordinatesAndSaysSo) {
  spinefix::PrintCapture printed;
  AtlasPtr atlas = ParseAtlas(Page("format: A\nfilter: L,L\nrepeat: none\n"));
  ASSERT_TRUE(atlas);
  const GCore::AtlasRegion& region = *atlas->regions;
  EXPECT_EQ(region.u, 0.0f);
  EXPECT_EQ(region.v, 0.0f);
  EXPECT_EQ(region.u2, 0.0f);
  EXPECT_EQ(region.v2, 0.0f);
  ASSERT_EQ(printed.lines().size(), 1u);
  EXPECT_NE(printed.lines()[0].find("page.png"), std::string::npos) << printed.lines()[0];
}

// A host whose page textures are fakes of a fixed size.
std::vector<std::string> g_pagePaths;
GCore::Texture* FakeTexture(const char* path, int32_t& width, int32_t& height) {
  g_pagePaths.push_back(path);
  width = 512;
  height = 1024;
  return reinterpret_cast<GCore::Texture*>(0x1000);
}

TEST(Atlas, PageTexturesComeFromTheHostUnderTheAtlasFolder) {
  GCore::SpineHost host = GCore::SpineHost_get();
  host.findPageTexture = FakeTexture;
  GCore::SpineHost_install(&host);
  struct Row {
    const char* directory;
    const char* expected;
  };
  const Row rows[] = {{"", "page.png"}, {"skins", "skins/page.png"}, {"skins/", "skins/page.png"},
                      {"c:\\skins\\", "c:\\skins\\page.png"}, {"/", "/page.png"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.directory);
    g_pagePaths.clear();
    const std::string text = spinefix::kAtlasText;
    AtlasPtr atlas(GCore::Atlas_create(text.data(), text.size(), row.directory));
    ASSERT_TRUE(atlas);
    EXPECT_EQ(g_pagePaths, std::vector<std::string>{row.expected});
    EXPECT_EQ(atlas->pages->rendererObject, reinterpret_cast<GCore::Texture*>(0x1000));
    EXPECT_EQ(atlas->pages->width, 512) << "the texture's size replaces the size line";
    EXPECT_FLOAT_EQ(atlas->regions->u2, 32.0f / 512);
    EXPECT_FLOAT_EQ(atlas->regions->v2, 32.0f / 1024);
  }
  GCore::SpineHost_install(nullptr);
}

TEST(Atlas, FromFileTakesTheFolderOfThePath) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("spine_atlas_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / "skeleton.atlas";
  std::ofstream(file) << spinefix::kAtlasText;

  GCore::SpineHost host = GCore::SpineHost_get();
  host.findPageTexture = FakeTexture;
  GCore::SpineHost_install(&host);
  g_pagePaths.clear();
  AtlasPtr atlas(GCore::Atlas_createFromFile(file.string().c_str()));
  GCore::SpineHost_install(nullptr);
  ASSERT_TRUE(atlas);
  EXPECT_EQ(g_pagePaths, std::vector<std::string>{(folder / "page.png").string()});
  EXPECT_FALSE(GCore::Atlas_createFromFile((folder / "missing.atlas").string().c_str()));
  EXPECT_FALSE(GCore::Atlas_createFromFile(folder.string().c_str())) << "a folder reads as nothing";
  std::filesystem::remove_all(folder);
}

}  // namespace
