#include "net/WebSocketModule.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/ScriptVM.h"
#include "net/WebSocket.h"

namespace {

using GCore::easywsclient::WebSocket;

// Every client ever opened: a light userdata is only a number, so a script
// could hand over any address; only these are used.
std::vector<std::unique_ptr<WebSocket>>& Clients() {
  static std::vector<std::unique_ptr<WebSocket>> clients;
  return clients;
}

// The client at `index`; null when the value is no light userdata. A light
// userdata that is not a client raises an argument error.
WebSocket* ToClient(lua_State* L, int index) {
  if (!lua_islightuserdata(L, index)) return nullptr;
  const void* pointer = lua_touserdata(L, index);
  const auto& clients = Clients();
  const auto found = std::find_if(clients.begin(), clients.end(),
                                  [pointer](const std::unique_ptr<WebSocket>& c) { return c.get() == pointer; });
  if (found == clients.end()) luaL_argerror(L, index, "not a WebSocket client");
  return found->get();
}

int Open(lua_State* L) {
  const char* url = luaL_checkstring(L, 1);
  const char* origin = luaL_optstring(L, 2, "");
  const char* protocol = luaL_optstring(L, 3, "");
  std::unique_ptr<WebSocket> client = WebSocket::FromUrl(url, origin, protocol);
  if (!client) {
    lua_pushnil(L);
    return 1;
  }
  lua_pushlightuserdata(L, client.get());
  Clients().push_back(std::move(client));
  return 1;
}

int Send(lua_State* L) {
  WebSocket* client = ToClient(L, 1);
  size_t size = 0;
  const char* text = luaL_checklstring(L, 2, &size);
  if (client) client->Send(std::string_view(text, size));
  return 0;
}

int SendBinary(lua_State* L) {
  WebSocket* client = ToClient(L, 1);
  size_t size = 0;
  const char* data = luaL_checklstring(L, 2, &size);
  if (client) {
    const std::vector<uint8_t> bytes(data, data + size);
    client->SendBinary(bytes);
  }
  return 0;
}

// Calls the held callback with the message, or with nil for the end of the
// connection; an error inside it is reported and the update goes on.
void Deliver(WebSocket& client, const std::string_view* message) {
  if (client.callbackRef == 0) return;
  lua_State* L = client.state;
  lua_rawgeti(L, LUA_REGISTRYINDEX, client.callbackRef);
  if (message) {
    lua_pushlstring(L, message->data(), message->size());
  } else {
    lua_pushnil(L);
  }
  GCore::ProtectedCall(L, 1);
}

int Update(lua_State* L) {
  WebSocket* client = ToClient(L, 1);
  if (!client || client->GetReadyState() == WebSocket::CLOSED) return 0;
  // Called back from inside this client's own update: only send and
  // receive. The messages that arrive are handed over by the outer update,
  // in order, with the callback it holds.
  if (client->updating) {
    client->Poll(0);
    return 0;
  }
  const int top = lua_gettop(L);
  if (client->callbackRef == 0 && lua_type(L, top) == LUA_TFUNCTION) {
    lua_pushvalue(L, top);
    client->callbackRef = luaL_ref(L, LUA_REGISTRYINDEX);
  }
  client->state = L;
  // The callback is held for this call only, also when it ends in an error.
  struct UpdateScope {
    WebSocket& client;
    explicit UpdateScope(WebSocket& c) : client(c) { client.updating = true; }
    ~UpdateScope() {
      client.updating = false;
      if (client.callbackRef != 0) luaL_unref(client.state, LUA_REGISTRYINDEX, client.callbackRef);
      client.callbackRef = 0;
    }
  } scope(*client);
  client->Poll(0);
  // Messages that arrived before the connection ended come before its end.
  client->Dispatch([](WebSocket& self, std::string_view message) { Deliver(self, &message); });
  if (client->GetReadyState() == WebSocket::CLOSED) Deliver(*client, nullptr);
  return 0;
}

const luaL_Reg kWebSocketFunctions[] = {
    {"open", Open},
    {"send", Send},
    {"sendbinary", SendBinary},
    {"update", Update},
    {nullptr, nullptr},
};

}  // namespace

extern "C" int luaopen_websocket_c(lua_State* L) {
  luaL_newlib(L, kWebSocketFunctions);
  return 1;
}
