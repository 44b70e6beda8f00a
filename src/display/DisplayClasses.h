#pragma once
// Registration of the display list's script classes in a project state:
// each class's metatable (by class name) and its creator in the class
// factory. Objects made before their class is registered in a state have no
// metatable there, so registration comes before any object is made.
// Main thread only.
#include <lua.hpp>

namespace GCore {

// The "Matrix" class: metatable with its members, and its factory creator.
void RegisterMatrixClass(lua_State* L);

// The script constructor "Matrix"(flag, a, b, c, d, tx, ty): the first of a
// to ty that is nil or absent ends the list; the rest keep their defaults.
// Returns the new matrix.
int NewMatrixScript(lua_State* L);

// "Matrix", "DisplayObject", "DisplayObjectContainer", "Entity" and
// "Stage". Entities answer their own script keys (children by number,
// components, data table, broadcast); the members of display objects and
// containers are bound by their own bindings.
void RegisterDisplayListClasses(lua_State* L);

}  // namespace GCore
