// "lsocket" where a script test cannot reach: descriptors above 1024 (beyond
// what a select() set can hold), and sending to a closed peer in a process
// that does not ignore SIGPIPE (LuaSocket's opener, preloaded in project
// states, ignores it for the whole process), and the memory a receive asks
// for, seen through the state's allocator.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/un.h>

#include <csignal>
#include <cstdlib>

#include <algorithm>
#include <memory>
#include <string>

#include "modules/LSocket.h"
#include "modules/StdLibs.h"

namespace {

struct LuaCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};

const char kManyConnections[] = R"(
  local fillers = {}
  while true do
    local s = assert(lsocket.bind("udp", "127.0.0.1", 0))
    fillers[#fillers + 1] = s
    if s:getfd() > 1100 then break end
  end
  local listener = assert(lsocket.bind("127.0.0.1", 0, 128))
  local port = listener:info("socket").port
  local clients, servers = {}, {}
  for i = 1, 60 do clients[i] = assert(lsocket.connect("127.0.0.1", port)) end
  while #servers < #clients do
    assert(lsocket.select({listener}, 2), "no connection to accept")
    local s = listener:accept()
    if s then servers[#servers + 1] = s end
  end
  for _, s in ipairs(servers) do assert(s:getfd() > 1024) end
  local writable = 0
  for _ = 1, 100 do
    local _, w = assert(lsocket.select(nil, clients, 2))
    writable = #w
    if writable == 60 then break end
  end
  assert(writable == 60, "writable clients: " .. writable)
  for i, c in ipairs(clients) do assert(c:send("client " .. i .. ";") > 0) end
  local got, text = 0, {}
  while got < 60 do
    local ready = assert(lsocket.select(servers, 2), "nothing to read")
    for _, s in ipairs(ready) do
      local data = s:recv()
      if data then text[#text + 1] = data; got = got + 1 end
    end
  end
  local all = table.concat(text)
  for i = 1, 60 do assert(all:find("client " .. i .. ";", 1, true), "missing client " .. i) end
  return #fillers
)";

TEST(LSocket, ManyConnectionsAboveDescriptor1024) {
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlimit saved = limit;
  limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4096);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
  if (limit.rlim_cur < 1400) GTEST_SKIP() << "the descriptor limit cannot be raised above 1400";
  {
    std::unique_ptr<lua_State, LuaCloser> state(luaL_newstate());
    lua_State* L = state.get();
    luaL_openlibs(L);
    ASSERT_EQ(luaL_dostring(L, kManyConnections), LUA_OK) << lua_tostring(L, -1);
  }
  setrlimit(RLIMIT_NOFILE, &saved);
}

const char kSendToClosedPeer[] = R"(
  local listener = assert(lsocket.bind("127.0.0.1", 0))
  local client = assert(lsocket.connect("127.0.0.1", listener:info("socket").port))
  assert(lsocket.select({listener}, 2))
  listener:accept():close()
  local failures = 0
  for _ = 1, 1000 do
    local n, err = client:send(string.rep("x", 65536))
    if n == nil then failures = failures + 1 end
    if n == false then lsocket.select(nil, {client}, 2) end
    if failures == 3 then return end
  end
  error("sending to a closed peer never failed")
)";

TEST(LSocket, SendingToAClosedPeerReturnsAnError) {
  const auto previous = std::signal(SIGPIPE, SIG_DFL);
  {
    std::unique_ptr<lua_State, LuaCloser> state(luaL_newstate());
    lua_State* L = state.get();
    luaL_openlibs(L);
    EXPECT_EQ(luaL_dostring(L, kSendToClosedPeer), LUA_OK) << lua_tostring(L, -1);
  }
  std::signal(SIGPIPE, previous);
}

// Refuses any single block above 16 MiB.
void* SmallBlocksOnly(void*, void* block, size_t, size_t size) {
  if (size == 0) {
    std::free(block);
    return nullptr;
  }
  return size > (16u << 20) ? nullptr : std::realloc(block, size);
}

TEST(LSocket, ReceivingWithAHugeSizeAllocatesLittle) {
  std::unique_ptr<lua_State, LuaCloser> state(lua_newstate(SmallBlocksOnly, nullptr));
  lua_State* L = state.get();
  luaL_openlibs(L);
  const char* script = R"(
    local listener = assert(lsocket.bind("127.0.0.1", 0))
    local client = assert(lsocket.connect("127.0.0.1", listener:info("socket").port))
    assert(lsocket.select({listener}, 2))
    local server = listener:accept()
    client:send("abc")
    assert(lsocket.select({server}, 2))
    assert(server:recv(0xFFFFFFFF) == "abc")
    local a = assert(lsocket.bind("udp", "127.0.0.1", 0))
    local b = assert(lsocket.connect("udp", "127.0.0.1", a:info("socket").port))
    b:send("def")
    assert(lsocket.select({a}, 2))
    assert(a:recvfrom(0xFFFFFFFF) == "def")
  )";
  EXPECT_EQ(luaL_dostring(L, script), LUA_OK) << lua_tostring(L, -1);
}

// A unix address handed over with the length of a whole address store (as
// the fuzzer found): its text stops at the end of the path's field.
TEST(LSocket, UnixAddressTextStaysWithinThePathField) {
  std::unique_ptr<lua_State, LuaCloser> state(luaL_newstate());
  lua_State* L = state.get();
  for (const char first : {'\0', '/'}) {
    SCOPED_TRACE(first == '\0' ? "abstract" : "path");
    sockaddr_storage storage{};
    auto* un = reinterpret_cast<sockaddr_un*>(&storage);
    un->sun_family = AF_UNIX;
    std::fill(reinterpret_cast<char*>(un->sun_path), reinterpret_cast<char*>(&storage + 1), 'x');
    un->sun_path[0] = first;
    GCore::LSocket::PushAddressTable(L, reinterpret_cast<sockaddr*>(&storage), sizeof storage);
    lua_getfield(L, -1, "addr");
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    EXPECT_EQ(std::string(text, length), (first == '\0' ? "@" : "/") + std::string(sizeof un->sun_path - 1, 'x'));
    lua_settop(L, 0);
  }
}

}  // namespace
