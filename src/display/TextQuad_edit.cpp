// Editing of text objects: typed text, control characters and editing keys
// at the caret. The edited text is the plain text (markup already applied)
// with the change made, set anew, so markup typed into a field is parsed.
#include <string_view>

#include "display/TextQuad.h"
#include "platform/Messages.h"
#include "platform/SystemInput.h"

namespace GCore {

namespace {

constexpr std::string_view kBackspace = "\x08";
constexpr std::string_view kDelete = "\x7f";
constexpr std::string_view kPaste = "\x16";
constexpr std::string_view kCarriageReturn = "\r";
constexpr std::string_view kEscape = "\x1b";

}  // namespace

size_t TextQuad::ByteOffset(int32_t index) const {
  if (index <= 0 || elements.empty()) return 0;
  const auto at = static_cast<size_t>(std::min(index, ElementCount()));
  return std::min<size_t>(elements[at - 1].end, plain.size());
}

void TextQuad::InsertText(const char* input) {
  if (!input) return;
  const std::string_view in(input);
  if (in == kCarriageReturn || in == kEscape) return;
  const int32_t count = ElementCount();
  const int32_t low = std::clamp(SelectionLow(), 0, count);
  const int32_t high = std::clamp(SelectionHigh(), 0, count);
  int32_t from = low;
  int32_t to = high;
  int32_t caret = low;
  std::string insertion;
  if (in == kBackspace) {
    // A selection goes alone; without one the element before the caret goes.
    if (to == 0) return;
    if (from == to) from = caret = from - 1;
  } else if (in == kDelete) {
    if (from == count) return;
    if (from == to) to = from + 1;
  } else if (in == kPaste) {
    std::string clipboard;
    if (ReadClipboardText(clipboard) != ClipboardStatus::Ok) return;
    ParsedText pasted;
    GCore::ParseMarkup(clipboard, maxBytes, pasted);
    insertion = std::move(clipboard);
    caret = from + static_cast<int32_t>(pasted.elements.size());
  } else {
    insertion = in;
    caret = from + 1;
  }
  const std::string text = plain.substr(0, ByteOffset(from)) + insertion + plain.substr(ByteOffset(to));
  SetText(text.c_str());
  selectFrom = selectTo = std::min(caret, ElementCount());
}

void TextQuad::HandleEditKey(uint32_t virtualKey) {
  int32_t caret;
  switch (virtualKey) {
    case VK_END: caret = ElementCount(); break;
    case VK_HOME: caret = 0; break;
    case VK_LEFT: caret = std::max(SelectionLow() - 1, 0); break;
    case VK_RIGHT: caret = SelectionHigh() + 1; break;
    case VK_DELETE:
      InsertText(kDelete.data());
      return;
    default:
      return;
  }
  selectFrom = selectTo = std::min(caret, ElementCount());
}

}  // namespace GCore
