#pragma once
// The script module "webview.c": addWebView, displayHTML, setWebViewPos,
// removeWebView and showWebView over the web views of the game window
// (net/WebViewManager.h). Main thread only.
#include <lua.hpp>

extern "C" int luaopen_webview_c(lua_State* L);
