// Script members of GCore::Shape: setVertices, getVertices, primitive,
// designImage, userX and userY; every other key goes on to the members of
// entities.
#include "display/MemberBinding.h"
#include "display/Shape.h"

namespace GCore {

namespace {

// setVertices(count, positions, uvs, colours): see Shape::SetVertices.
int SetVertices(lua_State* L) {
  CurrentSelf<Shape>(L).SetVertices(L);
  return 0;
}

// getVertices(table) -> the vertex count; nothing is written without a table.
int GetVertices(lua_State* L) {
  Shape& self = CurrentSelf<Shape>(L);
  const bool table = lua_type(L, 1) == LUA_TTABLE;
  lua_pushinteger(L, table ? self.GetVertices(L, 1) : (self.Batch() ? self.Batch()->count : 0));
  return 1;
}

const Member<Shape> kMembers[] = {
    {"setVertices", nullptr, nullptr, SetVertices},
    {"getVertices", nullptr, nullptr, GetVertices},
    {"primitive",
     [](lua_State* L, Shape& s) { lua_pushinteger(L, s.Batch() ? s.Batch()->mode : 0); },
     [](lua_State* L, Shape& s) {
       if (s.Batch()) s.Batch()->mode = UnsignedValue(L, 3);
     },
     nullptr},
    {"designImage", [](lua_State* L, Shape& s) { lua_pushinteger(L, s.designImage); },
     [](lua_State* L, Shape& s) { s.designImage = UnsignedValue(L, 3); }, nullptr},
    {"userX", [](lua_State* L, Shape& s) { lua_pushnumber(L, s.userX); },
     [](lua_State* L, Shape& s) { s.userX = FloatValue(L, 3); }, nullptr},
    {"userY", [](lua_State* L, Shape& s) { lua_pushnumber(L, s.userY); },
     [](lua_State* L, Shape& s) { s.userY = FloatValue(L, 3); }, nullptr},
};

const MemberTable<Shape>& Members() {
  static const MemberTable<Shape> table(kMembers);
  return table;
}

}  // namespace

void RegisterShapeClass(lua_State* L) {
  RegisterDisplayClass<Shape>(L, EntitySubclassIndex<Shape, Members>,
                              EntitySubclassNewIndex<Shape, Members>);
}

int NewShapeScript(lua_State* L) { return ConstructDisplayObject<Shape>(L); }

}  // namespace GCore
