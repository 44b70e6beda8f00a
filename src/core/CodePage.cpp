#include "core/CodePage.h"

#include <errno.h>
#include <iconv.h>

#include <cstdint>

namespace GCore {
namespace {

// Bytes of the UTF-8 sequence at the start of `text`: its lead byte and the
// continuation bytes that follow it, as many as the lead byte claims.
size_t Utf8SequenceAt(const char* text, size_t left) {
  const auto lead = static_cast<uint8_t>(text[0]);
  const size_t claimed = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
  size_t length = 1;
  while (length < claimed && length < left && (static_cast<uint8_t>(text[length]) & 0xC0) == 0x80) ++length;
  return length;
}

enum class OnBadInput { Replace, Refuse };

// Converts with iconv. What cannot be converted either refuses the whole text
// or becomes '?', skipping the input it came from: one byte of GBK, or one
// UTF-8 sequence (its lead byte and the continuation bytes that follow).
std::optional<std::string> Convert(const char* to, const char* from, std::string_view text, bool fromUtf8,
                                   OnBadInput onBad) {
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    if (onBad == OnBadInput::Refuse) return std::nullopt;
    return std::string(text.size(), '?');
  }
  std::string out;
  out.reserve(text.size() * 2);
  char* in = const_cast<char*>(text.data());  // iconv's signature only; it does not write
  size_t inLeft = text.size();
  char chunk[256];
  while (inLeft > 0) {
    char* outPtr = chunk;
    size_t outLeft = sizeof(chunk);
    const size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    out.append(chunk, static_cast<size_t>(outPtr - chunk));
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ (not convertible) or EINVAL (cut off at the end).
    if (onBad == OnBadInput::Refuse) {
      iconv_close(converter);
      return std::nullopt;
    }
    const size_t skip = fromUtf8 ? Utf8SequenceAt(in, inLeft) : 1;
    in += skip;
    inLeft -= skip;
    out += '?';
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(converter);
  return out;
}

}  // namespace

uint32_t FirstCodePoint(std::string_view text) {
  auto byte = [&](size_t i) { return i < text.size() ? static_cast<uint8_t>(text[i]) : uint8_t{0}; };
  const uint8_t first = byte(0);
  if (first < 0x80) return first;
  if (first < 0xC0 || first > 0xFD) return 0;
  struct Form {
    uint8_t below;  // first bytes below this value have this form
    size_t length;
    uint8_t valueBits;
  };
  static constexpr Form kForms[] = {{0xE0, 2, 0x1F}, {0xF0, 3, 0x0F}, {0xF8, 4, 0x07}, {0xFC, 5, 0x03}, {0xFE, 6, 0x01}};
  const Form* form = kForms;
  while (first >= form->below) ++form;
  uint32_t value = first & form->valueBits;
  for (size_t i = 1; i < form->length; ++i) {
    const uint8_t next = byte(i);
    if (next < 0x80 || next > 0xBF) return 0;
    value = (value << 6) | (next & 0x3Fu);
  }
  return value;
}

size_t Utf16Length(std::string_view utf8) {
  size_t units = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<uint8_t>(c);
    // Continuation bytes add nothing; a 4-byte lead is a pair of units.
    if ((byte & 0xC0) == 0x80) continue;
    units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

std::string GbkToUtf8(std::string_view gbk) { return *Convert("UTF-8", "GBK", gbk, false, OnBadInput::Replace); }

std::string Utf8ToGbk(std::string_view utf8) { return *Convert("GBK", "UTF-8", utf8, true, OnBadInput::Replace); }

std::optional<std::string> AnsiToUtf8(std::string_view ansi) {
  return Convert("UTF-8", "GBK", ansi, false, OnBadInput::Refuse);
}

}  // namespace GCore
