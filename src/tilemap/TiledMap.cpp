// The tile map object: loading, the cell operations and copies. Drawing is
// in TiledMap_draw.cpp, the atlas in TiledMap_atlas.cpp.
#include "tilemap/TiledMap.h"

#include <cstdio>
#include <string>

#include "core/MissingFiles.h"
#include "core/ResourcePath.h"
#include "render/Image.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"
#include "tilemap/TmxLog.h"
#include "tilemap/TmxMap.h"

namespace GCore {

// Script userdata memory is aligned to 8 bytes only.
static_assert(alignof(TiledMap) <= 8, "a TiledMap must fit the alignment of its script userdata");

const ClassInfo TiledMap::classInfo = {"TiledMap", &Entity::classInfo};

TiledMap::TiledMap(lua_State* L) : Entity(L) { scaleMode = 3; }

namespace {

// Which map failed and where it was looked for: the bare message names neither.
std::string UnreadableMapDetail(uint32_t id, const std::string& path) {
  char text[64];
  std::snprintf(text, sizeof(text), ": map 0x%08x", id);
  if (id == 0) return std::string(text) + " (id 0 names no map)";
  if (!path.empty()) return std::string(text) + ", " + path + " cannot be read as a TMX map";
  return std::string(text) + " not found (no file " + TriedResourceFiles(id, 0) + ")";
}

}  // namespace

bool TiledMap::Load(uint32_t id) {
  if (loaded) return true;
  const char* found = id != 0 ? GetPath(id) : nullptr;
  const std::string path = found ? found : "";
  tmx::Map map;
  if (path.empty() || !map.load(path)) {
    tmx::logMessage("tmx path is null" + UnreadableMapDetail(id, path), tmx::LogLevel::Error);
    return false;
  }
  if (!data.Fill(map, id, centerImages)) return false;
  loaded = true;
  mapId = id;
  pixelWidth = data.PixelWidth();
  pixelHeight = data.PixelHeight();
  SetWidth(pixelWidth);
  SetHeight(pixelHeight);
  cellVisible.assign(data.CellsPerLayer(), false);
  cellTested.assign(data.CellsPerLayer(), false);
  walked = {};
  BuildAtlas();
  return true;
}

void TiledMap::SetMapId(uint32_t id) {
  // The loaded id again changes nothing; an id whose load failed may be set
  // again, and so may the old id after another one failed.
  if (id == mapId && loaded) return;
  loaded = false;
  Load(id);
}

void TiledMap::SetCellGid(uint32_t key, int32_t gid) {
  TiledMapCell* cell = data.Cell(key);
  if (!cell) return;
  cell->gid = gid;
  const size_t position = static_cast<size_t>(cell - data.cells.data()) % data.CellsPerLayer();
  if (position < cellTested.size()) cellTested[position] = false;
}

int32_t TiledMap::GetCellGid(uint32_t key) const {
  const TiledMapCell* cell = data.Cell(key);
  return cell ? cell->gid : 0;
}

void TiledMap::SetCellAlpha(uint32_t key, float alpha) {
  if (TiledMapCell* cell = data.Cell(key)) cell->alpha = alpha;
}

void TiledMap::SetCellOffset(uint32_t key, float dx, float dy) {
  if (TiledMapCell* cell = data.Cell(key)) {
    cell->offsetX = dx;
    cell->offsetY = dy;
  }
}

uint32_t TiledMap::GetCellTileWord(uint32_t key) const {
  const TiledMapCell* cell = data.Cell(key);
  const TiledMapTile* tile = cell ? data.Tile(cell->gid) : nullptr;
  return tile ? tile->sourceKey : 0;
}

uint32_t TiledMap::AddTileImage(uint32_t n, float dx, float dy) {
  const uint32_t imageKey = (kKindImage << 28 | (mapId & 0x0FFF0000u)) | n;
  float w = 0;
  float h = 0;
  if (!data.tiles.empty() && g_resourceManager) {
    if (const Image* image = g_resourceManager->GetImage(OwnerPair{0, imageKey}); image && image->texture) {
      w = static_cast<float>(image->texture->width);
      h = static_cast<float>(image->texture->height);
    }
  }
  return data.AddTileImage(imageKey, w, h, dx, dy, centerImages);
}

CellPosition TiledMap::CellToPosition(uint32_t key) const {
  return data.CellCentre(KeyCol(key), KeyRow(key), pixelWidth, pixelHeight);
}

CellCoordinates TiledMap::PointToCell(float x, float y) const {
  return data.PointToCell(x, y, pixelWidth, pixelHeight);
}

void TiledMap::CopyFrom(DisplayObject* source) {
  Entity::CopyFrom(source);
  const auto* map = static_cast<const TiledMap*>(CastToClass(&classInfo, source));
  if (!map) return;
  loaded = false;
  centerImages = map->centerImages;
  userFlag = map->userFlag;
  mapId = map->mapId;
  Load(mapId);
}

}  // namespace GCore
