#pragma once
// How the display list calls into scripts. Every call runs under the shared
// message handler (a script error is printed and the caller goes on), with
// the project that owns the Lua state made current first.
#include <lua.hpp>

#include "core/Object.h"

namespace GCore {

// Makes current the project whose state is L (when there is a project manager).
void SelectOwnerProject(lua_State* L);

// Pushes the object's script value into L (or a coroutine of L) and returns
// true; false (nothing pushed) for no object or one of another Lua state.
bool PushScriptObject(lua_State* L, Object* object);

// With an object on top of L's stack: looks `name` up raw in its metatable
// (in the object itself when it has none) and, when that is a function,
// calls it with the object and `count` values from absolute index `first`.
// The object is popped; errors are printed by the handler.
void CallLuaMethod(lua_State* L, const char* name, int first, int count);

// target[key] = value with metamethods, for the three values on top of L's
// stack (popped); an error is printed by the handler.
void AssignProtected(lua_State* L);

// Prints L's current script traceback.
void PrintStateTraceback(lua_State* L);

}  // namespace GCore
