// References of "remotedebug": building them in the debugger state,
// evaluating them in the host and describing them.
#include <cstring>
#include <string>

#include "modules/RemoteDebug.h"

namespace GCore::RemoteDebug {

namespace {

// Chains are walked recursively; debuggers build short ones.
constexpr uint32_t kMaxNodes = 4096;

// Pushes onto the host a dummy value of a basic type, for its metatable.
void PushDummy(lua_State* host, int type) {
  switch (type) {
    case LUA_TBOOLEAN: lua_pushboolean(host, 0); break;
    case LUA_TLIGHTUSERDATA: lua_pushlightuserdata(host, nullptr); break;
    case LUA_TNUMBER: lua_pushinteger(host, 0); break;
    case LUA_TSTRING: lua_pushliteral(host, ""); break;
    case LUA_TTHREAD: lua_rawgeti(host, LUA_REGISTRYINDEX, LUA_RIDX_MAINTHREAD); break;
    default: lua_pushnil(host); break;
  }
}

// Copies a plain value of D onto the host.
void CopyToHost(lua_State* D, int index, lua_State* host) {
  switch (lua_type(D, index)) {
    case LUA_TBOOLEAN: lua_pushboolean(host, lua_toboolean(D, index)); break;
    case LUA_TLIGHTUSERDATA: lua_pushlightuserdata(host, lua_touserdata(D, index)); break;
    case LUA_TNUMBER:
      if (lua_isinteger(D, index)) {
        lua_pushinteger(host, lua_tointeger(D, index));
      } else {
        lua_pushnumber(host, lua_tonumber(D, index));
      }
      break;
    case LUA_TSTRING: {
      size_t size = 0;
      const char* text = lua_tolstring(D, index, &size);
      lua_pushlstring(host, text, size);
      break;
    }
    default: lua_pushnil(host); break;
  }
}

class Evaluator {
 public:
  Evaluator(lua_State* D, int refIndex, lua_State* host)
      : D_(D), ref_(ToRef(D, refIndex)), keys_(lua_absindex(D, refIndex)), host_(host) {}

  // Leaves exactly one value on the host stack on success, none on failure.
  int Run(uint32_t i) {
    if (!lua_checkstack(host_, 3)) luaL_error(D_, "stack overflow");
    const Node& node = ref_->nodes[i];
    lua_Debug ar;
    switch (node.kind) {
      case kLocal:
        if (!lua_getstack(host_, node.a, &ar) || !lua_getlocal(host_, &ar, node.b)) return LUA_TNONE;
        return lua_type(host_, -1);
      case kFrameFunction:
        if (!lua_getstack(host_, node.a, &ar)) return LUA_TNONE;
        lua_getinfo(host_, "f", &ar);
        return lua_type(host_, -1);
      case kField:
        if (!RunExpecting(i + 1, LUA_TTABLE)) return LUA_TNONE;
        PushPlainKey(node.b);
        return Lookup(node.a == 1);
      case kRefField: {
        if (!RunExpecting(i + 1, LUA_TTABLE)) return LUA_TNONE;
        const int keyType = Run(i + 1 + static_cast<uint32_t>(node.b));
        if (keyType == LUA_TNONE) {
          lua_pop(host_, 1);
          return LUA_TNONE;
        }
        return Lookup(node.a == 1);
      }
      case kUpvalue:
        if (!RunExpecting(i + 1, LUA_TFUNCTION)) return LUA_TNONE;
        if (!lua_getupvalue(host_, -1, node.b)) {
          lua_pop(host_, 1);
          return LUA_TNONE;
        }
        lua_remove(host_, -2);
        return lua_type(host_, -1);
      case kGlobals: lua_pushglobaltable(host_); return LUA_TTABLE;
      case kRegistry: lua_pushvalue(host_, LUA_REGISTRYINDEX); return LUA_TTABLE;
      case kMainThread: return lua_rawgeti(host_, LUA_REGISTRYINDEX, LUA_RIDX_MAINTHREAD);
      case kMetatable:
        if (node.a == 1) {
          PushDummy(host_, node.b);
        } else {
          if (!RunExpecting(i + 1, LUA_TTABLE, LUA_TUSERDATA)) return LUA_TNONE;
        }
        if (!lua_getmetatable(host_, -1)) {
          lua_pop(host_, 1);
          return LUA_TNONE;
        }
        lua_remove(host_, -2);
        return LUA_TTABLE;
      case kUserValue:
        if (!RunExpecting(i + 1, LUA_TUSERDATA)) return LUA_TNONE;
        lua_getuservalue(host_, -1);
        lua_remove(host_, -2);
        return lua_type(host_, -1);
      default: return LUA_TNONE;
    }
  }

 private:
  // Runs the chain at `i`; a value of another type is popped again.
  bool RunExpecting(uint32_t i, int type, int other = LUA_TNONE) {
    const int found = Run(i);
    if (found == LUA_TNONE) return false;
    if (found == type || found == other) return true;
    lua_pop(host_, 1);
    return false;
  }

  void PushPlainKey(int32_t index) {
    if (index == 0) {
      lua_pushnil(host_);
      return;
    }
    lua_getuservalue(D_, keys_);
    lua_rawgeti(D_, -1, index);
    CopyToHost(D_, -1, host_);
    lua_pop(D_, 2);
  }

  // Table below, key on top: the value at the key, or the next key.
  int Lookup(bool nextKey) {
    if (!nextKey) {
      lua_rawget(host_, -2);
      lua_remove(host_, -2);
      return lua_type(host_, -1);
    }
    // A key no longer in the table would make lua_next raise in the host.
    if (!lua_isnil(host_, -1)) {
      lua_pushvalue(host_, -1);
      if (lua_rawget(host_, -3) == LUA_TNIL) {
        lua_pop(host_, 3);
        return LUA_TNONE;
      }
      lua_pop(host_, 1);
    }
    if (lua_next(host_, -2)) {
      lua_pop(host_, 1);
    } else {
      lua_pushnil(host_);
    }
    lua_remove(host_, -2);
    return lua_type(host_, -1);
  }

  lua_State* D_;
  Ref* ref_;
  int keys_;
  lua_State* host_;
};

void AppendDetail(lua_State* D, const Ref* ref, int keys, uint32_t i, std::string& text);

void AppendKey(lua_State* D, int keys, int32_t index, std::string& text) {
  if (index == 0) {
    text += "nil";
    return;
  }
  lua_getuservalue(D, keys);
  lua_rawgeti(D, -1, index);
  text += luaL_tolstring(D, -1, nullptr);
  lua_pop(D, 3);
}

void AppendDetail(lua_State* D, const Ref* ref, int keys, uint32_t i, std::string& text) {
  const Node& node = ref->nodes[i];
  char buffer[64];
  switch (node.kind) {
    case kLocal:
      std::snprintf(buffer, sizeof buffer, "(L %d %d)", node.a, static_cast<int>(node.b));
      text += buffer;
      return;
    case kFrameFunction:
      std::snprintf(buffer, sizeof buffer, "(f %d)", node.a);
      text += buffer;
      return;
    case kField:
    case kRefField: {
      std::string parent, key;
      AppendDetail(D, ref, keys, i + 1, parent);
      if (node.kind == kField) {
        AppendKey(D, keys, node.b, key);
      } else {
        AppendDetail(D, ref, keys, i + 1 + static_cast<uint32_t>(node.b), key);
      }
      if (node.a == 1) {
        text += "(next " + parent + " " + key + ")";
      } else if (node.kind == kField) {
        text += parent + "." + key;
      } else {
        text += parent + "[" + key + "]";
      }
      return;
    }
    case kUpvalue:
      AppendDetail(D, ref, keys, i + 1, text);
      std::snprintf(buffer, sizeof buffer, ".u[%d]", static_cast<int>(node.b));
      text += buffer;
      return;
    case kGlobals: text += "_G"; return;
    case kRegistry: text += "_REGISTRY"; return;
    case kMainThread: text += "_MAINTHREAD"; return;
    case kMetatable:
      if (node.a == 1) {
        text += std::string("(") + lua_typename(D, node.b) + " mt)";
      } else {
        text += "(";
        AppendDetail(D, ref, keys, i + 1, text);
        text += " mt)";
      }
      return;
    case kUserValue:
      text += "(";
      AppendDetail(D, ref, keys, i + 1, text);
      text += " uv)";
      return;
    default: text += "?"; return;
  }
}

// Appends the plain keys of the reference at `from` to the key table on top
// of D; returns how many there were.
int AppendKeys(lua_State* D, int from) {
  lua_getuservalue(D, from);
  const int count = static_cast<int>(lua_rawlen(D, -1));
  const int base = static_cast<int>(lua_rawlen(D, -2));
  for (int k = 1; k <= count; ++k) {
    lua_rawgeti(D, -1, k);
    lua_rawseti(D, -3, base + k);
  }
  lua_pop(D, 1);
  return base;
}

}  // namespace

Ref* ToRef(lua_State* D, int index) { return static_cast<Ref*>(luaL_testudata(D, index, kRefMetatable)); }

int Evaluate(lua_State* D, int index, lua_State* host) {
  if (!ToRef(D, index)) return LUA_TNONE;
  return Evaluator(D, index, host).Run(0);
}

void PushRef(lua_State* D, Node node, int parent, int key) {
  parent = parent ? lua_absindex(D, parent) : 0;
  key = key ? lua_absindex(D, key) : 0;
  const Ref* parentRef = parent ? ToRef(D, parent) : nullptr;
  const Ref* keyRef = node.kind == kRefField ? ToRef(D, key) : nullptr;
  const uint32_t parentCount = parentRef ? parentRef->count : 0;
  const uint32_t keyCount = keyRef ? keyRef->count : 0;
  const uint32_t count = 1 + parentCount + keyCount;
  if (count > kMaxNodes) luaL_error(D, "reference too deep");
  if (keyRef) node.b = static_cast<int32_t>(parentCount);
  auto* ref = static_cast<Ref*>(lua_newuserdata(D, offsetof(Ref, nodes) + count * sizeof(Node)));
  ref->count = count;
  ref->nodes[0] = node;
  if (parentRef) std::memcpy(ref->nodes + 1, parentRef->nodes, parentCount * sizeof(Node));
  lua_newtable(D);
  if (parentRef) AppendKeys(D, parent);
  if (keyRef) {
    // The key chain's plain keys follow the table chain's: shift their indices.
    const int shift = AppendKeys(D, key);
    std::memcpy(ref->nodes + 1 + parentCount, keyRef->nodes, keyCount * sizeof(Node));
    for (uint32_t i = 1 + parentCount; i < count; ++i) {
      Node& moved = ref->nodes[i];
      if (moved.kind == kField && moved.b != 0) moved.b += shift;
    }
  }
  if (node.kind == kField && key && !lua_isnil(D, key)) {
    lua_pushvalue(D, key);
    const int index = static_cast<int>(lua_rawlen(D, -2)) + 1;
    lua_rawseti(D, -2, index);
    ref->nodes[0].b = index;
  } else if (node.kind == kField) {
    ref->nodes[0].b = 0;
  }
  lua_setuservalue(D, -2);
  luaL_setmetatable(D, kRefMetatable);
}

bool CopyPlain(lua_State* host, lua_State* D) {
  switch (lua_type(host, -1)) {
    case LUA_TNIL: lua_pushnil(D); return true;
    case LUA_TBOOLEAN: lua_pushboolean(D, lua_toboolean(host, -1)); return true;
    case LUA_TLIGHTUSERDATA: lua_pushlightuserdata(D, lua_touserdata(host, -1)); return true;
    case LUA_TNUMBER:
      if (lua_isinteger(host, -1)) {
        lua_pushinteger(D, lua_tointeger(host, -1));
      } else {
        lua_pushnumber(D, lua_tonumber(host, -1));
      }
      return true;
    case LUA_TSTRING: {
      size_t size = 0;
      const char* text = lua_tolstring(host, -1, &size);
      lua_pushlstring(D, text, size);
      return true;
    }
    default: return false;
  }
}

bool ResolveTop(lua_State* D, lua_State* host) {
  if (Evaluate(D, -1, host) == LUA_TNONE) {
    lua_pop(D, 1);
    return false;
  }
  if (CopyPlain(host, D)) lua_remove(D, -2);
  lua_pop(host, 1);
  return true;
}

void PushDetail(lua_State* D, int index) {
  index = lua_absindex(D, index);
  const Ref* ref = ToRef(D, index);
  if (!ref) {
    const char* type = luaL_typename(D, index);
    const char* text = luaL_tolstring(D, index, nullptr);
    lua_pushfstring(D, "[%s:%s]", type, text);
    lua_remove(D, -2);
    return;
  }
  std::string text;
  AppendDetail(D, ref, index, 0, text);
  lua_pushlstring(D, text.data(), text.size());
}

}  // namespace GCore::RemoteDebug
