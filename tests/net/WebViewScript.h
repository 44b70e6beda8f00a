#pragma once
// A Lua state with "webview.c" as the global `webview`, for the web-view
// tests, and the text of an expression evaluated in it.
#include <string>

#include <lua.hpp>

#include "net/WebViewModule.h"

class WebViewScript {
 public:
  WebViewScript() : L(luaL_newstate()) {
    luaL_openlibs(L);
    luaL_requiref(L, "webview", luaopen_webview_c, 1);
    lua_pop(L, 1);
  }
  ~WebViewScript() { lua_close(L); }
  WebViewScript(const WebViewScript&) = delete;
  WebViewScript& operator=(const WebViewScript&) = delete;

  // tostring of the expression's value, or "error: " and the message.
  std::string Eval(const std::string& expression) {
    const bool ok = luaL_dostring(L, ("return tostring(" + expression + ")").c_str()) == LUA_OK;
    std::string result = lua_tostring(L, -1);
    lua_pop(L, 1);
    return ok ? result : "error: " + result;
  }

 private:
  lua_State* L;
};
