// The standard libraries' internal C functions as permanents, so that the
// closures and suspended calls that hold them (iterators, wrapped coroutines,
// searchers, an interrupted pcall) survive a round trip.
//
// Where they come from: none of them is exported by Lua, and no patch to the
// Lua sources is needed. Each is taken once per process from a small state of
// its own, out of a value that holds it: `next` is the global, the `ipairs`
// iterator is what `ipairs` returns, `coroutine.wrap`, `string.gmatch` and
// `io.stdin:lines` return closures over theirs, `package.searchers` holds the
// four searchers, and the continuation of `pcall` is read off the call frame
// of a coroutine suspended inside a pcall.
#include <iterator>

#include "modules/ErisCommon.h"

extern "C" {
#include "lstate.h"
}

namespace GCore::eris {
namespace {

struct Permanent {
  const char* name;
  lua_CFunction function = nullptr;
};

// In the order the libraries register them: base, coroutine, package, io, string.
struct StandardFunctions {
  Permanent entries[10] = {
      {"__eris.baselib_finishpcall"},      {"__eris.baselib_luaB_next"},      {"__eris.baselib_ipairsaux"},
      {"__eris.corolib_luaB_auxwrap"},     {"__eris.loadlib_searcher_preload"}, {"__eris.loadlib_searcher_Lua"},
      {"__eris.loadlib_searcher_C"},       {"__eris.loadlib_searcher_Croot"}, {"__eris.iolib_io_readline"},
      {"__eris.strlib_gmatch_aux"},
  };
};

// Returns, in the order of the entries above (the pcall continuation aside),
// a value built on each function.
const char kHolders[] = R"(
  return next, ipairs({}), coroutine.wrap(print),
         package.searchers[1], package.searchers[2], package.searchers[3], package.searchers[4],
         io.stdin:lines(), string.gmatch("", ""),
         coroutine.create(pcall)
)";

// The continuation of the suspended protected call in `thread`.
lua_CFunction ProtectedCallContinuation(lua_State* thread) {
  for (CallInfo* ci = thread->ci; ci != nullptr; ci = ci->previous) {
    if (ci->callstatus & CIST_YPCALL) return AsCFunction(ci->u.c.k);
  }
  return nullptr;
}

int Collect(lua_State* L) {
  auto* functions = static_cast<StandardFunctions*>(lua_touserdata(L, 1));
  luaL_requiref(L, "_G", luaopen_base, 1);
  luaL_requiref(L, LUA_COLIBNAME, luaopen_coroutine, 1);
  luaL_requiref(L, LUA_LOADLIBNAME, luaopen_package, 1);
  luaL_requiref(L, LUA_IOLIBNAME, luaopen_io, 1);
  luaL_requiref(L, LUA_STRLIBNAME, luaopen_string, 1);
  lua_settop(L, 0);
  if (luaL_loadstring(L, kHolders) != LUA_OK) return lua_error(L);
  lua_call(L, 0, LUA_MULTRET);
  lua_State* thread = lua_tothread(L, -1);
  lua_getglobal(L, "coroutine");
  lua_getfield(L, -1, "yield");
  lua_xmove(L, thread, 1);
  lua_resume(thread, L, 1);  // pcall(coroutine.yield) suspends inside the pcall
  functions->entries[0].function = ProtectedCallContinuation(thread);
  for (int i = 1; i < static_cast<int>(std::size(functions->entries)); ++i) {
    functions->entries[i].function = lua_tocfunction(L, i);
  }
  return 0;
}

StandardFunctions Gather() {
  StandardFunctions functions;
  lua_State* L = luaL_newstate();
  if (L) {
    lua_pushcfunction(L, Collect);
    lua_pushlightuserdata(L, &functions);
    lua_pcall(L, 1, 0, 0);
    lua_close(L);
  }
  return functions;
}

const StandardFunctions& Standard() {
  static const StandardFunctions functions = Gather();
  return functions;
}

}  // namespace

void AddStandardPermanents(lua_State* L, int perms, bool writing) {
  luaL_checktype(L, perms, LUA_TTABLE);
  for (const Permanent& permanent : Standard().entries) {
    if (!permanent.function) continue;
    if (writing) {
      lua_pushcfunction(L, permanent.function);
      lua_pushstring(L, permanent.name);
    } else {
      lua_pushstring(L, permanent.name);
      lua_pushcfunction(L, permanent.function);
    }
    lua_rawset(L, perms);
  }
}

}  // namespace GCore::eris
