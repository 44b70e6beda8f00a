#pragma once
// xorshift128+ random numbers for scripts. Each registration closes its four
// functions over a state of its own, seeded with 0, so a fresh script state
// draws the same sequence on every run until a script seeds it, and two
// registrations never share draws.
#include <lua.hpp>

namespace GCore {

// Sets "random", "randomseed", "rawset_randomseed" and "rawget_randomseed"
// into the table on top of the stack, closed over a new generator state.
void RegisterRandomFunctions(lua_State* L);

}  // namespace GCore
