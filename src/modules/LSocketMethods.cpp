// The methods of the "lsocket" socket userdata.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>

#include "modules/AddressText.h"
#include "modules/LSocket.h"

namespace GCore::LSocket {

namespace {

// A script may ask for up to 4 GiB at once; the kernel hands out far less per
// call, so one call never allocates more than this.
constexpr size_t kMaxReceiveBuffer = 256 * 1024;

const char* TypeName(int type) {
  switch (type) {
    case SOCK_STREAM: return "tcp";
    case SOCK_DGRAM: return "udp";
    default: return "unknown";
  }
}

size_t CheckReceiveSize(lua_State* L, const char* function) {
  const lua_Integer size = luaL_optinteger(L, 2, 4096);
  if (size < 0 || size > static_cast<lua_Integer>(UINT32_MAX)) {
    return luaL_error(L, "bad argument #1 to '%s' (invalid number)", function);
  }
  return std::min(static_cast<size_t>(size), kMaxReceiveBuffer);
}

int Info(lua_State* L) {
  Socket* socket = CheckSocket(L, 1);
  if (lua_isnoneornil(L, 2)) {
    lua_createtable(L, 0, 5);
    lua_pushinteger(L, socket->handle);
    lua_setfield(L, -2, "fd");
    lua_pushstring(L, FamilyName(socket->family));
    lua_setfield(L, -2, "family");
    lua_pushstring(L, TypeName(socket->type));
    lua_setfield(L, -2, "type");
    lua_pushboolean(L, socket->listening);
    lua_setfield(L, -2, "listening");
    lua_pushboolean(L, socket->multicast);
    lua_setfield(L, -2, "multicast");
    return 1;
  }
  const char* what = luaL_checkstring(L, 2);
  const bool peer = std::string_view(what) == "peer";
  if (!peer && std::string_view(what) != "socket") {
    lua_pushnil(L);
    return 1;
  }
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  sockaddr* raw = reinterpret_cast<sockaddr*>(&address);
  const int result = peer ? getpeername(socket->handle, raw, &length) : getsockname(socket->handle, raw, &length);
  if (result != 0) return PushError(L);
  PushAddressTable(L, raw, length);
  return 1;
}

int Status(lua_State* L) {
  Socket* socket = CheckSocket(L, 1);
  int pending = 0;
  socklen_t length = sizeof pending;
  if (getsockopt(socket->handle, SOL_SOCKET, SO_ERROR, &pending, &length) != 0) return PushError(L);
  if (pending != 0) return PushErrorText(L, pending);
  lua_pushboolean(L, 1);
  return 1;
}

int GetFd(lua_State* L) {
  lua_pushinteger(L, CheckSocket(L, 1)->handle);
  return 1;
}

int SetFd(lua_State* L) {
  Socket* socket = CheckSocket(L, 1);
  if (luaL_checkinteger(L, 2) != -1) {
    lua_pushnil(L);
    lua_pushliteral(L, "bad argument #1 to 'setfd' (invalid fd)");
    return 2;
  }
  socket->handle = -1;
  lua_pushboolean(L, 1);
  return 1;
}

int Accept(lua_State* L) {
  Socket* listener = CheckSocket(L, 1);
  pollfd ready{listener->handle, POLLIN, 0};
  const int polled = poll(&ready, 1, 0);
  if (polled < 0) return PushError(L);
  if (polled == 0) {
    lua_pushboolean(L, 0);
    return 1;
  }
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  sockaddr* raw = reinterpret_cast<sockaddr*>(&address);
  const int handle = accept4(listener->handle, raw, &length, SOCK_CLOEXEC);
  if (handle < 0) {
    if (WouldBlock(errno)) {
      lua_pushboolean(L, 0);
      return 1;
    }
    return PushError(L);
  }
  if (!SetUpHandle(handle)) {
    const int code = errno;
    close(handle);
    return PushErrorText(L, code);
  }
  PushSocket(L, handle, address.ss_family, listener->type, listener->protocol, listener->multicast, false);
  if (address.ss_family == AF_UNIX) {
    lua_pushnil(L);
    lua_pushnil(L);
    return 3;
  }
  return 1 + PushAddressAndPort(L, raw, length);
}

// Pushes the outcome of a receive that returned `received`.
bool PushReceiveFailure(lua_State* L, ssize_t received, int& results) {
  if (received > 0) return false;
  if (received == 0) {
    lua_pushnil(L);
    results = 1;
  } else if (WouldBlock(errno)) {
    lua_pushboolean(L, 0);
    results = 1;
  } else {
    results = PushError(L);
  }
  return true;
}

int Recv(lua_State* L) {
  Socket* socket = CheckSocket(L, 1);
  const size_t size = CheckReceiveSize(L, "recv");
  luaL_Buffer buffer;
  char* data = luaL_buffinitsize(L, &buffer, size);
  const ssize_t received = recv(socket->handle, data, size, 0);
  int results = 0;
  if (PushReceiveFailure(L, received, results)) return results;
  luaL_pushresultsize(&buffer, static_cast<size_t>(received));
  return 1;
}

int RecvFrom(lua_State* L) {
  Socket* socket = CheckSocket(L, 1);
  const size_t size = CheckReceiveSize(L, "recvfrom");
  luaL_Buffer buffer;
  char* data = luaL_buffinitsize(L, &buffer, size);
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  sockaddr* raw = reinterpret_cast<sockaddr*>(&address);
  const ssize_t received = recvfrom(socket->handle, data, size, 0, raw, &length);
  int results = 0;
  if (PushReceiveFailure(L, received, results)) return results;
  luaL_pushresultsize(&buffer, static_cast<size_t>(received));
  return 1 + PushAddressAndPort(L, raw, length);
}

// A peer that went away must not end the process with SIGPIPE.
int PushSent(lua_State* L, ssize_t sent) {
  if (sent >= 0) {
    lua_pushinteger(L, sent);
    return 1;
  }
  if (WouldBlock(errno)) {
    lua_pushboolean(L, 0);
    return 1;
  }
  return PushError(L);
}

int Send(lua_State* L) {
  Socket* socket = CheckSocket(L, 1);
  size_t size = 0;
  const char* data = luaL_checklstring(L, 2, &size);
  return PushSent(L, send(socket->handle, data, size, MSG_NOSIGNAL));
}

int SendTo(lua_State* L) {
  Socket* socket = CheckSocket(L, 1);
  size_t size = 0;
  const char* data = luaL_checklstring(L, 2, &size);
  const char* text = luaL_checkstring(L, 3);
  const int port = static_cast<int>(luaL_checknumber(L, 4));
  Address address;
  if (const int failure = ResolveAddress(L, text, port, socket->type, address)) return failure;
  return PushSent(L, sendto(socket->handle, data, size, MSG_NOSIGNAL,
                            reinterpret_cast<const sockaddr*>(&address.storage), address.length));
}

int Close(lua_State* L) {
  Socket* socket = CheckSocket(L, 1);
  const int result = close(socket->handle);
  const int code = errno;
  socket->handle = -1;
  socket->type = -1;
  socket->listening = 0;
  if (result != 0) return PushErrorText(L, code);
  lua_pushboolean(L, 1);
  return 1;
}

int Collect(lua_State* L) {
  auto* socket = static_cast<Socket*>(luaL_checkudata(L, 1, kMetatable));
  if (socket->handle >= 0) close(socket->handle);
  socket->handle = -1;
  return 0;
}

int ToString(lua_State* L) {
  const std::string text = "socket: " + AddressText(luaL_checkudata(L, 1, kMetatable));
  if (text.size() >= 64) return luaL_error(L, "Whoopsie... the string representation seems to be too long.");
  lua_pushlstring(L, text.data(), text.size());
  return 1;
}

const luaL_Reg kSocketMethods[] = {
    {"info", Info},     {"status", Status}, {"getfd", GetFd},       {"setfd", SetFd},
    {"accept", Accept}, {"recv", Recv},     {"recvfrom", RecvFrom}, {"send", Send},
    {"sendto", SendTo}, {"close", Close},   {nullptr, nullptr},
};

}  // namespace

bool SetUpHandle(int handle) {
  const int on = 1;
  if (setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return false;
  const int flags = fcntl(handle, F_GETFL);
  return flags >= 0 && fcntl(handle, F_SETFL, flags | O_NONBLOCK) == 0;
}

Socket* PushSocket(lua_State* L, int handle, int family, int type, int protocol, bool multicast, bool listening) {
  auto* socket = static_cast<Socket*>(lua_newuserdata(L, sizeof(Socket)));
  *socket = Socket{handle, family, type, multicast ? 1 : 0, protocol, listening ? 1 : 0};
  luaL_setmetatable(L, kMetatable);
  return socket;
}

Socket* CheckSocket(lua_State* L, int index) { return static_cast<Socket*>(luaL_checkudata(L, index, kMetatable)); }

void RegisterSocketMetatable(lua_State* L) {
  luaL_newmetatable(L, kMetatable);
  lua_pushcfunction(L, Collect);
  lua_setfield(L, -2, "__gc");
  lua_pushcfunction(L, ToString);
  lua_setfield(L, -2, "__tostring");
  luaL_newlib(L, kSocketMethods);
  lua_setfield(L, -2, "__index");
  lua_pushliteral(L, "socket");
  lua_setfield(L, -2, "__type");
  lua_pop(L, 1);
}

}  // namespace GCore::LSocket
