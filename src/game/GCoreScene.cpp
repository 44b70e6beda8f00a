// "gcore.c": UI templates and the UI cache, lookups in the display tree,
// copies of display objects and their placement.
#include <string>

#include "core/ClassFactory.h"
#include "core/LuaManager.h"
#include "display/Entity.h"
#include "display/ScriptCalls.h"
#include "display/Stage.h"
#include "display/UITemplates.h"
#include "game/GCoreApi.h"
#include "render/ResourceManager.h"

namespace GCore::Api {

namespace {

// Pushes the object's script value, nil when there is none.
int PushObjectOrNil(lua_State* L, DisplayObject* object) {
  if (!PushScriptObject(L, object)) lua_pushnil(L);
  return 1;
}

Entity* UiCache() {
  LuaProj* project = CurrentLuaProj();
  return project ? project->uiCache : nullptr;
}

Stage* CurrentStage() {
  LuaProj* project = CurrentLuaProj();
  return project ? project->stage : nullptr;
}

}  // namespace

int loadUI(lua_State* L) {
  if (!g_resourceManager) return PushObjectOrNil(L, nullptr);
  Retained<DisplayObject> made = lua_type(L, 1) == LUA_TSTRING
                                     ? CreateByClassName(lua_tostring(L, 1), TextArg(L, 2))
                                     : CreateById(IdArg(L, 1));
  return PushObjectOrNil(L, made.Get());
}

int IsCached(lua_State* L) {
  const Entity* entity = ToObject<Entity>(L, 1);
  lua_pushboolean(L, entity && entity->TemplateName());
  return 1;
}

int cacheUI(lua_State* L) {
  DisplayObject* object = ToObject<DisplayObject>(L, 1);
  if (Entity* cache = UiCache(); cache && object) cache->AddChild(object, 0);
  return 0;
}

int uncacheUI(lua_State* L) {
  Entity* cache = UiCache();
  if (!cache) return 0;
  if (DisplayObject* child = cache->GetChildByName(TextArg(L, 1))) cache->RemoveChild(child);
  return 0;
}

int getCacheUI(lua_State* L) {
  Retained<Entity> cached = g_resourceManager ? GetCachedEntity(TextArg(L, 1)) : Retained<Entity>();
  return PushObjectOrNil(L, cached.Get());
}

int removeAllCacheUI(lua_State*) {
  if (g_resourceManager) RemoveAllCached();
  return 0;
}

int FindNode(lua_State* L) {
  const char* path = TextArg(L, 1);
  const char* separator = TextArg(L, 2);
  Stage* stage = CurrentStage();
  if (!path || !separator || !stage) return PushObjectOrNil(L, nullptr);
  // The script's string is never written to: the segments are copies.
  const std::string text = path;
  const char cut = separator[0];
  DisplayObjectContainer* node = stage;
  DisplayObject* found = nullptr;
  size_t start = 0;
  while (true) {
    const size_t end = cut ? text.find(cut, start) : std::string::npos;
    const std::string segment = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    found = node ? node->GetChildByName(segment.c_str()) : nullptr;
    if (!found || !CastToClass(&Entity::classInfo, found)) return PushObjectOrNil(L, nullptr);
    node = static_cast<Entity*>(found);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return PushObjectOrNil(L, found);
}

int GetComInst(lua_State* L) {
  Stage* stage = CurrentStage();
  if (!stage || !lua_istable(L, 1)) return 0;
  lua_rawgeti(L, 1, 0);
  const int name = lua_gettop(L);
  if (lua_isnil(L, name)) return 0;
  for (int32_t i = 0; i < stage->NumChildren(); ++i) {
    auto* entity = static_cast<Entity*>(CastToClass(&Entity::classInfo, stage->ChildAt(i)));
    if (!entity || entity->state != MainState(L) || !entity->HasComponents(L)) continue;
    entity->PushComponentTable(L);
    lua_pushvalue(L, name);
    lua_rawget(L, -2);
    if (!lua_isnil(L, -1)) return 1;
    lua_pop(L, 2);
  }
  return 0;
}

int Clone(lua_State* L) {
  DisplayObject* source = ToObject<DisplayObject>(L, 1);
  if (!source) return 0;
  const auto creator = ClassFactory().find(source->GetClassInfo());
  if (creator == ClassFactory().end()) return 0;
  auto* copy = static_cast<DisplayObject*>(CastToClass(&DisplayObject::classInfo, creator->second(MainState(L), 0)));
  if (!copy) return 0;
  Retained<DisplayObject> held(copy);
  copy->CopyFrom(source);
  if (!PushScriptObject(L, copy)) return 0;
  return 1;
}

int TSM(lua_State* L) {
  DisplayObject* object = ToObject<DisplayObject>(L, 1);
  if (!object) return 0;
  const char* mode = TextArg(L, 2);
  float x = 0, y = 0;
  const bool hasX = lua_isnumber(L, 3), hasY = lua_isnumber(L, 4);
  if (hasX) x = FloatArg(L, 3);
  if (hasY) y = FloatArg(L, 4);
  if (mode && mode[0] == 'p') {
    object->SubtractPlacement(hasX ? &x : nullptr, hasY ? &y : nullptr);
  } else {
    object->AddPlacement(hasX ? &x : nullptr, hasY ? &y : nullptr);
  }
  if (hasX) {
    lua_pushnumber(L, x);
  } else {
    lua_pushnil(L);
  }
  if (hasY) {
    lua_pushnumber(L, y);
  } else {
    lua_pushnil(L);
  }
  return 2;
}

}  // namespace GCore::Api
