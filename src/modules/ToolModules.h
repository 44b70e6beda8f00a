#pragma once
// Openers of the script tooling modules: "lsocket" (non-blocking sockets),
// "remotedebug" (a debugger state driving the host through hooks),
// "profiler.c" (a sampling profiler) and "snapshot.c" (heap walks). Each
// leaves exactly one value, its module; all run on the thread of the state
// that calls them.
#include <lua.hpp>

extern "C" {
int luaopen_lsocket(lua_State* L);
int luaopen_remotedebug(lua_State* L);
int luaopen_profiler_c(lua_State* L);
int luaopen_snapshot_c(lua_State* L);
}
