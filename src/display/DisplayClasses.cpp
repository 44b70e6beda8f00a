#include "display/DisplayClasses.h"

#include "core/ResourceManager.h"
#include "display/Stage.h"

namespace GCore {

namespace {

// Members of display objects and containers are not bound in this build:
// every other key reads as nil and assigning it is ignored.
int NoMemberIndex(lua_State*) { return 0; }
int NoMemberNewIndex(lua_State*) { return 0; }

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

}  // namespace

int IndexEntityMembers(lua_State* L, Entity* self) {
  const int results = Entity::IndexOwnKey(L, self);
  return results >= 0 ? results : NoMemberIndex(L);
}

void NewIndexEntityMembers(lua_State* L, Entity* self) {
  if (!Entity::NewIndexOwnKey(L, self)) NoMemberNewIndex(L);
}

void RegisterDisplayListClasses(lua_State* L) {
  RegisterMatrixClass(L);
  Register<Entity>(L, EntityIndex, EntityNewIndex);
  Register<DisplayObject>(L, NoMemberIndex, NoMemberNewIndex);
  Register<DisplayObjectContainer>(L, NoMemberIndex, NoMemberNewIndex);
  Register<Stage>(L, EntityIndex, EntityNewIndex);
}

}  // namespace GCore
