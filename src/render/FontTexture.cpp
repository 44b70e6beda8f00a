#include "render/FontTexture.h"

#include <algorithm>
#include <new>

#include "base/Log.h"
#include "platform/SystemFont.h"
#include "render/FontStyle.h"
#include "render/ResourceManager.h"
#include "render/TTFManager.h"

namespace GCore {

namespace {

constexpr uint32_t kOutlineKeyBit = 0x80000000;
// Font records of the atlas's slot are kind-7 ids from this one on.
constexpr uint32_t kFirstFontRecord = 0x72000001;
constexpr uint32_t kClearWhite = 0x00FFFFFF;

uint32_t AlphaOf(uint32_t pixel) { return pixel >> 24; }

}  // namespace

FontTexture::FontTexture(uint32_t variantWord, uint32_t resourceId) : Texture(variantWord, resourceId) {}

FontTexture::~FontTexture() = default;

void FontTexture::Release() {
  if (!savedSource) pixels.reset();
  glyphs_.clear();
  std::fill(cellKeys_.begin(), cellKeys_.end(), kNoKey);
  for (Image& cell : cells_) {
    cell.extra = 0;
    cell.width = cell.height = 0;
  }
  nextCell_ = 0;
}

bool FontTexture::Init(int32_t fontPixels, int32_t cell, uint32_t variantWord, uint32_t resourceId) {
  if (cell < 1 || cell > kSide) {
    LogPrintf("glyph sheet %08x: a cell of %d pixels does not fit the atlas\n", resourceId, cell);
    return false;
  }
  variant = variantWord;
  id = resourceId;
  pixelHeight = fontPixels;
  cellSize = cell;
  width = height = kSide;
  pixels.reset();
  EnsureAtlasPixels();
  cellsPerRow_ = kSide / cellSize;
  const auto count = static_cast<size_t>(CellCount());
  cellKeys_.assign(count, kNoKey);
  glyphs_.clear();
  nextCell_ = 0;
  return true;
}

void FontTexture::EnsureAtlasPixels() {
  if (pixels) return;
  pixels.reset(new (std::nothrow) uint8_t[static_cast<size_t>(kSide) * kSide * 4]());
  // The whole atlas goes up again.
  dirty = true;
  dirtyRowsBegin = dirtyRowsEnd = 0;
}

uint32_t* FontTexture::CellPixels(const Image& cell) {
  const auto x = static_cast<size_t>(cell.x);
  const auto y = static_cast<size_t>(cell.y);
  return reinterpret_cast<uint32_t*>(pixels.get()) + y * kSide + x;
}

void FontTexture::MarkCellDirty(const Image& cell) {
  const auto top = static_cast<int32_t>(cell.y);
  MarkRowsDirty(top, top + cellSize);
}

Image* FontTexture::AllocGlyphCell(uint32_t key) {
  const uint32_t index = nextCell_;
  nextCell_ = (nextCell_ + 1) % static_cast<uint32_t>(CellCount());
  if (index == cells_.size()) {
    const auto i = static_cast<int32_t>(index);
    cells_.emplace_back(0, 0, this, static_cast<float>(i % cellsPerRow_ * cellSize),
                        static_cast<float>(i / cellsPerRow_ * cellSize), static_cast<float>(cellSize),
                        static_cast<float>(cellSize));
  }
  if (cellKeys_[index] != kNoKey) glyphs_.erase(cellKeys_[index]);
  cellKeys_[index] = key;
  glyphs_[key] = index;
  return &cells_[index];
}

Image* FontTexture::GetGlyph(uint32_t code, int32_t styleIndex) {
  if (cellsPerRow_ == 0) return nullptr;
  const uint32_t key = static_cast<uint32_t>(styleIndex) << 16 | code;
  if (auto found = glyphs_.find(key); found != glyphs_.end()) return &cells_[found->second];
  const FontStyle& style = FontStyleAt(styleIndex);
  Image* cell = AllocGlyphCell(key);
  cell->extra = 0;
  if (style.outline >= 1) {
    Image* outline = AllocGlyphCell(key | kOutlineKeyBit);
    // An atlas of one cell has no room for the outline.
    if (outline != cell) cell->extra = reinterpret_cast<uintptr_t>(outline);
  }
  RenderGlyph(code, *cell, style);
  return cell;
}

void FontTexture::RenderGlyph(uint32_t code, Image& cell, const FontStyle& style) {
  EnsureAtlasPixels();
  if (!pixels) return;
  uint32_t* destination = CellPixels(cell);
  const FontKey font{variant, kFirstFontRecord + ((id >> 24) & 0xF)};
  int32_t w = kSide;
  int32_t h = pixelHeight;
  if (!g_fontManager || !g_fontManager->RasterizeGlyph(code, font, cellSize, w, h, destination)) {
    const char* face = g_resourceManager
                           ? g_resourceManager->GetFontName(static_cast<int>(variant & 0xFF),
                                                            static_cast<int>((id >> 24) & 0xF))
                           : "";
    w = kSide;
    h = pixelHeight;
    RasterizeGlyphGDI(code, face, cellSize, w, h, destination);
  }
  // A glyph lying wholly below the bottom of its cell shows nothing; a
  // negative height would show the cell above it upside down.
  h = std::max(h, 0);
  cell.width = static_cast<float>(w);
  cell.height = static_cast<float>(h);
  cell.du = cell.width / kSide;
  cell.dv = cell.height / kSide;
  if (style.outline > 0) BuildOutlineGlyph(cell);
  MarkCellDirty(cell);
}

void FontTexture::BuildOutlineGlyph(Image& cell) {
  auto* outline = reinterpret_cast<Image*>(cell.extra);
  if (!outline || !pixels) return;
  const auto w = static_cast<int32_t>(cell.width);
  const auto h = static_cast<int32_t>(cell.height);
  // The measured size is not bounded by the cell: every read stays in the
  // glyph's cell and every write in the outline's.
  const int32_t fillWidth = std::min(w + 2, cellSize);
  const int32_t fillHeight = std::min(h + 2, cellSize);
  const uint32_t* glyph = CellPixels(cell);
  uint32_t* out = CellPixels(*outline);
  for (int32_t y = 0; y < fillHeight; ++y) std::fill(out + y * kSide, out + y * kSide + fillWidth, kClearWhite);
  for (int32_t j = 0; j < std::min(h, cellSize); ++j) {
    for (int32_t i = 0; i < std::min(w, cellSize); ++i) {
      const uint32_t a = AlphaOf(glyph[j * kSide + i]);
      if (a == 0) continue;
      const uint32_t doubled = std::min(a * 2, 255u) << 24 | kClearWhite;
      for (int32_t dy = 0; dy < 3; ++dy) {
        for (int32_t dx = 0; dx < 3; ++dx) {
          if (i + dx >= cellSize || j + dy >= cellSize) continue;
          uint32_t& pixel = out[(j + dy) * kSide + i + dx];
          if (AlphaOf(pixel) < a) pixel = doubled;
        }
      }
    }
  }
  outline->width = static_cast<float>(w + 2);
  outline->height = static_cast<float>(h + 2);
  outline->du = outline->width / kSide;
  outline->dv = outline->height / kSide;
  MarkCellDirty(*outline);
}

}  // namespace GCore
