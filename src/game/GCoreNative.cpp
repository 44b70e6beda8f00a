// "gcore.c": native libraries and calls into their exported functions.
// A closure made by procaddress turns each script argument into one integer
// word (nil 0, booleans 0 or 1, light userdata their pointer, numbers their
// integer value, strings the address of their bytes) and calls the function
// with them as integer or pointer arguments, up to eight; its integer result
// is pushed as the result sample's type says.
#include <dlfcn.h>

#include <cmath>
#include <map>

#include "game/GCoreApi.h"

namespace GCore::Api {

namespace {

constexpr int kMostArguments = 8;
using Word = uint64_t;

// The handles open_dll gave out and has not released: only these are closed
// or searched, so a stray pointer from a script never reaches the loader.
// Counted like the loader counts them: each open needs its release.
std::map<void*, int>& OpenLibraries() {
  static std::map<void*, int> libraries;
  return libraries;
}

Word CallWithWords(void* address, const Word* w, int count) {
  switch (count) {
    case 0: return reinterpret_cast<Word (*)()>(address)();
    case 1: return reinterpret_cast<Word (*)(Word)>(address)(w[0]);
    case 2: return reinterpret_cast<Word (*)(Word, Word)>(address)(w[0], w[1]);
    case 3: return reinterpret_cast<Word (*)(Word, Word, Word)>(address)(w[0], w[1], w[2]);
    case 4: return reinterpret_cast<Word (*)(Word, Word, Word, Word)>(address)(w[0], w[1], w[2], w[3]);
    case 5:
      return reinterpret_cast<Word (*)(Word, Word, Word, Word, Word)>(address)(w[0], w[1], w[2], w[3], w[4]);
    case 6:
      return reinterpret_cast<Word (*)(Word, Word, Word, Word, Word, Word)>(address)(w[0], w[1], w[2], w[3], w[4],
                                                                                      w[5]);
    case 7:
      return reinterpret_cast<Word (*)(Word, Word, Word, Word, Word, Word, Word)>(address)(w[0], w[1], w[2], w[3],
                                                                                            w[4], w[5], w[6]);
    default:
      return reinterpret_cast<Word (*)(Word, Word, Word, Word, Word, Word, Word, Word)>(address)(
          w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
  }
}

Word NumberWord(lua_State* L, int index) {
  lua_Integer integer = 0;
  if (lua_isinteger(L, index)) {
    integer = lua_tointeger(L, index);
  } else {
    integer = Int64Arg(L, index);
  }
  return static_cast<Word>(integer);
}

// The native closure: upvalue 1 the result sample, upvalue 2 the address.
int CallNative(lua_State* L) {
  const int count = lua_gettop(L);
  if (count > kMostArguments) return luaL_error(L, "too many arguments (at most %d)", kMostArguments);
  const int resultType = lua_type(L, lua_upvalueindex(1));
  if (resultType != LUA_TNIL && resultType != LUA_TBOOLEAN && resultType != LUA_TNUMBER &&
      resultType != LUA_TSTRING) {
    return luaL_error(L, "unknown return value type");
  }
  Word words[kMostArguments] = {};
  for (int i = 1; i <= count; ++i) {
    switch (lua_type(L, i)) {
      case LUA_TNIL: words[i - 1] = 0; break;
      case LUA_TBOOLEAN: words[i - 1] = lua_toboolean(L, i) ? 1 : 0; break;
      case LUA_TLIGHTUSERDATA: words[i - 1] = reinterpret_cast<Word>(lua_touserdata(L, i)); break;
      case LUA_TNUMBER: words[i - 1] = NumberWord(L, i); break;
      case LUA_TSTRING: words[i - 1] = reinterpret_cast<Word>(lua_tostring(L, i)); break;
      default: return luaL_error(L, "unknown argument type");
    }
  }
  void* address = lua_touserdata(L, lua_upvalueindex(2));
  if (!address) return luaL_error(L, "the native function was not found");
  const Word result = CallWithWords(address, words, count);
  switch (resultType) {
    case LUA_TNIL: lua_pushlightuserdata(L, reinterpret_cast<void*>(result)); break;
    case LUA_TBOOLEAN: lua_pushboolean(L, static_cast<uint32_t>(result) != 0); break;
    case LUA_TNUMBER: lua_pushinteger(L, static_cast<lua_Integer>(result)); break;
    default:
      if (const char* text = reinterpret_cast<const char*>(result)) {
        lua_pushstring(L, text);
      } else {
        lua_pushnil(L);
      }
      break;
  }
  return 1;
}

}  // namespace

int open_dll(lua_State* L) {
  const int type = lua_type(L, 1);
  if (type == LUA_TLIGHTUSERDATA || type == LUA_TUSERDATA) {
    auto found = OpenLibraries().find(lua_touserdata(L, 1));
    if (found == OpenLibraries().end()) return 0;
    dlclose(found->first);
    if (--found->second == 0) OpenLibraries().erase(found);
    return 0;
  }
  const char* name = TextArg(L, 1);
  // No name would give the program itself; a library is always named.
  void* handle = name && name[0] ? dlopen(name, RTLD_NOW | RTLD_LOCAL) : nullptr;
  if (handle) ++OpenLibraries()[handle];
  lua_pushlightuserdata(L, handle);
  return 1;
}

int procaddress(lua_State* L) {
  void* handle = lua_touserdata(L, 1);
  const char* name = TextArg(L, 2);
  void* address = handle && name && OpenLibraries().count(handle) ? dlsym(handle, name) : nullptr;
  lua_settop(L, 3);
  lua_pushlightuserdata(L, address);
  lua_pushcclosure(L, CallNative, 2);
  return 1;
}

}  // namespace GCore::Api
