#pragma once
// The display object that shows one TMX tile map.
// Rules:
//  - Load reads the map through the tmx loader into tables of its own
//    (TiledMapData); the tmx::Map is a temporary of the load. A refused map
//    changes nothing but leaves the object unloaded.
//  - After a load the tile images are copied into one atlas texture, cached
//    by the resource manager under the map's own id (shared by maps of the
//    same id, which pack it alike); the copied images leave the cache.
//  - Children are not drawn by the container's child loop: each is drawn
//    after the tiles of its layer (byte 0 of its slot link word, set by
//    scripts) and depth row (the rest of the word, which the map rewrites
//    every draw), so that it stands in front of the rows above it and
//    behind those below it.
//  - Cells off the window are skipped; the result is cached per position
//    and tested again only in frames in which the map's bounds changed (or
//    the position's GID was set since).
// Main thread only.
#include <cstdint>
#include <vector>

#include <lua.hpp>

#include "display/Entity.h"
#include "tilemap/TiledMapData.h"

namespace GCore {

class Image;

class TiledMap : public Entity {
 public:
  static const ClassInfo classInfo;

  explicit TiledMap(lua_State* L);
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  // The entity copy; from another map its switches and id, then a load of
  // its map file.
  void CopyFrom(DisplayObject* source) override;
  void Draw() override;
  const char* GetClassName() const override { return "TiledMap"; }

  // Loads the map of a resource id unless a map is loaded already.
  bool Load(uint32_t id);
  // Changes the map: nothing for the id loaded now, else a load of the new
  // one (a failed load keeps the old id and leaves the map unloaded).
  void SetMapId(uint32_t id);

  // Cell operations by cell key (see TiledMapData.h); keys outside the cell
  // table are ignored by setters and read as 0.
  void SetCellGid(uint32_t key, int32_t gid);
  int32_t GetCellGid(uint32_t key) const;
  void SetCellAlpha(uint32_t key, float alpha);
  void SetCellOffset(uint32_t key, float dx, float dy);
  // The own image id of the cell's tile.
  uint32_t GetCellTileWord(uint32_t key) const;
  // A new GID drawn from the image of file number n in the map's folder, at
  // the given extra offset; 0 when no map was ever loaded.
  uint32_t AddTileImage(uint32_t n, float dx, float dy);
  // The cell centre relative to the map's centre, y up.
  CellPosition CellToPosition(uint32_t key) const;
  // The cell under a point relative to the map's centre.
  CellCoordinates PointToCell(float x, float y) const;

  TiledMapData data;
  bool loaded = false;
  bool centerImages = true;  // read by the next load
  uint32_t mapId = 0;
  float pixelWidth = 100.0f, pixelHeight = 100.0f;
  bool userFlag = true;  // kept for scripts
  float originX = 0, originY = 0;  // the map's top-left in local coordinates, set by Draw
  std::vector<bool> cellVisible;  // by row x cols + col, shared by the layers
  // Which positions were tested since the last load; a position whose GID a
  // script changed is tested at its next draw, so a tile set into a cell that
  // was empty when the map last moved shows up.
  std::vector<bool> cellTested;

 private:
  struct DrawState;
  // Cells from col0 to col1 and row0 to row1; empty when col0 > col1.
  struct CellRect {
    uint64_t col0 = 1, col1 = 0, row0 = 1, row1 = 0;
  };

  // The cells around the window the draw walks (TiledMap_draw.cpp).
  void FindWalkedCells(DrawState& state);
  void KeepWalkedCells(const DrawState& state);
  // The cells the last draw walked: bits outside them are left as they were,
  // so a moved map clears them.
  CellRect walked;

  // Packs the tile images into the atlas (TiledMap_atlas.cpp).
  void BuildAtlas();
  // Writes each drawn child's depth row into its layer key and lists the
  // children the map draws in the state, by (layer, row), child order within.
  void AssignDepthRows(DrawState& state, uint32_t layerCount);
  void ApplyRenderState(const DrawState& state);
  void DrawOrthogonal(DrawState& state);
  void DrawIsometric(DrawState& state);
  void DrawCell(DrawState& state, uint32_t layer, uint64_t col, uint64_t row);
  // Draws the children waiting in the state whose key is row << 8 | layer.
  void DrawChildrenAt(DrawState& state, uint32_t layer, uint64_t row);
  // The cache is one bit per position, shared by all layers.
  bool IsCellVisible(uint64_t col, uint64_t row, const TiledMapTile& tile);
};

// The "TiledMap" class of a project state: its metatable and its creator in
// the class factory.
void RegisterTiledMapClass(lua_State* L);

// The script constructor "TiledMap": a new, unloaded map (arguments ignored).
int NewTiledMapScript(lua_State* L);

}  // namespace GCore
