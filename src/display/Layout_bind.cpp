// Script members of GCore::Layout: its box, spacing, alignment, mode, grid
// and flags; every other key goes on to the members of entities.
#include "display/Layout.h"
#include "display/MemberBinding.h"

namespace GCore {

namespace {

template <float Layout::*field>
void GetFloat(lua_State* L, Layout& l) {
  lua_pushnumber(L, l.*field);
}

template <float Layout::*field>
void SetFloat(lua_State* L, Layout& l) {
  l.*field = FloatValue(L, 3);
}

template <uint8_t bit>
void GetFlag(lua_State* L, Layout& l) {
  lua_pushboolean(L, (l.flags & bit) != 0);
}

template <uint8_t bit>
void SetFlag(lua_State* L, Layout& l) {
  l.flags = FlagValue(L, 3) ? static_cast<uint8_t>(l.flags | bit) : static_cast<uint8_t>(l.flags & ~bit);
}

const Member<Layout> kMembers[] = {
    {"contentLeft", GetFloat<&Layout::contentLeft>, SetFloat<&Layout::contentLeft>, nullptr},
    {"contentRight", GetFloat<&Layout::contentRight>, SetFloat<&Layout::contentRight>, nullptr},
    {"contentBottom", GetFloat<&Layout::contentBottom>, SetFloat<&Layout::contentBottom>, nullptr},
    {"contentTop", GetFloat<&Layout::contentTop>, SetFloat<&Layout::contentTop>, nullptr},
    {"spacing", GetFloat<&Layout::spacing>, SetFloat<&Layout::spacing>, nullptr},
    {"cellWidth", GetFloat<&Layout::cellWidth>, SetFloat<&Layout::cellWidth>, nullptr},
    {"cellHeight", GetFloat<&Layout::cellHeight>, SetFloat<&Layout::cellHeight>, nullptr},
    {"rowSpacing", GetFloat<&Layout::rowSpacing>, SetFloat<&Layout::rowSpacing>, nullptr},
    {"align", [](lua_State* L, Layout& l) { lua_pushinteger(L, l.align); },
     [](lua_State* L, Layout& l) { l.align = ByteValue(L, 3); }, nullptr},
    {"layoutMode", [](lua_State* L, Layout& l) { lua_pushinteger(L, l.layoutMode); },
     [](lua_State* L, Layout& l) { l.layoutMode = ByteValue(L, 3); }, nullptr},
    {"gridCount", [](lua_State* L, Layout& l) { lua_pushinteger(L, l.gridCount); },
     [](lua_State* L, Layout& l) { l.gridCount = static_cast<int16_t>(UnsignedValue(L, 3)); }, nullptr},
    {"corner", [](lua_State* L, Layout& l) { lua_pushinteger(L, l.flags & Layout::kCornerMask); },
     [](lua_State* L, Layout& l) {
       l.flags = static_cast<uint8_t>((l.flags & ~Layout::kCornerMask) |
                                      (UnsignedValue(L, 3) & Layout::kCornerMask));
     },
     nullptr},
    {"distribute", GetFlag<Layout::kDistribute>, SetFlag<Layout::kDistribute>, nullptr},
    {"fitWidth", GetFlag<Layout::kFitWidth>, SetFlag<Layout::kFitWidth>, nullptr},
    {"fitHeight", GetFlag<Layout::kFitHeight>, SetFlag<Layout::kFitHeight>, nullptr},
    {"columnMajor", GetFlag<Layout::kColumnMajor>, SetFlag<Layout::kColumnMajor>, nullptr},
};

const MemberTable<Layout>& Members() {
  static const MemberTable<Layout> table(kMembers);
  return table;
}

}  // namespace

void RegisterLayoutClass(lua_State* L) {
  RegisterDisplayClass<Layout>(L, EntitySubclassIndex<Layout, Members>,
                               EntitySubclassNewIndex<Layout, Members>);
}

int NewLayoutScript(lua_State* L) { return ConstructDisplayObject<Layout>(L); }

}  // namespace GCore
