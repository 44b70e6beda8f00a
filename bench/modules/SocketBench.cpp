// TCP echo round trips over loopback, milliseconds for 20,000 of them, one
// 64-byte message at a time, client and server in one script state: "lsocket"
// (non-blocking, waiting with select) beside LuaSocket (blocking sockets) in
// the same run. Both sides keep the sockets' default options (lsocket cannot
// turn Nagle's algorithm off; with one message in flight it never holds one
// back), and each first makes a tenth as many round trips untimed.
#include <chrono>
#include <cstdio>
#include <memory>

#include <lua.hpp>

#include "PeerFigures.h"
#include "modules/StdLibs.h"

extern "C" int luaopen_socket_core(lua_State* L);

namespace {

struct LuaCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};

const char kLSocketEcho[] = R"(
  local rounds = ...
  local listener = assert(lsocket.bind("127.0.0.1", 0))
  local client = assert(lsocket.connect("127.0.0.1", listener:info("socket").port))
  assert(lsocket.select({listener}, 5))
  local server = listener:accept()
  assert(lsocket.select(nil, {client}, 5))
  local message = string.rep("m", 64)
  local function receive(s)
    local got = ""
    while #got < 64 do
      lsocket.select({s})
      got = got .. assert(s:recv(64 - #got))
    end
    return got
  end
  for _ = 1, rounds do
    client:send(message)
    server:send(receive(server))
    receive(client)
  end
  client:close() server:close() listener:close()
)";

const char kLuaSocketEcho[] = R"(
  local rounds = ...
  local socket = require "socket.core"
  local listener = assert((socket.tcp4 or socket.tcp)())
  assert(listener:setoption("reuseaddr", true))
  assert(listener:bind("127.0.0.1", 0))
  assert(listener:listen(5))
  local _, port = listener:getsockname()
  local client = assert((socket.tcp4 or socket.tcp)())
  assert(client:connect("127.0.0.1", port))
  local server = assert(listener:accept())
  local message = string.rep("m", 64)
  for _ = 1, rounds do
    client:send(message)
    server:send(assert(server:receive(64)))
    assert(client:receive(64))
  end
  client:close() server:close() listener:close()
)";

// Milliseconds of one run of the script over `rounds` round trips; -1 when
// it failed.
double RunMs(lua_State* L, const char* script, int rounds) {
  if (luaL_loadstring(L, script) != LUA_OK) {
    std::printf("load failed: %s\n", lua_tostring(L, -1));
    lua_pop(L, 1);
    return -1;
  }
  lua_pushinteger(L, rounds);
  const auto start = std::chrono::steady_clock::now();
  if (lua_pcall(L, 1, 0, 0) != LUA_OK) {
    std::printf("run failed: %s\n", lua_tostring(L, -1));
    lua_pop(L, 1);
    return -1;
  }
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The timed run, after an untimed one of a tenth of the rounds.
double RoundTripsMs(lua_State* L, const char* script, int rounds) {
  if (RunMs(L, script, rounds / 10) < 0) return -1;
  return RunMs(L, script, rounds);
}

}  // namespace

int main() {
  std::unique_ptr<lua_State, LuaCloser> state(luaL_newstate());
  lua_State* L = state.get();
  luaL_openlibs(L);
  luaL_requiref(L, "socket.core", luaopen_socket_core, 0);
  lua_pop(L, 1);
  const int rounds = 20000;
  std::printf("TCP echo over loopback, 64-byte messages, %d round trips each (ms)\n", rounds);
  const double ours = RoundTripsMs(L, kLSocketEcho, rounds);
  PrintPeerFigures("lsocket / LuaSocket", ours, "LuaSocket", RoundTripsMs(L, kLuaSocketEcho, rounds));
  return 0;
}
