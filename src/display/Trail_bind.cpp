// Script members of GCore::Trail: lifetime, fadeStart, userValue and
// addSample; every other key goes on to the members of entities.
#include "display/MemberBinding.h"
#include "display/Trail.h"

namespace GCore {

namespace {

int AddSample(lua_State* L) {
  CurrentSelf<Trail>(L).AddSample();
  return 0;
}

template <float Trail::*Field>
void GetNumber(lua_State* L, Trail& t) {
  lua_pushnumber(L, t.*Field);
}

template <float Trail::*Field>
void SetNumber(lua_State* L, Trail& t) {
  t.*Field = FloatValue(L, 3);
}

const Member<Trail> kMembers[] = {
    {"lifetime", GetNumber<&Trail::lifetime>, SetNumber<&Trail::lifetime>, nullptr},
    {"fadeStart", GetNumber<&Trail::fadeStart>, SetNumber<&Trail::fadeStart>, nullptr},
    {"userValue", GetNumber<&Trail::userValue>, SetNumber<&Trail::userValue>, nullptr},
    {"addSample", nullptr, nullptr, AddSample},
};

const MemberTable<Trail>& Members() {
  static const MemberTable<Trail> table(kMembers);
  return table;
}

}  // namespace

void RegisterTrailClass(lua_State* L) {
  RegisterDisplayClass<Trail>(L, EntitySubclassIndex<Trail, Members>,
                              EntitySubclassNewIndex<Trail, Members>);
}

int NewTrailScript(lua_State* L) { return ConstructDisplayObject<Trail>(L); }

}  // namespace GCore
