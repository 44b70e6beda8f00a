#pragma once
// Font styles: small records of colours and numbers that text and drop
// shadows are drawn with. Scripts append them to one process-wide list
// ("addFntStyle"); everything else names a style by its 1-based place in
// that list. An index out of range names the first style, and with an empty
// list every user gets a built-in default (white, no outline), so no user
// ever indexes an empty list.
// Main thread only.
#include <cstdint>
#include <memory>
#include <vector>

namespace GCore {

class FontStyle {
 public:
  virtual ~FontStyle() = default;

  // Colours with red in bits 0-7 (converted from the script's 0xRRGGBB).
  uint32_t color1 = 0xFFFFFF;  // text colour; shadow and first drop-shadow colour
  uint32_t color2 = 0xFFFFFF;  // second drop-shadow colour
  int32_t color3 = 0xFFFFFF;   // shadow colour of text under this style in markup, unconverted
  int32_t value4 = 0;
  int32_t outline = 0;  // 1 or more: glyphs of the style get an outline cell
  int32_t value6 = 0;
  int32_t value7 = 0;
};

// The list, in the order the styles were added.
std::vector<std::unique_ptr<FontStyle>>& FontStyles();
// Style n (1-based), the first for any other n, the default without styles.
const FontStyle& FontStyleAt(int n);
void ClearFontStyles();

// A script colour 0xRRGGBB as a style stores it: red and blue swapped, so
// that red is in bits 0-7 (a top byte ends up ORed into green).
uint32_t StyleColour(uint32_t scriptColour);
// The four bytes of a colour, bits 0-7 first, divided by 255.
void ColourToFloats(uint32_t colour, float out[4]);

}  // namespace GCore
