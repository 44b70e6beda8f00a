// TMX maps from untrusted bytes, read twice: as a map, and as an external
// tileset that a fixed map names. Both sit beside a copy of the tests' map
// folder, so that the relative paths of the seed maps still lead somewhere,
// and the map is "map.tmx": an input that names it as its tileset image or
// tsx file feeds itself to those readers (the PNG header of a tileset image
// without a size, a tsx document). A map that loads is then flattened into a
// tile map's tables, its cells and records walked as drawing walks them, and
// its tile images packed as the atlas packs them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "fuzz/ScratchFolder.h"
#include "tilemap/RectPacker.h"
#include "tilemap/TiledMapData.h"
#include "tilemap/TmxMap.h"

namespace {

namespace fs = std::filesystem;

fs::path g_folder;

void WriteFile(const fs::path& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void Flatten(const tmx::Map& map) {
  GCore::TiledMapData data;
  if (!data.Fill(map, 0xC1050001u, true)) return;
  const float W = data.PixelWidth();
  const float H = data.PixelHeight();
  volatile float sink = 0;
  const uint32_t layers = data.LayerCount();
  for (uint32_t layer = 0; layer < layers; ++layer) {
    for (uint32_t row = 0; row < data.rows; ++row) {
      for (uint32_t col = 0; col < data.cols; ++col) {
        const GCore::TiledMapCell* cell = data.CellAt(layer, col, row);
        const GCore::TiledMapTile* tile = cell ? data.Tile(cell->gid) : nullptr;
        if (tile) sink = sink + tile->w + cell->x;
      }
    }
  }
  for (const float x : {-W, 0.0f, W * 0.25f, W}) {
    const GCore::CellCoordinates cell = data.PointToCell(x, -x, W, H);
    const GCore::CellPosition centre = data.CellCentre(static_cast<uint32_t>(cell.col) & 0xFFF,
                                                       static_cast<uint32_t>(cell.row) & 0xFFF, W, H);
    sink = sink + centre.x;
  }
  data.AddTileImage(0x51050001u, 16, 16, 1, 1, true);

  std::vector<GCore::RectPacker::Rect> rects;
  for (size_t i = 0; i < data.tiles.size(); ++i) {
    const GCore::TiledMapTile& tile = data.tiles[i];
    if (tile.imageKey == 0 || tile.u != 0 || tile.v != 0) continue;
    rects.push_back({tile.imageKey, static_cast<int32_t>(i), static_cast<int32_t>(std::min(tile.w, 4096.0f)) + 2,
                     static_cast<int32_t>(std::min(tile.h, 4096.0f)) + 2, 0, 0, nullptr});
  }
  GCore::RectPacker packer;
  packer.Pack(rects, 512, 512);
}

void Load(const fs::path& path) {
  tmx::Map map;
  if (map.load(path.string())) Flatten(map);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The loader reports refusals on standard error; the sanitizer's reports
  // do not go through this stream.
  std::cerr.setstate(std::ios::badbit);
  g_folder = fuzzfiles::MakeScratchFolder("qv-tmx-fuzz");
  fs::create_directories(g_folder / "level1");
  fs::copy(fs::path(QUARVELIN_TEST_DATA) / "tilemap/data/maps/sets", g_folder / "sets");
  std::ofstream(g_folder / "level1/host.tmx")
      << "<map version=\"1.0\" orientation=\"orthogonal\" width=\"2\" height=\"2\" tilewidth=\"8\" "
         "tileheight=\"8\"><tileset firstgid=\"1\" source=\"../sets/fuzz.tsx\"/>"
         "<layer name=\"a\" width=\"2\" height=\"2\"><data encoding=\"csv\">1,2,3,4</data></layer>"
         "</map>";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFile(g_folder / "level1/map.tmx", data, size);
  Load(g_folder / "level1/map.tmx");
  WriteFile(g_folder / "sets/fuzz.tsx", data, size);
  Load(g_folder / "level1/host.tmx");
  return 0;
}
