// The "profiler.c" module: a count hook samples the function a thread is
// running into a fixed ring; `info` folds the ring into counts per source and
// defining line. The ring of a thread lives in the registry under the
// thread's address, so each thread has at most one. The thread's debug hook
// is shared with "remotedebug": whichever starts last owns it.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "modules/ToolModules.h"

namespace {

constexpr size_t kSourceSize = 60;

struct Sample {
  int32_t line;
  char source[kSourceSize];
};

struct SampleRing {
  int32_t capacity;
  int32_t count;  // samples taken since start; goes on past capacity
  Sample slots[1];
};

static_assert(sizeof(Sample) == 64);

const char kNotStarted[] = "thread profiler not begin";

// The thread an optional first argument names, else the caller; `first` is
// the index of the next argument.
lua_State* ThreadArgument(lua_State* L, int& first) {
  first = 1;
  if (!lua_isthread(L, 1)) return L;
  first = 2;
  return lua_tothread(L, 1);
}

// Allocates nothing: one registry lookup and one record copy.
void SampleHook(lua_State* L, lua_Debug* ar) {
  lua_rawgetp(L, LUA_REGISTRYINDEX, L);
  auto* ring = static_cast<SampleRing*>(lua_touserdata(L, -1));
  lua_pop(L, 1);
  if (!ring) return;
  Sample& slot = ring->slots[ring->count % ring->capacity];
  if (ring->count < INT32_MAX) {
    ++ring->count;
  } else {
    ring->count = ring->capacity;  // the total restarts; the ring stays full
  }
  if (lua_getinfo(L, "S", ar)) {
    slot.line = ar->linedefined;
    std::snprintf(slot.source, kSourceSize, "%s", ar->short_src);
  } else {
    slot.line = 1;
    std::strcpy(slot.source, "[unknown]");
  }
}

int Start(lua_State* L) {
  int first = 0;
  lua_State* thread = ThreadArgument(L, first);
  const lua_Integer slots = luaL_optinteger(L, first, 1000);
  const lua_Integer period = luaL_optinteger(L, first + 1, 100);
  luaL_argcheck(L, slots > 0 && slots <= INT32_MAX / static_cast<lua_Integer>(sizeof(Sample)), first,
                "slot count out of range");
  luaL_argcheck(L, period > 0 && period <= INT32_MAX, first + 1, "period out of range");
  const size_t size = offsetof(SampleRing, slots) + static_cast<size_t>(slots) * sizeof(Sample);
  auto* ring = static_cast<SampleRing*>(lua_newuserdata(L, size));
  ring->capacity = static_cast<int32_t>(slots);
  ring->count = 0;
  lua_rawsetp(L, LUA_REGISTRYINDEX, thread);
  lua_sethook(thread, SampleHook, LUA_MASKCOUNT, static_cast<int>(period));
  return 0;
}

SampleRing* CheckRing(lua_State* L, lua_State* thread) {
  lua_rawgetp(L, LUA_REGISTRYINDEX, thread);
  auto* ring = static_cast<SampleRing*>(lua_touserdata(L, -1));
  lua_pop(L, 1);
  if (!ring) luaL_error(L, kNotStarted);
  return ring;
}

int Stop(lua_State* L) {
  int first = 0;
  lua_State* thread = ThreadArgument(L, first);
  CheckRing(L, thread);
  lua_pushnil(L);
  lua_rawsetp(L, LUA_REGISTRYINDEX, thread);
  // A debugger that took the hook over keeps it.
  if (lua_gethook(thread) == SampleHook) lua_sethook(thread, nullptr, 0, 0);
  return 0;
}

int Info(lua_State* L) {
  int first = 0;
  lua_State* thread = ThreadArgument(L, first);
  const SampleRing* ring = CheckRing(L, thread);
  lua_newtable(L);
  const int32_t used = ring->count < ring->capacity ? ring->count : ring->capacity;
  for (int32_t i = 0; i < used; ++i) {
    const Sample& slot = ring->slots[i];
    if (lua_getfield(L, -1, slot.source) != LUA_TTABLE) {
      lua_pop(L, 1);
      lua_newtable(L);
      lua_pushvalue(L, -1);
      lua_setfield(L, -3, slot.source);
    }
    lua_rawgeti(L, -1, slot.line);
    const lua_Integer samples = lua_tointeger(L, -1);
    lua_pop(L, 1);
    lua_pushinteger(L, samples + 1);
    lua_rawseti(L, -2, slot.line);
    lua_pop(L, 1);
  }
  lua_pushinteger(L, ring->count);
  return 2;
}

const luaL_Reg kProfilerFunctions[] = {
    {"start", Start},
    {"stop", Stop},
    {"info", Info},
    {nullptr, nullptr},
};

}  // namespace

extern "C" int luaopen_profiler_c(lua_State* L) {
  luaL_checkversion(L);
  luaL_newlib(L, kProfilerFunctions);
  return 1;
}
