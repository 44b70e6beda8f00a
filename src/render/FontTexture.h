#pragma once
// A glyph atlas: a 1024 x 1024 RGBA texture divided into a grid of square
// cells, each holding one rendered glyph keyed by (font style, code point).
// A glyph is drawn on its first use: from the project's TrueType file when
// one is registered for the atlas's font slot and has the character, else
// from the system font named in the project's font-name table. Styles with
// an outline give each glyph a second, dilated cell. When every cell is
// taken, the cell allocated longest ago is drawn over, even when its glyph
// is still shown somewhere.
// Rules:
//  - The atlas keeps its pixels after upload; every change marks the rows it
//    touched, and only those rows are uploaded again.
//  - Cells are never freed while the atlas lives, so a cell pointer stays
//    valid (though it may come to show another glyph).
//  - Eviction by the texture budget frees the pixels and forgets every glyph;
//    the atlas stays where it is and draws its glyphs again on next use.
// Main thread only.
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

#include "render/Image.h"
#include "render/Texture.h"

namespace GCore {

class FontStyle;

class FontTexture : public Texture {
 public:
  static constexpr int32_t kSide = 1024;

  FontTexture(uint32_t variant, uint32_t id);
  ~FontTexture() override;

  // The pixels stay after upload.
  void ReleasePixels() override {}
  // Frees the pixels and forgets the glyphs.
  void Release() override;

  // Sets the font, lays the cell grid out and clears the pixels, once, on a
  // new atlas. False, with a message, for a cell size below 1 or above the
  // atlas.
  bool Init(int32_t pixelHeight, int32_t cellSize, uint32_t variant, uint32_t id);

  // The cell of the code point in the style (1-based, as font styles are
  // named), drawn on first use.
  Image* GetGlyph(uint32_t code, int32_t styleIndex);
  // Takes the cell allocated longest ago for the key.
  Image* AllocGlyphCell(uint32_t key);
  void RenderGlyph(uint32_t code, Image& cell, const FontStyle& style);
  // Fills the outline cell of `cell` (its extra word) with the glyph dilated
  // by one pixel: twice the largest neighbouring alpha, capped at 255.
  void BuildOutlineGlyph(Image& cell);

  int32_t CellCount() const { return cellsPerRow_ * cellsPerRow_; }

  int32_t pixelHeight = 0;
  int32_t cellSize = 0;

 private:
  static constexpr uint32_t kNoKey = 0xFFFFFFFF;

  uint32_t* CellPixels(const Image& cell);
  void MarkCellDirty(const Image& cell);
  // Makes sure the pixel buffer exists (it is freed by eviction).
  void EnsureAtlasPixels();

  int32_t cellsPerRow_ = 0;
  // Cells are made as the allocation first reaches them, in grid order.
  std::deque<Image> cells_;
  std::vector<uint32_t> cellKeys_;                // the key each cell holds
  std::unordered_map<uint32_t, uint32_t> glyphs_;  // key -> cell index
  uint32_t nextCell_ = 0;                         // the cell allocated longest ago
};

}  // namespace GCore
