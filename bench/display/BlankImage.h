#pragma once
// An image whose texture is never uploaded: enough for the engine to build
// the vertices of what shows it, with no GL behind the renderer.
#include <cstdint>
#include <memory>

#include "render/Image.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"

namespace bench {

inline GCore::Image* AddBlankImage(GCore::ResourceManager& resources, uint32_t id, int width, int height) {
  GCore::Image* image = resources.CreateImage(GCore::OwnerPair{1, id}, true);
  if (!image) return nullptr;
  auto texture = std::make_unique<GCore::Texture>(1, id);
  texture->width = width;
  texture->height = height;
  image->AdoptTexture(std::move(texture));
  image->width = width;
  image->height = height;
  image->UpdateTexCoords();
  return image;
}

}  // namespace bench
