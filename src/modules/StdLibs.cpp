#include "modules/StdLibs.h"

#include "modules/DataModules.h"
#include "modules/Eris.h"
#include "modules/LpegModule.h"
#include "modules/ToolModules.h"

namespace {

int OpenBase(lua_State* L) {
  luaopen_base(L);
  lua_pushliteral(L, "Lua+Eris 5.3");
  lua_setfield(L, -2, "_VERSION");
  return 1;
}

// Scripts may not start programs.
int ExecuteNothing(lua_State*) { return 0; }

int OpenOs(lua_State* L) {
  luaopen_os(L);
  lua_pushcfunction(L, ExecuteNothing);
  lua_setfield(L, -2, "execute");
  return 1;
}

int OpenString(lua_State* L) {
  luaopen_string(L);
  lua_getfield(L, -1, "format");
  lua_setfield(L, -2, "parse");
  return 1;
}

// In this order; each is also stored as a global of its name.
const luaL_Reg kLibraries[] = {
    {"_G", OpenBase},
    {LUA_LOADLIBNAME, luaopen_package},
    {LUA_COLIBNAME, luaopen_coroutine},
    {LUA_TABLIBNAME, luaopen_table},
    {LUA_IOLIBNAME, luaopen_io},
    {LUA_OSLIBNAME, OpenOs},
    {LUA_STRLIBNAME, OpenString},
    {LUA_MATHLIBNAME, luaopen_math},
    {LUA_UTF8LIBNAME, luaopen_utf8},
    {LUA_DBLIBNAME, luaopen_debug},
    {"eris", luaopen_eris},
    {"remotedebug", luaopen_remotedebug},
    {"lsocket", luaopen_lsocket},
    {"cmsgpack", luaopen_cmsgpack},
    {"lpeg", luaopen_lpeg},
};

}  // namespace

extern "C" void luaL_openlibs(lua_State* L) {
  for (const luaL_Reg& library : kLibraries) {
    luaL_requiref(L, library.name, library.func, 1);
    lua_pop(L, 1);
  }
}
