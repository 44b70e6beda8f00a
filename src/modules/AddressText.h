#pragma once
// The one way the script modules print a memory address: "0x" and lowercase
// hexadecimal digits, as Lua's own tostring shows objects, with a null
// address as "0x0" (glibc's "%p" would print "(nil)"). Texts that name an
// object can then be matched against tostring of that object.
#include <string>

#include <lua.hpp>

namespace GCore {

std::string AddressText(const void* address);
void PushAddressText(lua_State* L, const void* address);

}  // namespace GCore
