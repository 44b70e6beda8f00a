// "webview.c": each function answers nil or false where the manager refuses,
// an index that is no number or lies outside the 8 slots included.
#include "net/WebViewModule.h"

#include "core/ScriptArgs.h"
#include "net/WebViewManager.h"

namespace GCore {
namespace {

// The slot index of argument 1, truncated toward zero; -1 (no slot) for
// anything that is not a number of a slot, NaN included.
int IndexArg(lua_State* L) {
  const lua_Number index = lua_tonumber(L, 1);
  if (!lua_isnumber(L, 1) || !(index > -1 && index < WebViewManager::kSlotCount)) return -1;
  return static_cast<int>(index);
}

// addWebView() -> the slot index, or nil.
int AddWebView(lua_State* L) {
  const int index = WebViewManager::GetInstance().AddWebView();
  if (index < 0) {
    lua_pushnil(L);
  } else {
    lua_pushinteger(L, index);
  }
  return 1;
}

// displayHTML(index, location) -> boolean.
int DisplayHTML(lua_State* L) {
  const char* location = lua_type(L, 2) == LUA_TSTRING ? lua_tostring(L, 2) : nullptr;
  lua_pushboolean(L, WebViewManager::GetInstance().DisplayHTML(IndexArg(L), location));
  return 1;
}

// setWebViewPos(index, x, y, w, h) -> boolean; w and h of -1 keep the size.
int SetWebViewPos(lua_State* L) {
  lua_pushboolean(L, WebViewManager::GetInstance().SetPlacement(IndexArg(L), Api::IntArg(L, 2), Api::IntArg(L, 3),
                                                                Api::IntArg(L, 4), Api::IntArg(L, 5)));
  return 1;
}

// removeWebView(index) -> boolean.
int RemoveWebView(lua_State* L) {
  lua_pushboolean(L, WebViewManager::GetInstance().RemoveWebView(IndexArg(L)));
  return 1;
}

// showWebView(index, show) -> boolean.
int ShowWebView(lua_State* L) {
  lua_pushboolean(L, WebViewManager::GetInstance().ShowWebView(IndexArg(L), lua_toboolean(L, 2) != 0));
  return 1;
}

const luaL_Reg kWebViewFunctions[] = {
    {"addWebView", AddWebView},
    {"displayHTML", DisplayHTML},
    {"setWebViewPos", SetWebViewPos},
    {"removeWebView", RemoveWebView},
    {"showWebView", ShowWebView},
    {nullptr, nullptr},
};

}  // namespace
}  // namespace GCore

extern "C" int luaopen_webview_c(lua_State* L) {
  luaL_newlib(L, GCore::kWebViewFunctions);
  return 1;
}
