// The address texts of "lsocket" on untrusted bytes. The input's first byte
// picks what the rest is: an address text as a script gives it (only unix
// paths and numeric addresses are resolved, so that no name lookup leaves
// the machine), or a socket address as a peer's datagram or connection
// brings it, whose text must stay within the address it came in.
#include <sys/un.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "modules/LSocket.h"

namespace {

lua_State* State() {
  static lua_State* L = luaL_newstate();
  return L;
}

void ResolveText(lua_State* L, const std::string& text, int port) {
  using namespace GCore::LSocket;
  const bool unixPath = IsUnixPath(text.c_str());
  if (!unixPath && !IsNumericAddress(text.c_str())) return;
  Address address;
  for (const int type : {SOCK_STREAM, SOCK_DGRAM}) {
    if (ResolveAddress(L, text.c_str(), port, type, address) != 0) continue;
    if (address.length > sizeof(address.storage)) __builtin_trap();
    if (unixPath && address.family != AF_UNIX) __builtin_trap();
  }
}

void ReadAddress(lua_State* L, const uint8_t* data, size_t size) {
  sockaddr_storage storage{};
  const size_t length = size < sizeof(storage) ? size : sizeof(storage);
  std::memcpy(&storage, data, length);
  const auto* address = reinterpret_cast<const sockaddr*>(&storage);
  const auto socketLength = static_cast<socklen_t>(length);
  GCore::LSocket::PushAddressTable(L, address, socketLength);
  lua_getfield(L, -1, "addr");
  size_t textLength = 0;
  lua_tolstring(L, -1, &textLength);
  if (storage.ss_family == AF_UNIX && textLength > sizeof(sockaddr_un::sun_path)) __builtin_trap();
  GCore::LSocket::PushAddressAndPort(L, address, socketLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  lua_State* L = State();
  if (data[0] & 1) {
    ReadAddress(L, data + 1, size - 1);
  } else {
    // As a script's string reaches the module: up to the first zero byte.
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    ResolveText(L, text.c_str(), data[0] << 4);
  }
  lua_settop(L, 0);
  return 0;
}
