#include "display/TextMarkup.h"

namespace GCore {

namespace {

constexpr uint32_t kTagValueFlag = 0xF0000;
constexpr uint32_t kCarriageReturn = 13;
constexpr uint32_t kLineFeed = 10;
// How far a tab, wait or speed tag may look for its "]", and a link for its end.
constexpr size_t kNumberTagReach = 100;
constexpr size_t kLinkReach = 250;
// "[im=" and eight hexadecimal digits: the "]" sits right there.
constexpr size_t kImageTagClose = 12;
constexpr size_t kMaxLinkOffset = 0xFFFFFF;
constexpr size_t kMaxStyles = 1000;
constexpr int32_t kMaxPushedStyle = 127;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the text; every access is checked against its end.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool At(size_t pos, std::string_view what) const { return text_.substr(pos, what.size()) == what; }
  // The position of the first c in [from, from + reach), or npos.
  size_t Find(char c, size_t from, size_t reach) const {
    const size_t found = text_.find(c, from);
    return found != std::string_view::npos && found < from + reach ? found : std::string_view::npos;
  }
  // The hexadecimal value of n digits at pos, or -1.
  int64_t Hex(size_t pos, size_t n) const {
    if (pos + n > text_.size()) return -1;
    int64_t value = 0;
    for (size_t i = 0; i < n; ++i) {
      const int digit = HexDigit(text_[pos + i]);
      if (digit < 0) return -1;
      value = value * 16 + digit;
    }
    return value;
  }
  // The decimal number at the start of [from, to), its leading digits only.
  uint32_t Number(size_t from, size_t to) const {
    uint32_t value = 0;
    for (size_t i = from; i < to && text_[i] >= '0' && text_[i] <= '9'; ++i) {
      value = value * 10 + static_cast<uint32_t>(text_[i] - '0');
      if (value > 0xFFFF) value = 0xFFFF;
    }
    return value;
  }
  size_t Size() const { return text_.size(); }
  unsigned char Byte(size_t pos) const { return static_cast<unsigned char>(text_[pos]); }
  std::string_view Slice(size_t pos, size_t n) const { return text_.substr(pos, n); }

 private:
  std::string_view text_;
};

class Parser {
 public:
  Parser(std::string_view text, ParsedText& out) : in_(text), out_(out) {}

  // Reads one element at pos; returns the position after it.
  size_t Step(size_t pos) {
    const unsigned char byte = in_.Byte(pos);
    if (byte >= 0x80) return Utf8Character(pos);
    if (byte == '[') {
      const size_t after = Tag(pos);
      if (after != 0) return after;
    }
    Character(byte, in_.Slice(pos, 1));
    return pos + 1;
  }

 private:
  size_t Utf8Character(size_t pos) {
    const unsigned char lead = in_.Byte(pos);
    const size_t length = lead <= 0xDF ? 2 : (lead <= 0xEF ? 3 : 4);
    // A sequence cut short by the end of the text is dropped.
    if (pos + length > in_.Size()) return in_.Size();
    static constexpr uint32_t kLeadMask[5] = {0, 0, 0x1F, 0x0F, 0x07};
    uint32_t code = lead & kLeadMask[length];
    for (size_t i = 1; i < length; ++i) code = code << 6 | (in_.Byte(pos + i) & 0x3F);
    Character(code, in_.Slice(pos, length));
    return pos + length;
  }

  void Character(uint32_t code, std::string_view bytes) {
    out_.plain.append(bytes);
    Append(code, kElementCharacter);
  }

  void Append(uint32_t code, uint8_t kind) {
    out_.elements.push_back(TextElement{code, kind, static_cast<uint32_t>(out_.plain.size())});
  }

  // A tag element followed by its carriage return.
  void TagElement(uint32_t code, uint8_t kind) {
    Append(code, kind);
    out_.plain.push_back('\r');
    Append(kCarriageReturn, kElementCharacter);
  }

  // The tag at pos; returns the position after it, or 0 when the "[" opens none.
  size_t Tag(size_t pos) {
    if (in_.At(pos, "[tb=") || in_.At(pos, "[wt=") || in_.At(pos, "[sp=")) {
      const size_t close = in_.Find(']', pos + 4, kNumberTagReach - 4);
      if (close == std::string_view::npos) return 0;
      const uint32_t value = in_.Number(pos + 4, close);
      if (in_.At(pos, "[tb=")) {
        Append(value, kElementTab);
      } else {
        TagElement(value | kTagValueFlag, in_.At(pos, "[wt=") ? kElementWait : kElementSpeed);
        out_.typewriterTag = true;
      }
      return close + 1;
    }
    if (in_.At(pos, "[a=")) {
      const int64_t value = in_.Hex(pos + 3, 2);
      const size_t text = pos + 5;
      const size_t close = value < 0 ? std::string_view::npos : in_.Find(']', text, kLinkReach);
      // The offset must fit the element's code beside the style.
      if (close == std::string_view::npos || text > kMaxLinkOffset) return 0;
      TagElement(static_cast<uint32_t>(text << 8 | static_cast<size_t>(value)), kElementLink);
      return close + 1;
    }
    if (in_.At(pos, "[im=")) {
      const int64_t id = in_.Hex(pos + 4, 8);
      if (id < 0 || !in_.At(pos + kImageTagClose, "]")) return 0;
      Append(static_cast<uint32_t>(id), kElementImage);
      return pos + kImageTagClose + 1;
    }
    if (in_.At(pos, "[br]")) {
      Character(kLineFeed, "\n");
      return pos + 4;
    }
    if (in_.At(pos, "[/a]") || in_.At(pos, "[/0]")) {
      TagElement(kTagValueFlag, kElementEnd);
      return pos + 4;
    }
    const int64_t style = in_.Hex(pos + 1, 2);
    if (style >= 0 && in_.At(pos + 3, "]")) {
      uint8_t kind = static_cast<uint8_t>(style);
      if (style == 0) kind = kElementClearStyles;
      if (style == 255) kind = kElementDropStyles;
      TagElement(kCarriageReturn, kind);
      return pos + 4;
    }
    return 0;
  }

  Reader in_;
  ParsedText& out_;
};

}  // namespace

void ParseMarkup(std::string_view text, int64_t maxBytes, ParsedText& out) {
  out = ParsedText{};
  Parser parser(text, out);
  size_t pos = 0;
  while (pos < text.size() && static_cast<int64_t>(out.plain.size()) <= maxBytes) pos = parser.Step(pos);
}

void MarkupState::Apply(const TextElement& element) {
  switch (element.kind) {
    case kElementCharacter:
    case kElementWait:
    case kElementSpeed:
    case kElementTab:
    case kElementImage:
      return;
    case kElementEnd:
      // The first style pushed stays.
      if (styles_.size() > 1) styles_.pop_back();
      link_ = 0;
      return;
    case kElementLink:
      if (styles_.size() < kMaxStyles) styles_.push_back(static_cast<int32_t>(element.code & 0xFF));
      link_ = static_cast<int32_t>(element.code >> 8);
      return;
    case kElementClearStyles:
      styles_.clear();
      return;
    case kElementDropStyles:
      if (styles_.size() > 1) styles_.resize(1);
      return;
    default:
      if (element.kind <= kMaxPushedStyle && styles_.size() < kMaxStyles) styles_.push_back(element.kind);
      return;
  }
}

}  // namespace GCore
