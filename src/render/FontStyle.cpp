#include "render/FontStyle.h"

namespace GCore {

std::vector<std::unique_ptr<FontStyle>>& FontStyles() {
  static std::vector<std::unique_ptr<FontStyle>> styles;
  return styles;
}

const FontStyle& FontStyleAt(int n) {
  static const FontStyle kDefault;
  const auto& styles = FontStyles();
  if (styles.empty()) return kDefault;
  if (n < 1 || static_cast<size_t>(n) > styles.size()) return *styles.front();
  return *styles[static_cast<size_t>(n) - 1];
}

void ClearFontStyles() { FontStyles().clear(); }

uint32_t StyleColour(uint32_t v) { return (v & 0xFF) << 16 | (v & 0xFF00) | ((v >> 16) & 0xFFFF); }

void ColourToFloats(uint32_t colour, float out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<float>((colour >> (8 * i)) & 0xFF) / 255.0f;
}

}  // namespace GCore
