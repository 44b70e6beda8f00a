#pragma once
// Creators of script classes, by class record: what templates and container
// copies call to make a new instance of an object's own class. Each class
// registers its creator with its binding. Main thread only.
#include <map>

#include <lua.hpp>

#include "core/Object.h"

namespace GCore {

using ClassCreator = Object* (*)(lua_State* L, int count);
std::map<const ClassInfo*, ClassCreator>& ClassFactory();

}  // namespace GCore
