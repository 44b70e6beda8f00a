// The tile atlas: after a load, the images of the tiles whose rectangle
// starts at their image's origin (the tiles of image collections, and the
// first tile of a tileset image without margin) are copied into one square
// texture cached under the map's own id, so that a map draws from as few
// textures as possible.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "core/ResourcePath.h"
#include "render/Image.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"
#include "tilemap/RectPacker.h"
#include "tilemap/TiledMap.h"
#include "tilemap/TmxLog.h"

namespace GCore {
namespace {

constexpr int32_t kAtlasSides[] = {512, 1024, 2048};
// Tile sizes are clamped here before packing: larger never fits anyway.
constexpr float kLargestPackedSide = 4096.0f;

// The atlas has no file to decode again: its pixels stay in memory, so that
// the texture can be uploaded again after an eviction or a new renderer.
class TileAtlasTexture final : public Texture {
 public:
  using Texture::Texture;
  void ReleasePixels() override {}
};

int32_t PackedSide(float size) {
  return static_cast<int32_t>(std::clamp(size, 0.0f, kLargestPackedSide)) + 2;
}

// Copies the rectangle's image into the atlas one pixel in from its node's
// corner, framed by a one-pixel copy of its own edge pixels: a tile drawn
// larger or smaller than its size samples up to half a texel beyond its
// rectangle, which must find the tile's own colours there rather than a
// neighbour's (or transparency, which shows as a dark seam between tiles).
// The source is clamped to the image.
void CopyInto(uint8_t* atlas, int32_t side, const RectPacker::Rect& rect) {
  Image* image = g_resourceManager->GetImage(OwnerPair{0, rect.imageKey});
  Texture* texture = image ? image->texture : nullptr;
  if (!texture) return;
  if (!texture->pixels) texture->EnsurePixels();
  if (!texture->pixels || texture->width <= 0 || texture->height <= 0) return;
  const uint8_t* source = texture->pixels.get();
  const int32_t lastColumn = std::min(rect.sourceX + rect.width - 3, texture->width - 1);
  const int32_t lastRow = std::min(rect.sourceY + rect.height - 3, texture->height - 1);
  for (int32_t j = 0; j < rect.height; ++j) {
    const int32_t sy = std::clamp(rect.sourceY + j - 1, 0, std::max(lastRow, 0));
    uint8_t* row = atlas + (static_cast<size_t>(rect.node->y + j) * side + rect.node->x) * 4;
    for (int32_t i = 0; i < rect.width; ++i) {
      const int32_t sx = std::clamp(rect.sourceX + i - 1, 0, std::max(lastColumn, 0));
      std::memcpy(row + static_cast<size_t>(i) * 4, source + (static_cast<size_t>(sy) * texture->width + sx) * 4, 4);
    }
  }
}

// One attempt at a side: the atlas pixels (null when they cannot be had),
// and whether every rectangle found a place.
std::unique_ptr<uint8_t[]> PackImages(RectPacker& packer, std::vector<RectPacker::Rect>& rects, int32_t side,
                                      bool& complete) {
  complete = false;
  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[static_cast<size_t>(side) * side * 4]());
  if (!pixels) return nullptr;
  packer.Pack(rects, side, side);
  complete = !packer.Exhausted();
  for (const RectPacker::Rect& rect : rects) {
    if (rect.imageKey == 0) continue;
    if (!rect.node) {
      complete = false;
      continue;
    }
    CopyInto(pixels.get(), side, rect);
  }
  return pixels;
}

// The atlas image of the pair, made anew unless it is an atlas already.
Image* AtlasImage(OwnerPair pair) {
  if (Image* found = g_resourceManager->FindImage(pair)) {
    if (dynamic_cast<TileAtlasTexture*>(found->texture)) return found;
    g_resourceManager->RemoveImage(pair.variant, pair.id);
  }
  Image* image = g_resourceManager->CreateImage(pair, true);
  if (image) image->AdoptTexture(std::make_unique<TileAtlasTexture>(static_cast<uint32_t>(pair.variant), pair.id));
  return image;
}

}  // namespace

void TiledMap::BuildAtlas() {
  if (!g_resourceManager) return;
  std::vector<RectPacker::Rect> rects(data.tiles.size());
  for (size_t i = 0; i < data.tiles.size(); ++i) {
    const TiledMapTile& tile = data.tiles[i];
    if (tile.imageKey == 0 || static_cast<int64_t>(tile.u) != 0 || static_cast<int64_t>(tile.v) != 0) continue;
    rects[i] = RectPacker::Rect{tile.imageKey, static_cast<int32_t>(i), PackedSide(tile.w), PackedSide(tile.h), 0, 0,
                                nullptr};
  }

  RectPacker packer;
  int32_t side = 0;
  bool complete = false;
  std::unique_ptr<uint8_t[]> pixels;
  for (size_t attempt = 0; attempt < std::size(kAtlasSides); ++attempt) {
    side = kAtlasSides[attempt];
    pixels = PackImages(packer, rects, side, complete);
    // The largest side is used even when some images did not fit: they
    // keep drawing from their own textures.
    if (complete || attempt + 1 == std::size(kAtlasSides)) break;
    tmx::logMessage("try new pack size", tmx::LogLevel::Info);
  }
  if (!pixels) {
    tmx::logMessage("Not enough memory for the tile atlas: tiles draw from their own images", tmx::LogLevel::Warning);
    return;
  }
  if (packer.Exhausted()) {
    tmx::logMessage("Too many tile images to pack: the rest draw from their own images", tmx::LogLevel::Warning);
  }

  const OwnerPair atlasPair{CurrentProjectIndex() & 0xFF, mapId};
  Image* atlas = AtlasImage(atlasPair);
  if (!atlas) return;
  Texture& texture = *atlas->texture;
  texture.width = texture.height = side;
  texture.pixels = std::move(pixels);
  texture.dirty = true;
  texture.dirtyRowsBegin = texture.dirtyRowsEnd = 0;
  atlas->x = atlas->y = 0;
  atlas->width = atlas->height = static_cast<float>(side);
  atlas->UpdateTexCoords();

  for (const RectPacker::Rect& rect : rects) {
    if (rect.imageKey == 0 || !rect.node) continue;
    // The copied image leaves the cache through the manager, which keeps
    // every other image of its texture safe; whoever shows it later makes
    // it anew.
    if (rect.imageKey != mapId) {
      if (const Image* own = g_resourceManager->FindImage(OwnerPair{0, rect.imageKey})) {
        g_resourceManager->RemoveImage(static_cast<int32_t>(own->ownerVariant), own->ownerId);
      }
    }
    TiledMapTile& tile = data.tiles[static_cast<size_t>(rect.index)];
    tile.imageKey = mapId;
    tile.fromTilesetImage = false;
    // Inside its frame of edge pixels.
    tile.u = static_cast<float>(rect.node->x + 1);
    tile.v = static_cast<float>(rect.node->y + 1);
  }
}

}  // namespace GCore
