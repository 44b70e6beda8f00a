// The "lsocket" module: non-blocking TCP and UDP sockets for scripts, with
// multicast, readiness polling and name resolution.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <vector>

#include "modules/LSocket.h"
#include "modules/ToolModules.h"
#include "platform/TerminationSignals.h"

namespace GCore::LSocket {

namespace {

// Each set of `select` watches at most this many sockets; the rest are left out.
constexpr size_t kMaxSelectHandles = 64;

struct Kind {
  int type = SOCK_STREAM;
  bool multicast = false;
};

// Reads an optional leading kind argument; returns the index after it.
int ReadKind(lua_State* L, Kind& kind) {
  if (lua_type(L, 1) != LUA_TSTRING) return 1;
  const char* text = lua_tostring(L, 1);
  if (strcasecmp(text, "tcp") == 0) return 2;
  if (strcasecmp(text, "udp") == 0) {
    kind.type = SOCK_DGRAM;
    return 2;
  }
  if (strcasecmp(text, "mcast") == 0) {
    kind.type = SOCK_DGRAM;
    kind.multicast = true;
    return 2;
  }
  return 1;
}

int CheckPort(lua_State* L, int index) {
  if (lua_isnoneornil(L, index)) return luaL_argerror(L, index, "number expected, got no value");
  return static_cast<int>(luaL_checknumber(L, index));
}

int PushFailure(lua_State* L, Socket* socket, int code) {
  close(socket->handle);
  socket->handle = -1;
  return PushErrorText(L, code);
}

int PushNoUnixMulticast(lua_State* L, Socket* socket) {
  close(socket->handle);
  socket->handle = -1;
  lua_pushnil(L);
  lua_pushliteral(L, "multicast not available for unix domain sockets.");
  return 2;
}

// The userdata is made before the handle, so that its collector owns the
// handle from the moment it exists, whatever error follows.
Socket* OpenSocket(lua_State* L, const Address& address, const Kind& kind, bool listening, int& error) {
  Socket* socket = PushSocket(L, -1, address.family, kind.type, address.protocol, kind.multicast, listening);
  socket->handle = ::socket(address.family, kind.type | SOCK_CLOEXEC, address.protocol);
  error = socket->handle < 0 ? errno : 0;
  if (socket->handle >= 0 && !SetUpHandle(socket->handle)) {
    error = errno;
    close(socket->handle);
    socket->handle = -1;
  }
  return socket;
}

bool SetOption(int handle, int level, int name, int value) {
  return setsockopt(handle, level, name, &value, sizeof value) == 0;
}

int Connect(lua_State* L) {
  Kind kind;
  const int first = ReadKind(L, kind);
  const char* text = luaL_checkstring(L, first);
  const int port = IsUnixPath(text) ? 0 : CheckPort(L, first + 1);
  const int ttl = static_cast<int>(luaL_optnumber(L, first + 2, 1));
  Address address;
  if (const int failure = ResolveAddress(L, text, port, kind.type, address)) return failure;
  int error = 0;
  Socket* socket = OpenSocket(L, address, kind, false, error);
  if (error) return PushErrorText(L, error);
  if (kind.multicast) {
    if (address.family == AF_UNIX) return PushNoUnixMulticast(L, socket);
    const bool hops = address.family == AF_INET6;
    if (!SetOption(socket->handle, SOL_SOCKET, SO_BROADCAST, 1) ||
        !SetOption(socket->handle, hops ? IPPROTO_IPV6 : IPPROTO_IP, hops ? IPV6_MULTICAST_HOPS : IP_MULTICAST_TTL,
                   ttl)) {
      return PushFailure(L, socket, errno);
    }
  }
  if (connect(socket->handle, reinterpret_cast<const sockaddr*>(&address.storage), address.length) != 0 &&
      errno != EINPROGRESS && !WouldBlock(errno)) {
    return PushFailure(L, socket, errno);
  }
  return 1;
}

// A group address for IPv4 also joins the group: a socket bound to a group
// receives nothing from it unless the host is a member.
bool SetUpMulticastBind(int handle, const Address& address) {
  if (address.family == AF_INET6) {
    ipv6_mreq request{};
    request.ipv6mr_multiaddr = reinterpret_cast<const sockaddr_in6*>(&address.storage)->sin6_addr;
    request.ipv6mr_interface = 0;
    return setsockopt(handle, IPPROTO_IPV6, IPV6_JOIN_GROUP, &request, sizeof request) == 0;
  }
  if (!SetOption(handle, SOL_SOCKET, SO_BROADCAST, 1)) return false;
  const in_addr group = reinterpret_cast<const sockaddr_in*>(&address.storage)->sin_addr;
  if (!IN_MULTICAST(ntohl(group.s_addr))) return true;
  ip_mreq request{};
  request.imr_multiaddr = group;
  request.imr_interface.s_addr = htonl(INADDR_ANY);
  return setsockopt(handle, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0;
}

int Bind(lua_State* L) {
  Kind kind;
  const int first = ReadKind(L, kind);
  const char* text = lua_type(L, first) == LUA_TSTRING ? lua_tostring(L, first) : nullptr;
  const int portIndex = text ? first + 1 : first;
  const int port = text && IsUnixPath(text) ? 0 : CheckPort(L, portIndex);
  const int backlog = static_cast<int>(luaL_optnumber(L, portIndex + 1, 5));
  Address address{};
  if (text) {
    if (const int failure = ResolveAddress(L, text, port, kind.type, address)) return failure;
  } else {
    auto* in = reinterpret_cast<sockaddr_in*>(&address.storage);
    in->sin_family = AF_INET;
    in->sin_port = htons(static_cast<uint16_t>(port));
    in->sin_addr.s_addr = htonl(INADDR_ANY);
    address.length = sizeof *in;
    address.family = AF_INET;
    address.protocol = kind.type == SOCK_DGRAM ? IPPROTO_UDP : IPPROTO_TCP;
  }
  int error = 0;
  Socket* socket = OpenSocket(L, address, kind, true, error);
  if (error) return PushErrorText(L, error);
  if (kind.multicast) {
    if (address.family == AF_UNIX) return PushNoUnixMulticast(L, socket);
    if (!SetUpMulticastBind(socket->handle, address)) return PushFailure(L, socket, errno);
  }
  if (bind(socket->handle, reinterpret_cast<const sockaddr*>(&address.storage), address.length) != 0) {
    return PushFailure(L, socket, errno);
  }
  if (kind.type == SOCK_STREAM && listen(socket->handle, backlog) != 0) return PushFailure(L, socket, errno);
  return 1;
}

// One socket to watch: its handle and where it stands in the script's table.
struct Watched {
  int handle;
  lua_Integer index;
};

void CollectSockets(lua_State* L, int table, std::vector<Watched>& watched) {
  for (lua_Integer i = 1;; ++i) {
    if (lua_rawgeti(L, table, i) == LUA_TNIL) break;
    const auto* socket = static_cast<const Socket*>(luaL_testudata(L, -1, kMetatable));
    if (!socket) luaL_error(L, "bad argument to 'select' (tables can only contain sockets)");
    const bool seen = std::any_of(watched.begin(), watched.end(),
                                  [socket](const Watched& w) { return w.handle == socket->handle; });
    if (socket->handle >= 0 && !seen && watched.size() < kMaxSelectHandles) watched.push_back({socket->handle, i});
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
}

// Pushes a list of the sockets of `table` whose poll entries show one of the
// `ready` events, in ascending handle order.
void PushReady(lua_State* L, int table, const std::vector<Watched>& watched, const pollfd* entries, short ready) {
  std::vector<Watched> found;
  for (size_t i = 0; i < watched.size(); ++i) {
    if (entries[i].revents & ready) found.push_back(watched[i]);
  }
  std::sort(found.begin(), found.end(), [](const Watched& a, const Watched& b) { return a.handle < b.handle; });
  lua_createtable(L, static_cast<int>(found.size()), 0);
  for (size_t i = 0; i < found.size(); ++i) {
    lua_rawgeti(L, table, found[i].index);
    lua_rawseti(L, -2, static_cast<lua_Integer>(i + 1));
  }
}

int Select(lua_State* L) {
  const int top = lua_gettop(L);
  int position = 1;
  int readTable = 0;
  int writeTable = 0;
  for (int* slot : {&readTable, &writeTable}) {
    if (position > top || !(lua_istable(L, position) || lua_isnil(L, position))) break;
    if (lua_istable(L, position)) *slot = position;
    ++position;
  }
  double timeout = -1;
  if (position <= top && lua_type(L, position) == LUA_TNUMBER) {
    timeout = lua_tonumber(L, position++);
  } else if (position <= top && lua_isnil(L, position)) {
    ++position;
  }
  if (position <= top) return luaL_error(L, "bad argument to 'select' (invalid option)");

  std::vector<Watched> reads, writes;
  if (readTable) CollectSockets(L, readTable, reads);
  if (writeTable) CollectSockets(L, writeTable, writes);
  // Only a wait that a timespec can hold is a limit: NaN, infinity and the
  // huge ones wait like a negative timeout.
  const bool limited = timeout >= 0 && timeout < 0x1p63;
  if (reads.empty() && writes.empty() && !limited) {
    lua_pushnil(L);
    lua_pushliteral(L, "no open sockets to check and no timeout set");
    return 2;
  }
  std::vector<pollfd> entries;
  for (const Watched& w : reads) entries.push_back({w.handle, POLLIN, 0});
  for (const Watched& w : writes) entries.push_back({w.handle, POLLOUT, 0});
  timespec wait{};
  if (limited) {
    wait.tv_sec = static_cast<time_t>(timeout);
    wait.tv_nsec = static_cast<long>((timeout - std::floor(timeout)) * 1e6) * 1000;
  }
  // The program's wake-up descriptor ends a wait once it is asked to close.
  const bool watchWake = TerminationWakeDescriptor() >= 0 && !(limited && timeout == 0);
  if (watchWake) entries.push_back({TerminationWakeDescriptor(), POLLIN, 0});
  int count = ppoll(entries.data(), entries.size(), limited ? &wait : nullptr, nullptr);
  if (count < 0) return PushError(L);
  if (watchWake) {
    const bool woken = entries.back().revents != 0;
    entries.pop_back();
    // Sockets that are ready are still reported; a wait that only ended for
    // the request is an interrupted one.
    if (woken && --count == 0) return PushErrorText(L, EINTR);
  }
  if (count == 0) {
    lua_pushboolean(L, 0);
    return 1;
  }
  for (const pollfd& entry : entries) {
    if (entry.revents & POLLNVAL) return PushErrorText(L, EBADF);
  }
  // A hang-up or error counts as ready: the next receive or status reports it.
  const short trouble = POLLHUP | POLLERR;
  int results = 0;
  if (readTable) {
    PushReady(L, readTable, reads, entries.data(), POLLIN | POLLPRI | trouble);
    ++results;
  }
  if (writeTable) {
    if (!readTable) {
      lua_getfield(L, LUA_REGISTRYINDEX, kEmptyTable);
      ++results;
    }
    PushReady(L, writeTable, writes, entries.data() + reads.size(), POLLOUT | trouble);
    ++results;
  }
  return results;
}

int Resolve(lua_State* L) {
  const char* name = luaL_checkstring(L, 1);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  if (IsNumericAddress(name)) hints.ai_flags = AI_NUMERICHOST;
  addrinfo* found = nullptr;
  const int code = getaddrinfo(name, nullptr, &hints, &found);
  if (code != 0) {
    lua_pushnil(L);
    lua_pushstring(L, code == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(code));
    return 2;
  }
  lua_newtable(L);
  lua_Integer n = 0;
  for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
    PushAddressTable(L, entry->ai_addr, entry->ai_addrlen);
    lua_pushnil(L);
    lua_setfield(L, -2, "port");
    lua_rawseti(L, -2, ++n);
  }
  freeaddrinfo(found);
  return 1;
}

int GetInterfaces(lua_State* L) { return luaL_error(L, "Not implement"); }

int IgnoreWrite(lua_State*) { return 0; }

void RegisterEmptyTable(lua_State* L) {
  lua_newtable(L);
  lua_createtable(L, 0, 2);
  lua_pushcfunction(L, IgnoreWrite);
  lua_setfield(L, -2, "__newindex");
  lua_pushboolean(L, 0);
  lua_setfield(L, -2, "__metatable");
  lua_setmetatable(L, -2);
  lua_setfield(L, LUA_REGISTRYINDEX, kEmptyTable);
}

const luaL_Reg kLSocketFunctions[] = {
    {"connect", Connect}, {"bind", Bind},
    {"select", Select},   {"resolve", Resolve},
    {"getinterfaces", GetInterfaces}, {nullptr, nullptr},
};

}  // namespace

}  // namespace GCore::LSocket

extern "C" int luaopen_lsocket(lua_State* L) {
  using namespace GCore::LSocket;
  RegisterSocketMetatable(L);
  RegisterEmptyTable(L);
  luaL_newlib(L, kLSocketFunctions);
  lua_pushliteral(L, "0.0.0.0");
  lua_setfield(L, -2, "INADDR_ANY");
  lua_pushliteral(L, "::0");
  lua_setfield(L, -2, "IN6ADDR_ANY");
  lua_pushliteral(L, "1.3");
  lua_setfield(L, -2, "_VERSION");
  return 1;
}
