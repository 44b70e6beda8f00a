// The five settings of "eris", kept in the registry of each state under
// private keys; an absent entry means the default.
#include <cstring>
#include <iterator>

#include "modules/ErisCommon.h"

namespace GCore::eris {
namespace {

enum class Kind { kString, kBoolean, kInteger };

struct SettingInfo {
  const char* name;
  Kind kind;
};

const SettingInfo kSettings[] = {
    {"spkey", Kind::kString}, {"spio", Kind::kBoolean}, {"debug", Kind::kBoolean},
    {"path", Kind::kBoolean}, {"maxrec", Kind::kInteger},
};
constexpr int kSpkey = 0, kSpio = 1, kDebug = 2, kPath = 3, kMaxrec = 4;

// The addresses of these bytes are the registry keys.
char registry_keys[std::size(kSettings)];

// Pushes the stored value of setting i (nil when unset).
int PushStored(lua_State* L, int i) { return lua_rawgetp(L, LUA_REGISTRYINDEX, &registry_keys[i]); }

void PushDefault(lua_State* L, int i) {
  const Settings defaults;
  switch (i) {
    case kSpkey:
      lua_pushlstring(L, defaults.spkey.data(), defaults.spkey.size());
      break;
    case kSpio:
      lua_pushboolean(L, defaults.spio);
      break;
    case kDebug:
      lua_pushboolean(L, defaults.debug);
      break;
    case kPath:
      lua_pushboolean(L, defaults.path);
      break;
    default:
      lua_pushinteger(L, defaults.maxrec);
      break;
  }
}

// The setting named by argument 1, compared whole (embedded zeros included).
int CheckSetting(lua_State* L) {
  size_t length = 0;
  const char* name = luaL_checklstring(L, 1, &length);
  for (int i = 0; i < static_cast<int>(std::size(kSettings)); ++i) {
    if (std::strlen(kSettings[i].name) == length && std::memcmp(kSettings[i].name, name, length) == 0) return i;
  }
  return luaL_argerror(L, 1, "no such setting");
}

void CheckValue(lua_State* L, Kind kind) {
  if (lua_isnil(L, 2)) return;
  switch (kind) {
    case Kind::kString:
      luaL_checktype(L, 2, LUA_TSTRING);
      break;
    case Kind::kBoolean:
      if (!lua_isboolean(L, 2)) {
        luaL_argerror(L, 2, lua_pushfstring(L, "boolean expected, got %s", luaL_typename(L, 2)));
      }
      break;
    case Kind::kInteger:
      lua_pushinteger(L, luaL_checkinteger(L, 2));
      lua_replace(L, 2);
      break;
  }
}

}  // namespace

Settings ReadSettings(lua_State* L) {
  Settings settings;
  if (PushStored(L, kSpkey) == LUA_TSTRING) {
    size_t length = 0;
    const char* key = lua_tolstring(L, -1, &length);
    settings.spkey.assign(key, length);
  }
  if (PushStored(L, kSpio) == LUA_TBOOLEAN) settings.spio = lua_toboolean(L, -1);
  if (PushStored(L, kDebug) == LUA_TBOOLEAN) settings.debug = lua_toboolean(L, -1);
  if (PushStored(L, kPath) == LUA_TBOOLEAN) settings.path = lua_toboolean(L, -1);
  if (PushStored(L, kMaxrec) == LUA_TNUMBER) settings.maxrec = lua_tointeger(L, -1);
  lua_pop(L, 5);
  return settings;
}

int SettingsFunction(lua_State* L) {
  const int setting = CheckSetting(L);
  if (lua_gettop(L) == 1) {
    if (PushStored(L, setting) == LUA_TNIL) {
      lua_pop(L, 1);
      PushDefault(L, setting);
    }
    return 1;
  }
  CheckValue(L, kSettings[setting].kind);
  lua_pushvalue(L, 2);
  lua_rawsetp(L, LUA_REGISTRYINDEX, &registry_keys[setting]);
  return 0;
}

}  // namespace GCore::eris
