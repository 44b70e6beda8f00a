#include "core/ScriptArgs.h"

#include <cmath>

namespace GCore::Api {

int32_t IntArg(lua_State* L, int index) {
  const lua_Number value = lua_tonumber(L, index);
  if (!(std::fabs(value) < 2147483648.0)) return value > 0 ? INT32_MAX : (value < 0 ? INT32_MIN : 0);
  return static_cast<int32_t>(value);
}

int64_t Int64Arg(lua_State* L, int index) {
  if (lua_isinteger(L, index)) return lua_tointeger(L, index);
  const lua_Number value = lua_tonumber(L, index);
  if (!(std::fabs(value) < 9223372036854775808.0)) {
    return value > 0 ? INT64_MAX : (value < 0 ? INT64_MIN : 0);
  }
  return static_cast<int64_t>(value);
}

uint32_t IdArg(lua_State* L, int index) { return static_cast<uint32_t>(static_cast<uint64_t>(Int64Arg(L, index))); }

float FloatArg(lua_State* L, int index) { return static_cast<float>(lua_tonumber(L, index)); }

const char* TextArg(lua_State* L, int index) { return lua_tostring(L, index); }

void PushUnsigned(lua_State* L, uint32_t value) { lua_pushinteger(L, static_cast<lua_Integer>(value)); }

}  // namespace GCore::Api
