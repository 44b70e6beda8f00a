#pragma once
// Conversions between the engine's UTF-8 and the ANSI code page of typed
// double-byte characters and the scripts' older texts, GBK (code page 936),
// through iconv. Thread-safe: every call opens its own converter.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace GCore {

// Like the system's own conversions these never fail: a byte that is not GBK,
// a broken UTF-8 sequence or a character GBK cannot hold becomes '?'.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// Typed text in the ANSI code page to UTF-8; null when the bytes are not
// valid GBK (nothing is typed rather than a '?').
std::optional<std::string> AnsiToUtf8(std::string_view ansi);

// The code point of the first UTF-8 sequence (the old 5- and 6-byte forms
// included); 0 for a stray or cut-off sequence.
uint32_t FirstCodePoint(std::string_view utf8);

// The number of UTF-16 units of a UTF-8 text: one for each character below
// U+10000, two for each above (continuation bytes count nothing).
size_t Utf16Length(std::string_view utf8);

}  // namespace GCore
