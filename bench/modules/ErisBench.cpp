// Persist and unpersist of a game state of 100,000 objects with cycles, in
// milliseconds and bytes: only eris can express the cycles, so that figure
// stands alone. Beside it, the same state without its cycles (back references
// become ids): eris writing and reading that tree, set beside MessagePack and
// lua-cjson doing the same to the same tree. Each call is timed five times and
// the fastest counts, so that the first, cold call counts on no side.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include <lua.hpp>

#include "PeerFigures.h"
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

  -- Each format's write and read; the write's bytes go to the read.
  formats = {
    {"eris", function() return eris.persist(state) end, eris.unpersist},
    {"eris", function() return eris.persist(tree) end, eris.unpersist},
    {"cmsgpack", function() return cmsgpack.pack(tree) end, cmsgpack.unpack},
    {"lua-cjson", function() return cjson.encode(tree) end, cjson.decode},
  }
)";

struct Figures {
  const char* name = "";
  size_t bytes = 0;
  double writeMs = -1;
  double readMs = -1;
};

// Milliseconds of the fastest of five calls of the function on top (popped);
// leaves the last result on the stack; -1 (the error on the stack) when a
// call failed.
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
      return -1;
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
  std::printf("100,000 objects, fastest of 5 runs (ms)\n");
  lua_getglobal(L, "formats");
  Figures figures[4];
  for (int i = 1; i <= 4; ++i) {
    Figures& f = figures[i - 1];
    lua_settop(L, 1);
    lua_rawgeti(L, 1, i);
    lua_rawgeti(L, 2, 1);
    f.name = lua_tostring(L, -1);
    lua_rawgeti(L, 2, 2);
    f.writeMs = FastestMs(L, 0);
    if (f.writeMs < 0) continue;
    lua_tolstring(L, -1, &f.bytes);
    lua_rawgeti(L, 2, 3);
    lua_insert(L, -2);
    f.readMs = FastestMs(L, 1);
  }
  lua_settop(L, 1);
  const Figures& cyclic = figures[0];
  std::printf("  the state with its cycles, eris alone: %zu bytes, write %.2f ms, read %.2f ms\n", cyclic.bytes,
              cyclic.writeMs, cyclic.readMs);
  const Figures& eris = figures[1];
  std::printf("  the tree without cycles: eris %zu bytes, %s %zu bytes, %s %zu bytes\n", eris.bytes, figures[2].name,
              figures[2].bytes, figures[3].name, figures[3].bytes);
  for (const Figures& peer : {figures[2], figures[3]}) {
    PrintPeerFigures((std::string("tree write, eris / ") + peer.name).c_str(), eris.writeMs, peer.name, peer.writeMs);
    PrintPeerFigures((std::string("tree read, eris / ") + peer.name).c_str(), eris.readMs, peer.name, peer.readMs);
  }
  return 0;
}
