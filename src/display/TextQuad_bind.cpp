// Script members of GCore::TextQuad; every other key goes on to the members
// of entities. Every assignment marks the layout dirty.
#include "display/MemberBinding.h"
#include "display/TextQuad.h"

namespace GCore {

namespace {

using TQ = TextQuad;

int GetSelectionStart(lua_State* L) {
  lua_pushinteger(L, CurrentSelf<TQ>(L).SelectionLow());
  return 1;
}

int GetSelectionEnd(lua_State* L) {
  lua_pushinteger(L, CurrentSelf<TQ>(L).SelectionHigh());
  return 1;
}

int GetLineOf(lua_State* L) {
  lua_pushinteger(L, CurrentSelf<TQ>(L).GetLineOf(IntValue(L, 1)));
  return 1;
}

int Layout(lua_State* L) {
  lua_pushboolean(L, CurrentSelf<TQ>(L).LayoutLines(IntValue(L, 1)));
  return 1;
}

int Measure(lua_State* L) {
  lua_pushnumber(L, CurrentSelf<TQ>(L).MeasureLine(IntValue(L, 1)));
  return 1;
}

int GetCharIndexAt(lua_State* L) {
  lua_pushinteger(L, CurrentSelf<TQ>(L).GetCharIndexAt(FloatValue(L, 1), FloatValue(L, 2)));
  return 1;
}

int SetCallback(lua_State* L) {
  TQ& self = CurrentSelf<TQ>(L);
  const char* kind = lua_tostring(L, 1);
  lua_pushvalue(L, 2);
  self.SetCallback(L, kind);
  return 0;
}

// Members over a field: read it, or assign it and mark the layout dirty.
template <bool TQ::*Field>
void GetFlag(lua_State* L, TQ& t) {
  lua_pushboolean(L, t.*Field);
}
template <bool TQ::*Field>
void SetFlag(lua_State* L, TQ& t) {
  t.*Field = FlagValue(L, 3);
  t.layoutDirty = true;
}
template <int32_t TQ::*Field>
void GetInteger(lua_State* L, TQ& t) {
  lua_pushinteger(L, t.*Field);
}
template <int32_t TQ::*Field>
void SetInteger(lua_State* L, TQ& t) {
  t.*Field = IntValue(L, 3);
  t.layoutDirty = true;
}
template <float TQ::*Field>
void GetNumber(lua_State* L, TQ& t) {
  lua_pushnumber(L, t.*Field);
}
template <float TQ::*Field>
void SetNumber(lua_State* L, TQ& t) {
  t.*Field = FloatValue(L, 3);
  t.layoutDirty = true;
}

const Member<TQ> kMembers[] = {
    {"selectFrom", GetInteger<&TQ::selectFrom>, SetInteger<&TQ::selectFrom>, nullptr},
    {"selectTo", GetInteger<&TQ::selectTo>, SetInteger<&TQ::selectTo>, nullptr},
    {"textWidth", GetNumber<&TQ::textWidth>, SetNumber<&TQ::textWidth>, nullptr},
    {"textHeight", GetNumber<&TQ::textHeight>, SetNumber<&TQ::textHeight>, nullptr},
    {"password", GetFlag<&TQ::password>, SetFlag<&TQ::password>, nullptr},
    {"wrap", GetFlag<&TQ::wrap>, SetFlag<&TQ::wrap>, nullptr},
    {"readOnly", GetFlag<&TQ::readOnly>, SetFlag<&TQ::readOnly>, nullptr},
    {"align", [](lua_State* L, TQ& t) { lua_pushinteger(L, t.align); },
     [](lua_State* L, TQ& t) {
       t.align = ByteValue(L, 3);
       t.layoutDirty = true;
     },
     nullptr},
    {"letterSpacing", GetInteger<&TQ::letterSpacing>, SetInteger<&TQ::letterSpacing>, nullptr},
    {"lineSpacing", GetInteger<&TQ::lineSpacing>, SetInteger<&TQ::lineSpacing>, nullptr},
    {"lineHeight", GetInteger<&TQ::lineHeight>, SetInteger<&TQ::lineHeight>, nullptr},
    {"margin", GetInteger<&TQ::margin>, SetInteger<&TQ::margin>, nullptr},
    {"maxBytes", GetInteger<&TQ::maxBytes>, SetInteger<&TQ::maxBytes>, nullptr},
    {"typed", GetNumber<&TQ::typed>, SetNumber<&TQ::typed>, nullptr},
    {"typeSpeed", GetNumber<&TQ::typeSpeed>, SetNumber<&TQ::typeSpeed>, nullptr},
    {"selectionColor", [](lua_State* L, TQ& t) { lua_pushinteger(L, t.selectionColor); },
     [](lua_State* L, TQ& t) {
       t.selectionColor = UnsignedValue(L, 3);
       t.layoutDirty = true;
     },
     nullptr},
    {"style", [](lua_State* L, TQ& t) { lua_pushinteger(L, t.style); },
     [](lua_State* L, TQ& t) {
       t.style = static_cast<int8_t>(ByteValue(L, 3));
       t.layoutDirty = true;
     },
     nullptr},
    {"textId", [](lua_State* L, TQ& t) { lua_pushinteger(L, t.textId); },
     [](lua_State* L, TQ& t) {
       t.SetTextId(IntValue(L, 3));
       t.layoutDirty = true;
     },
     nullptr},
    {"font", [](lua_State* L, TQ& t) { lua_pushinteger(L, t.fontId); },
     [](lua_State* L, TQ& t) { t.SetFont(UnsignedValue(L, 3)); }, nullptr},
    {"text",
     [](lua_State* L, TQ& t) {
       const char* text = t.GetText();
       if (text) {
         lua_pushstring(L, text);
       } else {
         lua_pushnil(L);
       }
     },
     [](lua_State* L, TQ& t) {
       t.SetText(lua_tostring(L, 3));
       t.layoutDirty = true;
     },
     nullptr},
    {"getSelectionStart", nullptr, nullptr, GetSelectionStart},
    {"getSelectionEnd", nullptr, nullptr, GetSelectionEnd},
    {"getLineOf", nullptr, nullptr, GetLineOf},
    {"layout", nullptr, nullptr, Layout},
    {"measure", nullptr, nullptr, Measure},
    {"getCharIndexAt", nullptr, nullptr, GetCharIndexAt},
    {"setCallback", nullptr, nullptr, SetCallback},
};

const MemberTable<TQ>& Members() {
  static const MemberTable<TQ> table(kMembers);
  return table;
}

}  // namespace

void RegisterTextQuadClass(lua_State* L) {
  RegisterDisplayClass<TQ>(L, EntitySubclassIndex<TQ, Members>,
                           EntitySubclassNewIndex<TQ, Members>);
}

int NewTextQuadScript(lua_State* L) { return ConstructDisplayObject<TQ>(L); }

}  // namespace GCore
