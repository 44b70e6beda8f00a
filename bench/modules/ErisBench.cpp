// Persist and unpersist of a game state of 100,000 objects with cycles, in
// milliseconds and bytes; beside them, the same state without its cycles
// (back references become ids) through eris, MessagePack and lua-cjson, the
// formats that can express it.
#include <chrono>
#include <cstdio>
#include <memory>

#include <lua.hpp>

#include "modules/StdLibs.h"

extern "C" int luaopen_cjson(lua_State* L);

namespace {

struct LuaCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};

// `state`: players with bags of items, in regions that link to each other;
// items know their owner, players their region and a friend. `tree`: the
// same data with every back reference replaced by an id.
const char kSetup[] = R"(
  local regions, players, items = {}, {}, {}
  for r = 1, 100 do regions[r] = {id = r, name = "region" .. r, neighbours = {}} end
  for r = 1, 100 do
    regions[r].neighbours = {regions[r % 100 + 1], regions[(r + 49) % 100 + 1]}
  end
  local objects, i = 300, 0
  while objects < 100000 do
    i = i + 1
    local player = {id = i, name = "player" .. i, hp = i % 97 * 1.5, alive = i % 3 ~= 0,
                    region = regions[i % 100 + 1], pos = {x = i * 0.25, y = -i}, bag = {}}
    for j = 1, 3 do
      local item = {kind = "item" .. (i * j) % 50, owner = player, count = j}
      player.bag[j] = item
      items[#items + 1] = item
    end
    players[i] = player
    objects = objects + 6
  end
  for n, player in ipairs(players) do player.friend = players[(n * 7) % #players + 1] end
  state = {players = players, items = items, regions = regions}

  local function flat(player)
    local bag = {}
    for j, item in ipairs(player.bag) do bag[j] = {kind = item.kind, owner = player.id, count = item.count} end
    return {id = player.id, name = player.name, hp = player.hp, alive = player.alive, region = player.region.id,
            pos = {x = player.pos.x, y = player.pos.y}, bag = bag, friend = player.friend.id}
  end
  local treePlayers, treeRegions = {}, {}
  for n, player in ipairs(players) do treePlayers[n] = flat(player) end
  for r, region in ipairs(regions) do
    treeRegions[r] = {id = r, name = region.name, neighbours = {region.neighbours[1].id, region.neighbours[2].id}}
  end
  tree = {players = treePlayers, regions = treeRegions}

  ops = {
    ["eris state"] = {function() return eris.persist(state) end, eris.unpersist},
    ["eris tree"] = {function() return eris.persist(tree) end, eris.unpersist},
    ["cmsgpack tree"] = {function() return cmsgpack.pack(tree) end, cmsgpack.unpack},
    ["lua-cjson tree"] = {function() return cjson.encode(tree) end, cjson.decode},
  }
  order = {"eris state", "eris tree", "cmsgpack tree", "lua-cjson tree"}
)";

// Milliseconds of the fastest of five calls of the function on top (popped);
// leaves the last result on the stack.
double FastestMs(lua_State* L, int arguments) {
  using Clock = std::chrono::steady_clock;
  const int function = lua_gettop(L) - arguments;
  double best = 0;
  for (int run = 0; run < 5; ++run) {
    lua_settop(L, function + arguments);
    for (int i = 0; i <= arguments; ++i) lua_pushvalue(L, function + i);
    const Clock::time_point start = Clock::now();
    if (lua_pcall(L, arguments, 1, 0) != LUA_OK) {
      std::printf("failed: %s\n", lua_tostring(L, -1));
      return 0;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (run == 0 || ms < best) best = ms;
  }
  lua_replace(L, function);
  lua_settop(L, function);
  return best;
}

}  // namespace

int main() {
  std::unique_ptr<lua_State, LuaCloser> state(luaL_newstate());
  lua_State* L = state.get();
  luaL_openlibs(L);
  luaL_requiref(L, "cjson", luaopen_cjson, 1);
  lua_settop(L, 0);
  if (luaL_dostring(L, kSetup) != LUA_OK) {
    std::printf("setup failed: %s\n", lua_tostring(L, -1));
    return 1;
  }
  std::printf("100,000 objects (fastest of 5 runs)\n");
  std::printf("%-16s %12s %12s %12s\n", "", "bytes", "write ms", "read ms");
  lua_getglobal(L, "order");
  const int count = static_cast<int>(lua_rawlen(L, -1));
  for (int i = 1; i <= count; ++i) {
    lua_getglobal(L, "order");
    lua_rawgeti(L, -1, i);
    const char* name = lua_tostring(L, -1);
    lua_getglobal(L, "ops");
    lua_getfield(L, -1, name);
    lua_rawgeti(L, -1, 1);
    const double write = FastestMs(L, 0);
    size_t bytes = 0;
    lua_tolstring(L, -1, &bytes);
    lua_rawgeti(L, -2, 2);
    lua_insert(L, -2);
    const double read = FastestMs(L, 1);
    std::printf("%-16s %12zu %12.1f %12.1f\n", name, bytes, write, read);
    lua_settop(L, 1);
  }
  return 0;
}
