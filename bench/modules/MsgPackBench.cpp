// MessagePack pack and unpack throughput next to lua-cjson encode and decode
// of the same table of mixed values (about 1 MB packed), in MB/s (10^6 bytes
// of encoded data per second).
#include <chrono>
#include <cstdio>
#include <memory>

#include <lua.hpp>

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

// Runs ops[name] until half a second has passed; MB/s of `bytes` per run.
double Throughput(lua_State* L, const char* name, size_t bytes) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  double seconds = 0;
  int runs = 0;
  do {
    lua_getglobal(L, "ops");
    lua_getfield(L, -1, name);
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
      std::printf("%s failed: %s\n", name, lua_tostring(L, -1));
      return 0;
    }
    lua_settop(L, 0);
    ++runs;
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  } while (seconds < 0.5);
  return static_cast<double>(bytes) * runs / seconds / 1e6;
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
  std::printf("%zu mixed records\n", GlobalLength(L, "data"));
  std::printf("%-12s %12s %14s %14s\n", "", "bytes", "encode MB/s", "decode MB/s");
  const double pack = Throughput(L, "pack", packedSize);
  const double unpack = Throughput(L, "unpack", packedSize);
  std::printf("%-12s %12zu %14.1f %14.1f\n", "cmsgpack", packedSize, pack, unpack);
  const double encode = Throughput(L, "encode", jsonSize);
  const double decode = Throughput(L, "decode", jsonSize);
  std::printf("%-12s %12zu %14.1f %14.1f\n", "lua-cjson", jsonSize, encode, decode);
  return 0;
}
