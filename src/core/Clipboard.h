#pragma once
// The clipboard as the engine reads it: UTF-8 text, with its length in UTF-16
// units (what text editing counts in). Main thread only: the text lives in
// one process-wide buffer that the next read replaces.
#include <cstddef>
#include <string_view>

namespace GCore {

// The clipboard's text, or null (with a message) when there is none to read.
// `utf16Length`, when given, receives the text's length in UTF-16 units.
const char* GetClipboardText(int* utf16Length);

// The number of UTF-16 units of a UTF-8 text: one for each character below
// U+10000, two for each above (continuation bytes count nothing).
size_t Utf16Length(std::string_view utf8);

}  // namespace GCore
