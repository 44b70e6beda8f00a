#include "display/Entity.h"

#include "base/Log.h"
#include "core/ScriptVM.h"
#include "display/ScriptCalls.h"

namespace GCore {

namespace {

// Pushes a sequence of the values of the table at `table`, in traversal
// order: calls made while walking it could otherwise add keys to it, which
// a traversal does not survive.
int PushValues(lua_State* L, int table) {
  table = lua_absindex(L, table);
  lua_newtable(L);
  lua_Integer n = 0;
  lua_pushnil(L);
  while (lua_next(L, table) != 0) lua_rawseti(L, -3, ++n);
  return static_cast<int>(n);
}

}  // namespace

const ClassInfo Entity::classInfo = {"Entity", &DisplayObjectContainer::classInfo};

Entity::Entity(lua_State* L) : DisplayObjectContainer(L) {}

Entity::~Entity() {
  if (!state) return;
  luaL_unref(state, LUA_REGISTRYINDEX, componentTable);
  if (dataTable > 0) luaL_unref(state, LUA_REGISTRYINDEX, dataTable);
}

void Entity::GetOwnerEntity(Retained<Entity>& out) {
  if (TemplateName()) {
    out.Reset(this);
    return;
  }
  DisplayObject::GetOwnerEntity(out);
}

void Entity::SetTemplateName(std::optional<std::string> templateName) {
  if (!templateName && !extras) return;
  Extras().templateName = std::move(templateName);
}

bool Entity::HasComponents(lua_State* L) const {
  if (componentTable == LUA_NOREF) return false;
  lua_rawgeti(L, LUA_REGISTRYINDEX, componentTable);
  lua_pushnil(L);
  const bool any = lua_next(L, -2) != 0;
  lua_pop(L, any ? 3 : 1);
  return any;
}

void Entity::CallComponents(lua_State* L, const char* method, bool recursive, int first,
                            int count) {
  Retained<DisplayObject> hold(this);
  const int top = lua_gettop(L);
  if (count > 0) first = lua_absindex(L, first);
  // Most entities have no components: they get no snapshot to collect.
  if (HasComponents(L)) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, componentTable);
    const int n = PushValues(L, -1);
    for (int i = 1; i <= n; ++i) {
      lua_rawgeti(L, top + 2, i);
      CallLuaMethod(L, method, first, count);
    }
    lua_settop(L, top);
  }
  if (!recursive) return;
  for (int32_t i = 0; i < NumChildren(); ++i) {
    DisplayObject* object = children[static_cast<size_t>(i)].Get();
    auto* entity = static_cast<Entity*>(CastToClass(&Entity::classInfo, object));
    // A leaf without components would run nothing: most sprites of a scene.
    if (!entity || (entity->children.empty() && !entity->HasComponents(L))) continue;
    Retained<DisplayObject> child(entity);
    entity->CallComponents(L, method, true, first, count);
  }
}

bool Entity::HandleEvent(const char* eventName, DisplayObject* target, const char* arg) {
  lua_State* L = state;
  if (!L || !target) return false;
  // Events climb every level of the tree, most of which have no listener.
  if (!HasComponents(L)) return false;
  const int top = lua_gettop(L);
  if (!PushScriptObject(L, target)) return false;
  SelectOwnerProject(L);
  if (arg) {
    lua_pushstring(L, arg);
  } else {
    lua_pushnil(L);
  }
  CallComponents(L, eventName, false, top + 1, 2);
  lua_settop(L, top);
  return false;
}

namespace {

// Runs component.init(component) for the component at 1 (an ordinary
// lookup, so inside the protected call).
int RunInit(lua_State* L) {
  if (lua_getfield(L, 1, "init") != LUA_TFUNCTION) return 0;
  lua_pushvalue(L, 1);
  lua_call(L, 1, 0);
  return 0;
}

}  // namespace

void Entity::MarkListening() {
  if (listening_) return;
  listening_ = true;
  TreeChanged();
  UpdateWorkChanged();
}

void Entity::AttachComponent(lua_State* L) {
  MarkListening();
  const int component = lua_gettop(L);
  const int type = lua_type(L, component);
  if (type == LUA_TNIL || !lua_rawequal(L, component, component)) return;  // no key: nil, NaN
  // com_map maps components to their entities; it is made when scripts have
  // none, holding both weakly so that it keeps nothing alive.
  PushRawGlobal(L, "com_map");
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    lua_newtable(L);
    lua_createtable(L, 0, 1);
    lua_pushstring(L, "kv");
    lua_setfield(L, -2, "__mode");
    lua_setmetatable(L, -2);
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushstring(L, "com_map");
    lua_pushvalue(L, -3);
    lua_rawset(L, -3);
    lua_pop(L, 1);
  }
  lua_pushvalue(L, component);
  if (!PushScriptObject(L, this)) lua_pushnil(L);
  lua_rawset(L, -3);
  lua_pop(L, 1);
  // Only values that can hold fields can have an "init".
  if (type != LUA_TTABLE && type != LUA_TUSERDATA) return;
  // The entity lives through its component's "init", whatever that does.
  Retained<DisplayObject> hold(this);
  SelectOwnerProject(L);
  lua_pushcfunction(L, RunInit);
  lua_pushvalue(L, component);
  ProtectedCall(L, 1);
}

void Entity::PushComponentTable(lua_State* L) {
  if (componentTable == LUA_NOREF) {
    lua_newtable(L);
    componentTable = luaL_ref(L, LUA_REGISTRYINDEX);
  }
  lua_rawgeti(L, LUA_REGISTRYINDEX, componentTable);
}

void Entity::PushDataTable(lua_State* L) {
  if (dataTable <= 0) {
    lua_newtable(L);
    dataTable = luaL_ref(L, LUA_REGISTRYINDEX);
  }
  lua_rawgeti(L, LUA_REGISTRYINDEX, dataTable);
}

void Entity::CopyFrom(DisplayObject* source) {
  DisplayObjectContainer::CopyFrom(source);
  auto* entity = static_cast<Entity*>(CastToClass(&Entity::classInfo, source));
  if (!entity || entity == this) return;
  const std::string* sourceTemplate = entity->TemplateName();
  SetTemplateName(sourceTemplate ? std::optional<std::string>(*sourceTemplate) : std::nullopt);
  lua_State* L = state;
  if (!L || entity->state != L) {
    LogWrite("Entity copy: components of another project are not copied\n");
    return;
  }
  const int top = lua_gettop(L);
  if (entity->dataTable > 0) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, entity->dataTable);  // top + 1
    PushDataTable(L);                                       // top + 2
    lua_pushnil(L);
    while (lua_next(L, top + 1) != 0) {
      lua_pushvalue(L, -2);
      lua_insert(L, -2);
      lua_rawset(L, top + 2);
    }
    lua_settop(L, top);
  }
  // Copies of entities without components make no table.
  if (!entity->HasComponents(L) && !HasComponents(L)) return;
  entity->PushComponentTable(L);  // top + 1
  PushComponentTable(L);          // top + 2
  lua_pushnil(L);
  while (lua_next(L, top + 1) != 0) {
    if (lua_istable(L, -1)) {
      CopyTable(L);
      lua_remove(L, -2);
    }
    lua_pushvalue(L, -2);
    lua_insert(L, -2);
    lua_rawset(L, top + 2);
  }
  // Every copy is attached, which gives it its "init".
  const int n = PushValues(L, top + 2);
  const int values = lua_gettop(L);
  for (int i = 1; i <= n; ++i) {
    lua_rawgeti(L, values, i);
    AttachComponent(L);
    lua_pop(L, 1);
  }
  lua_settop(L, top);
}

}  // namespace GCore
