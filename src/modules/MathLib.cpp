// The math library of every script state: Lua's own functions and constants,
// less the 5.2 compatibility ones, with a logarithm that special-cases only
// base 10 and the xorshift128+ generator in place of the C library's.
#include <cmath>

#include "modules/RandomNumbers.h"
#include "modules/StdLibs.h"

// Lua's own opener, renamed when the core is built.
extern "C" int luaopen_math_stock(lua_State* L);

namespace {

// Taken over from Lua's library; `log` and the generator are ours.
const char* const kStockNames[] = {"abs",  "acos",  "asin", "atan", "ceil",     "cos",  "deg",   "exp",
                                   "tointeger", "floor", "fmod", "ult", "max",  "min",  "modf",  "rad",
                                   "sin",  "sqrt",  "tan",  "type", "pi",       "huge", "maxinteger", "mininteger"};

int Log(lua_State* L) {
  const lua_Number x = luaL_checknumber(L, 1);
  if (lua_isnoneornil(L, 2)) {
    lua_pushnumber(L, std::log(x));
  } else {
    const lua_Number base = luaL_checknumber(L, 2);
    lua_pushnumber(L, base == 10.0 ? std::log10(x) : std::log(x) / std::log(base));
  }
  return 1;
}

}  // namespace

extern "C" int luaopen_math(lua_State* L) {
  luaL_checkversion(L);
  lua_createtable(L, 0, 27);
  luaopen_math_stock(L);
  for (const char* name : kStockNames) {
    lua_getfield(L, -1, name);
    lua_setfield(L, -3, name);
  }
  lua_pop(L, 1);
  lua_pushcfunction(L, Log);
  lua_setfield(L, -2, "log");
  GCore::RegisterRandomFunctions(L);
  return 1;
}
