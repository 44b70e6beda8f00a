// Tile maps drawn by the GLES2 renderer on the surfaceless context and read
// back: two layers from two tilesets (one a collection of images), an
// isometric map, a scrolled and scaled map culling its off-screen cells, a
// cell changed by a script, and children drawn between the rows of their
// layer. Tiles are solid colours, sampled nearest, so
// every pixel is exact within the tolerance of Near; maps of one colour,
// scaled and sampled linearly, show no seams between their tiles, and a
// framed tile where texels meet pixels shows every texel as it is.
#include "render/ResourceGLFixture.h"

#include <cmath>
#include <functional>
#include <optional>

#include "game/GCoreApi.h"
#include "core/LuaManager.h"
#include "display/ScriptCalls.h"
#include "render/Image.h"
#include "display/Quad.h"
#include "render/PngFixtures.h"
#include "tilemap/MapWriter.h"
#include "tilemap/TiledMap.h"

namespace {

using maptest::Encoding;

constexpr Rgba kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kGreen{0, 255, 0, 255}, kYellow{255, 255, 0, 255};
constexpr Rgba kBlack{0, 0, 0, 255};

void Paint(std::vector<uint8_t>& rgba, size_t width, size_t x, size_t y, const Rgba& c) {
  uint8_t* p = &rgba[(y * width + x) * 4];
  p[0] = uint8_t(c.r), p[1] = uint8_t(c.g), p[2] = uint8_t(c.b), p[3] = uint8_t(c.a);
}

// Width x height pixels of one colour, with `right` filling the right half.
std::vector<uint8_t> Solid(int width, int height, Rgba colour, Rgba right) {
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) Paint(rgba, width, x, y, x < width / 2 ? colour : right);
  }
  return testpng::EncodeRgba(width, height, rgba);
}

// A tileset image of three by three 16 x 16 tiles, each of its own colour
// (green in the middle, framed by one texel of `middleEdge`), with
// transparent margin and spacing.
std::vector<uint8_t> Sheet(unsigned spacing, unsigned margin, Rgba middleEdge = kGreen) {
  const Rgba colours[9] = {kRed,  kBlue, kYellow, {255, 0, 255, 255}, kGreen, {0, 255, 255, 255},
                           kBlack, kRed, kBlue};
  const unsigned side = 3 * 16 + 2 * spacing + 2 * margin;
  std::vector<uint8_t> rgba(static_cast<size_t>(side) * side * 4);
  for (unsigned tile = 0; tile < 9; ++tile) {
    const unsigned left = margin + tile % 3 * (16 + spacing);
    const unsigned top = margin + tile / 3 * (16 + spacing);
    for (unsigned y = top; y < top + 16; ++y) {
      for (unsigned x = left; x < left + 16; ++x) {
        const bool edge = x == left || x == left + 15 || y == top || y == top + 15;
        Paint(rgba, side, x, y, tile == 4 && edge ? middleEdge : colours[tile]);
      }
    }
  }
  return testpng::EncodeRgba(static_cast<int>(side), static_cast<int>(side), rgba);
}

class TiledMapOnScreen : public ResourceGLFixture {
 protected:
  void SetUp() override {
    ResourceGLFixture::SetUp();
    L = game.game->GetLuaManager()->GetProject(1)->state;
    GCore::RegisterScriptClasses(L);
    ASSERT_EQ(luaL_dostring(L, "g_ext[0xC0000000] = '.tmx'"), LUA_OK);
    // The maps' parent covers the window exactly: design coordinates are
    // the parent's, and moving a map marks its bounds as changed.
    scene.Reset(GCore::NewDisplayObject<GCore::Entity>(L));
    scene->anchorMinX = scene->anchorMaxX = scene->anchorMinY = scene->anchorMaxY = 0;
    scene->pivotX = scene->pivotY = 0;
    scene->offsetMaxX = kWidth;
    scene->offsetMaxY = kHeight;
  }

  void DrawScene() {
    Frame([&] { scene->Draw(); });
  }

  // A map of the given text as file number n, loaded, its top-left corner at
  // design (left, top), sampled nearest.
  GCore::TiledMap* Map(uint32_t n, const std::string& text, float left, float top) {
    char name[16];
    std::snprintf(name, sizeof name, "%04x.tmx", n);
    game.root.Write(std::string("game/img/") + name, text);
    auto* map = GCore::NewDisplayObject<GCore::TiledMap>(L);
    scene->AddChild(map, 0);
    map->anchorMinX = map->anchorMaxX = map->anchorMinY = map->anchorMaxY = 0;
    map->textureFilter = GCore::kFilterNearest;
    EXPECT_TRUE(map->Load(0xC1050000u | n));
    map->SetX(left + map->pixelWidth * 0.5f);
    map->SetY(top - map->pixelHeight * 0.5f);
    return map;
  }

  // Draws the map, sampled linearly, at scales that put tile edges between
  // pixels, and expects every pixel inside it to be of one colour. The map
  // has 8 x 5 tiles of 16 x 16 with its top-left corner at (36, 90).
  void ExpectOneColourAtScales(GCore::TiledMap* map, Rgba colour) {
    map->textureFilter = GCore::kFilterLinear;
    ASSERT_TRUE(GCore::PushScriptObject(L, map));
    lua_setglobal(L, "map");
    for (double scale : {0.73, 1.37, 1.5, 2.3}) {
      SCOPED_TRACE(scale);
      ASSERT_EQ(luaL_dostring(L, ("map.scaleX = " + std::to_string(scale) + "; map.scaleY = map.scaleX").c_str()),
                LUA_OK);
      DrawScene();
      // The map is scaled about its centre, (100, 50); one pixel in from its
      // outer edge, which blends with the black around it.
      const int left = std::max(0, static_cast<int>(std::ceil(100 - 64 * scale)) + 1);
      const int right = std::min(kWidth, static_cast<int>(100 + 64 * scale) - 1);
      const int bottom = std::max(0, static_cast<int>(std::ceil(50 - 40 * scale)) + 1);
      const int top = std::min(kHeight, static_cast<int>(50 + 40 * scale) - 1);
      ExpectPixels([&](int x, int y) -> std::optional<Rgba> {
        if (x < left || x >= right || y < bottom || y >= top) return std::nullopt;
        return colour;
      });
    }
  }

  // Expects every pixel of the window that `expected` gives a colour for to
  // show that colour; reports the first few that do not.
  void ExpectPixels(const std::function<std::optional<Rgba>(int x, int y)>& expected) {
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const std::optional<Rgba> colour = expected(x, y);
        if (!colour) continue;
        const testing::AssertionResult near = Near(At(x, y), *colour);
        if (!near && wrong++ < 5) ADD_FAILURE() << "pixel " << x << ", " << y << ": " << near.message();
      }
    }
    EXPECT_EQ(wrong, 0);
  }

  lua_State* L = nullptr;
  GCore::Retained<GCore::Entity> scene;
};

TEST_F(TiledMapOnScreen, TwoLayersFromATilesetImageAndACollection) {
  game.WriteImage("game", 0x10, Solid(20, 10, kRed, kBlue));  // GID 1 red, GID 2 blue
  game.WriteImage("game", 0x11, Solid(10, 10, kGreen, kGreen));
  game.WriteImage("game", 0x12, Solid(10, 10, kYellow, kYellow));
  const std::string text = maptest::MapXml(
      "orthogonal", 4, 2, 10, 10,
      maptest::ImageTileset(1, "0010.png", 20, 10, 10, 10) +
          maptest::InlineCollection(3, {{0, "0011.png", 10, 10}, {1, "0012.png", 10, 10}}, 10, 10, 2) +
          maptest::TileLayer("ground", 4, 2, {1, 2, 1, 2, 3, 3, 0, 0}) +
          maptest::ObjectGroup("objects") +
          maptest::TileLayer("top", 4, 2, {0, 0, 0, 0, 0, 0, 4, 0}, Encoding::Base64Zlib));
  GCore::TiledMap* map = Map(1, text, 20, 40);
  EXPECT_FLOAT_EQ(map->pixelWidth, 40);
  EXPECT_FLOAT_EQ(map->pixelHeight, 20);

  DrawScene();
  const struct {
    int x, y;
    Rgba colour;
  } expected[] = {
      {25, 35, kRed},   {35, 35, kBlue},   {45, 35, kRed},    {55, 35, kBlue},  {21, 39, kRed}, {59, 31, kBlue},
      {25, 25, kGreen}, {35, 25, kGreen},  {45, 25, kYellow}, {55, 25, kBlack}, {19, 30, kBlack},
      {61, 30, kBlack}, {40, 41, kBlack},  {40, 19, kBlack},
  };
  for (const auto& e : expected) EXPECT_TRUE(Near(At(e.x, e.y), e.colour)) << e.x << "," << e.y;

  // The first tile of the tileset image and both collection images went
  // into the atlas; the images they came from left the cache.
  const GCore::Image* atlas = resources->FindImage(GCore::OwnerPair{1, 0xC1050001u});
  ASSERT_NE(atlas, nullptr);
  EXPECT_FLOAT_EQ(atlas->width, 512);
  EXPECT_EQ(map->data.tiles[1].imageKey, 0xC1050001u);
  EXPECT_EQ(map->data.tiles[3].imageKey, 0xC1050001u);
  EXPECT_EQ(map->data.tiles[2].imageKey, TestGame::Id(0x10)) << "other tiles keep the tileset image";
  EXPECT_TRUE(map->data.tiles[2].fromTilesetImage) << "sampled half a texel in";
  EXPECT_FALSE(map->data.tiles[1].fromTilesetImage) << "framed in the atlas, sampled to its edges";
  EXPECT_EQ(resources->FindImage(GCore::OwnerPair{1, TestGame::Id(0x11)}), nullptr);

  // A script changes one cell; the next frame shows it.
  ASSERT_TRUE(GCore::PushScriptObject(L, map));
  lua_setglobal(L, "map");
  ASSERT_EQ(luaL_dostring(L, "map.setGid(map.cellKey(0, 3, 1), 1); map.setCellAlpha(map.cellKey(2, 2, 1), 0)"),
            LUA_OK);
  DrawScene();
  EXPECT_TRUE(Near(At(55, 25), kRed));
  EXPECT_TRUE(Near(At(45, 25), kBlack)) << "a cell alpha of 0 hides that tile only";
  EXPECT_TRUE(Near(At(25, 35), kRed));
}

TEST_F(TiledMapOnScreen, AScaledMapOfOneColourShowsNoSeams) {
  // Tiles from the atlas (two collection images and the tileset's first
  // tile) and one from its tileset image, all one colour.
  game.WriteImage("game", 0x10, Solid(32, 16, kGreen, kGreen));
  game.WriteImage("game", 0x11, Solid(16, 16, kGreen, kGreen));
  game.WriteImage("game", 0x12, Solid(16, 16, kGreen, kGreen));
  std::vector<uint32_t> gids;
  for (int cell = 0; cell < 8 * 5; ++cell) gids.push_back(static_cast<uint32_t>(cell * 7 % 4 + 1));
  const std::string text = maptest::MapXml(
      "orthogonal", 8, 5, 16, 16,
      maptest::ImageTileset(1, "0010.png", 32, 16, 16, 16) +
          maptest::InlineCollection(3, {{0, "0011.png", 16, 16}, {1, "0012.png", 16, 16}}, 16, 16, 2) +
          maptest::TileLayer("ground", 8, 5, gids));
  GCore::TiledMap* map = Map(1, text, 36, 90);
  ASSERT_EQ(map->data.tiles[3].imageKey, 0xC1050001u) << "a collection tile is in the atlas";
  ExpectOneColourAtScales(map, kGreen);
}

TEST_F(TiledMapOnScreen, AScaledMapFromATilesetImageShowsNoSeams) {
  // Only the green tile in the middle of a three by three sheet is drawn;
  // every tile around it in the image has another colour, and the margin
  // and spacing (where there are any) are transparent.
  const struct {
    unsigned spacing, margin;
  } sheets[] = {{0, 0}, {2, 1}, {1, 3}};
  uint32_t n = 0x30;
  for (const auto& sheet : sheets) {
    SCOPED_TRACE(testing::Message() << "spacing " << sheet.spacing << ", margin " << sheet.margin);
    const unsigned side = 3 * 16 + 2 * sheet.spacing + 2 * sheet.margin;
    game.WriteImage("game", n, Sheet(sheet.spacing, sheet.margin));
    char image[16];
    std::snprintf(image, sizeof image, "%04x.png", n);
    const std::string text =
        maptest::MapXml("orthogonal", 8, 5, 16, 16,
                        maptest::ImageTileset(1, image, side, side, 16, 16, sheet.spacing, sheet.margin) +
                            maptest::TileLayer("ground", 8, 5, std::vector<uint32_t>(8 * 5, 5)));
    GCore::TiledMap* map = Map(n, text, 36, 90);
    ASSERT_EQ(map->data.tiles[5].imageKey, TestGame::Id(n)) << "the tile is drawn from the tileset image";
    ExpectOneColourAtScales(map, kGreen);
    scene->RemoveChild(map);
    ++n;
  }
}

TEST_F(TiledMapOnScreen, IsometricDiagonalsFromTheTopCorner) {
  game.WriteImage("game", 0x21, Solid(20, 10, kRed, kRed));
  game.WriteImage("game", 0x22, Solid(20, 10, kBlue, kBlue));
  game.WriteImage("game", 0x23, Solid(20, 10, kGreen, kGreen));
  game.WriteImage("game", 0x24, Solid(20, 10, kYellow, kYellow));
  const std::string text = maptest::MapXml(
      "isometric", 2, 2, 20, 10,
      maptest::InlineCollection(
          1, {{0, "0021.png", 20, 10}, {1, "0022.png", 20, 10}, {2, "0023.png", 20, 10}, {3, "0024.png", 20, 10}},
          20, 10, 4) +
          maptest::TileLayer("l", 2, 2, {1, 2, 3, 4}, Encoding::Base64));
  GCore::TiledMap* map = Map(2, text, 20, 40);
  EXPECT_FLOAT_EQ(map->pixelWidth, 40);
  EXPECT_FLOAT_EQ(map->pixelHeight, 20);
  DrawScene();
  // Cells (col, row): (0, 0) red at the top, (1, 0) blue to its lower
  // right, (0, 1) green to its lower left, (1, 1) yellow at the bottom; a
  // later diagonal covers an earlier one.
  const struct {
    int x, y;
    Rgba colour;
  } expected[] = {
      {20 + 15, 40 - 3, kRed}, {20 + 25, 40 - 7, kBlue}, {20 + 5, 40 - 10, kGreen}, {20 + 20, 40 - 17, kYellow},
      {20 + 35, 40 - 12, kBlue}, {20 + 2, 40 - 2, kBlack},
  };
  for (const auto& e : expected) EXPECT_TRUE(Near(At(e.x, e.y), e.colour)) << e.x << "," << e.y;
}

TEST_F(TiledMapOnScreen, AScrolledScaledMapCullsItsOffScreenCells) {
  game.WriteImage("game", 0x10, Solid(20, 10, kRed, kBlue));
  std::vector<uint32_t> gids;
  for (int row = 0; row < 10; ++row) {
    for (int col = 0; col < 60; ++col) gids.push_back(col % 2 + 1);
  }
  const std::string text = maptest::MapXml("orthogonal", 60, 10, 10, 10,
                                           maptest::ImageTileset(1, "0010.png", 20, 10, 10, 10) +
                                               maptest::TileLayer("l", 60, 10, gids, Encoding::Base64Zlib));
  GCore::TiledMap* map = Map(3, text, 0, 100);
  ASSERT_TRUE(GCore::PushScriptObject(L, map));
  lua_setglobal(L, "map");
  // Twice the size, scrolled so that columns 25 to 34 and rows 0 to 4 fill
  // the window.
  ASSERT_EQ(luaL_dostring(L, "map.scaleX = 2; map.scaleY = 2; map.x = map.x - 200; map.y = map.y - 50"), LUA_OK);
  DrawScene();
  EXPECT_TRUE(Near(At(5, 95), kBlue)) << "column 25";
  EXPECT_TRUE(Near(At(25, 95), kRed)) << "column 26";
  EXPECT_TRUE(Near(At(195, 5), kRed)) << "column 34, row 4";
  const auto visible = [&](int col, int row) { return bool(map->cellVisible[size_t(row) * 60 + col]); };
  EXPECT_TRUE(visible(25, 0));
  EXPECT_TRUE(visible(34, 4));
  EXPECT_FALSE(visible(30, 9)) << "below the window";
  EXPECT_FALSE(visible(0, 0)) << "far left of the window";
  EXPECT_FALSE(visible(59, 5)) << "far right of the window";
  EXPECT_FALSE(visible(20, 3));
  EXPECT_FALSE(visible(40, 3));

  // Scrolling on: the cache follows in the next frame.
  ASSERT_EQ(luaL_dostring(L, "map.x = map.x + 400"), LUA_OK);
  DrawScene();
  EXPECT_TRUE(visible(5, 0));
  EXPECT_FALSE(visible(25, 0));
}

TEST_F(TiledMapOnScreen, ChildrenStandBetweenTheRowsOfTheirLayer) {
  game.WriteImage("game", 0x10, Solid(20, 10, kRed, kBlue));  // GID 1 red, GID 2 blue
  game.WriteImage("game", 0x30, Solid(10, 30, kGreen, kGreen));
  // 3 x 3 cells of 10 pixels: layer 0 all red, layer 1 one blue tile at
  // (col 1, row 0), layer 2 an object group.
  const std::string text = maptest::MapXml(
      "orthogonal", 3, 3, 10, 10,
      maptest::ImageTileset(1, "0010.png", 20, 10, 10, 10) +
          maptest::TileLayer("ground", 3, 3, std::vector<uint32_t>(9, 1)) +
          maptest::TileLayer("top", 3, 3, {0, 2, 0, 0, 0, 0, 0, 0, 0}) + maptest::ObjectGroup("things"));
  GCore::TiledMap* map = Map(4, text, 20, 50);
  // A green child over column 1, three rows tall, its pivot point in the
  // middle of row 1.
  auto* child = GCore::NewDisplayObject<GCore::Quad>(L);
  map->AddChild(child, 0);
  child->SetMedia(TestGame::Id(0x30));
  child->textureFilter = GCore::kFilterNearest;
  child->SetWidth(10);
  child->SetHeight(30);
  child->SetX(0);
  child->SetY(0);

  const struct {
    int slotLow;
    Rgba row0, row1, row2;
  } cases[] = {
      // Layer 0: after the tiles of row 1 (covering row 0), before those of
      // row 2 and before all of layer 1.
      {0, kBlue, kGreen, kRed},
      // Layer 1: after every tile of layer 0 and the blue tile of row 0.
      {1, kGreen, kGreen, kGreen},
      // The object group's layer: drawn after its (empty) row 1.
      {2, kGreen, kGreen, kGreen},
      // A layer the map does not have: never drawn.
      {3, kBlue, kRed, kRed},
  };
  for (const auto& c : cases) {
    child->slotLink = c.slotLow;
    DrawScene();
    EXPECT_TRUE(Near(At(35, 45), c.row0)) << "layer " << c.slotLow << ", row 0";
    EXPECT_TRUE(Near(At(35, 35), c.row1)) << "layer " << c.slotLow << ", row 1";
    EXPECT_TRUE(Near(At(35, 25), c.row2)) << "layer " << c.slotLow << ", row 2";
    EXPECT_TRUE(Near(At(25, 35), kRed)) << "beside the child";
    if (c.slotLow < 3) {
      EXPECT_EQ(child->slotLink, 1 << 8 | c.slotLow) << "the depth row above the layer";
    }
  }
}

TEST_F(TiledMapOnScreen, AMapFromATilesetImageShowsEveryTexelWhereTexelsMeetPixels) {
  // Every cell is the middle tile of the sheet: green framed by white, with
  // other colours and transparent spacing around it in the image. Drawn at
  // whole pixels, one texel to a pixel (mirrored or not) or sampled nearest
  // at twice the size, each pixel shows its texel, frame included.
  constexpr Rgba kWhite{255, 255, 255, 255};
  game.WriteImage("game", 0x40, Sheet(2, 1, kWhite));
  const std::string text =
      maptest::MapXml("orthogonal", 8, 5, 16, 16,
                      maptest::ImageTileset(1, "0040.png", 54, 54, 16, 16, 2, 1) +
                          maptest::TileLayer("ground", 8, 5, std::vector<uint32_t>(8 * 5, 5)));
  GCore::TiledMap* map = Map(0x40, text, 36, 90);
  ASSERT_EQ(map->data.tiles[5].imageKey, TestGame::Id(0x40)) << "the tile is drawn from the tileset image";
  ASSERT_TRUE(GCore::PushScriptObject(L, map));
  lua_setglobal(L, "map");
  const struct {
    uint8_t filter;
    int scaleX, scaleY;
  } rows[] = {
      {GCore::kFilterLinear, 1, 1},
      {GCore::kFilterLinear, -1, 1},
      {GCore::kFilterNearest, 1, 1},
      {GCore::kFilterNearest, 2, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "filter " << int(row.filter) << ", scale " << row.scaleX << " x "
                                    << row.scaleY);
    map->textureFilter = row.filter;
    ASSERT_EQ(luaL_dostring(L, ("map.scaleX = " + std::to_string(row.scaleX) +
                                "; map.scaleY = " + std::to_string(row.scaleY))
                                   .c_str()),
              LUA_OK);
    DrawScene();
    // Scaled about the map's centre, (100, 50); the frame is symmetric, so
    // a mirrored map shows the same picture.
    const double scale = std::abs(row.scaleX);
    const double left = 100 - 64 * scale, top = 50 + 40 * scale;
    ExpectPixels([&](int x, int y) -> std::optional<Rgba> {
      const double u = (x + 0.5 - left) / scale, v = (top - y - 0.5) / scale;
      if (u < 0 || u >= 128 || v < 0 || v >= 80) return std::nullopt;
      const int tx = static_cast<int>(u) % 16, ty = static_cast<int>(v) % 16;
      return tx == 0 || tx == 15 || ty == 0 || ty == 15 ? kWhite : kGreen;
    });
  }
}

TEST_F(TiledMapOnScreen, AQuadShowingAnImageTheAtlasTookKeepsShowingIt) {
  game.WriteImage("game", 0x11, Solid(10, 10, kGreen, kGreen));
  auto* quad = GCore::NewDisplayObject<GCore::Quad>(L);
  scene->AddChild(quad, 0);
  quad->SetMedia(TestGame::Id(0x11));
  quad->anchorMinX = quad->anchorMaxX = quad->anchorMinY = quad->anchorMaxY = 0;
  quad->SetWidth(10);
  quad->SetHeight(10);
  quad->SetX(105);
  quad->SetY(55);
  DrawScene();
  ASSERT_TRUE(Near(At(105, 55), kGreen));

  // The map copies the image into its atlas and drops it from the cache;
  // the quad's next draw finds it again.
  GCore::TiledMap* map = Map(5, maptest::MapXml("orthogonal", 1, 1, 10, 10,
                                                maptest::InlineCollection(1, {{0, "0011.png", 10, 10}}, 10, 10, 1) +
                                                    maptest::TileLayer("l", 1, 1, {1})),
                             20, 40);
  EXPECT_EQ(map->data.tiles[1].imageKey, 0xC1050005u);
  EXPECT_EQ(resources->FindImage(GCore::OwnerPair{1, TestGame::Id(0x11)}), nullptr);
  DrawScene();
  EXPECT_TRUE(Near(At(105, 55), kGreen)) << "the quad";
  EXPECT_TRUE(Near(At(25, 35), kGreen)) << "the map's tile";
}

}  // namespace
