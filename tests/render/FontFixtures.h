#pragma once
// Font files for the font tests: DejaVu Sans from the system (fonts-dejavu-core)
// and tiny.ttf made by scripts/make-test-font.py, with helpers that find a
// table and change bytes of a copy.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline constexpr const char* kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline constexpr const char* kTinyFont = QUARVELIN_TEST_DATA "/render/data/tiny.ttf";

inline Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline uint32_t ReadU16(const Bytes& b, size_t at) { return static_cast<uint32_t>(b[at] << 8 | b[at + 1]); }
inline uint32_t ReadU32(const Bytes& b, size_t at) { return ReadU16(b, at) << 16 | ReadU16(b, at + 2); }

// The position of the table's directory record (the file must have it).
inline size_t TableRecord(const Bytes& font, const char* tag) {
  const uint32_t count = ReadU16(font, 4);
  for (uint32_t i = 0; i < count; ++i) {
    if (std::memcmp(&font[12 + 16 * i], tag, 4) == 0) return 12 + 16 * i;
  }
  return 0;
}

inline size_t TableOffset(const Bytes& font, const char* tag) { return ReadU32(font, TableRecord(font, tag) + 8); }

inline Bytes WithU16(Bytes b, size_t at, uint32_t value) {
  b[at] = static_cast<uint8_t>(value >> 8);
  b[at + 1] = static_cast<uint8_t>(value);
  return b;
}

inline Bytes WithByte(Bytes b, size_t at, uint8_t value) {
  b[at] = value;
  return b;
}

inline Bytes WithU32(Bytes b, size_t at, uint32_t value) {
  return WithU16(WithU16(std::move(b), at, value >> 16), at + 2, value & 0xFFFF);
}
