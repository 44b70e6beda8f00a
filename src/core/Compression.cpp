#include "core/Compression.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>

namespace GCore {

bool DeflateWhole(std::string_view bytes, std::string& out) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  out.resize(size);
  if (compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
               static_cast<uLong>(bytes.size())) != Z_OK) {
    out.clear();
    return false;
  }
  out.resize(size);
  return true;
}

int InflateWhole(std::string_view bytes, size_t limit, std::string& out) {
  out.clear();
  if (bytes.size() > UINT32_MAX) return Z_DATA_ERROR;
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return Z_MEM_ERROR;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  // One byte beyond the limit tells a stream that does not fit.
  const size_t capacity = limit + 1;
  int status = Z_OK;
  while (status == Z_OK) {
    const size_t used = out.size();
    const size_t room = std::min(capacity - used, std::max<size_t>(used, 4096));
    out.resize(used + room);
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + used);
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
  out.clear();
  return status == Z_NEED_DICT ? Z_DATA_ERROR : status;
}

}  // namespace GCore
