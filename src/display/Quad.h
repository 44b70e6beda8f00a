#pragma once
// The most used drawable: an entity that shows its media (an image, a cell
// of an image grid, a frame of an air action, a video picture or a render
// target) as one textured quad.
// Rules:
//  - The quad owns no resources: images, air data and textures belong to the
//    resource manager; the stage's collision groups hold their own
//    references to the quads that published boxes.
//  - Drawing order within a frame: the drop shadow when the text-style word
//    asks for one, the media image (its content size fitted first), then
//    the collision boxes of the current air frame, then the
//    children through the container draw.
//  - A quad whose media is a render target asks the renderer for an
//    off-screen capture in every Update and, while the renderer captures,
//    draws only the blur pass: no image, no boxes, no children.
// Main thread only.
#include <cstdint>

#include <lua.hpp>

#include "display/Entity.h"

namespace GCore {

struct AirFrameInfo;
struct DrawPlacement;
class Image;

class Quad final : public Entity {
 public:
  static const ClassInfo classInfo;
  // alignX / alignY value that switches the texture window off on that axis.
  static constexpr int8_t kAlignOff = 127;

  explicit Quad(lua_State* L);
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  // The entity copy, then from a quad its media and alignment; the gradient
  // is not copied.
  void CopyFrom(DisplayObject* source) override;
  // Nothing at all while invisible, children included.
  void Draw() override;
  // While visible: the container update, then the capture request of a
  // render-target media.
  void Update() override;
  const char* GetClassName() const override { return "Quad"; }

  // Packs the gradient word: red in bits 24 to 31, green 16 to 23, blue 8
  // to 15, the low byte of mode in bits 0 to 7. A word of 0 is no gradient.
  void SetGradient(int64_t mode, uint8_t red, uint8_t green, uint8_t blue);

  // Position of the texture window in percent of the image (0 left or
  // bottom edge, 50 centre, 100 right or top edge); kAlignOff = no window.
  int8_t alignX = kAlignOff;
  int8_t alignY = kAlignOff;
  // 0 = none; else byte 0 the gradient mode of DrawImage, bytes 1 to 3 blue,
  // green and red of the second colour.
  uint32_t gradient = 0;

 private:
  // The quad's local rectangle: origin at -size * pivot.
  struct Rect {
    float x, y, width, height;
  };

  // Fits the quad to the air data's size, or else to the image's.
  void FitContent(const AirFrameInfo& frame, const Image* image);
  Rect PivotedRect(float width, float height) const;
  // The texture window of the alignment over `image` for a quad of `rect`.
  Image Windowed(const Image& image, const Rect& rect) const;
  // Whether the image is drawn as one quad over the rectangle in one colour,
  // unframed, unwindowed, unsliced and without a shadow.
  bool DrawsPlainly(const Image& image, const AirFrameInfo& frame, uint32_t drawMode) const;
  // The image (with its shadow) drawn through DrawImage over the rectangle.
  void DrawPlaced(const Image& image, const AirFrameInfo& frame, const float colour[8],
                  uint32_t drawMode, const Rect& rect) const;
  // The first colour from the world colour and, with a gradient, the second
  // after it; returns the DrawImage mode word.
  uint32_t Colours(float colour[8]) const;
  // The drop shadow: the image again in the colours of the font style that
  // text-style byte 3 names, at the alpha of byte 2, moved by bytes 0 and 1.
  void DrawShadow(const Image& image, const AirFrameInfo& frame, uint32_t mode,
                  DrawPlacement at) const;
  // Adds the frame's boxes, in stage coordinates, to the current stage's
  // collision group of this quad's group key.
  void PublishCollisionBoxes(const AirFrameInfo& frame, const Rect& rect);

  MediaImageCache imageCache_;
};

// The "Quad" class of a project state: its metatable and its creator in the
// class factory.
void RegisterQuadClass(lua_State* L);

// The script constructor "Quad": a new quad (arguments ignored).
int NewQuadScript(lua_State* L);

}  // namespace GCore
