// Text markup as a text object reads it: parsing (with a byte limit taken
// from the input's first byte, 0 for none) and applying every element's
// styles and links. Seeds: a zero byte, then the texts of
// tests/display/TextMarkupTest.cpp.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "display/TextMarkup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int64_t maxBytes = data[0] == 0 ? 0x0FFFFFFF : data[0];
  GCore::ParsedText parsed;
  GCore::ParseMarkup(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), maxBytes, parsed);
  GCore::MarkupState state;
  for (const GCore::TextElement& element : parsed.elements) {
    state.Apply(element);
    if (element.end > parsed.plain.size()) __builtin_trap();
  }
  return 0;
}
