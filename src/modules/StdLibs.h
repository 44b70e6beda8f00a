#pragma once
#include <lua.hpp>

// Opens the engine's list of libraries into a new script state: the Lua 5.3
// standard libraries, each also stored as a global of its name, followed by
// the engine's language extension modules.
extern "C" void luaL_openlibs(lua_State* L);
