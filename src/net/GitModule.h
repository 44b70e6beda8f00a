#pragma once
// The script module "git.c": the scripts' side of the git worker. The opener
// starts the worker (one per process: the script host preloads the module
// into the first project's state only) and returns the module table with
// `state`, `cmd` and `update`. Main thread only.
#include <lua.hpp>

extern "C" int luaopen_git_c(lua_State* L);
