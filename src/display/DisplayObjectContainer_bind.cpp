// Script members of GCore::DisplayObjectContainer; keys it does not know go
// on to the display object's members. Children are counted from 0 here, and
// a child's value is its script object (nil when there is none).
#include <algorithm>

#include "display/DisplayObjectContainer.h"
#include "display/MemberBinding.h"

namespace GCore {

namespace {

using DOC = DisplayObjectContainer;

DOC& Self(lua_State* L) { return CurrentSelf<DOC>(L); }

int AddChild(lua_State* L) {
  DOC& self = Self(L);
  self.AddChild(DisplayObjectArg(L, 1, "addChild"), IntValue(L, 2));
  return 0;
}

int AddChildAt(lua_State* L) {
  DOC& self = Self(L);
  DisplayObject* child = DisplayObjectArg(L, 1, "addChildAt");
  if (!child) return 0;
  const int32_t depth = lua_isnoneornil(L, 3) ? child->depth : IntValue(L, 3);
  self.InsertChildAt(child, IntValue(L, 2), depth);
  return 0;
}

int RemoveChild(lua_State* L) {
  DOC& self = Self(L);
  const Retained<DisplayObject> removed = self.RemoveChild(DisplayObjectArg(L, 1, "removeChild"));
  PushObjectOrNil(L, removed.Get());
  return 1;
}

int RemoveChildAt(lua_State* L) {
  const Retained<DisplayObject> removed = Self(L).RemoveChildAt(IntValue(L, 1));
  PushObjectOrNil(L, removed.Get());
  return 1;
}

int RemoveAllChildren(lua_State* L) {
  Self(L).RemoveAllChildren();
  return 0;
}

int GetChildAt(lua_State* L) {
  PushObjectOrNil(L, Self(L).ChildAt(IntValue(L, 1)));
  return 1;
}

int GetChildByName(lua_State* L) {
  PushObjectOrNil(L, Self(L).GetChildByName(lua_tostring(L, 1)));
  return 1;
}

int GetChildByTag(lua_State* L) {
  PushObjectOrNil(L, Self(L).GetChildById(IntValue(L, 1)));
  return 1;
}

int GetChildIndex(lua_State* L) {
  DOC& self = Self(L);
  lua_pushinteger(L, self.GetChildIndex(DisplayObjectArg(L, 1, "getChildIndex")));
  return 1;
}

int SetChildIndex(lua_State* L) {
  DOC& self = Self(L);
  DisplayObject* child = DisplayObjectArg(L, 1, "setChildIndex");
  const int32_t current = self.GetChildIndex(child);
  const int32_t index = IntValue(L, 2);
  // Only a child of this container moves; anything else is not adopted.
  if (current < 0 || current == index) return 0;
  // The removal's handlers may drop the last reference to this container.
  const Retained<DisplayObject> holdSelf(&self);
  const Retained<DisplayObject> hold = self.RemoveChildAt(current);
  self.InsertChildAt(child, index, child->depth);
  return 0;
}

int SwapChildren(lua_State* L) {
  DOC& self = Self(L);
  DisplayObject* a = DisplayObjectArg(L, 1, "swapChildren");
  DisplayObject* b = DisplayObjectArg(L, 2, "swapChildren");
  if (a != b) self.SetChildIndex(self.GetChildIndex(a), self.GetChildIndex(b));
  return 0;
}

int MoveChildIndex(lua_State* L) {
  Self(L).SetChildIndex(IntValue(L, 1), IntValue(L, 2));
  return 0;
}

// The point is given as two numbers x, y or as a table with fields x and y.
int AnyChildContains(lua_State* L) {
  DOC& self = Self(L);
  Point point;
  if (lua_type(L, 1) == LUA_TTABLE) {
    lua_getfield(L, 1, "x");
    lua_getfield(L, 1, "y");
    point = Point{FloatValue(L, -2), FloatValue(L, -1)};
    lua_pop(L, 2);
  } else if (lua_type(L, 1) == LUA_TNUMBER) {
    point = Point{FloatValue(L, 1), FloatValue(L, 2)};
  } else {
    lua_pushboolean(L, 0);
    return 1;
  }
  lua_pushboolean(L, self.AnyChildContains(point));
  return 1;
}

using M = Member<DOC>;

const M kMembers[] = {
    {"numChildren", [](lua_State* L, DOC& o) { lua_pushinteger(L, o.NumChildren()); }, nullptr,
     nullptr},
    {"clip", [](lua_State* L, DOC& o) { lua_pushinteger(L, o.clipKey); },
     [](lua_State* L, DOC& o) { o.clipKey = IntValue(L, 3); }, nullptr},
    {"clipSource", [](lua_State* L, DOC& o) { PushObjectOrNil(L, o.GetClipSource()); }, nullptr,
     nullptr},
    {"addChild", nullptr, nullptr, AddChild},
    {"addChildAt", nullptr, nullptr, AddChildAt},
    {"removeChild", nullptr, nullptr, RemoveChild},
    {"removeChildAt", nullptr, nullptr, RemoveChildAt},
    {"removeAllChildren", nullptr, nullptr, RemoveAllChildren},
    {"getChildAt", nullptr, nullptr, GetChildAt},
    {"getChildByName", nullptr, nullptr, GetChildByName},
    {"getChildByTag", nullptr, nullptr, GetChildByTag},
    {"getChildIndex", nullptr, nullptr, GetChildIndex},
    {"setChildIndex", nullptr, nullptr, SetChildIndex},
    {"swapChildren", nullptr, nullptr, SwapChildren},
    {"moveChildIndex", nullptr, nullptr, MoveChildIndex},
    {"anyChildContains", nullptr, nullptr, AnyChildContains},
};

const MemberChain<DOC>& Chain() {
  using Use = MemberChain<DOC>::Use;
  static const MemberChain<DOC> chain =
      MemberChain<DOC>().Add(ContainerMembers(), Use::kOwn).Add(DisplayObjectMembers(), Use::kOwn);
  return chain;
}

int ContainerIndex(lua_State* L) {
  DOC* self = ToObject<DOC>(L, 1);
  return self ? std::max(Chain().Index(L, *self), 0) : 0;
}

int ContainerNewIndex(lua_State* L) {
  if (DOC* self = ToObject<DOC>(L, 1)) Chain().NewIndex(L, *self);
  return 0;
}

}  // namespace

const MemberTable<DisplayObjectContainer>& ContainerMembers() {
  static const MemberTable<DisplayObjectContainer> table(kMembers);
  return table;
}

int IndexContainerMembers(lua_State* L, DisplayObjectContainer* self) {
  return ContainerMembers().Index(L, *self);
}

bool NewIndexContainerMembers(lua_State* L, DisplayObjectContainer* self) {
  return ContainerMembers().NewIndex(L, *self);
}

void RegisterDisplayObjectContainerClass(lua_State* L) {
  RegisterDisplayClass<DisplayObjectContainer>(L, ContainerIndex, ContainerNewIndex);
}

int NewDisplayObjectContainerScript(lua_State* L) {
  return ConstructDisplayObject<DisplayObjectContainer>(L);
}

}  // namespace GCore
