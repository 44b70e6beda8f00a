#pragma once
// What a project state opens (core/ScriptVM.h's NewProjectState runs it in a
// protected call): the standard libraries, the module searcher and the
// preloaded engine modules. Leaves the preloaded modules on the stack.
#include <lua.hpp>

namespace GCore {

void OpenEngineModules(lua_State* L);

// Names the modules of the projects to the script host (core/ScriptVM.h).
void NameEngineModules();

}  // namespace GCore
