#pragma once
// The display list's script classes in a project state: each class's
// metatable (by class name, with __index, __newindex and __gc) and its
// creator in the class factory, and the script constructors of "gcore.c".
// Objects made before their class is registered in a state have no
// metatable there, so registration comes before any object is made: the
// "gcore.c" opener registers every class when a project state opens.
// Main thread only.
#include <lua.hpp>

namespace GCore {

class Entity;

// Registers every display class in the engine module's order.
void RegisterDisplayClasses(lua_State* L);

// The "Matrix" class: metatable with its members, and its factory creator.
void RegisterMatrixClass(lua_State* L);

// The script constructor "Matrix"(flag, a, b, c, d, tx, ty): the first of a
// to ty that is nil or absent ends the list; the rest keep their defaults.
// Returns the new matrix.
int NewMatrixScript(lua_State* L);

// The script constructors "DisplayObject", "DisplayObjectContainer" and
// "Entity": a new object, owned by the collector until someone holds it.
// Arguments are ignored.
int NewDisplayObjectScript(lua_State* L);
int NewDisplayObjectContainerScript(lua_State* L);
int NewEntityScript(lua_State* L);
// The script constructor "Stage": the current project's stage (nil when
// there is none); it makes nothing.
int CurrentStageScript(lua_State* L);

// The members that every Entity-derived class falls back to for the keys it
// does not know itself: the entity's own keys, then the container's and the
// display object's members. Called with the object at 1, the key at 2 and
// (for assignments) the value at 3.
// IndexEntityMembers pushes the member's value and returns 1, or returns 0
// when the key names nothing (the script sees nil).
int IndexEntityMembers(lua_State* L, Entity* self);
// Assigns the member, or ignores a key that names none.
void NewIndexEntityMembers(lua_State* L, Entity* self);

}  // namespace GCore
