#pragma once
// Text in the ANSI code page, which typed double-byte characters arrive in,
// turned into the engine's UTF-8. The ANSI code page is GBK (code page 936),
// converted through iconv. Thread-safe: every call opens its own converter.
#include <optional>
#include <string>
#include <string_view>

namespace GCore {

// The ANSI code page to UTF-8; null when the bytes are not valid GBK.
std::optional<std::string> AnsiToUtf8(std::string_view ansi);

}  // namespace GCore
