// "gcore.c": zlib compression of whole strings.
#include <string>

#include "base/Log.h"
#include "core/Compression.h"
#include "game/GCoreApi.h"

namespace GCore::Api {

namespace {

// What unzip may produce: 50 times its input, as the scripts' data was
// sized for, and never more than this.
constexpr size_t kLargestUnzipped = size_t{256} << 20;

}  // namespace

int zip(lua_State* L) {
  size_t size = 0;
  const char* data = lua_isstring(L, 1) ? lua_tolstring(L, 1, &size) : nullptr;
  if (!data) return 0;
  std::string out;
  if (!DeflateWhole(std::string_view(data, size), out)) {
    LogWrite("compress failed!\n");
    return 0;
  }
  lua_pushlstring(L, out.data(), out.size());
  return 1;
}

int unzip(lua_State* L) {
  size_t size = 0;
  const char* data = lua_isstring(L, 1) ? lua_tolstring(L, 1, &size) : nullptr;
  if (!data) return 0;
  const size_t limit = size > kLargestUnzipped / 50 ? kLargestUnzipped : size * 50;
  std::string out;
  const int status = InflateWhole(std::string_view(data, size), limit, out);
  if (status != 0) {
    LogPrintf("uncompress failed! %d\n", status);
    return 0;
  }
  lua_pushlstring(L, out.data(), out.size());
  return 1;
}

}  // namespace GCore::Api
