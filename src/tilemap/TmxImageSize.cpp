#include "tilemap/TmxImageSize.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>

namespace tmx {
namespace {

std::uint32_t BigEndian32(const unsigned char* bytes) {
  return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
}

}  // namespace

bool readPngSize(const std::string& path, Vector2u& size) {
  // Signature, then the first chunk, which must be a 13-byte IHDR.
  static const unsigned char kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  // Only a regular file: reading a pipe or a device could wait for ever.
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  unsigned char header[24];
  std::ifstream file(path, std::ios::binary);
  if (!file.read(reinterpret_cast<char*>(header), sizeof header)) return false;
  if (std::memcmp(header, kStart, sizeof kStart) != 0) return false;
  const std::uint32_t width = BigEndian32(header + 16);
  const std::uint32_t height = BigEndian32(header + 20);
  // PNG sizes are positive 31-bit numbers.
  if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) return false;
  size = Vector2u(width, height);
  return true;
}

}  // namespace tmx
