#pragma once
// Glyphs of the system's fonts, for text whose project registered no font
// file of its own: the face is chosen by name (UTF-8; empty: the system
// default) through fontconfig, preferring faces for simplified Chinese, and
// drawn by FreeType. A character the chosen face lacks comes from another
// installed face that has it, or is drawn as the face's missing-glyph box.
// The cell is written exactly as the TrueType rasteriser writes it
// (render/TTFManager.h): scaled so that ascent minus descent is the pixel
// height, the bitmap in the cell's top rows, white with the coverage as
// alpha, and the same advance and cell height, so that glyphs of both kinds
// share a baseline. Faces stay open for the rest of the run.
// Main thread only.
#include <cstdint>

namespace GCore {

// In: width = the destination's row stride in pixels, height = the pixel
// height of the font. Out: the advance and the cell height. Every row of the
// cell is cleared first; without any usable face width and height become 0.
void RasterizeGlyphGDI(uint32_t code, const char* faceName, int32_t cellSize, int32_t& width,
                       int32_t& height, uint32_t* destination);

}  // namespace GCore
