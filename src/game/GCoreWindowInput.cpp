// "gcore.c": design size, switches, pointer and key state, dialogs and log.
#include "base/Log.h"
#include "core/GameSettings.h"
#include "core/LuaApiExt.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "display/DisplayObjectContainer.h"
#include "game/GCoreApi.h"
#include "game/GameIF.h"
#include "game/Input.h"
#include "platform/SystemInput.h"

namespace GCore::Api {

int winW(lua_State* L) {
  lua_pushinteger(L, static_cast<lua_Integer>(g_settings.designWidth));
  return 1;
}

int winH(lua_State* L) {
  lua_pushinteger(L, static_cast<lua_Integer>(g_settings.designHeight));
  return 1;
}

int SetResourceSize(lua_State* L) {
  g_settings.designWidth = static_cast<float>(IntArg(L, 1));
  g_settings.designHeight = static_cast<float>(IntArg(L, 2));
  return 0;
}

int SetSizeMode(lua_State* L) {
  g_settings.sizeMode = IntArg(L, 1);
  return 0;
}

int EventStop(lua_State*) {
  g_settings.eventStop = true;
  return 0;
}

int ShowClsnBox(lua_State* L) {
  g_settings.showCollisionBoxes = lua_toboolean(L, 1);
  return 0;
}

namespace {
int PushPoint(lua_State* L, const Point& point) {
  lua_pushnumber(L, point.x);
  lua_pushnumber(L, point.y);
  return 2;
}
}  // namespace

int MousePos(lua_State* L) { return PushPoint(L, g_game ? g_game->mousePosition : Point{}); }

int MouseDelta(lua_State* L) { return PushPoint(L, g_game ? g_game->mouseMovement : Point{}); }

int MouseDownDelta(lua_State* L) { return PushPoint(L, g_game ? g_game->dragMovement : Point{}); }

int MouseState(lua_State* L) {
  lua_pushinteger(L, g_game ? g_game->leftButtonState : 1);
  return 1;
}

int RMouseState(lua_State* L) {
  lua_pushinteger(L, g_game ? g_game->rightButtonState : 1);
  return 1;
}

int KeyState(lua_State* L) {
  lua_pushinteger(L, GetKeyState(static_cast<uint32_t>(IntArg(L, 1))));
  return 1;
}

namespace {

// The engine's input handling leaves project 1 current when it is done;
// run from a script, the script's own project must stay current after it.
class KeepCurrentProject {
 public:
  KeepCurrentProject()
      : projects_(g_game ? g_game->GetLuaManager() : nullptr),
        index_(projects_ ? projects_->CurrentIndex() : -1) {}
  ~KeepCurrentProject() {
    if (projects_) projects_->SetCurrent(index_);
  }
  KeepCurrentProject(const KeepCurrentProject&) = delete;
  KeepCurrentProject& operator=(const KeepCurrentProject&) = delete;

 private:
  LuaManager* projects_;
  int index_;
};

}  // namespace

int SetMouseState(lua_State* L) {
  if (!g_game) return 0;
  const KeepCurrentProject keep;
  const int32_t x = IntArg(L, 1);
  const int32_t y = IntArg(L, 2);
  const int32_t state = IntArg(L, 3);
  MoveToWindowPoint(static_cast<float>(x), static_cast<float>(y));
  if (state != g_game->leftButtonState && g_game->AcceptsInput()) {
    EngineInput().OnMouseButton(0, state != 0 ? 1 : 0);
    g_game->leftButtonState = state;
  }
  return 0;
}

int SetFocus(lua_State* L) {
  LuaManager* projects = g_game ? g_game->GetLuaManager() : nullptr;
  if (projects) projects->focus.Reset(ToObject<DisplayObject>(L, 1));
  return SetEditing(L);
}

int IsHovered(lua_State* L) {
  LuaManager* projects = g_game ? g_game->GetLuaManager() : nullptr;
  DisplayObject* object = ToObject<DisplayObject>(L, 1);
  bool hovered = false;
  if (projects && object) {
    const KeepCurrentProject keep;
    projects->HitTest();
    const HitList& list = projects->hovered;
    if (lua_toboolean(L, 2) && !list.empty()) {
      hovered = list.back().Get() == object;
    } else {
      for (const auto& held : list) hovered = hovered || held.Get() == object;
    }
  }
  lua_pushboolean(L, hovered);
  return 1;
}

int IsVisible(lua_State* L) {
  bool visible = true;
  for (const DisplayObject* object = ToObject<DisplayObject>(L, 1); object && visible; object = object->parent) {
    visible = object->visible;
  }
  lua_pushboolean(L, visible);
  return 1;
}

int MsgBox(lua_State* L) {
  const char* text = TextArg(L, 1);
  const char* title = TextArg(L, 2);
  if (g_errorBoxShown) return 0;
  ShowScriptMessageBox(text ? text : "", title ? title : "");
  return 0;
}

int clog(lua_State* L) {
  const char* text = TextArg(L, 1);
  LogWrite(text ? text : "noll");
  return 0;
}

int print_co(lua_State* L) {
  lua_State* thread = lua_tothread(L, 1);
  if (!thread) return 0;
  if (thread != L) {
    // A suspended coroutine cannot run the traceback function itself, so
    // its stack is read from here.
    luaL_traceback(L, thread, nullptr, 0);
    return 1;
  }
  const char* trace = lua_traceback(L);
  if (!trace) return 0;
  lua_pushstring(L, trace);
  return 1;
}

int NoEffect(lua_State*) { return 0; }

int FullPath(lua_State* L) {
  lua_pushnil(L);
  return 1;
}

int Draw(lua_State* L) {
  lua_pushinteger(L, 0);
  return 1;
}

}  // namespace GCore::Api
