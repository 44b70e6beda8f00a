// Glyphs and line layout of text objects: which image draws an element, how
// far it advances, where lines break and where the text block sits.
#include <cmath>

#include "display/TextMarkup.h"
#include "display/TextQuad.h"
#include "render/FontTexture.h"
#include "render/Image.h"
#include "render/ResourceManager.h"

namespace GCore {

namespace {

// The line limit of texts that may grow in width.
constexpr float kNoLimit = 100000;
constexpr uint32_t kLineFeed = 10;
constexpr uint32_t kCarriageReturn = 13;
constexpr uint32_t kKindGlyphSheet = 6;
// Bits 12 to 15 of a font id that name a strip of the ten digits.
constexpr uint32_t kDigitStrip = 0xD;

bool IsLineFeed(const TextElement& e) { return e.kind == kElementCharacter && e.code == kLineFeed; }

// The lines' heights with the spacing between them.
float TotalHeight(const std::vector<LineDesc>& lines, int32_t spacing) {
  float total = 0;
  for (size_t k = 0; k < lines.size(); ++k) {
    total += lines[k].height;
    if (k + 1 < lines.size()) total += static_cast<float>(spacing);
  }
  return total;
}

LineDesc Line(int32_t end, float height) {
  LineDesc line;
  line.end = end;
  line.height = height;
  return line;
}

}  // namespace

Image* TextQuad::GetGlyph(uint32_t code, int32_t styleIndex) {
  if (code == kLineFeed || code == kCarriageReturn || !g_resourceManager) return nullptr;
  if (password) code = '*';
  const OwnerPair font{fontProject, fontId};
  if (ResourceKind(fontId) == kKindGlyphSheet) {
    FontTexture* sheet = g_resourceManager->GetGlyphSheet(font);
    return sheet ? sheet->GetGlyph(code, styleIndex) : nullptr;
  }
  if (((fontId >> 12) & 0xF) != kDigitStrip) {
    const uint32_t id = static_cast<uint32_t>(styleIndex & 0xFF) << 8 | (fontId & ~0x1FFFu) | code;
    return g_resourceManager->GetImage(OwnerPair{fontProject, id});
  }
  if (code < '0' || code > '9') return nullptr;
  // A digit's cell of the strip, made on first use: a tenth of its width.
  const uint32_t digit = code - '0';
  const OwnerPair cellPair{fontProject, (fontId & 0x8FFF) | digit << 16 | 0x7000};
  if (Image* cell = g_resourceManager->FindImage(cellPair)) return cell;
  const Image* strip = g_resourceManager->GetImage(font);
  if (!strip || !strip->texture) return nullptr;
  Image* cell = g_resourceManager->CreateImage(cellPair, true);
  if (!cell) return nullptr;
  const float tenth = strip->width / 10;
  cell->texture = strip->texture;
  cell->x = strip->x + static_cast<float>(digit) * tenth;
  cell->y = strip->y;
  cell->width = tenth;
  cell->height = strip->height;
  cell->UpdateTexCoords();
  return cell;
}

bool TextQuad::ElementSize(const TextElement& e, int32_t styleIndex, float& advance, float& height) {
  advance = height = 0;
  const Image* image = nullptr;
  if (e.kind == kElementImage) {
    image = g_resourceManager ? g_resourceManager->GetImage(OwnerPair{0, e.code}) : nullptr;
    if (!image) return false;
    advance = image->width;
  } else if (e.kind == kElementCharacter && e.code != kCarriageReturn) {
    image = GetGlyph(e.code, styleIndex);
    if (!image) return false;
    advance = image->width + static_cast<float>(letterSpacing);
  } else {
    return false;
  }
  height = image->height;
  return true;
}

float TextQuad::BreakLines(int32_t first, float limit, bool wrapLines, std::vector<LineDesc>& out) {
  MarkupState markup = MarkupBefore(first);
  float x = 0;
  float widest = 0;
  auto lineHeightNow = static_cast<float>(lineHeight);
  int32_t lineStart = first;
  int32_t end = ElementCount();
  for (int32_t i = first; i < end; ++i) {
    const TextElement& e = elements[static_cast<size_t>(i)];
    markup.Apply(e);
    if (IsLineFeed(e)) {
      widest = std::max(widest, x);
      out.push_back(Line(i + 1, lineHeightNow));
      x = 0;
      lineHeightNow = static_cast<float>(lineHeight);
      lineStart = i + 1;
      continue;
    }
    if (e.kind == kElementTab) {
      x = static_cast<float>(e.code);
      continue;
    }
    float advance = 0, height = 0;
    ElementSize(e, markup.Style(style), advance, height);
    // A wrapped line takes at least one element, so no line is left empty.
    if (x + advance > limit && (!wrapLines || i > lineStart)) {
      widest = std::max(widest, limit);
      if (!wrapLines) {
        end = i;
        break;
      }
      out.push_back(Line(i, lineHeightNow));
      x = 0;
      lineStart = i;
    }
    x += advance;
    lineHeightNow = std::max(lineHeightNow, height);
  }
  out.push_back(Line(end, lineHeightNow));
  return std::max(widest, x);
}

bool TextQuad::LayoutLines(int32_t first) {
  first = std::max(first, 0);
  if (static_cast<size_t>(first) < lines.size()) lines.resize(static_cast<size_t>(first));
  if (lines.empty()) textWidth = 0;
  const int32_t firstElement = lines.empty() ? 0 : lines.back().end;
  const float width = GetWidth();
  const float limit = LineLimit();
  textWidth = std::max(textWidth, BreakLines(firstElement, limit, wrap, lines));
  textHeight = TotalHeight(lines, lineSpacing);
  hoveredLink = 0;
  layoutDirty = false;
  laidOutWidth_ = width;
  laidOutLimit_ = limit;
  return false;
}

float TextQuad::MeasureLine(int32_t width) {
  std::vector<LineDesc> measured;
  const float widest = BreakLines(0, width == 0 ? kNoLimit : static_cast<float>(width), true, measured);
  return width == 0 ? widest : TotalHeight(measured, lineSpacing);
}

TextQuad::Block TextQuad::PlaceBlock() {
  const float width = GetWidth();
  const float height = GetHeight();
  const auto inset = static_cast<float>(margin);
  Rectangle box{-pivotX * width + inset, -pivotY * height, width - 2 * inset, height};
  AlignRect(box, align, textWidth, textHeight);
  return Block{box.x, box.y};
}

size_t TextQuad::LineAt(const Block& block, float y, float& lineTop) const {
  lineTop = block.y + textHeight;
  if (lines.empty() || y > lineTop) return lines.size();
  size_t k = 0;
  for (; k + 1 < lines.size(); ++k) {
    if (y >= lineTop - lines[k].height) break;
    lineTop -= lines[k].height + static_cast<float>(lineSpacing);
  }
  return k;
}

void TextQuad::EnsureLayout() {
  if (layoutDirty || GetWidth() != laidOutWidth_ || LineLimit() != laidOutLimit_) LayoutLines(0);
}

int32_t TextQuad::GetCharIndexAt(float x, float y) {
  EnsureLayout();
  const Block block = PlaceBlock();
  float lineTop = 0;
  const size_t k = LineAt(block, y, lineTop);
  if (k == lines.size()) return 0;
  const int32_t first = k > 0 ? lines[k - 1].end : 0;
  const int32_t last = std::min(lines[k].end, ElementCount());
  MarkupState markup = MarkupBefore(first);
  float px = block.x;
  int32_t best = first;
  float bestDistance = std::fabs(x - px);
  for (int32_t i = first; i < last; ++i) {
    const TextElement& e = elements[static_cast<size_t>(i)];
    markup.Apply(e);
    // The caret goes before a line feed, not after it.
    if (IsLineFeed(e)) break;
    if (e.kind == kElementTab) {
      px = block.x + static_cast<float>(e.code);
    } else {
      float advance = 0, height = 0;
      ElementSize(e, markup.Style(style), advance, height);
      px += advance;
    }
    if (std::fabs(x - px) < bestDistance) {
      best = i + 1;
      bestDistance = std::fabs(x - px);
    }
  }
  return std::min(best, ElementCount());
}

int32_t TextQuad::LinkAt(const Block& block, float x, float y) {
  float lineTop = 0;
  const size_t k = LineAt(block, y, lineTop);
  if (k == lines.size() || y < lineTop - lines[k].height || x < block.x || x > block.x + textWidth) return 0;
  const int32_t first = k > 0 ? lines[k - 1].end : 0;
  const int32_t last = std::min(lines[k].end, ElementCount());
  MarkupState markup = MarkupBefore(first);
  float px = block.x;
  for (int32_t i = first; i < last; ++i) {
    const TextElement& e = elements[static_cast<size_t>(i)];
    markup.Apply(e);
    if (e.kind == kElementTab) {
      px = block.x + static_cast<float>(e.code);
      continue;
    }
    float advance = 0, height = 0;
    if (!ElementSize(e, markup.Style(style), advance, height)) continue;
    // The first glyph whose right edge reaches the pointer.
    if (e.kind == kElementCharacter && px + advance - static_cast<float>(letterSpacing) >= x) {
      return markup.Link();
    }
    px += advance;
  }
  return 0;
}

MarkupState TextQuad::MarkupBefore(int32_t element) const {
  MarkupState markup;
  for (int32_t i = 0; i < element; ++i) markup.Apply(elements[static_cast<size_t>(i)]);
  return markup;
}

float TextQuad::LineLimit() { return (scaleMode & 1) ? kNoLimit : GetWidth(); }

int32_t TextQuad::GetLineOf(int32_t element) const {
  if (lines.size() < 2) return 0;
  for (size_t k = 0; k < lines.size(); ++k) {
    if (lines[k].end > element) return static_cast<int32_t>(k);
  }
  return static_cast<int32_t>(lines.size()) - 1;
}

}  // namespace GCore
