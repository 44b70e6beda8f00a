#pragma once
#include <lua.hpp>

// Opens the engine's list of libraries into a new script state: the Lua 5.3
// standard libraries, each also stored as a global of its name, followed by
// the engine's language extension modules. Leaves the stack as it was.
extern "C" void luaL_openlibs(lua_State* L);

// The changed math library of the list (replaces Lua's own opener).
extern "C" int luaopen_math(lua_State* L);
