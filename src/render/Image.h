#pragma once
// An image: a rectangle of a texture, in texture pixels, with its texture
// coordinates and optional nine-slice insets. Display objects draw images.
// A resource's own image owns its texture (AdoptTexture): destroying the
// image evicts and deletes the texture. Other images (copies, cells, images
// of another image's texture) only sample theirs. Main thread only.
#include <cstdint>
#include <memory>

namespace GCore {

class Texture;

class Image {
 public:
  Image() = default;
  // An image of a texture that it samples and does not own.
  Image(uint32_t ownerVariant, uint32_t ownerId, Texture* texture, float x, float y, float width,
        float height);
  // A copy shares the texture and never owns it.
  Image(const Image& other);
  Image& operator=(const Image&) = delete;
  virtual ~Image();

  // The image owns `owned` from now on and samples it.
  void AdoptTexture(std::unique_ptr<Texture> owned);
  // Recomputes u, v, du, dv from the rectangle and the texture's current size.
  void UpdateTexCoords();
  bool Owns(const Texture* candidate) const;
  // Nine-slice insets are set and slicing is not switched off.
  bool IsSliced() const { return slicingOff == 0 && (insets[0] | insets[1] | insets[2] | insets[3]) != 0; }

  enum Inset { kLeft = 0, kRight = 1, kTop = 2, kBottom = 3 };
  uint8_t insets[4] = {0, 0, 0, 0};
  uint32_t slicingOff = 0;
  // Carried along by copies and nine-slice cells; a glyph cell keeps its
  // outline cell here.
  uintptr_t extra = 0;
  uint32_t ownerVariant = 0;
  uint32_t ownerId = 0;
  Texture* texture = nullptr;
  float x = 0, y = 0, width = 0, height = 0;  // texture pixels, y down from the first row
  float u = 0, v = 0, du = 1.0f, dv = 1.0f;

 private:
  // Takes the texture out of the resource manager's budget (or at least out
  // of GL) before deleting it.
  struct EvictAndDelete {
    void operator()(Texture* texture) const;
  };
  std::unique_ptr<Texture, EvictAndDelete> ownedTexture_;
};

}  // namespace GCore
