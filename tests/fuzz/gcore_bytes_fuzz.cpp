// Fuzz target of the byte readers behind "gcore.c": the GBK and UTF-8
// conversions, the first code point, UTF-16 lengths and zlib inflation; and
// what deflates must inflate back the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/CodePage.h"
#include "core/Compression.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  GCore::GbkToUtf8(bytes);
  GCore::Utf8ToGbk(bytes);
  GCore::FirstCodePoint(bytes);
  GCore::Utf16Length(bytes);
  std::string out;
  GCore::InflateWhole(bytes, size * 50, out);
  std::string packed, back;
  if (GCore::DeflateWhole(bytes, packed) && (GCore::InflateWhole(packed, size, back) != 0 || back != bytes)) {
    __builtin_trap();
  }
  return 0;
}
