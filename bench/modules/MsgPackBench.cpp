// MessagePack pack and unpack next to lua-cjson encode and decode of the same
// table of mixed values (about 1 MB packed): milliseconds an operation over
// that one table, each side warmed first. Time for the same data, not bytes a
// second, since the two forms differ in size.
#include <cstdio>
#include <memory>

#include <lua.hpp>

#include "LuaTiming.h"
#include "PeerFigures.h"
#include "modules/DataModules.h"
#include "modules/StdLibs.h"

extern "C" int luaopen_cjson(lua_State* L);

namespace {

struct LuaCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};

// Builds `data` of records until it packs to about 1 MB, and the four
// operations over it as globals.
const char kSetup[] = R"(
  local function record(i)
    return {id = i, name = "player" .. i, score = i * 1.25, alive = i % 2 == 0, level = i % 100,
            tags = {"red", "blue", "item" .. i % 7}, pos = {x = i * 0.5, y = -i, z = i % 3 - 1},
            note = string.rep("n", i % 40)}
  end
  local one = #cmsgpack.pack(record(1000))
  data = {}
  for i = 1, math.ceil(1000000 / one) do data[i] = record(i) end
  packed = cmsgpack.pack(data)
  json = cjson.encode(data)
  ops = {
    pack = function() return cmsgpack.pack(data) end,
    unpack = function() return cmsgpack.unpack(packed) end,
    encode = function() return cjson.encode(data) end,
    decode = function() return cjson.decode(json) end,
  }
)";

// Milliseconds a run of ops[name], warmed as every script benchmark warms
// its sides; -1 when it failed.
double MsPerRun(lua_State* L, const char* name) {
  lua_getglobal(L, "ops");
  lua_getfield(L, -1, name);
  const double ms = MsPerCall(L);
  lua_settop(L, 0);
  return ms;
}

size_t GlobalLength(lua_State* L, const char* name) {
  lua_getglobal(L, name);
  const size_t n = lua_rawlen(L, -1);
  lua_pop(L, 1);
  return n;
}

}  // namespace

int main() {
  std::unique_ptr<lua_State, LuaCloser> state(luaL_newstate());
  lua_State* L = state.get();
  luaL_openlibs(L);
  luaL_requiref(L, "cmsgpack", luaopen_cmsgpack, 1);
  luaL_requiref(L, "cjson", luaopen_cjson, 1);
  lua_settop(L, 0);
  if (luaL_dostring(L, kSetup) != LUA_OK) {
    std::printf("setup failed: %s\n", lua_tostring(L, -1));
    return 1;
  }
  const size_t packedSize = GlobalLength(L, "packed");
  const size_t jsonSize = GlobalLength(L, "json");
  std::printf("%zu mixed records: %zu bytes packed, %zu bytes of JSON; ms an operation\n",
              GlobalLength(L, "data"), packedSize, jsonSize);
  PrintPeerFigures("pack / encode", MsPerRun(L, "pack"), "lua-cjson", MsPerRun(L, "encode"));
  PrintPeerFigures("unpack / decode", MsPerRun(L, "unpack"), "lua-cjson", MsPerRun(L, "decode"));
  return 0;
}
