#include "core/Clipboard.h"

#include <climits>
#include <cstdint>
#include <string>

#include "base/Log.h"
#include "core/CodePage.h"
#include "platform/SystemInput.h"

namespace GCore {

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
