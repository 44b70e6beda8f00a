// The debugger state's side of "remotedebug": the hook coroutine and the
// functions that inspect the host through references.
#include <cstring>
#include <string>

#include "modules/AddressText.h"
#include "modules/RemoteDebug.h"

namespace GCore::RemoteDebug {

namespace {

const char* const kEventNames[] = {"call", "return", "line", "count", "tail call"};

// The hook coroutine's loop, written in Lua: each resume brings (event,
// line, host thread); `translate` records the host and names the event.
const char kHookLoop[] = R"(
local f, translate, yield = ...
return function(event, line, host)
  while true do
    f(translate(event, line, host))
    event, line, host = yield()
  end
end
)";

int Translate(lua_State* D) {
  lua_pushvalue(D, 3);
  lua_rawsetp(D, LUA_REGISTRYINDEX, &kHostKey);
  if (lua_type(D, 1) == LUA_TNUMBER) {
    const lua_Integer code = lua_tointeger(D, 1);
    if (code < 0 || code > 4) return luaL_error(D, "Unkown hook event %d", static_cast<int>(code));
    lua_pushstring(D, kEventNames[code]);
  } else if (lua_type(D, 1) == LUA_TLIGHTUSERDATA) {
    lua_pushstring(D, static_cast<const char*>(lua_touserdata(D, 1)));
  } else {
    lua_pushnil(D);
  }
  lua_pushvalue(D, 2);
  return 2;
}

int YieldNothing(lua_State* D) { return lua_yield(D, 0); }

int SetHook(lua_State* D) {
  CheckHost(D);
  luaL_checktype(D, 1, LUA_TFUNCTION);
  // The host keeps its own pointer to the thread from `start` on.
  if (lua_rawgetp(D, LUA_REGISTRYINDEX, &kStartedKey) != LUA_TNIL) {
    return luaL_error(D, "sethook after the debugger has started");
  }
  lua_pop(D, 1);
  lua_State* thread = lua_newthread(D);
  if (luaL_loadbuffer(thread, kHookLoop, sizeof kHookLoop - 1, "=remotedebug hook") != LUA_OK) {
    return luaL_error(D, "%s", lua_tostring(thread, -1));
  }
  lua_pushvalue(D, 1);
  lua_pushcfunction(D, Translate);
  lua_pushcfunction(D, YieldNothing);
  lua_xmove(D, thread, 3);
  lua_call(thread, 3, 1);
  lua_rawsetp(D, LUA_REGISTRYINDEX, &kHookKey);
  return 0;
}

int HookMask(lua_State* D) {
  lua_State* host = CheckHost(D);
  lua_State* target = host;
  int first = 1;
  if (ToRef(D, 1)) {
    first = 2;
    const int type = Evaluate(D, 1, host);
    if (type == LUA_TNONE) return luaL_error(D, "Invalid thread");
    if (type != LUA_TTHREAD) {
      lua_pop(host, 1);
      return luaL_error(D, "Need coroutine, Is %s", lua_typename(D, type));
    }
    target = lua_tothread(host, -1);
    lua_pop(host, 1);
  }
  if (lua_type(D, first) != LUA_TSTRING) {
    lua_sethook(target, nullptr, 0, 0);
    return 0;
  }
  const char* letters = lua_tostring(D, first);
  int mask = 0;
  if (std::strchr(letters, 'c')) mask |= LUA_MASKCALL;
  if (std::strchr(letters, 'r')) mask |= LUA_MASKRET;
  if (std::strchr(letters, 'l')) mask |= LUA_MASKLINE;
  int count = 0;
  if (lua_isinteger(D, first + 1)) {
    count = static_cast<int>(lua_tointeger(D, first + 1));
    if (count > 0) mask |= LUA_MASKCOUNT;
  }
  lua_sethook(target, HostHook, mask, count);
  return 0;
}

// Pushes a reference from `node` over the parent at `parent` and returns
// its value (or the reference); nothing when it cannot be evaluated.
int ReturnRef(lua_State* D, lua_State* host, Node node, int parent, int key) {
  PushRef(D, node, parent, key);
  return ResolveTop(D, host) ? 1 : 0;
}

int GetLocal(lua_State* D) {
  lua_State* host = CheckHost(D);
  const auto level = static_cast<int>(luaL_checkinteger(D, 1));
  const auto n = static_cast<int>(luaL_checkinteger(D, 2));
  lua_Debug ar;
  if (level < 0 || level > UINT16_MAX || !lua_getstack(host, level, &ar)) return 0;
  if (!lua_checkstack(host, 1)) return luaL_error(D, "stack overflow");
  const char* name = lua_getlocal(host, &ar, n);
  if (!name) return 0;
  lua_pop(host, 1);
  lua_pushstring(D, name);
  return 1 + ReturnRef(D, host, Node{kLocal, static_cast<uint16_t>(level), n}, 0, 0);
}

int GetFunc(lua_State* D) {
  lua_State* host = CheckHost(D);
  const auto level = static_cast<int>(luaL_checkinteger(D, 1));
  lua_Debug ar;
  if (level < 0 || level > UINT16_MAX || !lua_getstack(host, level, &ar)) return 0;
  return ReturnRef(D, host, Node{kFrameFunction, static_cast<uint16_t>(level), 0}, 0, 0);
}

int GetUpvalue(lua_State* D) {
  lua_State* host = CheckHost(D);
  const auto n = static_cast<int>(luaL_checkinteger(D, 2));
  const int type = Evaluate(D, 1, host);
  if (type == LUA_TNONE) return 0;
  if (type != LUA_TFUNCTION) {
    lua_pop(host, 1);
    return 0;
  }
  const char* name = lua_getupvalue(host, -1, n);
  if (!name) {
    lua_pop(host, 1);
    return 0;
  }
  lua_pushstring(D, name);
  lua_pop(host, 2);
  return 1 + ReturnRef(D, host, Node{kUpvalue, 0, n}, 1, 0);
}

int GetMetatable(lua_State* D) {
  lua_State* host = CheckHost(D);
  luaL_checkany(D, 1);
  if (!ToRef(D, 1)) {
    const int type = lua_type(D, 1);
    return ReturnRef(D, host, Node{kMetatable, 1, type}, 0, 0);
  }
  const int type = Evaluate(D, 1, host);
  if (type == LUA_TNONE) return 0;
  lua_pop(host, 1);
  if (type == LUA_TTABLE || type == LUA_TUSERDATA) return ReturnRef(D, host, Node{kMetatable, 0, 0}, 1, 0);
  return ReturnRef(D, host, Node{kMetatable, 1, type}, 0, 0);
}

int GetUserValue(lua_State* D) {
  lua_State* host = CheckHost(D);
  const int type = Evaluate(D, 1, host);
  if (type == LUA_TNONE) return 0;
  lua_pop(host, 1);
  if (type != LUA_TUSERDATA) return 0;
  return ReturnRef(D, host, Node{kUserValue, 0, 0}, 1, 0);
}

// A field of the table at 1 with the key at `key`: plain or a reference.
int ReturnField(lua_State* D, lua_State* host, int key, bool nextKey) {
  const Node node{ToRef(D, key) ? kRefField : kField, static_cast<uint16_t>(nextKey ? 1 : 0), 0};
  return ReturnRef(D, host, node, 1, key);
}

int Index(lua_State* D) {
  lua_State* host = CheckHost(D);
  if (lua_gettop(D) != 2) return luaL_error(D, "need table key");
  const int type = Evaluate(D, 1, host);
  if (type == LUA_TNONE) return 0;
  lua_pop(host, 1);
  if (type != LUA_TTABLE) return 0;
  return ReturnField(D, host, 2, false);
}

int Next(lua_State* D) {
  lua_State* host = CheckHost(D);
  lua_settop(D, 2);
  const int type = Evaluate(D, 1, host);
  if (type == LUA_TNONE) return 0;
  lua_pop(host, 1);
  if (type != LUA_TTABLE) return 0;
  if (!ReturnField(D, host, 2, true)) return 0;
  if (lua_isnil(D, -1)) return 0;
  const int nextKey = lua_gettop(D);
  return 1 + ReturnField(D, host, nextKey, false);
}

int Value(lua_State* D) {
  lua_State* host = CheckHost(D);
  luaL_checkany(D, 1);
  if (!ToRef(D, 1)) {
    lua_settop(D, 1);
    return 1;
  }
  const int type = Evaluate(D, 1, host);
  if (type == LUA_TNONE) return 0;
  if (!CopyPlain(host, D)) {
    const std::string text =
        std::string("[") + lua_typename(D, type) + ": " + GCore::AddressText(lua_topointer(host, -1)) + "]";
    lua_pushlstring(D, text.data(), text.size());
  }
  lua_pop(host, 1);
  return 1;
}

int Type(lua_State* D) {
  lua_State* host = CheckHost(D);
  if (!ToRef(D, 1)) {
    lua_pushstring(D, luaL_typename(D, 1));
    return 1;
  }
  const int type = Evaluate(D, 1, host);
  if (type == LUA_TNONE) {
    lua_pushliteral(D, "no value");
    return 1;
  }
  lua_pop(host, 1);
  lua_pushstring(D, lua_typename(D, type));
  return 1;
}

int Props(lua_State* D) {
  lua_State* host = CheckHost(D);
  const int type = Evaluate(D, 1, host);
  if (type == LUA_TNONE) {
    lua_pushnil(D);
    return 1;
  }
  if (type == LUA_TFUNCTION && lua_iscfunction(host, -1)) {
    lua_createtable(D, 0, 1);
    PushAddressText(D, lua_topointer(host, -1));
    lua_setfield(D, -2, "pointer_address");
  } else if (type == LUA_TFUNCTION) {
    lua_Debug ar;
    lua_pushvalue(host, -1);
    lua_getinfo(host, ">S", &ar);
    lua_createtable(D, 0, 3);
    lua_pushstring(D, ar.source);
    lua_setfield(D, -2, "source");
    lua_pushinteger(D, ar.linedefined);
    lua_setfield(D, -2, "linedefined");
    lua_pushinteger(D, ar.lastlinedefined);
    lua_setfield(D, -2, "lastlinedefined");
  } else {
    lua_pushinteger(D, lua_status(host));
  }
  lua_pop(host, 1);
  return 1;
}

void SetStringField(lua_State* D, const char* name, const char* value) {
  lua_pushstring(D, value ? value : "");
  lua_setfield(D, -2, name);
}

void SetIntegerField(lua_State* D, const char* name, lua_Integer value) {
  lua_pushinteger(D, value);
  lua_setfield(D, -2, name);
}

int GetInfo(lua_State* D) {
  lua_State* host = CheckHost(D);
  const auto level = static_cast<int>(luaL_checkinteger(D, 1));
  lua_Debug ar;
  if (level < 0 || !lua_getstack(host, level, &ar)) return 0;
  lua_getinfo(host, "Snl", &ar);
  if (lua_istable(D, 2)) {
    lua_settop(D, 2);
  } else {
    lua_createtable(D, 0, 9);
  }
  SetStringField(D, "source", ar.source);
  SetStringField(D, "short_src", ar.short_src);
  SetIntegerField(D, "currentline", ar.currentline);
  SetIntegerField(D, "linedefined", ar.linedefined);
  SetIntegerField(D, "lastlinedefined", ar.lastlinedefined);
  SetStringField(D, "name", ar.name);
  SetStringField(D, "what", ar.what);
  SetStringField(D, "namewhat", ar.namewhat);
  // A frame found by level carries no hook event.
  SetIntegerField(D, "event", -1);
  return 1;
}

int ActiveLine(lua_State* D) {
  lua_State* host = CheckHost(D);
  lua_Integer line = luaL_checkinteger(D, 1);
  lua_Debug ar;
  if (!lua_getstack(host, 1, &ar) || !lua_checkstack(host, 1)) return 0;
  lua_getinfo(host, "SL", &ar);
  if (!lua_istable(host, -1)) {
    lua_pop(host, 1);
    return 0;
  }
  if (line < ar.linedefined) line = ar.linedefined;
  for (; line <= ar.lastlinedefined; ++line) {
    if (lua_rawgeti(host, -1, line) != LUA_TNIL) {
      lua_pop(host, 2);
      lua_pushinteger(D, line);
      return 1;
    }
    lua_pop(host, 1);
  }
  lua_pop(host, 1);
  return 0;
}

int Detail(lua_State* D) {
  CheckHost(D);
  luaL_checkany(D, 1);
  PushDetail(D, 1);
  return 1;
}

const luaL_Reg kDebuggerFunctions[] = {
    {"sethook", SetHook},       {"hookmask", HookMask},
    {"getlocal", GetLocal},     {"getfunc", GetFunc},
    {"getupvalue", GetUpvalue}, {"getmetatable", GetMetatable},
    {"getuservalue", GetUserValue}, {"index", Index},
    {"next", Next},             {"value", Value},
    {"type", Type},             {"props", Props},
    {"getinfo", GetInfo},       {"activeline", ActiveLine},
    {"detail", Detail},         {nullptr, nullptr},
};

void SetRootRef(lua_State* D, NodeKind kind, const char* name) {
  PushRef(D, Node{kind, 0, 0}, 0, 0);
  lua_setfield(D, -2, name);
}

}  // namespace

lua_State* CheckHost(lua_State* D) {
  lua_rawgetp(D, LUA_REGISTRYINDEX, &kHostKey);
  auto* host = static_cast<lua_State*>(lua_touserdata(D, -1));
  lua_pop(D, 1);
  if (!host) luaL_error(D, "Must call in debug client");
  return host;
}

void OpenDebuggerFunctions(lua_State* D) {
  luaL_newmetatable(D, kRefMetatable);
  lua_pop(D, 1);
  luaL_newlib(D, kDebuggerFunctions);
  lua_pushliteral(D, "debugger");
  lua_setfield(D, -2, "status");
  SetRootRef(D, kGlobals, "_G");
  SetRootRef(D, kRegistry, "_REGISTRY");
  SetRootRef(D, kMainThread, "_MAINTHREAD");
}

}  // namespace GCore::RemoteDebug
