// The host side of "remotedebug": starting and closing the debugger state,
// the host's debug hook and probes, and the module opener for both states.
#include <cstdio>
#include <string>

#include "modules/RemoteDebug.h"
#include "modules/StdLibs.h"
#include "modules/ToolModules.h"

namespace GCore::RemoteDebug {

const char kHostKey = 0;
const char kClientKey = 0;
const char kHookKey = 0;
const char kStartedKey = 0;

namespace {

// In the host's registry: true while the debugger runs inside a hook or probe.
const char kBusyKey = 0;

bool IsBusy(lua_State* host) {
  const bool busy = lua_rawgetp(host, LUA_REGISTRYINDEX, &kBusyKey) == LUA_TBOOLEAN && lua_toboolean(host, -1);
  lua_pop(host, 1);
  return busy;
}

class BusyScope {
 public:
  explicit BusyScope(lua_State* host) : host_(host) { Set(true); }
  ~BusyScope() { Set(false); }

 private:
  void Set(bool busy) {
    lua_pushboolean(host_, busy);
    lua_rawsetp(host_, LUA_REGISTRYINDEX, &kBusyKey);
  }
  lua_State* host_;
};

lua_State* HookThread(lua_State* host) {
  lua_rawgetp(host, LUA_REGISTRYINDEX, &kHookKey);
  auto* thread = static_cast<lua_State*>(lua_touserdata(host, -1));
  lua_pop(host, 1);
  return thread;
}

// Resumes the hook thread with what is on its stack; on anything but a
// yield, returns false with the debugger's message in `message`.
bool ResumeHookThread(lua_State* host, lua_State* thread, int nargs, std::string& message) {
  int status;
  {
    BusyScope busy(host);
    status = lua_resume(thread, nullptr, nargs);
  }
  if (status == LUA_YIELD) {
    lua_settop(thread, 0);
    return true;
  }
  const char* text = lua_tostring(thread, -1);
  message = text ? text : "Unknown Error";
  return false;
}

// Runs under the host's protection: (event code, line or nil).
int ResumeFromHook(lua_State* host) {
  lua_State* thread = HookThread(host);
  if (!thread) return 0;
  if (!lua_checkstack(thread, 3)) return luaL_error(host, "debugger L stack overflow");
  lua_pushinteger(thread, lua_tointeger(host, 1));
  if (lua_isinteger(host, 2)) {
    lua_pushinteger(thread, lua_tointeger(host, 2));
  } else {
    lua_pushnil(thread);
  }
  lua_pushlightuserdata(thread, host);
  std::string message;
  if (!ResumeHookThread(host, thread, 3, message)) return luaL_error(host, "debugger error: %s", message.c_str());
  return 0;
}

int Bootstrap(lua_State* D) {
  lua_pushvalue(D, 2);
  lua_rawsetp(D, LUA_REGISTRYINDEX, &kHostKey);
  luaL_openlibs(D);
  if (lua_getglobal(D, "require") != LUA_TFUNCTION) return luaL_error(D, "No require api");
  lua_pushvalue(D, 1);
  lua_call(D, 1, 0);
  return 0;
}

void RefuseWhenBusy(lua_State* host, const char* what) {
  if (IsBusy(host)) luaL_error(host, "cannot %s the debugger inside its hook or probe", what);
}

int Clear(lua_State* host) {
  RefuseWhenBusy(host, "clear");
  ClearDebugger(host);
  return 0;
}

int Start(lua_State* host) {
  const char* name = luaL_checkstring(host, 1);
  RefuseWhenBusy(host, "start");
  ClearDebugger(host);
  lua_State* D = luaL_newstate();
  if (!D) return luaL_error(host, "Can't new debug client");
  lua_pushlightuserdata(host, D);
  lua_rawsetp(host, LUA_REGISTRYINDEX, &kClientKey);
  if (!lua_checkstack(D, 3)) {
    ClearDebugger(host);
    return luaL_error(host, "debugger L stack overflow");
  }
  lua_pushcfunction(D, Bootstrap);
  lua_pushstring(D, name);
  lua_pushlightuserdata(D, host);
  if (lua_pcall(D, 2, 0, 0) != LUA_OK) {
    const char* text = lua_tostring(D, -1);
    const std::string message = text ? text : "Unknown Error";
    ClearDebugger(host);
    return luaL_error(host, "%s", message.c_str());
  }
  if (lua_rawgetp(D, LUA_REGISTRYINDEX, &kHookKey) != LUA_TTHREAD) {
    ClearDebugger(host);
    return luaL_error(host, "debugger has not set hook");
  }
  lua_pushlightuserdata(host, lua_tothread(D, -1));
  lua_rawsetp(host, LUA_REGISTRYINDEX, &kHookKey);
  lua_pop(D, 1);
  lua_pushboolean(D, 1);
  lua_rawsetp(D, LUA_REGISTRYINDEX, &kStartedKey);
  return 0;
}

int Probe(lua_State* host) {
  lua_State* thread = HookThread(host);
  lua_Debug ar;
  if (!thread || IsBusy(host) || !lua_getstack(host, 1, &ar)) return 0;
  lua_getinfo(host, "l", &ar);
  if (ar.currentline < 0) return 0;
  if (!lua_checkstack(thread, 3)) return 0;
  if (lua_type(host, 1) == LUA_TSTRING) {
    lua_pushlightuserdata(thread, const_cast<char*>(lua_tostring(host, 1)));
  } else {
    lua_pushnil(thread);
  }
  lua_pushinteger(thread, ar.currentline);
  lua_pushlightuserdata(thread, host);
  std::string message;
  if (!ResumeHookThread(host, thread, 3, message)) {
    std::printf("err: %s\n", message.c_str());
    std::fflush(stdout);
    ClearDebugger(host);
  }
  return 0;
}

const luaL_Reg kHostFunctions[] = {
    {"start", Start},
    {"clear", Clear},
    {"probe", Probe},
    {nullptr, nullptr},
};

void OpenHostFunctions(lua_State* host) {
  luaL_newlib(host, kHostFunctions);
  lua_pushliteral(host, "host");
  lua_setfield(host, -2, "status");
  lua_createtable(host, 0, 1);
  lua_pushcfunction(host, Clear);
  lua_setfield(host, -2, "__gc");
  lua_setmetatable(host, -2);
}

}  // namespace

void ClearDebugger(lua_State* host) {
  lua_pushnil(host);
  lua_rawsetp(host, LUA_REGISTRYINDEX, &kHookKey);
  lua_rawgetp(host, LUA_REGISTRYINDEX, &kClientKey);
  auto* D = static_cast<lua_State*>(lua_touserdata(host, -1));
  lua_pop(host, 1);
  lua_pushnil(host);
  lua_rawsetp(host, LUA_REGISTRYINDEX, &kClientKey);
  if (D) lua_close(D);
}

void HostHook(lua_State* host, lua_Debug* ar) {
  if (!HookThread(host)) {
    lua_sethook(host, nullptr, 0, 0);
    return;
  }
  if (!lua_checkstack(host, 4)) return;
  int line = ar->currentline;
  if (ar->event != LUA_HOOKLINE) {
    lua_getinfo(host, "l", ar);
    line = ar->currentline;
  }
  lua_pushcfunction(host, ResumeFromHook);
  lua_pushinteger(host, ar->event);
  // A C function has no current line: its events come without one.
  if (line >= 0) {
    lua_pushinteger(host, line);
  } else {
    lua_pushnil(host);
  }
  if (lua_pcall(host, 2, 0, 0) != LUA_OK) {
    const char* text = lua_tostring(host, -1);
    std::printf("hook err: %s\n", text ? text : "?");
    std::fflush(stdout);
    lua_pop(host, 1);
    ClearDebugger(host);
    lua_sethook(host, nullptr, 0, 0);
  }
}

}  // namespace GCore::RemoteDebug

extern "C" int luaopen_remotedebug(lua_State* L) {
  using namespace GCore::RemoteDebug;
  const bool debugger = lua_rawgetp(L, LUA_REGISTRYINDEX, &kHostKey) != LUA_TNIL;
  lua_pop(L, 1);
  if (debugger) {
    OpenDebuggerFunctions(L);
  } else {
    OpenHostFunctions(L);
  }
  return 1;
}
