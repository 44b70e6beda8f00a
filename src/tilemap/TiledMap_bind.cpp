// Script members of GCore::TiledMap: mapId, userFlag, centerImages and the
// cell methods; every other key goes on to the members of entities.
// Keys and ids are pushed as the unsigned value of their 32 bits.
#include "display/MemberBinding.h"
#include "tilemap/TiledMap.h"

namespace GCore {

namespace {

void PushUnsigned(lua_State* L, uint32_t value) { lua_pushinteger(L, static_cast<lua_Integer>(value)); }

constexpr uint32_t kNoCell = 0xFFFFFFFFu;

int CellKeyMethod(lua_State* L) {
  CurrentSelf<TiledMap>(L);
  PushUnsigned(L, CellKey(UnsignedValue(L, 1), UnsignedValue(L, 2), UnsignedValue(L, 3)));
  return 1;
}

int KeyColMethod(lua_State* L) {
  CurrentSelf<TiledMap>(L);
  lua_pushinteger(L, KeyCol(UnsignedValue(L, 1)));
  return 1;
}

int KeyRowMethod(lua_State* L) {
  CurrentSelf<TiledMap>(L);
  lua_pushinteger(L, KeyRow(UnsignedValue(L, 1)));
  return 1;
}

int KeyLayerMethod(lua_State* L) {
  CurrentSelf<TiledMap>(L);
  lua_pushinteger(L, KeyLayer(UnsignedValue(L, 1)));
  return 1;
}

int Pick(lua_State* L) {
  const TiledMap& self = CurrentSelf<TiledMap>(L);
  const int32_t layer = IntValue(L, 1);
  uint32_t key = kNoCell;
  if (layer >= 0 && static_cast<uint32_t>(layer) < self.data.LayerCount()) {
    const CellCoordinates cell = self.PointToCell(FloatValue(L, 2), FloatValue(L, 3));
    if (cell.col >= 0 && cell.row >= 0) {
      key = CellKey(static_cast<uint32_t>(layer), static_cast<uint32_t>(cell.col), static_cast<uint32_t>(cell.row));
    }
  }
  PushUnsigned(L, key);
  return 1;
}

int SetCellAlpha(lua_State* L) {
  CurrentSelf<TiledMap>(L).SetCellAlpha(UnsignedValue(L, 1), FloatValue(L, 2));
  return 0;
}

int GetGid(lua_State* L) {
  lua_pushinteger(L, CurrentSelf<TiledMap>(L).GetCellGid(UnsignedValue(L, 1)));
  return 1;
}

int SetGid(lua_State* L) {
  CurrentSelf<TiledMap>(L).SetCellGid(UnsignedValue(L, 1), IntValue(L, 2));
  return 0;
}

int AddTileImage(lua_State* L) {
  TiledMap& self = CurrentSelf<TiledMap>(L);
  PushUnsigned(L, self.AddTileImage(UnsignedValue(L, 1), FloatValue(L, 2), FloatValue(L, 3)));
  return 1;
}

int SetCellOffset(lua_State* L) {
  CurrentSelf<TiledMap>(L).SetCellOffset(UnsignedValue(L, 1), FloatValue(L, 2), FloatValue(L, 3));
  return 0;
}

int GetTileImage(lua_State* L) {
  const uint32_t word = CurrentSelf<TiledMap>(L).GetCellTileWord(UnsignedValue(L, 1));
  lua_pushinteger(L, static_cast<int32_t>(word));
  return 1;
}

int CellCenter(lua_State* L) {
  const CellPosition centre = CurrentSelf<TiledMap>(L).CellToPosition(UnsignedValue(L, 1));
  lua_pushnumber(L, centre.x);
  lua_pushnumber(L, centre.y);
  return 2;
}

int Nop(lua_State* L) {
  CurrentSelf<TiledMap>(L);
  lua_tonumberx(L, 1, nullptr);
  lua_tolstring(L, 2, nullptr);
  return 0;
}

int GetMapWidth(lua_State* L) {
  lua_pushnumber(L, CurrentSelf<TiledMap>(L).pixelWidth);
  return 1;
}

int GetMapHeight(lua_State* L) {
  lua_pushnumber(L, CurrentSelf<TiledMap>(L).pixelHeight);
  return 1;
}

int GetCols(lua_State* L) {
  lua_pushinteger(L, CurrentSelf<TiledMap>(L).data.cols);
  return 1;
}

int GetRows(lua_State* L) {
  lua_pushinteger(L, CurrentSelf<TiledMap>(L).data.rows);
  return 1;
}

const Member<TiledMap> kMembers[] = {
    {"mapId", [](lua_State* L, TiledMap& m) { PushUnsigned(L, m.mapId); },
     [](lua_State* L, TiledMap& m) { m.SetMapId(UnsignedValue(L, 3)); }, nullptr},
    {"userFlag", [](lua_State* L, TiledMap& m) { lua_pushboolean(L, m.userFlag); },
     [](lua_State* L, TiledMap& m) { m.userFlag = lua_toboolean(L, 3) != 0; }, nullptr},
    {"centerImages", [](lua_State* L, TiledMap& m) { lua_pushboolean(L, m.centerImages); },
     [](lua_State* L, TiledMap& m) { m.centerImages = lua_toboolean(L, 3) != 0; }, nullptr},
    {"cellKey", nullptr, nullptr, CellKeyMethod},
    {"keyCol", nullptr, nullptr, KeyColMethod},
    {"keyRow", nullptr, nullptr, KeyRowMethod},
    {"keyLayer", nullptr, nullptr, KeyLayerMethod},
    {"pick", nullptr, nullptr, Pick},
    {"setCellAlpha", nullptr, nullptr, SetCellAlpha},
    {"getGid", nullptr, nullptr, GetGid},
    {"setGid", nullptr, nullptr, SetGid},
    {"addTileImage", nullptr, nullptr, AddTileImage},
    {"setCellOffset", nullptr, nullptr, SetCellOffset},
    {"getTileImage", nullptr, nullptr, GetTileImage},
    {"cellCenter", nullptr, nullptr, CellCenter},
    {"nop", nullptr, nullptr, Nop},
    {"getWidth", nullptr, nullptr, GetMapWidth},
    {"getHeight", nullptr, nullptr, GetMapHeight},
    {"getCols", nullptr, nullptr, GetCols},
    {"getRows", nullptr, nullptr, GetRows},
};

const MemberTable<TiledMap>& Members() {
  static const MemberTable<TiledMap> table(kMembers);
  return table;
}

}  // namespace

void RegisterTiledMapClass(lua_State* L) {
  RegisterDisplayClass<TiledMap>(L, EntitySubclassIndex<TiledMap, Members>,
                                 EntitySubclassNewIndex<TiledMap, Members>);
}

int NewTiledMapScript(lua_State* L) { return ConstructDisplayObject<TiledMap>(L); }

}  // namespace GCore
