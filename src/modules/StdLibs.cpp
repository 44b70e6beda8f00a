#include "modules/StdLibs.h"

namespace {

const luaL_Reg kLibraries[] = {
    {"_G", luaopen_base},
    {LUA_LOADLIBNAME, luaopen_package},
    {LUA_COLIBNAME, luaopen_coroutine},
    {LUA_TABLIBNAME, luaopen_table},
    {LUA_IOLIBNAME, luaopen_io},
    {LUA_OSLIBNAME, luaopen_os},
    {LUA_STRLIBNAME, luaopen_string},
    {LUA_MATHLIBNAME, luaopen_math},
    {LUA_UTF8LIBNAME, luaopen_utf8},
    {LUA_DBLIBNAME, luaopen_debug},
};

}  // namespace

extern "C" void luaL_openlibs(lua_State* L) {
  for (const luaL_Reg& library : kLibraries) {
    luaL_requiref(L, library.name, library.func, 1);
    lua_pop(L, 1);
  }
}
