#include "tilemap/TiledMapData.h"

#include <algorithm>
#include <climits>
#include <new>
#include <unordered_map>

#include "tilemap/TmxLog.h"
#include "tilemap/TmxMap.h"

namespace GCore {
namespace {

// Paths are examined in a buffer of this size, so longer ones are cut.
constexpr size_t kPathBuffer = 512;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A float truncated toward zero into 32 bits; beyond them (or NaN) near the
// nearest end, so that far-off points stay far off and one less still fits.
int32_t TruncatedInt(double value) {
  if (value >= 2147483647.0) return INT32_MAX;
  if (!(value > -2147483647.0)) return INT32_MIN + 1;
  return static_cast<int32_t>(value);
}

// What a tileset gives every GID it holds: its image grid, or its tiles by
// local ID (the first tile of an ID wins).
class TilesetRecords {
 public:
  TilesetRecords(const tmx::Tileset& tileset, const TiledMapData& map, uint32_t mapId, bool centerImages)
      : tileset_(tileset), map_(map), centerImages_(centerImages) {
    directoryKey_ = (0x5000u | ((mapId >> 16) & 0x0FFFu)) << 16;
    if (tileset.getImagePath().empty()) {
      const auto& tiles = tileset.getTiles();
      for (size_t i = 0; i < tiles.size(); ++i) byId_.emplace(tiles[i].ID, i);
    }
  }

  TiledMapTile Record(uint32_t gid) const {
    const uint32_t local = gid - tileset_.getFirstGID();
    TiledMapTile tile;
    std::string path;
    if (!tileset_.getImagePath().empty()) {
      const uint32_t columns = tileset_.getColumnCount();
      if (columns == 0) return tile;  // no grid to cut: an empty record
      const uint64_t col = local % columns;
      const uint64_t row = local / columns;
      const tmx::Vector2u& size = tileset_.getTileSize();
      tile.u = static_cast<float>((uint64_t{size.x} + tileset_.getSpacing()) * col + tileset_.getMargin());
      tile.v = static_cast<float>((uint64_t{size.y} + tileset_.getSpacing()) * row + tileset_.getMargin());
      tile.w = static_cast<float>(size.x);
      tile.h = static_cast<float>(size.y);
      tile.fromTilesetImage = true;
      path = tileset_.getImagePath();
    } else {
      const auto found = byId_.find(local);
      if (found == byId_.end()) return tile;  // no image for this ID
      const tmx::Tileset::Tile& own = tileset_.getTiles()[found->second];
      if (own.imagePath.empty()) return tile;
      tile.w = static_cast<float>(own.imageSize.x);
      tile.h = static_cast<float>(own.imageSize.y);
      path = own.imagePath;
    }
    tile.gid = gid;
    tile.imageKey = tile.sourceKey = directoryKey_ | ImageFileNumber(path);
    if (centerImages_) {
      tile.offsetX = (static_cast<float>(map_.tileWidth) - tile.w) * 0.5f;
      tile.offsetY = (static_cast<float>(map_.tileHeight) - tile.h) * 0.5f;
    }
    return tile;
  }

 private:
  const tmx::Tileset& tileset_;
  const TiledMapData& map_;
  bool centerImages_;
  uint32_t directoryKey_ = 0;
  std::unordered_map<uint32_t, size_t> byId_;
};

bool Holds(const tmx::Tileset& tileset) { return tileset.getFirstGID() != 0 && tileset.getTileCount() != 0; }

void FillCells(const tmx::Map& map, TiledMapData& data) {
  const auto& layers = map.getLayers();
  const uint64_t perLayer = data.CellsPerLayer();
  const float tw = static_cast<float>(data.tileWidth);
  const float th = static_cast<float>(data.tileHeight);
  const bool isometric = data.orientation == static_cast<uint32_t>(TiledMapOrientation::Isometric);
  for (size_t L = 0; L < layers.size(); ++L) {
    if (layers[L]->getType() != tmx::Layer::Type::Tile) continue;
    const auto& tiles = static_cast<const tmx::TileLayer&>(*layers[L]).getTiles();
    // Extra tiles run on into the next layer's cells, up to the table's end.
    const uint64_t first = perLayer * L;
    const uint64_t count = std::min<uint64_t>(tiles.size(), data.cells.size() - first);
    for (uint64_t i = 0; i < count; ++i) {
      TiledMapCell& cell = data.cells[first + i];
      cell.gid = static_cast<int32_t>(tiles[i].ID);
      const float col = static_cast<float>(i % data.cols);
      const float row = static_cast<float>(i / data.cols);
      if (isometric) {
        cell.x = (static_cast<float>(data.rows) - row + col) * (tw * 0.5f) - tw * 0.5f;
        cell.y = -(col + row) * (th * 0.5f) - th;
      } else {
        cell.x = col * tw;
        cell.y = -row * th - th;
      }
    }
  }
}

void BuildTileRecords(const tmx::Map& map, uint32_t mapId, bool centerImages, TiledMapData& data) {
  // Each GID takes its record from the first tileset, in file order, that
  // holds it: overlapping ranges keep the earlier set's records.
  std::vector<bool> claimed(data.tiles.size(), false);
  for (const tmx::Tileset& tileset : map.getTilesets()) {
    if (!Holds(tileset)) continue;
    const TilesetRecords records(tileset, data, mapId, centerImages);
    const uint64_t last = uint64_t{tileset.getFirstGID()} + tileset.getTileCount() - 1;
    for (uint64_t gid = tileset.getFirstGID(); gid <= last; ++gid) {
      if (claimed[gid]) continue;
      claimed[gid] = true;
      data.tiles[gid] = records.Record(static_cast<uint32_t>(gid));
    }
  }
}

void BuildLayerTable(const tmx::Map& map, TiledMapData& data) {
  const auto& layers = map.getLayers();
  for (size_t i = 0; i < layers.size(); ++i) {
    TiledMapLayer& layer = data.layers[i];
    layer.index = static_cast<uint32_t>(i);
    layer.visible = layers[i]->getVisible();
    layer.opacity = layers[i]->getOpacity();
    layer.offsetX = static_cast<float>(layers[i]->getOffset().x);
    layer.offsetY = static_cast<float>(layers[i]->getOffset().y);
  }
}

}  // namespace

uint32_t ImageFileNumber(const std::string& path) {
  const std::string text = path.substr(0, kPathBuffer - 1);
  std::vector<std::string> pieces;
  std::string piece;
  for (char c : text) {
    if (c == '/' || c == '.' || c == '\\') {
      if (!piece.empty()) pieces.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  const std::string* last = nullptr;
  for (size_t i = 1; i < pieces.size() && pieces[i] != "png"; ++i) last = &pieces[i];
  if (!last) return 0;
  uint32_t number = 0;
  for (char c : *last) {
    const int digit = HexDigit(c);
    if (digit < 0) break;
    number = number << 4 | static_cast<uint32_t>(digit);
  }
  // A file number has 16 bits; more would run into the directory key.
  return number & 0xFFFF;
}

bool TiledMapData::Fill(const tmx::Map& map, uint32_t mapId, bool centerImages) {
  TiledMapData fresh;
  fresh.orientation = static_cast<uint32_t>(map.getOrientation());
  fresh.tileWidth = map.getTileSize().x;
  fresh.tileHeight = map.getTileSize().y;
  fresh.cols = map.getTileCount().x;
  fresh.rows = map.getTileCount().y;
  if (fresh.orientation != static_cast<uint32_t>(TiledMapOrientation::Orthogonal) &&
      fresh.orientation != static_cast<uint32_t>(TiledMapOrientation::Isometric)) {
    tmx::logMessage("Orientation is not suppet", tmx::LogLevel::Error);
    return false;
  }

  uint64_t maxGid = 0;
  for (const tmx::Tileset& tileset : map.getTilesets()) {
    if (Holds(tileset)) maxGid = std::max(maxGid, uint64_t{tileset.getFirstGID()} + tileset.getTileCount() - 1);
  }
  if (maxGid > kMaxTiledMapGid) {
    tmx::logMessage("Map tile ids reach " + std::to_string(maxGid) + ", more than a map may use: map not loaded",
                    tmx::LogLevel::Error);
    return false;
  }
  const uint64_t layerCount = map.getLayers().size();
  const uint64_t cellCount = uint64_t{fresh.cols} * fresh.rows * layerCount;
  if (uint64_t{fresh.cols} * fresh.rows > kMaxTiledMapCells || cellCount > kMaxTiledMapCells) {
    tmx::logMessage("Map has " + std::to_string(fresh.cols) + " x " + std::to_string(fresh.rows) + " cells in " +
                        std::to_string(layerCount) + " layers, more than a map may hold: map not loaded",
                    tmx::LogLevel::Error);
    return false;
  }

  try {
    fresh.cells.resize(cellCount);
    fresh.tiles.resize(maxGid + 1);
    fresh.layers.resize(layerCount);
    FillCells(map, fresh);
    BuildTileRecords(map, mapId, centerImages, fresh);
    BuildLayerTable(map, fresh);
  } catch (const std::bad_alloc&) {
    tmx::logMessage("Not enough memory for the map's tables: map not loaded", tmx::LogLevel::Error);
    return false;
  }
  *this = std::move(fresh);
  return true;
}

uint32_t TiledMapData::LayerCount() const {
  const uint32_t perLayer = CellsPerLayer();
  return perLayer == 0 ? 0 : static_cast<uint32_t>(cells.size() / perLayer);
}

float TiledMapData::PixelWidth() const {
  if (orientation == static_cast<uint32_t>(TiledMapOrientation::Isometric)) {
    return static_cast<float>(uint64_t{tileWidth} * (uint64_t{cols} + rows)) * 0.5f;
  }
  return static_cast<float>(cols) * static_cast<float>(tileWidth);
}

float TiledMapData::PixelHeight() const {
  if (orientation == static_cast<uint32_t>(TiledMapOrientation::Isometric)) {
    return static_cast<float>(uint64_t{tileHeight} * (uint64_t{cols} + rows)) * 0.5f;
  }
  return static_cast<float>(rows) * static_cast<float>(tileHeight);
}

TiledMapCell* TiledMapData::Cell(uint32_t key) {
  return const_cast<TiledMapCell*>(static_cast<const TiledMapData*>(this)->Cell(key));
}

const TiledMapCell* TiledMapData::Cell(uint32_t key) const {
  return CellAt(KeyLayer(key), KeyCol(key), KeyRow(key));
}

const TiledMapCell* TiledMapData::CellAt(uint64_t layer, uint64_t col, uint64_t row) const {
  const uint64_t index = layer * CellsPerLayer() + row * cols + col;
  return index < cells.size() ? &cells[index] : nullptr;
}

const TiledMapTile* TiledMapData::Tile(int64_t gid) const {
  return gid > 0 && static_cast<uint64_t>(gid) < tiles.size() ? &tiles[static_cast<size_t>(gid)] : nullptr;
}

uint32_t TiledMapData::AddTileImage(uint32_t imageKey, float w, float h, float dx, float dy, bool centerImages) {
  // The table's size, not the last record's GID plus one: the last record
  // may be an empty one.
  if (tiles.empty()) return 0;
  TiledMapTile tile;
  tile.gid = static_cast<uint32_t>(tiles.size());
  tile.w = w;
  tile.h = h;
  tile.offsetX = centerImages ? (static_cast<float>(tileWidth) - w) * 0.5f + dx : dx;
  tile.offsetY = centerImages ? dy - (h - static_cast<float>(tileHeight)) * 0.5f : dy;
  tile.imageKey = imageKey;
  tiles.push_back(tile);
  return tile.gid;
}

CellPosition TiledMapData::CellCentre(uint32_t cellCol, uint32_t cellRow, float W, float H) const {
  const float col = static_cast<float>(cellCol);
  const float row = static_cast<float>(cellRow);
  const float tw = static_cast<float>(tileWidth);
  const float th = static_cast<float>(tileHeight);
  switch (static_cast<TiledMapOrientation>(orientation)) {
    case TiledMapOrientation::Orthogonal:
      return {col * tw + tw * 0.5f - W * 0.5f, H * 0.5f - (row * th + th * 0.5f)};
    case TiledMapOrientation::Isometric:
      return {(static_cast<float>(rows) - row + col) * (tw * 0.5f) - W * 0.5f, (-row - 1 - col) * (th * 0.5f) + H * 0.5f};
  }
  return {};
}

CellCoordinates TiledMapData::PointToCell(float x, float y, float W, float H) const {
  if (cells.empty() || tileWidth == 0 || tileHeight == 0) return {};
  const float tw = static_cast<float>(tileWidth);
  const float th = static_cast<float>(tileHeight);
  const float b = (cells[0].y + th) + H * 0.5f - y;
  if (orientation == static_cast<uint32_t>(TiledMapOrientation::Isometric)) {
    // Across from the top corner, which is the middle of cell 0's image.
    const float a = x - (tw * 0.5f + cells[0].x) + W * 0.5f;
    // Rows of the diamond grid are tw / th times flatter than they are wide.
    const float s = b / (th / tw);
    CellCoordinates cell{TruncatedInt((s + a) / tw), TruncatedInt((s - a) / tw)};
    if (s + a < 0) --cell.col;
    if (s - a < 0) --cell.row;
    return cell;
  }
  if (orientation == static_cast<uint32_t>(TiledMapOrientation::Orthogonal)) {
    // Across from the left edge: the whole first column is column 0.
    const float a = x - cells[0].x + W * 0.5f;
    if (a < 0 || b < 0) return {};
    return {TruncatedInt(a / tw), TruncatedInt(b / th)};
  }
  return {};
}

}  // namespace GCore
