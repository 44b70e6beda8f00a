// Time of one heap snapshot of a state holding 1,000,000 objects: tables in
// a big array and in a linked list, closures and strings among them.
#include <chrono>
#include <cstdio>
#include <memory>

#include <lua.hpp>

#include "modules/StdLibs.h"
#include "modules/ToolModules.h"

namespace {

struct LuaCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};

const char kHeap[] = R"(
  local objects = 0
  world = {}
  for i = 1, 600000 do world[i] = {id = i} end
  objects = objects + 600000
  local list
  for i = 1, 200000 do list = {next = list, name = "n" .. i} end
  world.list = list
  objects = objects + 200000
  world.handlers = {}
  for i = 1, 200000 do
    local n = i
    world.handlers[i] = function() return n end
  end
  objects = objects + 200000
  return objects
)";

}  // namespace

int main() {
  std::unique_ptr<lua_State, LuaCloser> state(luaL_newstate());
  lua_State* L = state.get();
  luaL_openlibs(L);
  luaL_requiref(L, "snapshot.c", luaopen_snapshot_c, 0);
  lua_setglobal(L, "snapshot");
  if (luaL_dostring(L, kHeap) != LUA_OK) {
    std::printf("setup failed: %s\n", lua_tostring(L, -1));
    return 1;
  }
  const lua_Integer objects = lua_tointeger(L, -1);
  lua_pop(L, 1);
  const auto start = std::chrono::steady_clock::now();
  if (luaL_dostring(L, "local r = snapshot() local n = 0 for _ in pairs(r) do n = n + 1 end return n") != LUA_OK) {
    std::printf("snapshot failed: %s\n", lua_tostring(L, -1));
    return 1;
  }
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("snapshot of a heap of %lld objects: %.0f ms, %lld entries\n", static_cast<long long>(objects),
              elapsed.count(), static_cast<long long>(lua_tointeger(L, -1)));
  return 0;
}
