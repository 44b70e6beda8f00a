#include "modules/RandomNumbers.h"

#include <cstdint>
#include <initializer_list>

namespace GCore {
namespace {

// Four 32-bit words: S0 = w0:w1 and S1 = w2:w3, high word first.
struct RandomState {
  uint32_t w[4];
};

uint64_t S0(const RandomState& s) { return uint64_t{s.w[0]} << 32 | s.w[1]; }
uint64_t S1(const RandomState& s) { return uint64_t{s.w[2]} << 32 | s.w[3]; }

void Store(RandomState& s, uint64_t s0, uint64_t s1) {
  s.w[0] = static_cast<uint32_t>(s0 >> 32);
  s.w[1] = static_cast<uint32_t>(s0);
  s.w[2] = static_cast<uint32_t>(s1 >> 32);
  s.w[3] = static_cast<uint32_t>(s1);
}

uint64_t NextRandom(RandomState& s) {
  uint64_t x = S0(s);
  const uint64_t y = S1(s);
  x ^= x << 23;
  const uint64_t s1 = x ^ y ^ (x >> 18) ^ (y >> 5);
  Store(s, y, s1);
  return s1 + y;
}

void SeedRandomState(RandomState& s, lua_Integer seed) {
  const uint64_t n = static_cast<uint64_t>(seed);
  s.w[0] = static_cast<uint32_t>(n);
  s.w[1] = static_cast<uint32_t>(n >> 32);
  s.w[2] = ~s.w[0];
  s.w[3] = ~s.w[1];
  for (int i = 0; i < 16; ++i) NextRandom(s);
}

// Maps a draw into [0, range], redrawing rather than skewing large ranges.
uint64_t ProjectRandom(uint64_t r, uint64_t range, RandomState& s) {
  constexpr uint64_t kRemainderLimit = 0x10C6F7A0B5ED;
  if (range < kRemainderLimit) return r % (range + 1);
  uint64_t lim = range;
  lim |= lim >> 1;
  lim |= lim >> 2;
  lim |= lim >> 4;
  lim |= lim >> 8;
  lim |= lim >> 16;
  lim |= lim >> 32;
  uint64_t value = r & lim;
  while (value > range) value = NextRandom(s) & lim;
  return value;
}

RandomState& StateOf(lua_State* L) {
  return *static_cast<RandomState*>(lua_touserdata(L, lua_upvalueindex(1)));
}

int Random(lua_State* L) {
  RandomState& s = StateOf(L);
  // Every call draws once before its arguments are looked at.
  const uint64_t r = NextRandom(s);
  lua_Integer low = 1;
  lua_Integer up = 0;
  switch (lua_gettop(L)) {
    case 0:
      lua_pushnumber(L, static_cast<lua_Number>(r & ((uint64_t{1} << 53) - 1)) * 0x1.0p-53);
      return 1;
    case 1:
      up = luaL_checkinteger(L, 1);
      if (up == 0) {
        lua_pushinteger(L, static_cast<lua_Integer>(r));
        return 1;
      }
      break;
    case 2:
      low = luaL_checkinteger(L, 1);
      up = luaL_checkinteger(L, 2);
      break;
    default:
      return luaL_error(L, "wrong number of arguments");
  }
  luaL_argcheck(L, low <= up, 1, "interval is empty");
  const uint64_t range = static_cast<uint64_t>(up) - static_cast<uint64_t>(low);
  lua_pushinteger(L, static_cast<lua_Integer>(static_cast<uint64_t>(low) + ProjectRandom(r, range, s)));
  return 1;
}

int RandomSeed(lua_State* L) {
  SeedRandomState(StateOf(L), luaL_checkinteger(L, 1));
  return 0;
}

int RawGetRandomSeed(lua_State* L) {
  const RandomState& s = StateOf(L);
  for (int word : {1, 0, 3, 2}) lua_pushinteger(L, s.w[word]);
  return 4;
}

int RawSetRandomSeed(lua_State* L) {
  RandomState& s = StateOf(L);
  const int order[] = {1, 0, 3, 2};
  for (int i = 0; i < 4; ++i) s.w[order[i]] = static_cast<uint32_t>(luaL_checkinteger(L, i + 1));
  return 0;
}

}  // namespace

void RegisterRandomFunctions(lua_State* L) {
  auto* state = static_cast<RandomState*>(lua_newuserdata(L, sizeof(RandomState)));
  SeedRandomState(*state, 0);
  const luaL_Reg functions[] = {{"random", Random},
                                {"randomseed", RandomSeed},
                                {"rawset_randomseed", RawSetRandomSeed},
                                {"rawget_randomseed", RawGetRandomSeed},
                                {nullptr, nullptr}};
  luaL_setfuncs(L, functions, 1);
}

}  // namespace GCore
