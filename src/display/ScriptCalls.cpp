#include "display/ScriptCalls.h"

#include "base/Log.h"
#include "core/GameIF.h"
#include "core/LuaApiExt.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "display/DisplayObject.h"

namespace GCore {

namespace {

int AssignField(lua_State* L) {
  lua_settable(L, 1);
  return 0;
}

}  // namespace

void SelectOwnerProject(lua_State* L) {
  if (g_game && g_game->GetLuaManager()) g_game->GetLuaManager()->SelectProjectByState(L);
}

bool PushScriptObject(lua_State* L, Object* object) {
  if (!object || (object->state != L && object->state != MainState(L))) return false;
  if (object->ref > 0) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, object->ref);
  } else {
    lua_pushuserdata(L, object);
  }
  return true;
}

void CallLuaMethod(lua_State* L, const char* name, int first, int count) {
  const int object = lua_gettop(L);
  if (lua_getmetatable(L, object)) {
    lua_pushstring(L, name);
    lua_rawget(L, -2);
    lua_remove(L, -2);
  } else if (lua_type(L, object) == LUA_TTABLE) {
    lua_pushstring(L, name);
    lua_rawget(L, object);
  } else {
    lua_pushnil(L);
  }
  if (lua_type(L, -1) == LUA_TFUNCTION) {
    lua_pushvalue(L, object);
    for (int i = 0; i < count; ++i) lua_pushvalue(L, first + i);
    ProtectedCall(L, count + 1);
  }
  lua_settop(L, object - 1);
}

void AssignProtected(lua_State* L) {
  lua_pushcfunction(L, AssignField);
  lua_insert(L, -4);
  ProtectedCall(L, 3);
}

void PrintStateTraceback(lua_State* L) {
  if (const char* trace = lua_traceback(L)) {
    LogWrite(trace);
    LogWrite("\n");
  }
}

}  // namespace GCore
