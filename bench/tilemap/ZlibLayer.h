#pragma once
// Tile layer data as map editors save large maps: the GIDs as little-endian
// 32-bit words, zlib-compressed, in base64. Shared by the tile map benchmarks.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace benchmap {

inline std::string Base64(const std::vector<unsigned char>& bytes) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = std::uint32_t(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= std::uint32_t(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= bytes[i + 2];
    text += alphabet[(group >> 18) & 63];
    text += alphabet[(group >> 12) & 63];
    text += i + 1 < bytes.size() ? alphabet[(group >> 6) & 63] : '=';
    text += i + 2 < bytes.size() ? alphabet[group & 63] : '=';
  }
  return text;
}

// The text of a <data> element holding the GIDs.
inline std::string ZlibData(const std::vector<std::uint32_t>& gids) {
  std::vector<unsigned char> raw;
  raw.reserve(gids.size() * 4);
  for (std::uint32_t gid : gids) {
    for (int shift = 0; shift < 32; shift += 8) raw.push_back(std::uint8_t(gid >> shift));
  }
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<unsigned char> packed(size);
  compress2(packed.data(), &size, raw.data(), uLong(raw.size()), Z_BEST_COMPRESSION);
  packed.resize(size);
  return "<data encoding=\"base64\" compression=\"zlib\">\n   " + Base64(packed) + "\n  </data>";
}

}  // namespace benchmap
