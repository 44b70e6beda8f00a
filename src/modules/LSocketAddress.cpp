// Address resolution and address texts of the "lsocket" module.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/un.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

#include "modules/LSocket.h"

namespace GCore::LSocket {

namespace {

bool AllIn(const char* begin, const char* end, const char* allowed) {
  for (const char* c = begin; c < end; ++c) {
    if (!std::strchr(allowed, *c)) return false;
  }
  return true;
}

// The numeric text and port of an inet or inet6 address; false otherwise.
bool InetText(const sockaddr* address, char (&text)[INET6_ADDRSTRLEN], int& port) {
  if (address->sa_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    port = ntohs(in->sin_port);
    return inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr;
  }
  if (address->sa_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
    port = ntohs(in6->sin6_port);
    return inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text) != nullptr;
  }
  return false;
}

// An abstract-namespace name ("@name") keeps its "@" as the leading zero byte.
// A length past the path's field (the size of a whole address store) reads
// no further than the field.
std::string UnixPathText(const sockaddr* address, socklen_t length) {
  const auto* un = reinterpret_cast<const sockaddr_un*>(address);
  const size_t offset = offsetof(sockaddr_un, sun_path);
  if (length <= offset) return std::string();
  std::string path(un->sun_path, std::min<size_t>(length - offset, sizeof un->sun_path));
  if (!path.empty() && path[0] == '\0') {
    path[0] = '@';
  } else {
    path.resize(std::strlen(path.c_str()));
  }
  return path;
}

}  // namespace

const char* FamilyName(int family) {
  switch (family) {
    case AF_UNIX: return "unix";
    case AF_INET: return "inet";
    case AF_INET6: return "inet6";
    default: return "unknown";
  }
}

bool IsUnixPath(const char* text) { return std::strchr(text, '/') || text[0] == '@'; }

bool IsNumericAddress(const char* text) {
  const char* end = text + std::strlen(text);
  if (AllIn(text, end, "0123456789.")) return true;
  const char* prefixEnd = text + std::strspn(text, "0123456789abcdefABCDEF:");
  if (prefixEnd == end) return true;
  if (*prefixEnd != '.') return false;
  // An IPv4 address at the end of an IPv6 one ("::ffff:1.2.3.4").
  const char* lastColon = nullptr;
  for (const char* c = text; c < prefixEnd; ++c) {
    if (*c == ':') lastColon = c;
  }
  return lastColon && AllIn(lastColon + 1, end, "0123456789.");
}

int ResolveAddress(lua_State* L, const char* text, int port, int type, Address& out) {
  std::memset(&out, 0, sizeof out);
  if (IsUnixPath(text)) {
    const size_t length = std::strlen(text);
    auto* un = reinterpret_cast<sockaddr_un*>(&out.storage);
    if (length > sizeof un->sun_path) {
      lua_pushnil(L);
      lua_pushliteral(L, "unix domain path too long");
      return 2;
    }
    un->sun_family = AF_UNIX;
    std::memcpy(un->sun_path, text, length);
    if (text[0] == '@') un->sun_path[0] = '\0';
    out.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
    out.family = AF_UNIX;
    out.protocol = 0;
    return 0;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = type;
  hints.ai_protocol = type == SOCK_DGRAM ? IPPROTO_UDP : IPPROTO_TCP;
  if (IsNumericAddress(text)) hints.ai_flags = AI_NUMERICHOST;
  const std::string service = std::to_string(port);
  addrinfo* found = nullptr;
  const int code = getaddrinfo(text, service.c_str(), &hints, &found);
  if (code != 0) {
    if (code == EAI_AGAIN) {
      lua_pushboolean(L, 0);
      return 1;
    }
    lua_pushnil(L);
    lua_pushstring(L, code == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(code));
    return 2;
  }
  const bool known = found->ai_family == AF_INET || found->ai_family == AF_INET6;
  if (known) {
    std::memcpy(&out.storage, found->ai_addr, found->ai_addrlen);
    out.length = found->ai_addrlen;
    out.family = found->ai_family;
    out.protocol = found->ai_protocol;
  }
  freeaddrinfo(found);
  if (known) return 0;
  lua_pushnil(L);
  lua_pushliteral(L, "unknown address family");
  return 2;
}

void PushAddressTable(lua_State* L, const sockaddr* address, socklen_t length) {
  lua_createtable(L, 0, 3);
  lua_pushstring(L, FamilyName(address->sa_family));
  lua_setfield(L, -2, "family");
  char text[INET6_ADDRSTRLEN];
  int port = 0;
  if (InetText(address, text, port)) {
    lua_pushstring(L, text);
    lua_setfield(L, -2, "addr");
    lua_pushinteger(L, port);
    lua_setfield(L, -2, "port");
  } else if (address->sa_family == AF_UNIX) {
    const std::string path = UnixPathText(address, length);
    lua_pushlstring(L, path.data(), path.size());
    lua_setfield(L, -2, "addr");
  }
}

int PushAddressAndPort(lua_State* L, const sockaddr* address, socklen_t length) {
  char text[INET6_ADDRSTRLEN];
  int port = 0;
  if (InetText(address, text, port)) {
    lua_pushstring(L, text);
    lua_pushinteger(L, port);
  } else if (address->sa_family == AF_UNIX) {
    const std::string path = UnixPathText(address, length);
    lua_pushlstring(L, path.data(), path.size());
    lua_pushinteger(L, 0);
  } else {
    lua_pushnil(L);
    lua_pushnil(L);
  }
  return 2;
}

int PushErrorText(lua_State* L, int code) {
  lua_pushnil(L);
  lua_pushstring(L, std::strerror(code));
  return 2;
}

int PushError(lua_State* L) { return PushErrorText(L, errno); }

bool WouldBlock(int code) { return code == EAGAIN || code == EWOULDBLOCK; }

}  // namespace GCore::LSocket
