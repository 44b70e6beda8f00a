// Seeds of the MessagePack fuzzer: every type and width class the tests pack,
// packed by the module itself.
#include <cstdio>

#include <lua.hpp>

#include "modules/DataModules.h"

namespace {

const char* const kWriter = R"(
local cmsgpack, folder = ...
local function map(n)
  local t = {}
  for i = 1, n do t["k" .. i] = i end
  return t
end
local function range(n)
  local t = {}
  for i = 1, n do t[i] = i end
  return t
end
local values = {
  {nil}, {false}, {true}, {0}, {127}, {128}, {255}, {256}, {65535}, {65536}, {0xFFFFFFFF},
  {0x100000000}, {math.maxinteger}, {-1}, {-32}, {-33}, {-128}, {-129}, {-32768}, {-32769},
  {-2147483648}, {-2147483649}, {math.mininteger}, {1.5}, {0.1}, {1e300}, {math.huge},
  {""}, {string.rep("x", 31)}, {string.rep("x", 32)}, {string.rep("x", 256)},
  {range(15)}, {range(16)}, {map(15)}, {map(16)},
  {{1, {2, {3, {4}}}, k = {"v", x = false}}},
  {1, "two", {3}},
}
for i, v in ipairs(values) do
  local file = assert(io.open(folder .. "/msgpack-" .. i, "wb"))
  file:write(cmsgpack.pack(table.unpack(v, 1, math.max(#v, 1))))
  file:close()
end
)";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s folder\n", argv[0]);
    return 2;
  }
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  int status = luaL_loadstring(L, kWriter);
  if (status == LUA_OK) {
    luaL_requiref(L, "cmsgpack", luaopen_cmsgpack, 0);
    lua_pushstring(L, argv[1]);
    status = lua_pcall(L, 2, 0, 0);
  }
  if (status != LUA_OK) std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
  lua_close(L);
  return status == LUA_OK ? 0 : 1;
}
