#pragma once
// How the script benchmarks time a Lua function beside its peer's: each side
// warmed the same way, then as many calls as fit in half a second.
#include <chrono>
#include <cstdio>

#include <lua.hpp>

// Untimed calls before the clock runs: caches, the allocator and the
// collector at their pace, for the engine and the peer alike.
inline constexpr int kLuaWarmCalls = 3;

// Calls the function on top of the stack (left there) with no arguments;
// false, with the message printed, when it raised an error.
inline bool CallTop(lua_State* L) {
  lua_pushvalue(L, -1);
  if (lua_pcall(L, 0, 0, 0) == LUA_OK) return true;
  std::printf("failed: %s\n", lua_tostring(L, -1));
  lua_pop(L, 1);
  return false;
}

// Milliseconds a call of the function on top of the stack (left there), over
// as many calls as fit in half a second after kLuaWarmCalls untimed ones; -1
// when a call failed.
inline double MsPerCall(lua_State* L) {
  using Clock = std::chrono::steady_clock;
  for (int warm = 0; warm < kLuaWarmCalls; ++warm) {
    if (!CallTop(L)) return -1;
  }
  const Clock::time_point start = Clock::now();
  double seconds = 0;
  int calls = 0;
  do {
    if (!CallTop(L)) return -1;
    ++calls;
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  } while (seconds < 0.5);
  return seconds * 1000 / calls;
}
