// Script members of GCore::Sprite: active, tagged, linkedObject, noop and
// noopArgs; every other key goes on to the container's members and then the
// display object's.
#include <algorithm>

#include "display/MemberBinding.h"
#include "display/Sprite.h"

namespace GCore {

namespace {

int Noop(lua_State*) { return 0; }

// Reads a switch and an object, as its callers expect, and does nothing.
int NoopArgs(lua_State* L) {
  if (!lua_isnone(L, 1)) static_cast<void>(lua_toboolean(L, 1));
  if (!lua_isnone(L, 2)) static_cast<void>(lua_touserdata(L, 2));
  return 0;
}

const Member<Sprite> kMembers[] = {
    {"active", [](lua_State* L, Sprite& s) { lua_pushboolean(L, s.active); },
     [](lua_State* L, Sprite& s) { s.active = lua_toboolean(L, 3) != 0; }, nullptr},
    {"tagged", [](lua_State* L, Sprite& s) { lua_pushboolean(L, s.tagged); },
     [](lua_State* L, Sprite& s) { s.tagged = lua_toboolean(L, 3) != 0; }, nullptr},
    // Only engine objects link: other libraries' userdata and destroyed
    // objects clear the link like any other value.
    {"linkedObject", [](lua_State* L, Sprite& s) { PushObjectOrNil(L, s.LinkedObject()); },
     [](lua_State* L, Sprite& s) { s.Link(ToObject(L, 3)); }, nullptr},
    {"noop", nullptr, nullptr, Noop},
    {"noopArgs", nullptr, nullptr, NoopArgs},
};

const MemberTable<Sprite>& Members() {
  static const MemberTable<Sprite> table(kMembers);
  return table;
}

// Its own members, then the container's and the display object's, found by
// one lookup.
const MemberChain<Sprite>& Chain() {
  using Use = MemberChain<Sprite>::Use;
  static const MemberChain<Sprite> chain = MemberChain<Sprite>()
                                               .Add(Members(), Use::kOwn)
                                               .Add(ContainerMembers(), Use::kOwn)
                                               .Add(DisplayObjectMembers(), Use::kOwn);
  return chain;
}

int SpriteIndex(lua_State* L) {
  Sprite* self = ToObject<Sprite>(L, 1);
  return self ? std::max(Chain().Index(L, *self), 0) : 0;
}

int SpriteNewIndex(lua_State* L) {
  if (Sprite* self = ToObject<Sprite>(L, 1)) Chain().NewIndex(L, *self);
  return 0;
}

}  // namespace

void RegisterSpriteClass(lua_State* L) {
  RegisterDisplayClass<Sprite>(L, SpriteIndex, SpriteNewIndex);
}

int NewSpriteScript(lua_State* L) { return ConstructDisplayObject<Sprite>(L); }

}  // namespace GCore
