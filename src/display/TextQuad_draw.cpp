// Drawing of text objects: the box's media, the typewriter, the link under
// the pointer, and the lines glyph by glyph with shadows, selection, link
// underlines and the caret. Glyphs and images sit on the bottom of their
// line; the shadow of an outlined style is its dilated outline.
#include <cmath>

#include "core/AirData.h"
#include "core/GameIF.h"
#include "display/TextMarkup.h"
#include "display/TextQuad.h"
#include "render/FontStyle.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"

namespace GCore {

namespace {

constexpr float kUnderlineHeight = 2;
constexpr float kCaretWidth = 2;

void Multiply(float colour[4], const float by[4]) {
  for (int i = 0; i < 4; ++i) colour[i] *= by[i];
}

}  // namespace

void TextQuad::Draw() {
  if (!visible) return;
  EnsureLayout();
  DisplayObject::Draw();
  const float width = GetWidth();
  const float height = GetHeight();
  const float left = -pivotX * width;
  const float bottom = -pivotY * height;
  if (dirty & kDirtyBounds) SetBoundsFromLocalBox(left, bottom, width, height);
  const Block block = PlaceBlock();
  if (g_renderer && mediaId != 0) {
    AirFrameInfo frame;
    if (const Image* image = GetMediaFrame(&frame, -1)) {
      float colour[4];
      WorldColour(colour);
      DrawImageAt(*image, &frame, left, bottom, width, height, colour);
    }
  }
  if (typeSpeed > 0) AdvanceTypewriter();
  if (mouseEnabled && (hoverCallback_ != LUA_NOREF || clickCallback_ != LUA_NOREF) && g_game) {
    const Matrix& world = *worldMatrix.Get();
    hoveredLink = LinkAt(block, g_game->mousePosition.x - world.tx, g_game->mousePosition.y - world.ty);
  }
  if (g_renderer) DrawLines(block, bottom, bottom + height);
  Entity::Draw();
}

void TextQuad::AdvanceTypewriter() {
  const uint32_t frameMs = g_game ? g_game->lastStep : 0;
  const int32_t count = ElementCount();
  if (typewriterWait > 0) {
    typewriterWait -= static_cast<int32_t>(frameMs);
  } else {
    const bool revealing = typed > 0;
    const auto before = static_cast<int32_t>(typed);
    typed -= static_cast<float>(frameMs) * typeSpeed * 0.001f;
    if (static_cast<int32_t>(typed) != before) {
      // Tags right behind the revealed part show at once.
      for (int32_t shown = ShownCount(); shown < count; ++shown) {
        const uint8_t kind = elements[static_cast<size_t>(shown)].kind;
        if (kind == kElementCharacter || kind == kElementImage) break;
        typed -= 1;
      }
      // A text wholly shown stays quiet however long the frame.
      if (g_dialogSound && revealing) g_dialogSound();
    }
    if (typed < 0) typed = 0;
  }
  // Each wait or speed tag acts once, as it is revealed.
  const int32_t shown = ShownCount();
  for (int32_t i = lastTagActed_; i < shown; ++i) {
    TextElement& e = elements[static_cast<size_t>(i)];
    const bool speed = e.kind == kElementSpeed;
    if ((!speed && e.kind != kElementWait) || e.code == 13) continue;
    if (speed) {
      typeSpeed = static_cast<float>(e.code & 0xFFFF);
    } else {
      typewriterWait = static_cast<int32_t>(e.code & 0xFFFF);
    }
    e.code = 13;
    lastTagActed_ = i + 1;
    return;
  }
  lastTagActed_ = std::max(lastTagActed_, shown);
}

int32_t TextQuad::ShownCount() const {
  if (typeSpeed <= 0) return ElementCount();
  // An element shows once it is wholly typed.
  const auto shown = static_cast<int64_t>(static_cast<float>(ElementCount()) - typed);
  return static_cast<int32_t>(std::clamp<int64_t>(shown, 0, ElementCount()));
}

void TextQuad::WorldColour(float colour[4]) const { ChannelFloats(worldColor, colour); }

void TextQuad::DrawImageAt(const Image& image, const AirFrameInfo* frame, float x, float y, float width,
                           float height, const float colour[4]) {
  DrawPlacement at;
  at.x = x;
  at.y = y;
  at.width = width;
  at.height = height;
  at.matrix = worldMatrix.Get();
  g_renderer->DrawImage(&image, frame, colour, kPlaceRectMatrix, at);
}

void TextQuad::DrawRectangle(float x, float y, float width, float height, const float colour[4]) {
  // The engine's plain white image, tinted.
  const Image* white = g_resourceManager ? g_resourceManager->GetImage(OwnerPair{0, kPlaceholderImageId}) : nullptr;
  if (white) DrawImageAt(*white, nullptr, x, y, width, height, colour);
}

void TextQuad::DrawGlyph(const Image& image, float x, float y, const float colour[4]) {
  DrawImageAt(image, nullptr, x, y, image.width, image.height, colour);
}

void TextQuad::DrawLines(const Block& block, float boxBottom, float boxTop) {
  float world[4];
  WorldColour(world);
  const float shadowAlpha = static_cast<float>(textStyle[2]) * kChannelScale * world[3];
  const int32_t shown = ShownCount();
  const int32_t low = SelectionLow();
  const int32_t high = SelectionHigh();
  MarkupState markup;
  float lineTop = block.y + textHeight;
  float x = block.x;
  float caretBottom = lineTop - static_cast<float>(lineHeight);
  float caretHeight = static_cast<float>(lineHeight);
  int32_t first = 0;
  for (const LineDesc& line : lines) {
    const float lineBottom = lineTop - line.height;
    const int32_t end = std::min(line.end, shown);
    if (lineTop < boxBottom) break;
    const bool visibleLine = lineBottom <= boxTop;
    x = block.x;
    caretBottom = lineBottom;
    caretHeight = line.height;
    for (int32_t i = first; i < end; ++i) {
      if (i == selectTo && visibleLine) DrawCaret(x, lineBottom, line.height);
      const TextElement& e = elements[static_cast<size_t>(i)];
      markup.Apply(e);
      if (!visibleLine) continue;
      if (e.kind == kElementTab) {
        x = block.x + static_cast<float>(e.code);
        continue;
      }
      if (e.kind == kElementImage) {
        const Image* image = g_resourceManager ? g_resourceManager->GetImage(OwnerPair{0, e.code}) : nullptr;
        if (image) {
          DrawGlyph(*image, x, lineBottom, world);
          x += image->width;
        }
        continue;
      }
      if (e.kind != kElementCharacter) continue;
      const Image* glyph = GetGlyph(e.code, markup.Style(style));
      if (!glyph) continue;
      const FontStyle& markupStyle = FontStyleAt(markup.Style(style));
      float colour[4];
      float shadow[4];
      if (markup.StyleInForce()) {
        ColourToFloats(markupStyle.color1, colour);
        colour[3] = 1;
        Multiply(colour, world);
        ColourToFloats(static_cast<uint32_t>(markupStyle.color3), shadow);
      } else {
        std::copy(world, world + 4, colour);
        ColourToFloats(FontStyleAt(textStyle[3]).color1, shadow);
      }
      shadow[3] = shadowAlpha;
      if (i >= low && i < high) {
        float background[4];
        SelectionColour(background);
        DrawRectangle(x, lineBottom, glyph->width, glyph->height, background);
        float selected[4];
        std::copy(textColors[0], textColors[0] + 4, selected);
        Multiply(selected, world);
        DrawGlyph(*glyph, x, lineBottom, selected);
      } else {
        if (shadowAlpha > 0) DrawShadow(*glyph, x, lineBottom, shadow);
        DrawGlyph(*glyph, x, lineBottom, colour);
      }
      if (markup.Link() != 0 && markup.Link() == hoveredLink) {
        DrawRectangle(x, lineBottom - kUnderlineHeight, glyph->width, kUnderlineHeight, colour);
      }
      x += glyph->width + static_cast<float>(letterSpacing);
    }
    first = line.end;
    lineTop = lineBottom - static_cast<float>(lineSpacing);
  }
  // A caret behind the last element follows the last glyph; with no lines it
  // stands at the block's start.
  if (selectTo == ElementCount()) DrawCaret(x, caretBottom, caretHeight);
}

void TextQuad::DrawShadow(const Image& glyph, float x, float y, const float colour[4]) {
  x += textStyle[0];
  y += textStyle[1];
  if (const auto* outline = reinterpret_cast<const Image*>(glyph.extra)) {
    DrawGlyph(*outline, x - 1, y - 1, colour);
  } else {
    DrawGlyph(glyph, x, y, colour);
  }
}

void TextQuad::DrawCaret(float x, float y, float height) {
  float colour[4];
  std::copy(textColors[2], textColors[2] + 4, colour);
  colour[3] *= static_cast<float>(worldColor.a) * kChannelScale;
  DrawRectangle(x, y, kCaretWidth, height, colour);
}

void TextQuad::SelectionColour(float colour[4]) const {
  if (selectionColor == 0) {
    std::copy(textColors[1], textColors[1] + 4, colour);
    return;
  }
  ColourToFloats(selectionColor, colour);
  // A colour given without alpha is opaque.
  if ((selectionColor >> 24) == 0) colour[3] = 1;
}

}  // namespace GCore
