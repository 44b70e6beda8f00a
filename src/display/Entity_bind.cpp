// The script keys that belong to entities; the class bindings fall back to
// the container's members for every other key.
#include <algorithm>

#include "base/Log.h"
#include "display/Entity.h"
#include "display/MemberBinding.h"
#include "display/ScriptCalls.h"

namespace GCore {

namespace {

bool IsComponentKey(const char* key) { return key[0] == 'c' && key[1] == '_'; }

// broadcast(method, ...): calls method on every component of this entity.
int Broadcast(lua_State* L) {
  Entity& self = CurrentSelf<Entity>(L);
  const char* method = luaL_checkstring(L, 1);
  self.CallComponents(L, method, false, 2, lua_gettop(L) - 1);
  return 0;
}

// Read through the table only: assigning one of these names goes on to the
// container's members, which ignore it.
const Member<Entity> kMembers[] = {
    {"b",
     [](lua_State* L, Entity& e) {
       if (const std::string* templateName = e.TemplateName()) {
         lua_pushstring(L, templateName->c_str());
       } else {
         lua_pushnil(L);
       }
     },
     nullptr, nullptr},
    {"c",
     [](lua_State* L, Entity& e) {
       e.MarkListening();
       e.PushComponentTable(L);
     },
     nullptr, nullptr},
    {"d", [](lua_State* L, Entity& e) { e.PushDataTable(L); }, nullptr, nullptr},
    {"broadcast", nullptr, nullptr, Broadcast},
};

const MemberChain<Entity>& Chain() {
  static const MemberChain<Entity> chain = EntityMemberChain<Entity>(nullptr);
  return chain;
}

// A numeric key as a child position: its integer value, and 0 for a number
// that has none (2.7, 1e300), which stands for the entity itself.
lua_Integer Position(lua_State* L, int index) { return lua_tointeger(L, index); }

}  // namespace

const MemberTable<Entity>& EntityMembers() {
  static const MemberTable<Entity> table(kMembers);
  return table;
}

int Entity::IndexOwnKey(lua_State* L, Entity* self) {
  if (lua_isnumber(L, 2)) {
    const lua_Integer k = Position(L, 2);
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
  if (IsComponentKey(lua_tostring(L, 2))) {
    self->PushComponentTable(L);
    lua_pushvalue(L, 2);
    lua_rawget(L, -2);
    if (!lua_istable(L, -1)) PrintStateTraceback(L);
    return 1;
  }
  return EntityMembers().Index(L, *self);
}

bool Entity::NewIndexOwnKey(lua_State* L, Entity* self) {
  if (lua_isnumber(L, 2)) {
    const lua_Integer k = Position(L, 2);
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
    self->PushComponentTable(L);
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

int IndexEntityMembers(lua_State* L, Entity* self) {
  int results = Entity::IndexOwnKey(L, self);
  if (results < 0) results = IndexContainerMembers(L, self);
  if (results < 0) results = IndexDisplayObjectMembers(L, self);
  return std::max(results, 0);
}

void NewIndexEntityMembers(lua_State* L, Entity* self) {
  if (Entity::NewIndexOwnKey(L, self)) {
    self->MarkDrawChanged();
  } else if (!NewIndexContainerMembers(L, self)) {
    NewIndexDisplayObjectMembers(L, self);
  }
}

int EntityIndex(lua_State* L) {
  Entity* self = ToObject<Entity>(L, 1);
  if (!self) return 0;
  const int results = Chain().Index(L, *self);
  return results >= 0 ? results : IndexEntityMembers(L, self);
}

int EntityNewIndex(lua_State* L) {
  Entity* self = ToObject<Entity>(L, 1);
  if (self && !Chain().NewIndex(L, *self)) NewIndexEntityMembers(L, self);
  return 0;
}

void RegisterEntityClass(lua_State* L) { RegisterDisplayClass<Entity>(L, EntityIndex, EntityNewIndex); }

int NewEntityScript(lua_State* L) { return ConstructDisplayObject<Entity>(L); }

}  // namespace GCore
