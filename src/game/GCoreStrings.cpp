// "gcore.c": strings, digits, character sets, hashes, tags and ids.
#include <cstdio>
#include <string>
#include <string_view>

#include "core/CodePage.h"
#include "game/GCoreApi.h"
#include "core/HexDigits.h"
#include "core/Object.h"
#include "core/ResourcePath.h"

namespace GCore::Api {

namespace {

// The text at `index` (a string, or a number as its text), or null.
std::string_view StringArg(lua_State* L, int index, bool& given) {
  size_t length = 0;
  const char* text = lua_isstring(L, index) ? lua_tolstring(L, index, &length) : nullptr;
  given = text != nullptr;
  return given ? std::string_view(text, length) : std::string_view();
}

// Digits read through `digitValue` (the base or more for a non-digit), at
// most `count` of them, value * base + digit wrapping at 32 bits.
template <class DigitValue>
uint32_t ParseDigits(const char* text, int count, uint32_t base, DigitValue digitValue) {
  uint32_t value = 0;
  for (int i = 0; text && i < count; ++i) {
    const uint32_t digit = digitValue(static_cast<uint8_t>(text[i]));
    if (digit >= base) break;
    value = value * base + digit;
  }
  return value;
}

// The count argument of the digit readers: outside 1..limit or absent, the limit.
int DigitCount(lua_State* L, int index, int limit) {
  const int32_t count = IntArg(L, index);
  return count >= 1 && count <= limit ? count : limit;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

int ToHexUINT(lua_State* L) {
  const int count = DigitCount(L, 2, 8);
  PushUnsigned(L, ParseDigits(TextArg(L, 1), count, 16, [](uint8_t c) { return uint32_t{kHexDigitValue[c]}; }));
  return 1;
}

int ToDecUINT(lua_State* L) {
  const int count = DigitCount(L, 2, 10);
  PushUnsigned(L, ParseDigits(TextArg(L, 1), count, 10, [](uint8_t c) {
    return c >= '0' && c <= '9' ? uint32_t(c - '0') : 10u;
  }));
  return 1;
}

int ToHexString(lua_State* L) {
  // A zero-padded field of |width| digits; a negative width pads on the
  // right with blanks instead, as the C field width does. Bounded so that no
  // script can ask for a field the size of its memory.
  constexpr int32_t kWidestField = 256;
  const uint32_t value = IdArg(L, 1);
  int32_t width = IntArg(L, 2);
  if (width > kWidestField) width = kWidestField;
  if (width < -kWidestField) width = -kWidestField;
  char text[kWidestField + 16];
  if (width == 0) {
    std::snprintf(text, sizeof(text), "%x", value);
  } else {
    std::snprintf(text, sizeof(text), "%0*x", static_cast<int>(width), value);
  }
  lua_pushstring(L, text);
  return 1;
}

int IsHex(lua_State* L) {
  lua_pushboolean(L, IsHexDigit(static_cast<uint8_t>(IdArg(L, 1))));
  return 1;
}

int StrTrim(lua_State* L) {
  bool given = false;
  std::string_view text = StringArg(L, 1, given);
  if (!given) return 0;
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  lua_pushlstring(L, text.data(), text.size());
  return 1;
}

int StrRFind(lua_State* L) {
  bool textGiven = false, charGiven = false;
  const std::string_view text = StringArg(L, 1, textGiven);
  const std::string_view character = StringArg(L, 2, charGiven);
  lua_Integer position = -1;
  if (textGiven && charGiven && !character.empty()) {
    const size_t found = text.rfind(character.front());
    if (found != std::string_view::npos) position = static_cast<lua_Integer>(found) + 1;
  }
  lua_pushinteger(L, position);
  return 1;
}

int UTF8ToUTF32(lua_State* L) {
  bool given = false;
  const std::string_view text = StringArg(L, 1, given);
  PushUnsigned(L, FirstCodePoint(text));
  return 1;
}

int GBKToUTF(lua_State* L) {
  bool given = false;
  const std::string text = GbkToUtf8(StringArg(L, 1, given));
  lua_pushlstring(L, text.data(), text.size());
  return 1;
}

int UtfToGbk(lua_State* L) {
  // Results are limited to what the system's 500-byte buffer held.
  constexpr size_t kLongestResult = 499;
  bool given = false;
  const std::string text = Utf8ToGbk(StringArg(L, 1, given));
  if (text.size() > kLongestResult) {
    lua_pushnil(L);
  } else {
    lua_pushlstring(L, text.data(), text.size());
  }
  return 1;
}

int hash(lua_State* L) {
  const char* text = TextArg(L, 1);
  PushUnsigned(L, KeyHash(text ? text : ""));
  return 1;
}

int MakeTags(lua_State* L) {
  // The shift count is taken modulo 32, as the processor does.
  const uint32_t bit = IdArg(L, 1) & 31u;
  lua_pushinteger(L, static_cast<int32_t>(1u << bit));
  return 1;
}

int ContainTag(lua_State* L) {
  const uint32_t mask = IdArg(L, 1);
  const uint32_t bit = IdArg(L, 2) & 31u;
  lua_pushboolean(L, (mask >> bit) & 1u);
  return 1;
}

int QID(lua_State* L) {
  lua_pushlightuserdata(L, reinterpret_cast<void*>(static_cast<uintptr_t>(IdArg(L, 1))));
  return 1;
}

int ToStr(lua_State* L) {
  const int type = lua_type(L, 1);
  if (type == LUA_TUSERDATA || type == LUA_TLIGHTUSERDATA) {
    lua_pushnil(L);
  } else {
    lua_pushliteral(L, "nil");
  }
  return 1;
}

int luaDirID(lua_State* L) {
  const char* name = TextArg(L, 1);
  lua_pushinteger(L, name ? GCore::luaDirID(name) : 0);
  return 1;
}

}  // namespace GCore::Api
