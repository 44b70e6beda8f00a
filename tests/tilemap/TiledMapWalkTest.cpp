// The draw walks only the cells around the window: what it draws, and in
// which order, is what a walk of every cell draws, at the window's edges too.
// The cells found showing are those a test of every cell finds; the draws are
// those of the same draw with a tile record so large that every cell of the
// map falls within its reach (the cells keep their own tiles).
#include "display/DisplayFixture.h"

#include <algorithm>
#include <cmath>

#include "core/Matrix.h"
#include "render/PngFixtures.h"
#include "tilemap/MapWriter.h"
#include "tilemap/TiledMap.h"

namespace {

using maptest::Encoding;

class TiledMapWalk : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run("g = require('gcore.c'); g_dir = {[0x01050000] = 'img'}; "
        "g_ext = {[0x50000000] = '.png', [0xC0000000] = '.tmx'}");
    renderer.windowWidth = 200;
    renderer.windowHeight = 150;
  }

  void WriteImage(uint32_t n, int width, int height) {
    const std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4, 200);
    const std::vector<uint8_t> png = testpng::EncodeRgba(width, height, rgba);
    char name[32];
    std::snprintf(name, sizeof name, "p/img/%04x.png", n);
    root.Write(name, std::string(png.begin(), png.end()));
  }

  // 60 x 50 cells in two layers of a plain and a tall tile (five cell
  // heights), mixed with empty cells.
  GCore::TiledMap* LoadMap(uint32_t n, const char* orientation, unsigned tw, unsigned th) {
    WriteImage(0x10, static_cast<int>(tw), static_cast<int>(th));
    WriteImage(0x11, static_cast<int>(tw), static_cast<int>(th * 5));
    std::vector<uint32_t> ground, top;
    for (unsigned row = 0; row < 50; ++row) {
      for (unsigned col = 0; col < 60; ++col) {
        ground.push_back((col + row) % 7 == 0 ? 0 : 1);
        top.push_back((col * 3 + row * 5) % 4 == 0 ? 2 : 0);
      }
    }
    char name[32];
    std::snprintf(name, sizeof name, "p/img/%04x.tmx", n);
    root.Write(name, maptest::MapXml(orientation, 60, 50, tw, th,
                                     maptest::InlineCollection(1, {{0, "0010.png", tw, th}, {1, "0011.png", tw, th * 5}},
                                                               tw, th, 2) +
                                         maptest::TileLayer("ground", 60, 50, ground, Encoding::Base64Zlib) +
                                         maptest::TileLayer("top", 60, 50, top, Encoding::Base64Zlib)));
    auto* map = Make<GCore::TiledMap>("map");
    stage->AddChild(map, 0);
    EXPECT_TRUE(map->Load(0xC1050000u | n));
    return map;
  }

  // The vertices of one frame, with the map's placement taken as changed
  // when `moved`.
  std::vector<RecordedVertex> Frame(GCore::TiledMap* map, bool moved) {
    if (moved) map->dirty |= GCore::kDirtyBounds;
    renderer.batches.clear();
    stage->Draw();
    renderer.Flush(nullptr);
    std::vector<RecordedVertex> drawn;
    for (const RecordedBatch& batch : renderer.batches) {
      drawn.insert(drawn.end(), batch.vertices.begin(), batch.vertices.end());
    }
    return drawn;
  }
};

// Whether a cell shows, as a test of every cell finds it: its centre within
// the Manhattan radius of its tile's larger side of the window, on screen.
bool Shows(const GCore::TiledMap& map, uint32_t col, uint32_t row, const GCore::TiledMapTile& tile, float width,
           float height) {
  GCore::CellPosition centre = map.CellToPosition(GCore::CellKey(0, col, row));
  centre.x += (0.5f - map.pivotX) * (map.offsetMaxX - map.offsetMinX);
  centre.y += (0.5f - map.pivotY) * (map.offsetMaxY - map.offsetMinY);
  const GCore::Affine m = GCore::AffineOf(map.worldMatrix.Get());
  auto screen = [&m](float x, float y) {
    return GCore::CellPosition{m.a * x + m.c * y + m.tx, m.b * x + m.d * y + m.ty};
  };
  const float side = std::max(tile.w, tile.h);
  const GCore::CellPosition at = screen(centre.x, centre.y);
  const GCore::CellPosition corner = screen(centre.x + side * 0.5f, centre.y + side * 0.5f);
  const double sx = std::trunc(at.x), sy = std::trunc(at.y);
  const double r = std::fabs(std::trunc(corner.x) - sx) + std::fabs(std::trunc(corner.y) - sy);
  return sx > -r && sx < width + r && sy > -r && sy < height + r;
}

bool Same(const std::vector<RecordedVertex>& a, const std::vector<RecordedVertex>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].u != b[i].u || a[i].v != b[i].v || a[i].a != b[i].a) return false;
  }
  return true;
}

TEST_F(TiledMapWalk, DrawsWhatAWalkOfEveryCellDrawsAtTheWindowsEdges) {
  const struct {
    const char* orientation;
    unsigned tw, th;
    const char* view;  // Lua placing `map`
  } cases[] = {
      {"orthogonal", 8, 8, "map.scaleX = 1.5; map.scaleY = 1.5; map.x = -150; map.y = -425"},
      {"orthogonal", 8, 8, "map.scaleX = 0.7; map.scaleY = 0.9; map.rotation = 30; map.x = -340; map.y = -200"},
      {"orthogonal", 8, 8, "map.x = -130; map.y = -170"},
      {"isometric", 16, 8, "map.scaleX = 1.25; map.scaleY = 1.25; map.x = -650; map.y = -200"},
      {"isometric", 16, 8, "map.scaleX = 2; map.scaleY = 2; map.rotation = -15; map.x = -100; map.y = -500"},
      {"isometric", 16, 8, "map.x = -300; map.y = -25"},
  };
  uint32_t n = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.orientation) + ": " + c.view);
    GCore::TiledMap* map = LoadMap(n++, c.orientation, c.tw, c.th);
    Run(c.view);
    const std::vector<RecordedVertex> walked = Frame(map, true);
    // Every position with a tile holds what its last layer's tile found.
    int wrong = 0;
    for (uint32_t row = 0; row < 50; ++row) {
      for (uint32_t col = 0; col < 60; ++col) {
        const GCore::TiledMapCell* top = map->data.CellAt(1, col, row);
        const GCore::TiledMapCell* cell = top->gid > 0 ? top : map->data.CellAt(0, col, row);
        if (cell->gid <= 0) continue;
        const bool shows = Shows(*map, col, row, *map->data.Tile(cell->gid), 200, 150);
        if (bool(map->cellVisible[row * 60 + col]) != shows && ++wrong <= 5) {
          ADD_FAILURE() << "cell " << col << ", " << row << (shows ? " shows" : " does not show");
        }
      }
    }
    const std::vector<RecordedVertex> still = Frame(map, false);

    GCore::TiledMapTile everywhere = map->data.tiles[1];
    everywhere.w = everywhere.h = 1e6f;
    map->data.tiles.push_back(everywhere);
    const std::vector<RecordedVertex> all = Frame(map, true);
    const std::vector<RecordedVertex> allStill = Frame(map, false);
    map->data.tiles.pop_back();

    // Some tiles are drawn and some are not: the window cuts the map.
    EXPECT_GT(walked.size(), 0u);
    EXPECT_LT(walked.size(), 6u * 60 * 50);
    EXPECT_TRUE(Same(walked, all)) << walked.size() / 6 << " tiles against " << all.size() / 6;
    // Standing still, each position keeps what its last layer's tile found.
    EXPECT_TRUE(Same(still, allStill)) << "standing still: " << still.size() / 6 << " against " << allStill.size() / 6;
    stage->RemoveChild(map);
  }
}

}  // namespace
