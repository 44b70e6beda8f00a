#include "display/DisplayClasses.h"

#include <algorithm>

#include "core/LuaApiExt.h"
#include "core/ResourceManager.h"
#include "display/MemberBinding.h"
#include "display/Quad.h"
#include "display/Stage.h"

namespace GCore {

namespace {

int DisplayObjectIndex(lua_State* L) {
  DisplayObject* self = ToObject<DisplayObject>(L, 1);
  return self ? std::max(IndexDisplayObjectMembers(L, self), 0) : 0;
}

int DisplayObjectNewIndex(lua_State* L) {
  if (DisplayObject* self = ToObject<DisplayObject>(L, 1)) NewIndexDisplayObjectMembers(L, self);
  return 0;
}

int ContainerIndex(lua_State* L) {
  auto* self = ToObject<DisplayObjectContainer>(L, 1);
  if (!self) return 0;
  int results = IndexContainerMembers(L, self);
  if (results < 0) results = IndexDisplayObjectMembers(L, self);
  return std::max(results, 0);
}

int ContainerNewIndex(lua_State* L) {
  auto* self = ToObject<DisplayObjectContainer>(L, 1);
  if (self && !NewIndexContainerMembers(L, self)) NewIndexDisplayObjectMembers(L, self);
  return 0;
}

int EntityIndex(lua_State* L) {
  Entity* self = ToObject<Entity>(L, 1);
  return self ? IndexEntityMembers(L, self) : 0;
}

int EntityNewIndex(lua_State* L) {
  if (Entity* self = ToObject<Entity>(L, 1)) NewIndexEntityMembers(L, self);
  return 0;
}

template <class T>
Object* Create(lua_State* L, int) {
  return NewDisplayObject<T>(L);
}

template <class T>
void Register(lua_State* L, lua_CFunction index, lua_CFunction newindex) {
  NewClassMetatable(L, &T::classInfo, index, newindex);
  lua_pop(L, 1);
  ClassFactory()[&T::classInfo] = Create<T>;
}

template <class T>
int NewScriptObject(lua_State* L) {
  lua_pushuserdata(L, Create<T>(L, 0));
  return 1;
}

}  // namespace

void RegisterDisplayClasses(lua_State* L) {
  RegisterMatrixClass(L);
  RegisterQuadClass(L);
  Register<Entity>(L, EntityIndex, EntityNewIndex);
  Register<DisplayObject>(L, DisplayObjectIndex, DisplayObjectNewIndex);
  Register<DisplayObjectContainer>(L, ContainerIndex, ContainerNewIndex);
  // Then Sprite.
  Register<Stage>(L, EntityIndex, EntityNewIndex);
  // Then TextQuad, SpineQuad, Shape, ParticleSystem, Layout, Trail and TiledMap.
}

int NewDisplayObjectScript(lua_State* L) { return NewScriptObject<DisplayObject>(L); }

int NewDisplayObjectContainerScript(lua_State* L) {
  return NewScriptObject<DisplayObjectContainer>(L);
}

int NewEntityScript(lua_State* L) { return NewScriptObject<Entity>(L); }

int CurrentStageScript(lua_State* L) {
  PushObjectOrNil(L, CurrentStage());
  return 1;
}

int IndexEntityMembers(lua_State* L, Entity* self) {
  int results = Entity::IndexOwnKey(L, self);
  if (results < 0) results = IndexContainerMembers(L, self);
  if (results < 0) results = IndexDisplayObjectMembers(L, self);
  return std::max(results, 0);
}

void NewIndexEntityMembers(lua_State* L, Entity* self) {
  if (!Entity::NewIndexOwnKey(L, self) && !NewIndexContainerMembers(L, self)) {
    NewIndexDisplayObjectMembers(L, self);
  }
}

}  // namespace GCore
