#pragma once
// Opener of the "lpeg" script module (parsing-expression grammars with
// labelled failures). It leaves the module table and sets no global; patterns
// share one metatable, "lpeg-pattern", whose __index is the module table.
#include <lua.hpp>

extern "C" int luaopen_lpeg(lua_State* L);
