#include "core/LuaApiExt.h"

#include <cstdarg>
#include <cstddef>
#include <climits>

extern "C" {
#include "lapi.h"
#include "lgc.h"
#include "lobject.h"
#include "lstate.h"
#include "ltable.h"
}

namespace {

// The value at a valid or acceptable index, as the API finds it; null for an
// acceptable index with no value.
const TValue* ValueAt(lua_State* L, int index) {
  const CallInfo* ci = L->ci;
  if (index > 0) {
    const TValue* value = ci->func + index;
    return value < L->top ? value : nullptr;
  }
  if (index > LUA_REGISTRYINDEX) return L->top + index;
  if (index == LUA_REGISTRYINDEX) return &G(L)->l_registry;
  if (ttislcf(ci->func)) return nullptr;
  const CClosure* function = clCvalue(ci->func);
  const int upvalue = LUA_REGISTRYINDEX - index;
  return upvalue <= function->nupvalues ? &function->upvalue[upvalue - 1] : nullptr;
}

}  // namespace

LUA_API void lua_pushuserdata(lua_State* L, void* object) {
  // The userdata's memory starts right after its header; stepping back over
  // the header gives the collectable object that owns the memory.
  Udata* u = reinterpret_cast<Udata*>(static_cast<char*>(object) - sizeof(UUdata));
  lua_lock(L);
  setuvalue(L, L->top, u);
  api_incr_top(L);
  lua_unlock(L);
}

LUA_API void* lua_touserdatainfo(lua_State* L, int index, size_t* size, const void** slot1) {
  const TValue* value = ValueAt(L, index);
  if (!value || !ttisfulluserdata(value)) return nullptr;
  Udata* u = uvalue(value);
  *size = u->len;
  // The slot is read as lua_rawgeti reads it, in the array part when there
  // is one, else in the hash part, where a script's copy may keep it.
  Table* meta = u->metatable;
  const TValue* slot = !meta ? nullptr : meta->sizearray > 0 ? &meta->array[0] : luaH_getint(meta, 1);
  *slot1 = slot && ttislightuserdata(slot) ? pvalue(slot) : nullptr;
  return getudatamem(u);
}

LUA_API const char* lua_tostringonly(lua_State* L, int index, size_t* length) {
  const TValue* value = ValueAt(L, index);
  if (!value || !ttisstring(value)) return nullptr;
  const TString* text = tsvalue(value);
  *length = tsslen(text);
  return getstr(text);
}

LUA_API const char* lua_traceback(lua_State* L) {
  const int top = lua_gettop(L);
  // Raw reads, so that a strict-globals guard cannot raise here.
  lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
  lua_pushstring(L, "debug");
  if (lua_rawget(L, -2) != LUA_TTABLE) {
    lua_settop(L, top);
    return nullptr;
  }
  lua_pushstring(L, "traceback");
  if (lua_rawget(L, -2) != LUA_TFUNCTION) {
    lua_settop(L, top);
    return nullptr;
  }
  // Protected, so that a replaced traceback that raises cannot escape.
  if (lua_pcall(L, 0, 1, 0) != LUA_OK || !lua_isstring(L, -1)) {
    lua_settop(L, top);
    return nullptr;
  }
  const char* text = lua_tostring(L, -1);
  lua_settop(L, top);
  return text;
}

LUA_API int lua_isfinalizing(lua_State* L) {
  // The collector marks the call it interrupts before it calls a finaliser,
  // so the finaliser's caller carries the mark.
  const CallInfo* caller = L->ci->previous;
  return caller && (caller->callstatus & CIST_FIN) ? 1 : 0;
}
