#pragma once
// The tables a tile map draws from, flattened out of a loaded tmx::Map: one
// tile record per GID, one cell per (layer, row, column) and one record per
// layer of any kind. Plain data without engine services, so that the TMX fuzz
// target runs hostile maps through the flattening as well.
// Rules:
//  - Cell keys are layer << 24 | row << 12 | col; a cell operation checks only
//    that the index layer x cols x rows + row x cols + col lies in the cell
//    table (a too large col reaches into a later row).
//  - GIDs at or below 0, and GIDs past the record table, are empty cells.
//  - Fill builds new tables and installs them only when the whole map was
//    accepted: a refused map leaves the old tables as they were.
// Main thread only.
#include <cstdint>
#include <string>
#include <vector>

namespace tmx {
class Map;
}

namespace GCore {

// A map whose greatest GID passes this is refused: GIDs index the record
// table, and a bare first GID in a small file must not size it.
constexpr uint64_t kMaxTiledMapGid = 1u << 20;
// A map whose columns x rows x layers pass this is refused, for the same
// reason (object and image layers own cells too).
constexpr uint64_t kMaxTiledMapCells = 1u << 24;

enum class TiledMapOrientation : uint32_t { Orthogonal = 0, Isometric = 1 };

// One GID's image: its source rectangle and draw offset inside the cell.
struct TiledMapTile {
  uint32_t gid = 0;
  float u = 0, v = 0, w = 0, h = 0;
  float offsetX = 0, offsetY = 0;
  uint32_t imageKey = 0;   // the image drawn from (the atlas once packed)
  uint32_t sourceKey = 0;  // the tile's own image, kept when packed
  // A rectangle cut from a tileset image and drawn from that image, not
  // from the atlas: its neighbours in the image lie right beside it.
  bool fromTilesetImage = false;
};

struct TiledMapCell {
  int32_t gid = 0;
  float x = 0, y = 0;  // bottom-left of the image rectangle from the map's top-left, y up
  float offsetX = 0, offsetY = 0;
  float alpha = 1.0f;
};

struct TiledMapLayer {
  uint32_t index = 0;
  bool visible = true;
  float opacity = 1.0f;
  float offsetX = 0, offsetY = 0;
};

struct CellPosition {
  float x = 0, y = 0;
};

struct CellCoordinates {
  int32_t col = -1, row = -1;
};

constexpr uint32_t CellKey(uint32_t layer, uint32_t col, uint32_t row) {
  return (layer << 12 | row) << 12 | col;
}
constexpr uint32_t KeyCol(uint32_t key) { return key & 0xFFF; }
constexpr uint32_t KeyRow(uint32_t key) { return (key >> 12) & 0xFFF; }
constexpr uint32_t KeyLayer(uint32_t key) { return (key >> 24) & 0xFF; }

// The file number of an image path: the last piece before the first "png"
// piece (pieces split at '/', '.' and '\', the first piece skipped), read as
// hexadecimal; 0 when there is none or it starts with no hex digit.
uint32_t ImageFileNumber(const std::string& path);

struct TiledMapData {
  // Flattens the loaded map. mapId gives the directory key of the tile
  // images; centerImages centres images of another size than the map's
  // tiles in their cell. False after a logged refusal (unsupported
  // orientation, too many GIDs or cells, no memory).
  bool Fill(const tmx::Map& map, uint32_t mapId, bool centerImages);

  uint32_t CellsPerLayer() const { return cols * rows; }
  uint32_t LayerCount() const;
  // Pixel size of the whole map.
  float PixelWidth() const;
  float PixelHeight() const;

  // The cell of a key, or null outside the table.
  TiledMapCell* Cell(uint32_t key);
  const TiledMapCell* Cell(uint32_t key) const;
  // The cell at (layer, col, row), or null outside the table.
  const TiledMapCell* CellAt(uint64_t layer, uint64_t col, uint64_t row) const;
  // The record of a GID, or null for an empty one.
  const TiledMapTile* Tile(int64_t gid) const;

  // Appends a record for a separate image (its size given); returns its GID,
  // 0 when nothing was ever loaded.
  uint32_t AddTileImage(uint32_t imageKey, float w, float h, float dx, float dy, bool centerImages);

  // The centre of a cell relative to the map's centre (pixel size W x H), y up.
  CellPosition CellCentre(uint32_t col, uint32_t row, float W, float H) const;
  // The cell under a point given relative to the map's centre; no upper bound
  // is applied. (-1, -1) off the top-left of an orthogonal map or without cells.
  CellCoordinates PointToCell(float x, float y, float W, float H) const;

  std::vector<TiledMapTile> tiles;  // by GID; index 0 is never written
  std::vector<TiledMapCell> cells;
  std::vector<TiledMapLayer> layers;
  uint32_t orientation = 0;
  uint32_t tileWidth = 0, tileHeight = 0;
  uint32_t cols = 0, rows = 0;
};

}  // namespace GCore
