// Drawing a tile map: layer by layer, rows top to bottom (orthogonal) or
// diagonals from the top corner (isometric), with each child drawn where its
// layer and depth row come, and cells off the window skipped.
// Children's draws may run scripts (events), which may change the map's
// tables or the image cache: every cell is looked up afresh by index, and
// the image in hand is looked up again after children were drawn.
#include <algorithm>
#include <cmath>

#include "core/ResourceManager.h"
#include "display/DisplayTypes.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "render/Texture.h"
#include "tilemap/TiledMap.h"

namespace GCore {

struct TiledMap::DrawState {
  struct Waiting {
    uint32_t layer;
    uint64_t row;
    Retained<DisplayObject> child;
  };

  bool isometric = false;
  uint32_t imageKey = 0;
  Image* image = nullptr;
  bool renderStateSet = false;
  bool insetImageTiles = false;  // tiles drawn from a tileset image sample inside their rectangle
  float colour[4] = {1, 1, 1, 1};
  std::vector<Waiting> children;  // by (layer, row), child order within
  size_t nextChild = 0;
};

namespace {

template <class T>
T Clamped(int64_t value, T low, T high) {
  return static_cast<T>(std::clamp<int64_t>(value, static_cast<int64_t>(low), static_cast<int64_t>(high)));
}

// Each texel lands on exactly one pixel: no scale but a mirror, no turn.
// Scales that cancel through a chain of parents multiply out to within a
// hair of 1 in floats, which still lands every texel on its pixel.
bool OneTexelPerPixel(const Affine& m) {
  constexpr float kHair = 1e-5f;
  return std::fabs(std::fabs(m.a) - 1) < kHair && std::fabs(std::fabs(m.d) - 1) < kHair && std::fabs(m.b) < kHair &&
         std::fabs(m.c) < kHair;
}

}  // namespace

void TiledMap::Draw() {
  if (!visible) return;
  FitToContent(pixelWidth, pixelHeight);
  DisplayObject::Draw();
  const float w = GetWidth();
  const float h = GetHeight();
  if (dirty & kDirtyBounds) SetBoundsFromLocalBox(-pivotX * w, -pivotY * h, w, h);
  if (!loaded) return;

  originX = -pivotX * pixelWidth;
  originY = (1.0f - pivotY) * pixelHeight;
  DrawState state;
  state.isometric = data.orientation == static_cast<uint32_t>(TiledMapOrientation::Isometric);
  state.colour[0] = static_cast<float>(worldColor.r) * kChannelScale;
  state.colour[1] = static_cast<float>(worldColor.g) * kChannelScale;
  state.colour[2] = static_cast<float>(worldColor.b) * kChannelScale;
  state.colour[3] = static_cast<float>(worldColor.a) * kChannelScale;
  if (g_renderer && textureFilter != kFilterNearest) {
    state.insetImageTiles = !OneTexelPerPixel(
        Compose(AffineOf(g_renderer->baseViewTransform.Get()), AffineOf(worldMatrix.Get())));
  }
  AssignDepthRows(state, data.LayerCount());
  if (state.isometric) {
    DrawIsometric(state);
  } else {
    DrawOrthogonal(state);
  }

  if (dirty & kDirtyBounds) {
    DispatchEvent(this, "boundUpdated", nullptr);
    if ((dirty & kDirtyBounds) && !children.empty()) UniteChildBounds();
    dirty &= static_cast<uint8_t>(~kDirtyBounds);
  }
}

void TiledMap::AssignDepthRows(DrawState& state, uint32_t layerCount) {
  const int64_t th = data.tileHeight;
  const int64_t rows = data.rows;
  const int64_t diagonals = int64_t{data.cols} + data.rows;
  for (const Retained<DisplayObject>& child : children) {
    // The slot link word's low byte names the child's layer; the map writes
    // the depth row above it.
    const uint32_t layer = static_cast<uint32_t>(child->slotLink) & 0xFF;
    if (layer >= layerCount || th <= 0) continue;
    const double above = static_cast<double>(originY) - child->PivotPointY();
    uint64_t row;
    if (state.isometric) {
      // Maps one pixel high still have a half-height of one.
      const double half = static_cast<double>(std::max<int64_t>(th / 2, 1));
      row = Clamped<uint64_t>(static_cast<int64_t>(std::clamp(above / half, -1e15, 1e15)), 0, diagonals - 1);
    } else {
      const auto whole = static_cast<int64_t>(std::clamp(above - static_cast<double>(th) * 0.5, -1e15, 1e15));
      row = Clamped<uint64_t>(whole / th, 0, rows - 1);
    }
    child->slotLink = static_cast<int32_t>(static_cast<uint32_t>(row << 8) | layer);
    state.children.push_back({layer, row, child});
  }
  std::stable_sort(state.children.begin(), state.children.end(), [](const auto& a, const auto& b) {
    return a.layer != b.layer ? a.layer < b.layer : a.row < b.row;
  });
}

void TiledMap::DrawChildrenAt(DrawState& state, uint32_t layer, uint64_t row) {
  auto before = [&](const DrawState::Waiting& w) { return w.layer != layer ? w.layer < layer : w.row < row; };
  // Children of layers the order passed over (hidden ones) are not drawn.
  while (state.nextChild < state.children.size() && before(state.children[state.nextChild])) ++state.nextChild;
  bool drewAny = false;
  while (state.nextChild < state.children.size()) {
    const DrawState::Waiting& waiting = state.children[state.nextChild];
    if (waiting.layer != layer || waiting.row != row) break;
    ++state.nextChild;
    waiting.child->Draw();
    drewAny = true;
  }
  if (drewAny) {
    // The child set its own render state and may have changed the cache.
    state.imageKey = 0;
    state.image = nullptr;
    state.renderStateSet = false;
  }
}

void TiledMap::DrawOrthogonal(DrawState& state) {
  const uint32_t layerCount = data.LayerCount();
  for (uint32_t layer = 0; layer < layerCount; ++layer) {
    for (uint64_t row = 0; row < data.rows; ++row) {
      for (uint64_t col = 0; col < data.cols; ++col) DrawCell(state, layer, col, row);
      DrawChildrenAt(state, layer, row);
    }
  }
}

void TiledMap::DrawIsometric(DrawState& state) {
  const uint32_t layerCount = data.LayerCount();
  for (uint32_t layer = 0; layer < layerCount; ++layer) {
    if (layer < data.layers.size() && !data.layers[layer].visible) continue;
    const int64_t cols = data.cols;
    const int64_t rows = data.rows;
    for (int64_t d = 0; d < cols + rows; ++d) {
      DrawChildrenAt(state, layer, static_cast<uint64_t>(d));
      if (d > cols + rows - 2) continue;
      int64_t col = d < rows ? 0 : d - rows + 1;
      int64_t row = d < rows ? d : rows - 1;
      for (; col < cols && row >= 0; ++col, --row) {
        DrawCell(state, layer, static_cast<uint64_t>(col), static_cast<uint64_t>(row));
      }
    }
  }
}

void TiledMap::ApplyRenderState(const DrawState& state) {
  if (state.isometric) {
    g_renderer->SetTextureFilter(static_cast<int8_t>(textureFilter));
    g_renderer->UseShader(static_cast<int32_t>(shaderId));
    g_renderer->SetTintMode(tintMode != 0);
    g_renderer->SetBlendMode(static_cast<int8_t>(blendMode));
  } else {
    g_renderer->UseShader(static_cast<int32_t>(shaderId));
    g_renderer->SetTintMode(tintMode != 0);
    g_renderer->SetBlendMode(static_cast<int8_t>(blendMode));
    g_renderer->SetTextureFilter(static_cast<int8_t>(textureFilter));
  }
}

void TiledMap::DrawCell(DrawState& state, uint32_t layer, uint64_t col, uint64_t row) {
  const TiledMapCell* found = data.CellAt(layer, col, row);
  if (!found || found->gid <= 0) return;
  const TiledMapCell cell = *found;
  const TiledMapTile* record = data.Tile(cell.gid);
  if (!record || record->imageKey == 0 || !g_renderer || !g_resourceManager) return;
  const TiledMapTile tile = *record;
  if (state.imageKey != tile.imageKey) {
    state.image = g_resourceManager->GetImage(OwnerPair{0, tile.imageKey});
    state.imageKey = tile.imageKey;
  }
  if (!state.image || !state.image->texture || !IsCellVisible(col, row, tile)) return;
  Texture* texture = state.image->texture;
  if (texture->width <= 0 || texture->height <= 0) return;

  // A window on the image of its own: the cached image may be shown by
  // others and keeps its rectangle. A tile drawn larger, smaller or turned,
  // sampled linearly, samples up to half a texel beyond its rectangle; in a
  // tileset image that reaches the neighbouring tiles or the transparent
  // spacing, which shows as lines between tiles, so such a tile samples half
  // a texel in from each side. That squeezes the picture by a texel, so at
  // one texel per pixel the rectangle is kept and every pixel shows its own
  // texel (at a fraction of a pixel off the grid the edges blend with the
  // neighbours, as any image drawn there does). Sampled nearest, every
  // sample falls inside the rectangle at any scale.
  // Tiles in the atlas are framed by their own edge pixels.
  const bool inset = state.insetImageTiles && tile.fromTilesetImage;
  const float insetX = inset ? std::min(0.5f, tile.w * 0.5f) : 0.0f;
  const float insetY = inset ? std::min(0.5f, tile.h * 0.5f) : 0.0f;
  const Image piece(state.image->ownerVariant, state.image->ownerId, texture, tile.u + insetX, tile.v + insetY,
                    tile.w - 2 * insetX, tile.h - 2 * insetY);
  if (!state.renderStateSet) {
    ApplyRenderState(state);
    state.renderStateSet = true;
  }
  const float colour[4] = {state.colour[0], state.colour[1], state.colour[2], state.colour[3] * cell.alpha};
  DrawPlacement at;
  at.x = tile.offsetX + cell.x + originX + cell.offsetX;
  at.y = tile.offsetY + cell.y + originY + cell.offsetY;
  at.width = tile.w;
  at.height = tile.h;
  at.matrix = worldMatrix.Get();
  g_renderer->DrawImage(&piece, nullptr, colour, kPlaceRectMatrix, at);
}

bool TiledMap::IsCellVisible(uint64_t col, uint64_t row, const TiledMapTile& tile) {
  if (!loaded) return false;
  const uint64_t bit = row * data.cols + col;
  if (bit >= cellVisible.size() || bit >= cellTested.size()) return false;
  if (!(dirty & kDirtyBounds) && cellTested[bit]) return cellVisible[bit];

  CellPosition centre = data.CellCentre(static_cast<uint32_t>(col), static_cast<uint32_t>(row), pixelWidth, pixelHeight);
  centre.x += (0.5f - pivotX) * (offsetMaxX - offsetMinX);
  centre.y += (0.5f - pivotY) * (offsetMaxY - offsetMinY);
  const Affine screen = Compose(AffineOf(g_renderer->baseViewTransform.Get()), AffineOf(worldMatrix.Get()));
  auto apply = [&screen](float x, float y) {
    return CellPosition{screen.a * x + screen.c * y + screen.tx, screen.b * x + screen.d * y + screen.ty};
  };
  const float m = std::max(tile.w, tile.h);
  const CellPosition at = apply(centre.x, centre.y);
  const CellPosition corner = apply(centre.x + m * 0.5f, centre.y + m * 0.5f);
  const double sx = std::trunc(at.x);
  const double sy = std::trunc(at.y);
  const double r = std::fabs(std::trunc(corner.x) - sx) + std::fabs(std::trunc(corner.y) - sy);
  const bool visible = sx > -r && sx < g_renderer->windowWidth + r && sy > -r && sy < g_renderer->windowHeight + r;
  cellVisible[bit] = visible;
  cellTested[bit] = true;
  return visible;
}

}  // namespace GCore
