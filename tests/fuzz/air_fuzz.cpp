// "air" action files from untrusted bytes, and the script tables built from
// every action of a file that parses.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <lua.hpp>

#include "display/AirParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exactly sized copy, so that a read past the end is caught.
  const std::vector<char> text(data, data + size);
  const std::unique_ptr<GCore::AirData> air = GCore::ParseAirData(text.data(), text.size(), 1);
  if (!air) return 0;
  static lua_State* L = luaL_newstate();
  for (size_t i = 0; i < air->actions.size(); ++i) {
    if (GCore::PushAirAction(L, *air, i) != 1) __builtin_trap();
    lua_settop(L, 0);
  }
  if (GCore::PushAirAction(L, *air, air->actions.size()) != 0) __builtin_trap();
  lua_gc(L, LUA_GCCOLLECT, 0);
  return 0;
}
