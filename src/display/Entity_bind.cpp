// The script keys that belong to entities; the class bindings fall back to
// the container's members for every other key.
#include <cmath>
#include <cstring>

#include "core/Log.h"
#include "display/Entity.h"
#include "display/MemberBinding.h"
#include "display/ScriptCalls.h"

namespace GCore {

namespace {

bool IsComponentKey(const char* key) { return key[0] == 'c' && key[1] == '_'; }

// The whole key, so that a key with a zero byte after a name is not that name.
bool KeyIs(const char* key, size_t length, const char* name) {
  return length == std::strlen(name) && std::memcmp(key, name, length) == 0;
}

// broadcast(method, ...): calls method on every component of this entity.
int Broadcast(lua_State* L) {
  Entity& self = CurrentSelf<Entity>(L);
  const char* method = luaL_checkstring(L, 1);
  self.CallComponents(L, method, false, 2, lua_gettop(L) - 1);
  return 0;
}

}  // namespace

int Entity::IndexOwnKey(lua_State* L, Entity* self) {
  if (lua_isnumber(L, 2)) {
    const double k = std::trunc(lua_tonumber(L, 2));
    DisplayObject* object = k == 0 ? self : (k >= 1 && k <= self->NumChildren())
                                                ? self->ChildAt(static_cast<int32_t>(k) - 1)
                                                : nullptr;
    if (!PushScriptObject(L, object)) lua_pushnil(L);
    return 1;
  }
  if (lua_type(L, 2) != LUA_TSTRING) {
    PrintStateTraceback(L);
    return 0;
  }
  size_t length = 0;
  const char* key = lua_tolstring(L, 2, &length);
  if (IsComponentKey(key)) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, self->componentTable);
    lua_pushvalue(L, 2);
    lua_rawget(L, -2);
    if (!lua_istable(L, -1)) PrintStateTraceback(L);
    return 1;
  }
  if (KeyIs(key, length, "b")) {
    if (self->templateName) {
      lua_pushstring(L, self->templateName->c_str());
    } else {
      lua_pushnil(L);
    }
    return 1;
  }
  if (KeyIs(key, length, "c")) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, self->componentTable);
    return 1;
  }
  if (KeyIs(key, length, "d")) {
    self->PushDataTable(L);
    return 1;
  }
  if (KeyIs(key, length, "broadcast")) {
    g_currentSelf = self;
    lua_pushcfunction(L, Broadcast);
    return 1;
  }
  return -1;
}

bool Entity::NewIndexOwnKey(lua_State* L, Entity* self) {
  if (lua_isnumber(L, 2)) {
    const double k = std::trunc(lua_tonumber(L, 2));
    DisplayObject* value = ToObject<DisplayObject>(L, 3);
    if (k < 1) {
      // There is no place before the first child.
      if (value) {
        LogWrite("entity[k] = object needs k of 1 or more\n");
        PrintStateTraceback(L);
      }
      return true;
    }
    const bool inRange = k <= self->NumChildren();
    const int32_t index = inRange ? static_cast<int32_t>(k) - 1 : self->NumChildren();
    DisplayObject* old = inRange ? self->ChildAt(index) : nullptr;
    if (old == value) return true;
    if (old) self->RemoveChildAt(index);
    if (value) self->InsertChildAt(value, index, value->depth);
    return true;
  }
  if (lua_type(L, 2) != LUA_TSTRING) return false;
  const char* key = lua_tostring(L, 2);
  if (IsComponentKey(key)) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, self->componentTable);
    const int components = lua_gettop(L);
    lua_pushvalue(L, 2);
    lua_rawget(L, components);
    if (lua_istable(L, -1)) {
      CallLuaMethod(L, "destroy", 0, 0);
    } else {
      lua_pop(L, 1);
    }
    lua_pushvalue(L, 2);
    lua_pushvalue(L, 3);
    lua_rawset(L, components);
    if (!lua_isnil(L, 3)) {
      lua_pushvalue(L, 3);
      self->AttachComponent(L);
    }
    lua_settop(L, components - 1);
    return true;
  }
  // A script's own assignment wins over the animation of that property
  // (not so the track's own assignments).
  self->ClearKeyTrack(key);
  return false;
}

}  // namespace GCore
