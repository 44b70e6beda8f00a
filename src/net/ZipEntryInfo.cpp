#include "net/ZipEntryInfo.h"

#include <vector>

namespace GCore {
namespace {

constexpr uLong kSizeInZip64 = 0xFFFFFFFF;
constexpr unsigned kZip64ExtraId = 0x0001;

unsigned ReadLittle(const unsigned char* bytes, int count) {
  unsigned value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

}  // namespace

bool IsReadableZipMethod(uLong method) { return method == 0 || method == Z_DEFLATED; }

bool CurrentZipEntrySize(unzFile zip, const unz_file_info64& info, ZPOS64_T& size) {
  size = info.uncompressed_size;
  if (size != kSizeInZip64) return true;
  std::vector<unsigned char> extra(info.size_file_extra);
  unz_file_info64 again;
  if (extra.empty() || unzGetCurrentFileInfo64(zip, &again, nullptr, 0, extra.data(),
                                               static_cast<uLong>(extra.size()), nullptr, 0) != UNZ_OK) {
    return false;
  }
  // Blocks of (id, length, data); in the zip64 block the uncompressed size
  // comes first, as the header's field that holds 0xFFFFFFFF.
  for (size_t at = 0; at + 4 <= extra.size();) {
    const unsigned id = ReadLittle(&extra[at], 2);
    const size_t length = ReadLittle(&extra[at + 2], 2);
    at += 4;
    if (length > extra.size() - at) return false;
    if (id == kZip64ExtraId && length >= 8) {
      size = static_cast<ZPOS64_T>(ReadLittle(&extra[at + 4], 4)) << 32 | ReadLittle(&extra[at], 4);
      return true;
    }
    at += length;
  }
  return false;
}

}  // namespace GCore
