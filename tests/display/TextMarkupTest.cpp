// The markup parser: tags, characters and their byte ends, texts cut short in
// a UTF-8 sequence or a tag, the byte limit, and the style stack bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "display/TextMarkup.h"

namespace {

using GCore::MarkupState;
using GCore::ParsedText;
using GCore::TextElement;

// Elements as "kind:code" words, characters as their code point in hex.
std::string Describe(const ParsedText& parsed) {
  std::string out;
  char word[32];
  for (const TextElement& e : parsed.elements) {
    if (e.kind == 0) {
      std::snprintf(word, sizeof word, "%x", e.code);
    } else {
      std::snprintf(word, sizeof word, "%u:%x", e.kind, e.code);
    }
    out += (out.empty() ? "" : " ") + std::string(word);
  }
  return out;
}

// Parses a copy in a buffer of exactly the text's size, so that a read past
// its end is caught by the address sanitizer.
ParsedText Parse(std::string_view text, int64_t maxBytes = 0x0FFFFFFF) {
  const auto exact = std::make_unique<char[]>(text.size());
  std::copy(text.begin(), text.end(), exact.get());
  ParsedText parsed;
  GCore::ParseMarkup(std::string_view(exact.get(), text.size()), maxBytes, parsed);
  return parsed;
}

TEST(Markup, ElementsOfEachTag) {
  struct Case {
    std::string text;
    const char* elements;
    const char* plain;
  } cases[] = {
      {"A[br]B", "41 a 42", "A\nB"},
      {"[ff]x[/0]", "249:d d 78 247:f0000 d", "\rx\r"},
      {"[00]x", "250:d d 78", "\rx"},
      {"[12]x[/a]", "18:d d 78 247:f0000 d", "\rx\r"},
      {"[tb=40]x", "253:28 78", "x"},
      {"[wt=300]x", "251:f012c d 78", "\rx"},
      {"[sp=12]", "252:f000c d", "\r"},
      {"[a=05http://x]go[/a]", "248:505 d 67 6f 247:f0000 d", "\rgo\r"},
      {"[a=0f]go", "248:50f d 67 6f", "\rgo"},
      {"[im=51050001]x", "254:51050001 78", "x"},
      // Not tags: ordinary characters.
      {"[zz]", "5b 7a 7a 5d", "[zz]"},
      {"[im=5105001]", "5b 69 6d 3d 35 31 30 35 30 30 31 5d", "[im=5105001]"},
      {"[a=g1]", "5b 61 3d 67 31 5d", "[a=g1]"},
      {"[tb=12", "5b 74 62 3d 31 32", "[tb=12"},
      {"[a=0", "5b 61 3d 30", "[a=0"},
      {"[", "5b", "["},
      {"[1", "5b 31", "[1"},
      // UTF-8: whole sequences, a sequence cut by the end is dropped.
      {"\xE4\xB8\xAD\xC3\xA9", "4e2d e9", "\xE4\xB8\xAD\xC3\xA9"},
      {"ab\xE4\xB8", "61 62", "ab"},
      {"\xF0\x9F\x98\x80", "1f600", "\xF0\x9F\x98\x80"},
      {"\xF0\x9F\x98", "", ""},
      {"\xC3", "", ""},
  };
  for (const Case& c : cases) {
    const ParsedText parsed = Parse(c.text);
    EXPECT_EQ(Describe(parsed), c.elements) << c.text;
    EXPECT_EQ(parsed.plain, c.plain) << c.text;
  }
}

TEST(Markup, EachElementKnowsWhereItsBytesEnd) {
  const ParsedText parsed = Parse("A[br]\xC3\xA9[01]z");
  std::vector<uint32_t> ends;
  for (const TextElement& e : parsed.elements) ends.push_back(e.end);
  EXPECT_EQ(ends, (std::vector<uint32_t>{1, 2, 4, 4, 5, 6}));
}

TEST(Markup, TypewriterTagsAreReported) {
  EXPECT_TRUE(Parse("[wt=1]").typewriterTag);
  EXPECT_TRUE(Parse("a[sp=5]").typewriterTag);
  EXPECT_FALSE(Parse("[tb=5]").typewriterTag);
}

TEST(Markup, ParsingStopsOnceTheBytesPassTheLimit) {
  EXPECT_EQ(Parse("abcdef", 3).plain, "abcd");
  EXPECT_EQ(Parse("abcdef", 0).plain, "a");
}

TEST(Markup, TenThousandNestedStylesKeepAThousand) {
  std::string text;
  for (int i = 0; i < 10000; ++i) text += "[02]";
  text += "x";
  for (int i = 0; i < 10000; ++i) text += "[/0]";
  const ParsedText parsed = Parse(text);
  ASSERT_EQ(parsed.elements.size(), 40001u);
  MarkupState state;
  for (size_t i = 0; i < 20000; ++i) state.Apply(parsed.elements[i]);
  EXPECT_EQ(state.Style(7), 2);
  for (const TextElement& e : parsed.elements) state.Apply(e);
  EXPECT_TRUE(state.StyleInForce()) << "the first style pushed stays";
}

TEST(Markup, StylesLinksAndTheirEnds) {
  const ParsedText parsed = Parse("[03]a[a=05x]b[/a]c[ff]d[00]e");
  MarkupState state;
  std::string seen;
  for (const TextElement& e : parsed.elements) {
    state.Apply(e);
    if (e.kind == 0 && e.code != 13) {
      seen += static_cast<char>(e.code);
      seen += std::to_string(state.Style(9)) + (state.Link() ? "L" : "") + " ";
    }
  }
  EXPECT_EQ(seen, "a3 b5L c3 d3 e9 ");
}

}  // namespace
