// Script members of GCore::Quad: alignX, alignY and setGradient; every other
// key goes on to the members of entities.
#include "display/MemberBinding.h"
#include "display/Quad.h"

namespace GCore {

namespace {

// setGradient(mode, r, g, b). Absent colours read 0; from the first nil on,
// every colour is 255, so (mode) gives black and (mode, nil) white.
int SetGradient(lua_State* L) {
  Quad& self = CurrentSelf<Quad>(L);
  const int64_t mode = TruncatedNumber(L, 1);
  uint8_t rgb[3] = {255, 255, 255};
  for (int i = 0; i < 3 && lua_type(L, i + 2) != LUA_TNIL; ++i) rgb[i] = ByteValue(L, i + 2);
  self.SetGradient(mode, rgb[0], rgb[1], rgb[2]);
  return 0;
}

const Member<Quad> kMembers[] = {
    {"alignX", [](lua_State* L, Quad& q) { lua_pushinteger(L, q.alignX); },
     [](lua_State* L, Quad& q) { q.alignX = static_cast<int8_t>(ByteValue(L, 3)); }, nullptr},
    {"alignY", [](lua_State* L, Quad& q) { lua_pushinteger(L, q.alignY); },
     [](lua_State* L, Quad& q) { q.alignY = static_cast<int8_t>(ByteValue(L, 3)); }, nullptr},
    {"setGradient", nullptr, nullptr, SetGradient},
};

const MemberTable<Quad>& Members() {
  static const MemberTable<Quad> table(kMembers);
  return table;
}

}  // namespace

void RegisterQuadClass(lua_State* L) {
  RegisterDisplayClass<Quad>(L, EntitySubclassIndex<Quad, Members>,
                             EntitySubclassNewIndex<Quad, Members>);
}

int NewQuadScript(lua_State* L) { return ConstructDisplayObject<Quad>(L); }

}  // namespace GCore
