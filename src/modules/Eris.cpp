// Module "eris": the script functions and the two drivers.
#include "modules/Eris.h"

#include <exception>
#include <string>

#include "modules/ErisCommon.h"

namespace GCore {
namespace eris {

namespace {

int AppendToBuffer(lua_State*, const void* bytes, size_t n, void* buffer) {
  try {
    static_cast<std::string*>(buffer)->append(static_cast<const char*>(bytes), n);
    return 0;
  } catch (const std::exception&) {
    return 1;
  }
}

struct WholeString {
  const char* data;
  size_t size;
};

// Hands out the whole string once, then reports the end.
const char* ReadWholeString(lua_State*, void* source, size_t* size) {
  auto* text = static_cast<WholeString*>(source);
  *size = text->size;
  text->size = 0;
  return *size > 0 ? text->data : nullptr;
}

// Brings the arguments to (permanents, value): an empty permanents table
// when only the value is given.
void NormaliseArguments(lua_State* L) {
  if (lua_gettop(L) <= 1) {
    lua_newtable(L);
    lua_insert(L, 1);
  } else {
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_settop(L, 2);
  }
}

int Persist(lua_State* L) {
  luaL_checkany(L, lua_gettop(L) <= 1 ? 1 : 2);
  NormaliseArguments(L);
  std::string buffer;
  eris_dump(L, AppendToBuffer, &buffer);
  lua_pushlstring(L, buffer.data(), buffer.size());
  return 1;
}

int Unpersist(lua_State* L) {
  luaL_checkstring(L, lua_gettop(L) <= 1 ? 1 : 2);
  NormaliseArguments(L);
  WholeString source{nullptr, 0};
  source.data = lua_tolstring(L, 2, &source.size);
  eris_undump(L, ReadWholeString, &source);
  return 1;
}

}  // namespace
}  // namespace eris

void ErisDumpWithWidths(lua_State* L, lua_Writer writer, void* data, ErisWidths widths) {
  for (int width : {widths.int_width, widths.size_width}) {
    if (width != 2 && width != 4 && width != 8) luaL_error(L, "unsupported field width %d", width);
  }
  eris::Dump(L, writer, data, widths);
}

}  // namespace GCore

extern "C" {

void eris_dump(lua_State* L, lua_Writer writer, void* data) { GCore::eris::Dump(L, writer, data, GCore::ErisWidths{}); }

void eris_undump(lua_State* L, lua_Reader reader, void* data) { GCore::eris::Undump(L, reader, data); }

int luaopen_eris(lua_State* L) {
  luaL_checkversion(L);
  static const luaL_Reg kErisFunctions[] = {{"persist", GCore::eris::Persist},
                                            {"unpersist", GCore::eris::Unpersist},
                                            {"settings", GCore::eris::SettingsFunction},
                                            {nullptr, nullptr}};
  luaL_newlib(L, kErisFunctions);
  return 1;
}
}
