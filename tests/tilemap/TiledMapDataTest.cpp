// The tables a tile map flattens a TMX map into, the rectangle packer of its
// atlas, and maps that must be refused or read safely.
#include <gtest/gtest.h>

#include <array>

#include "tilemap/MapWriter.h"
#include "tilemap/RectPacker.h"
#include "tilemap/TiledMapData.h"
#include "tilemap/TmxMap.h"

namespace {

using GCore::CellKey;
using GCore::TiledMapData;
using maptest::Encoding;

constexpr uint32_t kMapId = 0xC1050001;  // directory key 0x105

class TiledMapData_ : public testing::Test {
 protected:
  // Loads the map text and flattens it into `data`.
  bool Fill(const std::string& text, bool centerImages = true) {
    const std::string path = folder.Write("map.tmx", text);
    tmx::Map map;
    if (!map.load(path)) return false;
    return data.Fill(map, kMapId, centerImages);
  }

  tmxtest::ScratchFolder folder;
  tmxtest::LogRecorder log;
  TiledMapData data;
};

TEST_F(TiledMapData_, AnObjectGroupBetweenTileLayersOwnsALayerAndEmptyCells) {
  const std::string tileset = maptest::ImageTileset(1, "img/0010.png", 64, 32, 32, 32);
  ASSERT_TRUE(Fill(maptest::MapXml("orthogonal", 3, 2, 32, 32,
                                   tileset + maptest::TileLayer("ground", 3, 2, {1, 2, 1, 2, 1, 2}) +
                                       maptest::ObjectGroup("things") +
                                       maptest::TileLayer("top", 3, 2, {0, 0, 0, 0, 0, 2}, Encoding::Base64Zlib,
                                                          "visible=\"0\" opacity=\"0.5\" offsetx=\"3\" offsety=\"-4\""))));
  EXPECT_EQ(data.LayerCount(), 3u);
  ASSERT_EQ(data.cells.size(), 18u);
  EXPECT_EQ(data.Cell(CellKey(0, 1, 0))->gid, 2);
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(data.cells[6 + i].gid, 0) << "object group cell " << i;
  EXPECT_EQ(data.Cell(CellKey(2, 2, 1))->gid, 2) << "the last tile layer keeps its file index";
  // Cell rectangles from the map's top-left corner, y up.
  EXPECT_FLOAT_EQ(data.Cell(CellKey(0, 2, 1))->x, 64);
  EXPECT_FLOAT_EQ(data.Cell(CellKey(0, 2, 1))->y, -64);
  ASSERT_EQ(data.layers.size(), 3u);
  EXPECT_TRUE(data.layers[1].visible);
  EXPECT_FALSE(data.layers[2].visible);
  EXPECT_FLOAT_EQ(data.layers[2].opacity, 0.5f);
  EXPECT_FLOAT_EQ(data.layers[2].offsetX, 3);
  EXPECT_FLOAT_EQ(data.layers[2].offsetY, -4);
}

TEST_F(TiledMapData_, PixelSizesOfBothOrientations) {
  for (const char* orientation : {"orthogonal", "isometric"}) {
    ASSERT_TRUE(Fill(maptest::MapXml(orientation, 10, 10, 64, 32, ""))) << orientation;
    EXPECT_FLOAT_EQ(data.PixelWidth(), 640) << orientation;
    EXPECT_FLOAT_EQ(data.PixelHeight(), 320) << orientation;
  }
}

TEST_F(TiledMapData_, IsometricCellsAndPicking) {
  ASSERT_TRUE(Fill(maptest::MapXml("isometric", 4, 3, 64, 32,
                                   maptest::TileLayer("l", 4, 3, std::vector<uint32_t>(12, 0), Encoding::Base64))));
  // The top corner cell (0, 0) sits rows tiles in from the left.
  EXPECT_FLOAT_EQ(data.cells[0].x, 3 * 32 - 32);
  EXPECT_FLOAT_EQ(data.cells[0].y, -32);
  const float W = data.PixelWidth(), H = data.PixelHeight();
  for (uint32_t col = 0; col < 4; ++col) {
    for (uint32_t row = 0; row < 3; ++row) {
      const GCore::CellPosition centre = data.CellCentre(col, row, W, H);
      const GCore::CellCoordinates picked = data.PointToCell(centre.x, centre.y, W, H);
      EXPECT_EQ(picked.col, int32_t(col)) << col << "," << row;
      EXPECT_EQ(picked.row, int32_t(row)) << col << "," << row;
    }
  }
  const GCore::CellCoordinates outside = data.PointToCell(-W, H, W, H);
  EXPECT_TRUE(outside.col < 0 || outside.row < 0);
}

TEST_F(TiledMapData_, OrthogonalPicking) {
  ASSERT_TRUE(Fill(maptest::MapXml("orthogonal", 4, 3, 16, 16,
                                   maptest::TileLayer("l", 4, 3, std::vector<uint32_t>(12, 0)))));
  const float W = 64, H = 48;
  struct Case {
    float x, y;
    int32_t col, row;
  } cases[] = {
      {-31, 23, 0, 0}, {31, -23, 3, 2}, {-33, 0, -1, -1}, {0, 25, -1, -1}, {33, 0, 4, 1}, {0, -25, 2, 3},
  };
  for (const Case& c : cases) {
    const GCore::CellCoordinates cell = data.PointToCell(c.x, c.y, W, H);
    EXPECT_EQ(cell.col, c.col) << c.x << "," << c.y;
    EXPECT_EQ(cell.row, c.row) << c.x << "," << c.y;
  }
  const GCore::CellPosition centre = data.CellCentre(1, 2, W, H);
  EXPECT_FLOAT_EQ(centre.x, -8);
  EXPECT_FLOAT_EQ(centre.y, -16);
}

TEST_F(TiledMapData_, TileRecordsOfGridsCollectionsGapsAndOverlaps) {
  const std::string tsx = "<?xml version=\"1.0\"?>\n" +
                          maptest::CollectionTileset({{0, "../img/0021.png", 20, 40}, {2, "../img/00a2.png", 8, 8}},
                                                     16, 16, 3);
  folder.Write("sets/things.tsx", tsx);
  const std::string text = maptest::MapXml(
      "orthogonal", 2, 2, 16, 16,
      maptest::ImageTileset(1, "img/0010.png", 40, 40, 16, 16, 2, 3) +  // 2 x 2 tiles: GIDs 1 to 4
          maptest::ExternalTileset(10, "sets/things.tsx") +               // GIDs 10 to 12
          maptest::ImageTileset(3, "img/0030.png", 16, 16, 16, 16) +      // GID 3: overlaps the first
          maptest::TileLayer("l", 2, 2, {1, 4, 10, 11}));
  ASSERT_TRUE(Fill(text));
  ASSERT_EQ(data.tiles.size(), 13u);
  const GCore::TiledMapTile& fourth = data.tiles[4];
  EXPECT_EQ(fourth.gid, 4u);
  EXPECT_FLOAT_EQ(fourth.u, 18 + 3);
  EXPECT_FLOAT_EQ(fourth.v, 18 + 3);
  EXPECT_FLOAT_EQ(fourth.w, 16);
  EXPECT_EQ(fourth.imageKey, 0x51050010u);
  EXPECT_EQ(fourth.sourceKey, 0x51050010u);
  EXPECT_EQ(data.tiles[3].imageKey, 0x51050010u) << "the first tileset holding a GID gives its record";
  EXPECT_EQ(data.tiles[7].gid, 0u) << "a GID no tileset holds keeps a zero record";
  EXPECT_EQ(data.tiles[7].imageKey, 0u);
  const GCore::TiledMapTile& tall = data.tiles[10];
  EXPECT_EQ(tall.imageKey, 0x51050021u);
  EXPECT_FLOAT_EQ(tall.w, 20);
  EXPECT_FLOAT_EQ(tall.h, 40);
  EXPECT_FLOAT_EQ(tall.offsetX, -2) << "centred in its cell";
  EXPECT_FLOAT_EQ(tall.offsetY, -12);
  EXPECT_EQ(data.tiles[11].imageKey, 0u) << "a collection ID without an image";
  EXPECT_EQ(data.tiles[12].imageKey, 0x510500A2u);

  ASSERT_TRUE(Fill(text, false));
  EXPECT_FLOAT_EQ(data.tiles[10].offsetX, 0);
  EXPECT_FLOAT_EQ(data.tiles[10].offsetY, 0);
}

TEST_F(TiledMapData_, ImageFileNumbers) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"/root/game/img/0a3f.png", 0xa3f},   {"img/12.png", 0x12},          {"0012.png", 0},
      {"a/b/xyz.png", 0},                   {"a/b/7g9.png", 7},            {"a\\b\\00ff.png", 0xff},
      {"a/png/0012.png", 0},                {"a/b/0012", 0x12},            {"", 0},
      {"a/b/123456789.png", 0x6789},        {"a.b.c.d.0bad.png.zip", 0xbad},
  };
  for (const auto& [path, number] : cases) EXPECT_EQ(GCore::ImageFileNumber(path), number) << path;
  EXPECT_EQ(GCore::ImageFileNumber("x/" + std::string(600, 'a') + "/0012.png"), 0xaaaau) << "cut at 511 characters";
}

TEST_F(TiledMapData_, CellOperationsCheckOnlyTheWholeTable) {
  ASSERT_TRUE(Fill(maptest::MapXml("orthogonal", 3, 2, 16, 16, maptest::TileLayer("l", 3, 2, {1, 2, 3, 4, 5, 6}))));
  EXPECT_EQ(data.Cell(CellKey(0, 4, 0))->gid, 5) << "a too large column reaches into the next row";
  EXPECT_EQ(data.Cell(CellKey(0, 0, 2)), nullptr);
  EXPECT_EQ(data.Cell(CellKey(1, 0, 0)), nullptr);
  EXPECT_EQ(data.Tile(6), nullptr) << "GIDs past the record table are empty";
  EXPECT_EQ(data.Tile(-3), nullptr);
  EXPECT_EQ(data.Tile(0), nullptr);
}

TEST_F(TiledMapData_, NewImageGidsCountFromTheTableSize) {
  EXPECT_EQ(data.AddTileImage(0x51050001, 8, 8, 0, 0, true), 0u) << "a map never loaded has no records";
  // GIDs 1 to 4 of the first set, a gap, then GID 8: the last record (8) is
  // a real one; with the second set absent the last record would be empty.
  ASSERT_TRUE(Fill(maptest::MapXml("orthogonal", 1, 1, 16, 16,
                                   maptest::ImageTileset(1, "img/0010.png", 32, 32, 16, 16) +
                                       maptest::InlineCollection(6, {{0, "img/0011.png", 8, 8}}, 16, 16, 3))));
  ASSERT_EQ(data.tiles.size(), 9u);
  EXPECT_EQ(data.tiles[8].gid, 0u) << "the last record is an empty one";
  const uint32_t gid = data.AddTileImage(0x51050001, 8, 24, 1, 2, true);
  EXPECT_EQ(gid, 9u);
  EXPECT_EQ(data.AddTileImage(0x51050002, 8, 8, 0, 0, false), 10u);
  const GCore::TiledMapTile& added = data.tiles[9];
  EXPECT_FLOAT_EQ(added.offsetX, 4 + 1);
  EXPECT_FLOAT_EQ(added.offsetY, 2 - 4);
  EXPECT_EQ(added.sourceKey, 0u);
}

TEST_F(TiledMapData_, HostileMapsAreRefusedOrReadSafely) {
  struct Case {
    const char* what;
    std::string text;
    bool accepted;
  } cases[] = {
      {"a skipped tileset (first GID 0)",
       maptest::MapXml("orthogonal", 2, 1, 16, 16,
                       "<tileset firstgid=\"0\" name=\"x\" tilewidth=\"16\" tileheight=\"16\" tilecount=\"0\"/>" +
                           maptest::TileLayer("l", 2, 1, {1, 0xFFFFFFF})),
       true},
      {"a first GID past the cap",
       maptest::MapXml("orthogonal", 1, 1, 16, 16, maptest::ImageTileset(200000000, "img/0010.png", 16, 16, 16, 16)),
       false},
      {"many layers of many cells",
       maptest::MapXml("orthogonal", 4096, 4096, 16, 16, maptest::ObjectGroup("a") + maptest::ObjectGroup("b")),
       false},
      {"zero columns",
       maptest::MapXml("orthogonal", 1, 1, 16, 16,
                       "<tileset firstgid=\"1\" name=\"x\" tilewidth=\"16\" tileheight=\"16\" tilecount=\"4\" "
                       "columns=\"0\"><image source=\"img/0010.png\" width=\"32\" height=\"32\"/></tileset>" +
                           maptest::TileLayer("l", 1, 1, {3})),
       true},
      {"a staggered map", maptest::MapXml("staggered\" staggeraxis=\"x\" staggerindex=\"odd", 2, 2, 16, 16, ""),
       false},
  };
  for (Case& c : cases) {
    data = TiledMapData{};
    EXPECT_EQ(Fill(c.text), c.accepted) << c.what;
    for (const GCore::TiledMapCell& cell : data.cells) {
      const GCore::TiledMapTile* tile = data.Tile(cell.gid);
      EXPECT_TRUE(!tile || tile->imageKey == 0 || tile->w > 0) << c.what;
    }
  }
  EXPECT_TRUE(log.Has("ERROR: Orientation is not suppet")) << testing::PrintToString(log.Lines());
}

TEST_F(TiledMapData_, ARefusedMapLeavesTheOldTables) {
  ASSERT_TRUE(Fill(maptest::MapXml("orthogonal", 2, 1, 16, 16, maptest::TileLayer("l", 2, 1, {1, 1}))));
  EXPECT_FALSE(Fill(maptest::MapXml("hexagonal\" hexsidelength=\"4\" staggeraxis=\"x\" staggerindex=\"odd", 5, 5,
                                    8, 8, "")));
  EXPECT_EQ(data.cols, 2u);
  EXPECT_EQ(data.tileWidth, 16u);
  EXPECT_EQ(data.cells.size(), 2u);
}

// --- the packer ---

GCore::RectPacker::Rect Rect(uint32_t key, int32_t index, int32_t w, int32_t h) {
  return {key, index, w + 2, h + 2, 0, 0, nullptr};
}

TEST(RectPacker, OneImageSplitsTheRoot) {
  GCore::RectPacker packer;
  std::vector<GCore::RectPacker::Rect> rects = {Rect(5, 0, 100, 60)};
  packer.Pack(rects, 512, 512);
  ASSERT_NE(rects[0].node, nullptr);
  EXPECT_EQ(rects[0].node->x, 0);
  EXPECT_EQ(rects[0].node->y, 0);
  const GCore::RectPacker::Node& root = *packer.Root();
  ASSERT_TRUE(root.used && root.right && root.below);
  EXPECT_EQ((std::array{root.right->x, root.right->y, root.right->width, root.right->height}),
            (std::array{102, 0, 410, 62}));
  EXPECT_EQ((std::array{root.below->x, root.below->y, root.below->width, root.below->height}),
            (std::array{0, 62, 512, 450}));
}

TEST(RectPacker, TwoLargeImagesNeedTheNextSide) {
  GCore::RectPacker packer;
  std::vector<GCore::RectPacker::Rect> rects = {Rect(5, 0, 300, 250), Rect(6, 1, 300, 300)};
  packer.Pack(rects, 512, 512);
  EXPECT_NE(rects[1].node, nullptr);
  EXPECT_EQ(rects[0].node, nullptr);
  packer.Pack(rects, 1024, 1024);
  ASSERT_NE(rects[0].node, nullptr);
  EXPECT_EQ(rects[0].node->x, 302);
  EXPECT_EQ(rects[0].node->y, 0);
}

TEST(RectPacker, EqualHeightsKeepTheirOrderAndHugeCountsEndInTime) {
  std::vector<GCore::RectPacker::Rect> rects;
  for (int i = 0; i < 8; ++i) rects.push_back(Rect(uint32_t(i + 1), i, 10 + i, 10));
  GCore::RectPacker packer;
  packer.Pack(rects, 512, 512);
  for (int i = 1; i < 8; ++i) EXPECT_LT(rects[i - 1].node->x, rects[i].node->x) << i;

  // A hostile number of tiny images: the search budget ends the packing.
  std::vector<GCore::RectPacker::Rect> many(200000, Rect(9, 0, 1, 1));
  packer.Pack(many, 2048, 2048);
  EXPECT_TRUE(packer.Exhausted());
  EXPECT_NE(many.front().node, nullptr);
  EXPECT_EQ(many.back().node, nullptr);
}

}  // namespace
