#pragma once
// The value of every byte as a hexadecimal digit: 0 to 15 for '0'-'9',
// 'a'-'f' and 'A'-'F', 16 for every other byte. The hex parsers of the script
// API read through it.
#include <array>
#include <cstdint>

namespace GCore {

constexpr uint8_t kNotHexDigit = 16;

constexpr std::array<uint8_t, 256> MakeHexDigitTable() {
  std::array<uint8_t, 256> table{};
  for (auto& value : table) value = kNotHexDigit;
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<uint8_t>(c - '0');
  for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<uint8_t>(c - 'a' + 10);
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<uint8_t>(c - 'A' + 10);
  return table;
}

inline constexpr std::array<uint8_t, 256> kHexDigitValue = MakeHexDigitTable();

constexpr bool IsHexDigit(uint8_t c) { return kHexDigitValue[c] != kNotHexDigit; }

}  // namespace GCore
