#include "render/Image.h"

#include "render/Renderer.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"

namespace GCore {

Image::Image(uint32_t variant, uint32_t id, Texture* sampled, float left, float top, float w, float h)
    : ownerVariant(variant), ownerId(id), texture(sampled), x(left), y(top), width(w), height(h) {
  UpdateTexCoords();
}

Image::Image(const Image& other)
    : slicingOff(other.slicingOff),
      extra(other.extra),
      texture(other.texture),
      x(other.x),
      y(other.y),
      width(other.width),
      height(other.height),
      u(other.u),
      v(other.v),
      du(other.du),
      dv(other.dv) {
  for (int i = 0; i < 4; ++i) insets[i] = other.insets[i];
}

Image::~Image() = default;

void Image::EvictAndDelete::operator()(Texture* texture) const {
  if (g_resourceManager) {
    g_resourceManager->EvictTexture(texture);
  } else if (g_renderer) {
    g_renderer->ReleaseTexture(texture);
  }
  delete texture;
}

void Image::AdoptTexture(std::unique_ptr<Texture> owned) {
  texture = owned.get();
  ownedTexture_.reset(owned.release());
}

bool Image::Owns(const Texture* candidate) const {
  return candidate && candidate == ownedTexture_.get();
}

void Image::UpdateTexCoords() {
  if (!texture || texture->width <= 0 || texture->height <= 0) {
    // Nothing to sample yet: keep the coordinates finite.
    u = v = du = dv = 0;
    return;
  }
  const float tw = static_cast<float>(texture->width);
  const float th = static_cast<float>(texture->height);
  u = x / tw;
  du = width / tw;
  if (texture->Kind() == kKindRenderTarget) {
    // Render targets hold their rows bottom-up.
    v = 1.0f;
    dv = -1.0f;
  } else {
    v = y / th;
    dv = height / th;
  }
}

}  // namespace GCore
