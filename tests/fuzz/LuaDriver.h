#pragma once
// A Lua state for fuzzers of script modules: the module under test is
// preloaded, a driver chunk written in Lua receives each input as a string,
// and an error that escapes the driver is a finding (it prints and traps).
// The driver catches the module's own refusals with pcall and asserts what
// must hold of them.
#include <cstdio>
#include <cstdlib>

#include <lua.hpp>

namespace fuzzlua {

class Driver {
 public:
  Driver(const char* moduleName, lua_CFunction opener, const char* driverSource) : L_(luaL_newstate()) {
    luaL_openlibs(L_);
    luaL_requiref(L_, moduleName, opener, 0);
    lua_setfield(L_, LUA_REGISTRYINDEX, "fuzz_module");
    if (luaL_loadstring(L_, driverSource) != LUA_OK) Fail();
    lua_setfield(L_, LUA_REGISTRYINDEX, "fuzz_driver");
  }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;
  ~Driver() { lua_close(L_); }

  // Calls driver(module, input).
  void Run(const uint8_t* data, size_t size) {
    lua_getfield(L_, LUA_REGISTRYINDEX, "fuzz_driver");
    lua_getfield(L_, LUA_REGISTRYINDEX, "fuzz_module");
    lua_pushlstring(L_, reinterpret_cast<const char*>(data), size);
    if (lua_pcall(L_, 2, 0, 0) != LUA_OK) Fail();
    // Collected now, so that a finaliser's fault shows with the input that caused it.
    lua_gc(L_, LUA_GCCOLLECT, 0);
  }

 private:
  [[noreturn]] void Fail() {
    const char* message = lua_tostring(L_, -1);
    std::fprintf(stderr, "fuzz driver: %s\n", message ? message : "(error object is not a string)");
    __builtin_trap();
  }

  lua_State* L_;
};

}  // namespace fuzzlua
