#include "core/Clipboard.h"

#include <climits>
#include <cstdint>
#include <string>

#include "base/Log.h"
#include "platform/SystemInput.h"

namespace GCore {

size_t Utf16Length(std::string_view utf8) {
  size_t units = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<uint8_t>(utf8[i]);
    // Continuation bytes add nothing; a 4-byte lead is a pair of units.
    if ((byte & 0xC0) == 0x80) continue;
    units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

const char* GetClipboardText(int* utf16Length) {
  static std::string text;
  switch (ReadClipboardText(text)) {
    case ClipboardStatus::Unavailable:
      LogWrite("Win32: Failed to open clipboard\n");
      return nullptr;
    case ClipboardStatus::NoText:
      LogWrite("Win32: Failed to convert clipboard to string\n");
      return nullptr;
    case ClipboardStatus::Ok:
      break;
  }
  if (utf16Length) {
    const size_t units = Utf16Length(text);
    *utf16Length = units > INT_MAX ? INT_MAX : static_cast<int>(units);
  }
  return text.c_str();
}

}  // namespace GCore
