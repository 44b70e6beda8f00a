#pragma once
// Text markup: the parser that turns a text into elements, and the style
// state that layout and drawing carry along the elements.
// Tags: "[tb=n]" tab, "[wt=n]" typewriter wait, "[sp=n]" typewriter speed,
// "[a=xx...]" link in style xx, "[im=xxxxxxxx]" inline image, "[br]" line
// feed, "[/a]" or "[/0]" end of link or style, "[xx]" style xx (hexadecimal).
// Any other "[" is an ordinary character. Every tag but tabs and images is
// followed by a carriage-return element, which layout and drawing skip.
// The parser never reads beyond the text's end: a UTF-8 sequence or a tag cut
// short by the end is dropped or read as ordinary characters.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace GCore {

// Kinds of element: characters, markup styles 1 to 246, and tags.
enum ElementKind : uint8_t {
  kElementCharacter = 0,
  kElementEnd = 247,        // [/a] or [/0]: ends a link or a style
  kElementLink = 248,       // [a=xx...]: code = offset of the link text << 8 | style
  kElementDropStyles = 249, // [ff]: drops every style above the first pushed
  kElementClearStyles = 250,// [00]: empties the style stack
  kElementWait = 251,       // [wt=n]: code = n | 0xF0000, a typewriter wait in ms
  kElementSpeed = 252,      // [sp=n]: code = n | 0xF0000, a typewriter speed
  kElementTab = 253,        // [tb=n]: code = n, the x of the next element
  kElementImage = 254,      // [im=xxxxxxxx]: code = the image's resource id
};

struct TextElement {
  uint32_t code = 0;    // a code point, or the tag's value
  uint8_t kind = 0;     // ElementKind, or a markup style 1 to 246
  uint32_t end = 0;     // offset of the element's end in the plain buffer
};

struct ParsedText {
  std::vector<TextElement> elements;
  std::string plain;          // the UTF-8 bytes of the visible characters
  bool typewriterTag = false;  // a wait or speed tag was met
};

// Parses until the text ends or the plain buffer grows past maxBytes.
void ParseMarkup(std::string_view text, int64_t maxBytes, ParsedText& out);

// The markup styles in force along the elements: a stack of at most 1000
// styles and the current link.
class MarkupState {
 public:
  // Applies a tag element; characters change nothing.
  void Apply(const TextElement& element);
  bool StyleInForce() const { return !styles_.empty(); }
  // The style on top, or `base` when no markup style is in force.
  int32_t Style(int32_t base) const { return styles_.empty() ? base : styles_.back(); }
  // The offset of the link's text in the parsed text, 0 outside links.
  int32_t Link() const { return link_; }

 private:
  std::vector<int32_t> styles_;
  int32_t link_ = 0;
};

}  // namespace GCore
