#pragma once
// The script module "websocket.c": open, send, sendbinary and update over
// the WebSocket client. Scripts hold a client as a light userdata; every
// call checks it against the clients opened so far, which live until the
// program ends. Main thread only.
#include <lua.hpp>

extern "C" int luaopen_websocket_c(lua_State* L);
