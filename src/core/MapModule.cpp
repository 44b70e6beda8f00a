// "map.c" and the "gcore.c" entry Pathfind.
#include "core/MapModule.h"

#include <cstdint>
#include <vector>

#include "base/Log.h"
#include "core/ScriptArgs.h"
#include "core/PathSearch.h"

namespace GCore {

namespace {

// The grid of loadField, shared by every project; sizes are 16-bit values.
struct FieldGrid {
  int16_t width = 0;
  int16_t height = 0;
  std::vector<uint8_t> cells;
};

FieldGrid& Field() {
  static FieldGrid grid;
  return grid;
}

// The cell value of a script's entry: its text's first character minus '0'
// ('0' a wall, other characters walkable); a missing entry, or one that has
// no text, is a wall.
uint8_t CellValue(lua_State* L, int index) {
  const char* text = lua_tostring(L, index);
  return text ? static_cast<uint8_t>(text[0] - '0') : 0;
}

// loadField(cells, width, height): returns its last argument.
int LoadField(lua_State* L) {
  const int32_t width = Api::IntArg(L, 2);
  const int32_t height = Api::IntArg(L, 3);
  if (width <= 0 || height <= 0 || width > INT16_MAX || height > INT16_MAX || !lua_istable(L, 1)) {
    LogPrintf("loadField: needs a table of cells and sizes from 1 to %d, not %d x %d\n", INT16_MAX, width, height);
  } else if (int64_t{width} * height > kMaxPathCells) {
    // Sizes a script passes on may come from anywhere: every search would
    // allocate and visit all of these cells.
    LogPrintf("loadField: a field of %d x %d cells is more than the %lld cells allowed\n", width, height,
              static_cast<long long>(kMaxPathCells));
  } else {
    const auto count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> cells(count, 0);
    for (size_t i = 0; i < count; ++i) {
      lua_geti(L, 1, static_cast<lua_Integer>(i) + 1);
      cells[i] = CellValue(L, -1);
      lua_pop(L, 1);
    }
    FieldGrid& field = Field();
    field.width = static_cast<int16_t>(width);
    field.height = static_cast<int16_t>(height);
    field.cells = std::move(cells);
  }
  lua_settop(L, lua_gettop(L) > 0 ? lua_gettop(L) : 1);
  return 1;
}

// The cell of (x, y), or -1 when it lies outside the grid.
int32_t CellOf(const FieldGrid& field, int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= field.width || y >= field.height) return -1;
  return y * field.width + x;
}

// pathfind(x0, y0, x1, y1, jump): { {x, y}, ... } from the cell after the
// start to the goal; empty when there is none.
int PathFind(lua_State* L) {
  const FieldGrid& field = Field();
  const int32_t start = CellOf(field, Api::IntArg(L, 1), Api::IntArg(L, 2));
  const int32_t goal = CellOf(field, Api::IntArg(L, 3), Api::IntArg(L, 4));
  const bool jump = lua_type(L, 5) == LUA_TBOOLEAN && lua_toboolean(L, 5);
  GridPath path;
  if (start >= 0 && goal >= 0) {
    const PathGrid grid{field.cells.data(), field.width, field.height};
    path = jump ? FindPathJump(grid, start, goal) : FindPathAStar(grid, start, goal);
  }
  const auto steps = path ? static_cast<int>(path->size()) : 0;
  lua_createtable(L, steps, 0);
  for (int i = 0; i < steps; ++i) {
    const int32_t cell = (*path)[static_cast<size_t>(steps - 1 - i)];
    lua_createtable(L, 2, 0);
    lua_pushinteger(L, cell % field.width);
    lua_rawseti(L, -2, 1);
    lua_pushinteger(L, cell / field.width);
    lua_rawseti(L, -2, 2);
    lua_rawseti(L, -2, i + 1);
  }
  return 1;
}

const luaL_Reg kMapFunctions[] = {
    {"loadField", LoadField},
    {"pathfind", PathFind},
    {nullptr, nullptr},
};

}  // namespace

namespace Api {

int Pathfind(lua_State*) {
  // A self-test of the jump search on a fixed open grid of 4 by 6 cells.
  static const std::vector<uint8_t> kOpenGrid(4 * 6, 1);
  FindPathJump(PathGrid{kOpenGrid.data(), 4, 6}, 3, 23);
  return 0;
}

}  // namespace Api

}  // namespace GCore

extern "C" int luaopen_map_c(lua_State* L) {
  luaL_checkversion(L);
  luaL_newlib(L, GCore::kMapFunctions);
  return 1;
}
