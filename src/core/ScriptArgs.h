#pragma once
// The argument readers and result pushers of the engine's script modules:
// arguments are read without type checks (a missing or non-numeric number
// reads as 0, truncated toward zero where an integer is meant; a missing
// string reads as null). Main thread only.
#include <cstdint>

#include <lua.hpp>

namespace GCore::Api {

int32_t IntArg(lua_State* L, int index);
// The number truncated toward zero to 64 bits (saturating; NaN reads as 0).
int64_t Int64Arg(lua_State* L, int index);
// A resource id, text id, mask or colour: the low 32 bits of Int64Arg.
uint32_t IdArg(lua_State* L, int index);
float FloatArg(lua_State* L, int index);
const char* TextArg(lua_State* L, int index);
void PushUnsigned(lua_State* L, uint32_t value);

}  // namespace GCore::Api
