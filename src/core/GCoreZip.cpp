// "gcore.c": zlib compression of whole strings.
#include <zlib.h>

#include <algorithm>
#include <string>

#include "base/Log.h"
#include "core/GCoreApi.h"

namespace GCore::Api {

namespace {

// What unzip may produce: 50 times its input, as the scripts' data was
// sized for, and never more than this.
constexpr size_t kLargestUnzipped = size_t{256} << 20;

// Inflates a whole zlib stream into `out`, up to `limit` bytes; the zlib
// code that uncompress would report for the same input.
int InflateWhole(const unsigned char* bytes, size_t size, size_t limit, std::string& out) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return Z_MEM_ERROR;
  stream.next_in = const_cast<unsigned char*>(bytes);
  stream.avail_in = static_cast<uInt>(size);
  out.clear();
  // One byte beyond the limit tells a stream that does not fit.
  const size_t capacity = limit + 1;
  int status = Z_OK;
  while (status == Z_OK) {
    const size_t used = out.size();
    const size_t room = std::min(capacity - used, std::max<size_t>(used, 4096));
    out.resize(used + room);
    stream.next_out = reinterpret_cast<unsigned char*>(out.data() + used);
    stream.avail_out = static_cast<uInt>(room);
    status = inflate(&stream, Z_NO_FLUSH);
    out.resize(used + room - stream.avail_out);
    if (out.size() > limit) {
      status = Z_BUF_ERROR;
    } else if (status == Z_BUF_ERROR) {
      // No progress with room left: the input ended inside the stream.
      status = Z_DATA_ERROR;
    }
  }
  inflateEnd(&stream);
  if (status == Z_STREAM_END) return Z_OK;
  return status == Z_NEED_DICT ? Z_DATA_ERROR : status;
}

}  // namespace

int zip(lua_State* L) {
  size_t size = 0;
  const char* data = lua_isstring(L, 1) ? lua_tolstring(L, 1, &size) : nullptr;
  if (!data || size > UINT32_MAX) return 0;
  uLongf bound = compressBound(static_cast<uLong>(size));
  std::string out;
  out.resize(bound);
  if (compress(reinterpret_cast<Bytef*>(out.data()), &bound, reinterpret_cast<const Bytef*>(data),
               static_cast<uLong>(size)) != Z_OK) {
    LogWrite("compress failed!\n");
    return 0;
  }
  lua_pushlstring(L, out.data(), bound);
  return 1;
}

int unzip(lua_State* L) {
  size_t size = 0;
  const char* data = lua_isstring(L, 1) ? lua_tolstring(L, 1, &size) : nullptr;
  if (!data || size > UINT32_MAX) return 0;
  const size_t limit = size > kLargestUnzipped / 50 ? kLargestUnzipped : size * 50;
  std::string out;
  const int status = InflateWhole(reinterpret_cast<const unsigned char*>(data), size, limit, out);
  if (status != Z_OK) {
    LogPrintf("uncompress failed! %d\n", status);
    return 0;
  }
  lua_pushlstring(L, out.data(), out.size());
  return 1;
}

}  // namespace GCore::Api
