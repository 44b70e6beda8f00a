#pragma once
// Internals shared by the files of the "lsocket" module: the socket record
// that lives in a script userdata, address resolution and the texts of
// socket errors. Every socket is non-blocking; an operation that would block
// gives the script false, a failure nil and a text. Script thread only.
#include <sys/socket.h>

#include <lua.hpp>

namespace GCore::LSocket {

constexpr const char* kMetatable = "socket";
constexpr const char* kEmptyTable = "lsocket_empty_table";

struct Socket {
  int handle;  // -1 once closed or detached
  int family;  // AF_UNIX, AF_INET or AF_INET6
  int type;    // SOCK_STREAM or SOCK_DGRAM; -1 after close
  int multicast;
  int protocol;
  int listening;
};

struct Address {
  sockaddr_storage storage;
  socklen_t length;
  int family;
  int protocol;
};

// Resolves `text` and `port` (ignored for unix paths) for a socket of `type`.
// Returns 0, or on failure the number of results it pushed for the script
// (false for a lookup to try again, else nil and a text).
int ResolveAddress(lua_State* L, const char* text, int port, int type, Address& out);
bool IsNumericAddress(const char* text);
bool IsUnixPath(const char* text);
const char* FamilyName(int family);

// Pushes {family, addr[, port]} for a socket address.
void PushAddressTable(lua_State* L, const sockaddr* address, socklen_t length);
// Pushes the address text and port (nil, nil for unix, 0 as port for other
// non-inet families); returns 2.
int PushAddressAndPort(lua_State* L, const sockaddr* address, socklen_t length);

// Pushes nil and the text of errno; returns 2.
int PushError(lua_State* L);
int PushErrorText(lua_State* L, int code);
bool WouldBlock(int code);

// Non-blocking and address reuse; false (errno kept) when either fails.
bool SetUpHandle(int handle);
// A new socket userdata with the module's metatable on top of the stack.
Socket* PushSocket(lua_State* L, int handle, int family, int type, int protocol, bool multicast, bool listening);
Socket* CheckSocket(lua_State* L, int index);

void RegisterSocketMetatable(lua_State* L);

}  // namespace GCore::LSocket
