#pragma once
// The script module "map.c": one walkability grid for the whole process
// (loadField) and path searches on it (pathfind). Main thread only.
#include <lua.hpp>

extern "C" int luaopen_map_c(lua_State* L);
