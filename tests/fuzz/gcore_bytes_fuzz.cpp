// The "gcore.c" functions that read bytes a script may have from anywhere (a
// file, the network): unzip, the GBK and UTF-8 conversions, UTF8ToUTF32 and
// the packet writer, each given the fuzzer's bytes as its string argument.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include <lua.hpp>

#include "core/GCoreApi.h"

namespace {

lua_State* State() {
  static lua_State* L = luaL_newstate();
  return L;
}

void Call(lua_CFunction function, const uint8_t* data, size_t size) {
  lua_State* L = State();
  lua_settop(L, 0);
  lua_pushcfunction(L, function);
  lua_pushlstring(L, reinterpret_cast<const char*>(data), size);
  lua_pushinteger(L, size > 0 ? data[0] : 0);
  lua_call(L, 2, LUA_MULTRET);
  lua_settop(L, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (lua_CFunction function : {GCore::Api::unzip, GCore::Api::GBKToUTF, GCore::Api::UtfToGbk,
                                 GCore::Api::UTF8ToUTF32, GCore::Api::StrTrim, GCore::Api::Pack}) {
    Call(function, data, size);
  }
  return 0;
}
