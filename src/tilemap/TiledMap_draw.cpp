// Drawing a tile map: layer by layer, rows top to bottom (orthogonal) or
// diagonals from the top corner (isometric), with each child drawn where its
// layer and depth row come, and cells off the window skipped. Only the cells
// around the window are walked, so that a frame costs the same on any size
// of map.
// Children's draws may run scripts (events), which may change the map's
// tables or the image cache: every cell is looked up afresh by index, and
// the image in hand is looked up again after children were drawn.
#include <algorithm>
#include <cmath>

#include "display/DisplayTypes.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "render/ResourceManager.h"
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
  Affine screen;                 // map units to window pixels; set only with a renderer
  float colour[4] = {1, 1, 1, 1};
  std::vector<Waiting> children;  // by (layer, row), child order within
  size_t nextChild = 0;
  // The cells walked, inclusive: orthogonal columns (across) and rows
  // (down), or isometric col - row (across) and diagonals col + row (down).
  int64_t across0 = 0, across1 = -1, down0 = 0, down1 = -1;
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

int64_t FloorHalf(int64_t value) { return value >= 0 ? value / 2 : -((1 - value) / 2); }

// The integer range around [low, high] (a cell of slack each way for the
// rounding of the cell positions), or false when it is not finite.
bool WidenedRange(double low, double high, int64_t& first, int64_t& last) {
  if (!std::isfinite(low) || !std::isfinite(high)) return false;
  first = static_cast<int64_t>(std::floor(std::clamp(std::min(low, high), -1e15, 1e15))) - 1;
  last = static_cast<int64_t>(std::ceil(std::clamp(std::max(low, high), -1e15, 1e15))) + 1;
  return true;
}

}  // namespace

void TiledMap::FindWalkedCells(DrawState& state) {
  const int64_t cols = data.cols;
  const int64_t rows = data.rows;
  // The whole map, unless the window can be taken back into the map.
  state.across0 = state.isometric ? 1 - rows : 0;
  state.across1 = cols - 1;
  state.down0 = 0;
  state.down1 = state.isometric ? cols + rows - 2 : rows - 1;

  float reachTile = 0;
  for (const TiledMapTile& tile : data.tiles) {
    if (tile.imageKey != 0) reachTile = std::max({reachTile, tile.w, tile.h});
  }
  if (!g_renderer || data.tileWidth == 0 || data.tileHeight == 0 || !std::isfinite(reachTile)) return;
  const Affine& screen = state.screen;
  const double det = double{screen.a} * screen.d - double{screen.b} * screen.c;
  if (!std::isfinite(det) || det == 0) return;
  // A cell tests visible only when its centre lands within its tile's
  // Manhattan radius of the window; a pixel each way for the truncations.
  const double reach = (std::fabs(screen.a) + std::fabs(screen.b) + std::fabs(screen.c) + std::fabs(screen.d)) *
                           reachTile * 0.5 + 3;
  const double screenX[2] = {-reach, g_renderer->windowWidth + reach};
  const double screenY[2] = {-reach, g_renderer->windowHeight + reach};
  double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
  for (double sx : screenX) {
    for (double sy : screenY) {
      const double dx = sx - screen.tx;
      const double dy = sy - screen.ty;
      const double x = (screen.d * dx - screen.c * dy) / det;
      const double y = (screen.a * dy - screen.b * dx) / det;
      minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  }
  // Cell centres relative to the pivot point, as the visibility test places
  // them: x grows with across, y falls with down.
  const double px = (0.5 - pivotX) * (offsetMaxX - offsetMinX) - pixelWidth * 0.5;
  const double py = (0.5 - pivotY) * (offsetMaxY - offsetMinY) + pixelHeight * 0.5;
  const double tw = data.tileWidth;
  const double th = data.tileHeight;
  int64_t across0, across1, down0, down1;
  bool found;
  if (state.isometric) {
    found = WidenedRange((minX - px) / (tw * 0.5) - rows, (maxX - px) / (tw * 0.5) - rows, across0, across1) &&
            WidenedRange((py - maxY) / (th * 0.5) - 1, (py - minY) / (th * 0.5) - 1, down0, down1);
  } else {
    found = WidenedRange((minX - px - tw * 0.5) / tw, (maxX - px - tw * 0.5) / tw, across0, across1) &&
            WidenedRange((py - th * 0.5 - maxY) / th, (py - th * 0.5 - minY) / th, down0, down1);
  }
  if (!found) return;
  state.across0 = std::max(state.across0, across0);
  state.across1 = std::min(state.across1, across1);
  state.down0 = std::max(state.down0, down0);
  state.down1 = std::min(state.down1, down1);
}

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
  if (g_renderer) {
    state.screen = Compose(AffineOf(g_renderer->baseViewTransform.Get()), AffineOf(worldMatrix.Get()));
    state.insetImageTiles = textureFilter != kFilterNearest && !OneTexelPerPixel(state.screen);
  }
  AssignDepthRows(state, data.LayerCount());
  FindWalkedCells(state);
  KeepWalkedCells(state);
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

void TiledMap::KeepWalkedCells(const DrawState& state) {
  CellRect now;
  if (state.across0 <= state.across1 && state.down0 <= state.down1) {
    if (state.isometric) {
      // col = (down + across) / 2, row = (down - across) / 2
      now = {static_cast<uint64_t>(std::max<int64_t>(0, -FloorHalf(-(state.down0 + state.across0)))),
             static_cast<uint64_t>(std::min<int64_t>(data.cols - 1, FloorHalf(state.down1 + state.across1))),
             static_cast<uint64_t>(std::max<int64_t>(0, -FloorHalf(-(state.down0 - state.across1)))),
             static_cast<uint64_t>(std::min<int64_t>(data.rows - 1, FloorHalf(state.down1 - state.across0)))};
    } else {
      now = {static_cast<uint64_t>(state.across0), static_cast<uint64_t>(state.across1),
             static_cast<uint64_t>(state.down0), static_cast<uint64_t>(state.down1)};
    }
  }
  if (!(dirty & kDirtyBounds)) {
    // Nothing moved: cells tested in this frame fall inside both.
    if (walked.col0 > walked.col1) {
      walked = now;
    } else if (now.col0 <= now.col1) {
      walked = {std::min(walked.col0, now.col0), std::max(walked.col1, now.col1), std::min(walked.row0, now.row0),
                std::max(walked.row1, now.row1)};
    }
    return;
  }
  // The map moved: cells left behind are off the window now, as a test
  // would find them.
  for (uint64_t row = walked.row0; row <= walked.row1 && walked.col0 <= walked.col1; ++row) {
    for (uint64_t col = walked.col0; col <= walked.col1; ++col) {
      const uint64_t bit = row * data.cols + col;
      if (bit < cellVisible.size()) cellVisible[bit] = false;
    }
  }
  walked = now;
}

void TiledMap::DrawOrthogonal(DrawState& state) {
  const uint32_t layerCount = data.LayerCount();
  for (uint32_t layer = 0; layer < layerCount; ++layer) {
    for (uint64_t row = 0; row < data.rows; ++row) {
      const auto at = static_cast<int64_t>(row);
      if (at >= state.down0 && at <= state.down1) {
        for (int64_t col = state.across0; col <= state.across1; ++col) {
          DrawCell(state, layer, static_cast<uint64_t>(col), row);
        }
      }
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
      if (d > cols + rows - 2 || d < state.down0 || d > state.down1) continue;
      // From the diagonal's first cell (col 0, or row rows - 1) to its last
      // (row 0, or col cols - 1), within the walked columns less rows.
      const int64_t first = std::max({int64_t{0}, d - rows + 1, -FloorHalf(-(d + state.across0))});
      const int64_t last = std::min({cols - 1, d, FloorHalf(d + state.across1)});
      for (int64_t col = first; col <= last; ++col) {
        DrawCell(state, layer, static_cast<uint64_t>(col), static_cast<uint64_t>(d - col));
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
