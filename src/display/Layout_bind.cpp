// Script members of GCore::Layout: its box, spacing, alignment, mode, grid
// and flags; every other key goes on to the members of entities.
#include "display/Layout.h"
#include "display/MemberBinding.h"

namespace GCore {

namespace {

template <float Layout::*field>
constexpr Member<Layout> FloatMember(const char* name) {
  return {name, [](lua_State* L, Layout& l) { lua_pushnumber(L, l.*field); },
          [](lua_State* L, Layout& l) { l.*field = FloatValue(L, 3); }, nullptr};
}

template <uint8_t bit>
constexpr Member<Layout> FlagMember(const char* name) {
  return {name, [](lua_State* L, Layout& l) { lua_pushboolean(L, (l.flags & bit) != 0); },
          [](lua_State* L, Layout& l) {
            l.flags = FlagValue(L, 3) ? static_cast<uint8_t>(l.flags | bit)
                                      : static_cast<uint8_t>(l.flags & ~bit);
          },
          nullptr};
}

const Member<Layout> kMembers[] = {
    FloatMember<&Layout::contentLeft>("contentLeft"),
    FloatMember<&Layout::contentRight>("contentRight"),
    FloatMember<&Layout::contentBottom>("contentBottom"),
    FloatMember<&Layout::contentTop>("contentTop"),
    FloatMember<&Layout::spacing>("spacing"),
    FloatMember<&Layout::cellWidth>("cellWidth"),
    FloatMember<&Layout::cellHeight>("cellHeight"),
    FloatMember<&Layout::rowSpacing>("rowSpacing"),
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
    FlagMember<Layout::kDistribute>("distribute"),
    FlagMember<Layout::kFitWidth>("fitWidth"),
    FlagMember<Layout::kFitHeight>("fitHeight"),
    FlagMember<Layout::kColumnMajor>("columnMajor"),
};

const MemberTable<Layout>& Members() {
  static const MemberTable<Layout> table(kMembers);
  return table;
}

int LayoutIndex(lua_State* L) {
  Layout* self = ToObject<Layout>(L, 1);
  if (!self) return 0;
  const int results = Members().Index(L, *self);
  return results >= 0 ? results : IndexEntityMembers(L, self);
}

int LayoutNewIndex(lua_State* L) {
  Layout* self = ToObject<Layout>(L, 1);
  if (self && !Members().NewIndex(L, *self)) NewIndexEntityMembers(L, self);
  return 0;
}

}  // namespace

void RegisterLayoutClass(lua_State* L) { RegisterDisplayClass<Layout>(L, LayoutIndex, LayoutNewIndex); }

int NewLayoutScript(lua_State* L) { return ConstructDisplayObject<Layout>(L); }

}  // namespace GCore
