#pragma once
// The engine's additions to the Lua API.
#include <lua.hpp>

extern "C" {
// Pushes the full userdata whose memory holds `object` (an engine object
// constructed at the start of that userdata's memory). The caller must have
// room for one more value on the stack.
LUA_API void lua_pushuserdata(lua_State* L, void* object);

// The traceback of L's running stack, or null when the global "debug" or its
// "traceback" is missing. The stack is left as it was; the text lives until
// the next collection step of L, so print or copy it at once.
LUA_API const char* lua_traceback(lua_State* L);

// True when the running C function was called by the collector as a
// finaliser (at a collection step or while the state closes), false when a
// script or native code called it directly.
LUA_API int lua_isfinalizing(lua_State* L);

// What every script access to an engine object asks of its userdata, in one
// call instead of five that push and pop: the memory of the full userdata at
// `index` (null for any other value), its size in *size, and in *slot1 the
// light userdata in the first slot of its metatable (null when there is no
// metatable or that slot holds anything else). Leaves the stack untouched.
LUA_API void* lua_touserdatainfo(lua_State* L, int index, size_t* size, const void** slot1);

// The text of the string at `index` and its length in *length; null, with
// the value left as it is, for anything but a string (lua_tolstring would
// turn a number into a string in place).
LUA_API const char* lua_tostringonly(lua_State* L, int index, size_t* length);
}
