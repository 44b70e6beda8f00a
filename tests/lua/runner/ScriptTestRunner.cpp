// Headless script test runner: opens a state the way a project does (without
// a window), runs each Lua test file given on the command line and ends with
// the line "N passed, N failed". A test file registers its cases with
// test(name, function); a case fails when it raises an error.
#include <cstdio>
#include <string>
#include <vector>

#include <lua.hpp>

#include "core/ScriptVM.h"

namespace {

int Traceback(lua_State* L) {
  const char* message = lua_tostring(L, 1);
  luaL_traceback(L, L, message ? message : "(error object is not a string)", 1);
  return 1;
}

int RegisterTest(lua_State* L) {
  luaL_checkstring(L, 1);
  luaL_checktype(L, 2, LUA_TFUNCTION);
  lua_getfield(L, LUA_REGISTRYINDEX, "script_tests");
  lua_newtable(L);
  lua_pushvalue(L, 1);
  lua_rawseti(L, -2, 1);
  lua_pushvalue(L, 2);
  lua_rawseti(L, -2, 2);
  lua_rawseti(L, -2, static_cast<lua_Integer>(lua_rawlen(L, -2)) + 1);
  return 0;
}

// Calls the function on top with the traceback handler; prints the failure.
bool Run(lua_State* L, const std::string& what) {
  lua_pushcfunction(L, Traceback);
  lua_insert(L, -2);
  const bool ok = lua_pcall(L, 0, 0, -2) == LUA_OK;
  if (!ok) std::printf("FAIL %s\n%s\n", what.c_str(), lua_tostring(L, -1));
  lua_settop(L, 0);
  return ok;
}

void RunFile(const char* path, int& passed, int& failed) {
  lua_State* L = GCore::NewProjectState();
  if (!L) {
    ++failed;
    return;
  }
  lua_newtable(L);
  lua_setfield(L, LUA_REGISTRYINDEX, "script_tests");
  lua_register(L, "test", RegisterTest);

  if (luaL_loadfile(L, path) != LUA_OK) {
    std::printf("FAIL %s\n%s\n", path, lua_tostring(L, -1));
    ++failed;
  } else if (!Run(L, path)) {
    ++failed;
  } else {
    lua_getfield(L, LUA_REGISTRYINDEX, "script_tests");
    const lua_Integer count = static_cast<lua_Integer>(lua_rawlen(L, -1));
    for (lua_Integer i = 1; i <= count; ++i) {
      lua_getfield(L, LUA_REGISTRYINDEX, "script_tests");
      lua_rawgeti(L, -1, i);
      lua_rawgeti(L, -1, 1);
      const std::string name = lua_tostring(L, -1);
      lua_rawgeti(L, -2, 2);
      lua_replace(L, 1);
      lua_settop(L, 1);
      if (Run(L, std::string(path) + ": " + name)) {
        ++passed;
      } else {
        ++failed;
      }
    }
  }
  lua_close(L);
}

}  // namespace

int main(int argc, char** argv) {
  int passed = 0;
  int failed = 0;
  for (int i = 1; i < argc; ++i) RunFile(argv[i], passed, failed);
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
