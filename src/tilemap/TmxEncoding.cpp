#include "tilemap/TmxEncoding.h"

#include <zlib.h>

#include <algorithm>

#include "tilemap/TmxLog.h"

namespace tmx {
namespace {

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool FailInflate(z_stream& stream, int code) {
  inflateEnd(&stream);
  logMessage(std::to_string(code), LogLevel::Error);
  return false;
}

}  // namespace

std::string decodeBase64(const std::string& text) {
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3 + 2);
  std::uint32_t group = 0;
  int count = 0;
  for (const char c : text) {
    const int value = Base64Value(c);
    if (value < 0) break;
    group = (group << 6) | std::uint32_t(value);
    if (++count == 4) {
      bytes += char(group >> 16);
      bytes += char(group >> 8);
      bytes += char(group);
      group = 0;
      count = 0;
    }
  }
  if (count == 2) {
    bytes += char(group >> 4);
  } else if (count == 3) {
    bytes += char(group >> 10);
    bytes += char(group >> 2);
  }
  return bytes;
}

bool decompressZlib(const char* source, std::vector<unsigned char>& dest, std::int32_t sourceSize,
                    std::int32_t expectedSize, std::uint64_t* inflatedLength) {
  if (sourceSize < 0 || expectedSize < 0) {
    logMessage("Invalid size for compressed layer data", LogLevel::Error);
    return false;
  }

  // One byte more than expected: once it is full the data is known to be
  // longer, and the rest is only counted, never kept.
  std::vector<unsigned char> out(std::size_t(expectedSize) + 1);
  z_stream stream{};
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(source));
  stream.avail_in = uInt(sourceSize);
  stream.next_out = out.data();
  stream.avail_out = uInt(out.size());
  const int initResult = inflateInit(&stream);
  if (initResult != Z_OK) {
    logMessage(std::to_string(initResult), LogLevel::Error);
    return false;
  }

  // Once `out` is full the stream goes on into `discard`, round after round.
  unsigned char discard[1 << 16];
  bool discarding = false;
  std::uint64_t discarded = 0;  // bytes of the discard rounds that are over
  const auto inflatedSoFar = [&]() -> std::uint64_t {
    if (!discarding) return out.size() - stream.avail_out;
    return out.size() + discarded + (sizeof discard - stream.avail_out);
  };
  for (;;) {
    const int result = inflate(&stream, Z_NO_FLUSH);
    switch (result) {
      case Z_STREAM_END: {
        const std::uint64_t length = inflatedSoFar();
        const bool consumed = stream.avail_in == 0;
        inflateEnd(&stream);
        if (!consumed) {
          logMessage("Layer data continues past the end of its zlib stream. Layer skipped.", LogLevel::Error);
          return false;
        }
        out.resize(std::size_t(std::min<std::uint64_t>(length, out.size())));
        dest = std::move(out);
        if (inflatedLength) *inflatedLength = length;
        return true;
      }
      case Z_DATA_ERROR:
      case Z_STREAM_ERROR:
      case Z_NEED_DICT:
        logMessage("If using gzip compression try using zlib instead", LogLevel::Info);
        return FailInflate(stream, Z_DATA_ERROR);
      case Z_MEM_ERROR:
        return FailInflate(stream, Z_MEM_ERROR);
      default:
        break;
    }
    if (stream.avail_out != 0) {
      // Z_BUF_ERROR with room left means the input ran out before the
      // stream ended: a truncated stream, which no buffer would complete.
      if (result == Z_BUF_ERROR) return FailInflate(stream, Z_BUF_ERROR);
      continue;
    }
    if (discarding) discarded += sizeof discard;
    const std::uint64_t length = out.size() + discarded;
    if (length > maxCountedLength) {
      inflateEnd(&stream);
      dest = std::move(out);
      if (inflatedLength) *inflatedLength = length;
      return true;
    }
    discarding = true;
    stream.next_out = discard;
    stream.avail_out = sizeof discard;
  }
}

}  // namespace tmx
