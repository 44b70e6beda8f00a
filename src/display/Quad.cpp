#include "display/Quad.h"

#include <algorithm>

#include "core/AirData.h"
#include "display/Stage.h"
#include "render/FontStyle.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"

namespace GCore {

namespace {

// The renderer's blur states: a capture asked for, a capture running.
constexpr uint8_t kBlurRequested = 1;
constexpr uint8_t kBlurCapturing = 2;

bool ShowsRenderTarget(uint32_t mediaId) { return ResourceKind(mediaId) == kKindRenderTarget; }

struct Extent {
  float left, bottom, right, top;
};

// The axis-aligned extent of n points (x, y pairs) taken through the matrix.
template <size_t N>
Extent WorldExtent(const Matrix& m, const float (&points)[N]) {
  static_assert(N >= 2 && N % 2 == 0);
  float left = m.TransformX(points[0], points[1]);
  float bottom = m.TransformY(points[0], points[1]);
  float right = left;
  float top = bottom;
  for (size_t i = 2; i < N; i += 2) {
    const float x = m.TransformX(points[i], points[i + 1]);
    const float y = m.TransformY(points[i], points[i + 1]);
    left = std::min(left, x);
    right = std::max(right, x);
    bottom = std::min(bottom, y);
    top = std::max(top, y);
  }
  return Extent{left, bottom, right, top};
}

}  // namespace

const ClassInfo Quad::classInfo = {"Quad", &Entity::classInfo};

Quad::Quad(lua_State* L) : Entity(L) {}

void Quad::CopyFrom(DisplayObject* source) {
  Entity::CopyFrom(source);
  auto* quad = static_cast<Quad*>(CastToClass(&classInfo, source));
  if (!quad) return;
  mediaProject = quad->mediaProject;
  mediaId = quad->mediaId;
  alignX = quad->alignX;
  alignY = quad->alignY;
}

void Quad::SetGradient(int64_t mode, uint8_t red, uint8_t green, uint8_t blue) {
  gradient = static_cast<uint32_t>(red) << 24 | static_cast<uint32_t>(green) << 16 |
             static_cast<uint32_t>(blue) << 8 | static_cast<uint32_t>(mode & 0xFF);
}

void Quad::Update() {
  if (!visible) return;
  Entity::Update();
  if (g_renderer && ShowsRenderTarget(mediaId)) g_renderer->blurState = kBlurRequested;
}

void Quad::Draw() {
  if (!visible) return;
  AirFrameInfo frame;
  const Image* image = KeptWholeImage(imageCache_);
  if (!image) image = GetMediaFrame(&frame, -1, &imageCache_);
  FitContent(frame, image);
  DisplayObject::Draw();

  Rect rect = PivotedRect(GetWidth(), GetHeight());
  // The rectangle's world corners, found once for the bounds and the quad.
  float corners[8];
  bool cornersFound = false;
  // The container draw at the end clears the flag, after the children.
  if (dirty & kDirtyBounds) {
    WorldCorners(rect.x, rect.y, rect.width, rect.height, corners);
    SetBoundsFromCorners(corners);
    cornersFound = true;
  }

  if (g_renderer && g_renderer->blurState == kBlurCapturing && ShowsRenderTarget(mediaId)) {
    g_renderer->DrawBlurPass();
    return;
  }

  if (image) {
    const auto mode = static_cast<int8_t>(scaleMode);
    if (mode >= kScaleUniformFit && image->width > 0 && image->height > 0) {
      const float sx = rect.width / image->width;
      const float sy = rect.height / image->height;
      const float s = mode == kScaleUniformCover ? std::max(sx, sy) : std::min(sx, sy);
      rect = PivotedRect(image->width * s, image->height * s);
      cornersFound = false;
    }
    float colour[8];
    const uint32_t drawMode = Colours(colour);
    if (g_renderer && DrawsPlainly(*image, frame, drawMode)) {
      // What DrawImage would append, without placing the rectangle anew. Its
      // sums in double precision round to the same floats as these.
      if (!cornersFound) WorldCorners(rect.x, rect.y, rect.width, rect.height, corners);
      g_renderer->DrawImageCorners(*image, corners, PackColour(colour), frame.flip);
    } else if (g_renderer) {
      DrawPlaced(*image, frame, colour, drawMode, rect);
    }
    if (frame.width > 0 && group > 0) PublishCollisionBoxes(frame, rect);
  }
  DrawAfterOwnContent();
}

bool Quad::DrawsPlainly(const Image& image, const AirFrameInfo& frame, uint32_t drawMode) const {
  return drawMode == kPlaceRectMatrix && alignX == kAlignOff && alignY == kAlignOff &&
         textStyle[2] == 0 && !(frame.width > 0) && !image.IsSliced();
}

void Quad::DrawPlaced(const Image& image, const AirFrameInfo& frame, const float colour[8],
                      uint32_t drawMode, const Rect& rect) const {
  DrawPlacement at;
  at.x = rect.x;
  at.y = rect.y;
  at.width = rect.width;
  at.height = rect.height;
  at.matrix = worldMatrix.Get();
  const Image window = Windowed(image, rect);
  if (textStyle[2] != 0) DrawShadow(window, frame, drawMode, at);
  g_renderer->DrawImage(&window, &frame, colour, drawMode, at);
}

void Quad::FitContent(const AirFrameInfo& frame, const Image* image) {
  if (frame.width > 0) {
    const OwnerPair key{static_cast<int32_t>(mediaProject & 0xFF), mediaId};
    const AirData* air = g_resourceManager ? g_resourceManager->GetAirData(key) : nullptr;
    if (air) FitToContent(air->width, air->height);
  } else if (image) {
    FitToContent(image->width, image->height);
  }
}

Quad::Rect Quad::PivotedRect(float width, float height) const {
  return Rect{-width * pivotX, -height * pivotY, width, height};
}

Image Quad::Windowed(const Image& image, const Rect& rect) const {
  Image window(image);
  const Texture* texture = image.texture;
  // Nine-slice cells are windowed by DrawImage itself.
  if (image.IsSliced() || !texture || texture->width <= 0 || texture->height <= 0) return window;
  // One texel to one pixel: the window spans the quad's size in texture units.
  const float su = rect.width / static_cast<float>(texture->width);
  const float sv = rect.height / static_cast<float>(texture->height);
  if (alignX != kAlignOff) {
    // Alone, the axis keeps the texture's proportions against the height.
    const float span = alignY == kAlignOff ? su / sv : su;
    const float p = static_cast<float>(alignX) * 0.01f;
    window.u = image.u + p * image.du - p * span;
    window.du = span;
  }
  if (alignY != kAlignOff) {
    const float span = alignX == kAlignOff ? sv / su : sv;
    const float p = static_cast<float>(alignY) * 0.01f;
    window.v = image.v + p * image.dv - p * span;
    window.dv = span;
  }
  return window;
}

uint32_t Quad::Colours(float colour[8]) const {
  ChannelFloats(worldColor, colour);
  uint32_t mode = kPlaceRectMatrix;
  if (gradient == 0) {
    std::fill(colour + 4, colour + 8, 0.0f);
    return mode;
  }
  colour[4] = static_cast<float>(gradient >> 24 & 0xFF) * kChannelScale;
  colour[5] = static_cast<float>(gradient >> 16 & 0xFF) * kChannelScale;
  colour[6] = static_cast<float>(gradient >> 8 & 0xFF) * kChannelScale;
  colour[7] = colour[3];
  mode |= (gradient & 0xFF) << 16;
  return mode;
}

void Quad::DrawShadow(const Image& image, const AirFrameInfo& frame, uint32_t mode,
                      DrawPlacement at) const {
  // Both colours of the style named by `fontStyle`, at the shadow's alpha.
  const FontStyle& style = FontStyleAt(textStyle[3]);
  float colour[8];
  ColourToFloats(style.color1, colour);
  ColourToFloats(style.color2, colour + 4);
  colour[3] = colour[7] = static_cast<float>(textStyle[2]) * kChannelScale;
  at.x += textStyle[0];
  at.y += textStyle[1];
  g_renderer->DrawImage(&image, &frame, colour, mode, at);
}

void Quad::PublishCollisionBoxes(const AirFrameInfo& frame, const Rect& rect) {
  Stage* stage = CurrentStage();
  if (!stage) return;
  const float fx = rect.width / frame.width;
  // An air header without a height scales both axes alike.
  const float fy = frame.height > 0 ? rect.height / frame.height : fx;
  std::vector<AirBox> boxes = frame.boxes;
  for (AirBox& box : boxes) {
    const float corners[4] = {
        (box.left + frame.offsetX) * fx + rect.x, (box.bottom + frame.offsetY) * fy + rect.y,
        (box.right + frame.offsetX) * fx + rect.x, (box.top + frame.offsetY) * fy + rect.y};
    const Extent world = WorldExtent(*worldMatrix.Get(), corners);
    box.left = world.left;
    box.bottom = world.bottom;
    box.right = world.right;
    box.top = world.top;
  }
  stage->AddCollisionBoxes(this, std::move(boxes));
}

}  // namespace GCore
