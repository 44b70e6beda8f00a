#include "modules/AddressText.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>

namespace GCore {

std::string AddressText(const void* address) {
  char text[2 + 16 + 1];
  std::snprintf(text, sizeof text, "0x%" PRIxPTR, reinterpret_cast<std::uintptr_t>(address));
  return text;
}

void PushAddressText(lua_State* L, const void* address) {
  const std::string text = AddressText(address);
  lua_pushlstring(L, text.data(), text.size());
}

}  // namespace GCore
