#pragma once
// TrueType fonts and the rasterising of their glyphs into glyph atlases.
// Fonts are registered per (variant, font id): the variant's low byte is the
// project whose font file the id names. The records live in one process-wide
// list and own their file bytes; the font manager (one per game object) owns
// the scratch bitmap a glyph is drawn into before it is copied into its cell.
// Every file is checked before stb_truetype reads it (TrueTypeCheck.h).
// Main thread only.
#include <cstdint>
#include <vector>

namespace GCore {

struct FontKey {
  uint32_t variant = 0;
  uint32_t fontId = 0;
};

class TTFManager {
 public:
  TTFManager();
  TTFManager(const TTFManager&) = delete;
  TTFManager& operator=(const TTFManager&) = delete;
  virtual ~TTFManager();
  // Makes the scratch bitmap; true.
  virtual bool Init();
  // Frees the scratch and every font record.
  virtual void Shutdown();

  // Draws the code point of the registered font into `destination`, a cell
  // of `cellSize` pixels in an atlas whose rows are `width` pixels apart:
  // every cell row is cleared, and the glyph's coverage becomes the alpha of
  // white pixels. In: width = the row stride, height = the pixel height of
  // the font. Out: width = the advance, height = the cell height that puts
  // the glyph on its baseline when cells are drawn bottom-aligned. False,
  // with nothing written, when the font is not registered or lacks the
  // character.
  bool RasterizeGlyph(uint32_t code, FontKey font, int32_t cellSize, int32_t& width,
                      int32_t& height, uint32_t* destination);

 private:
  std::vector<uint8_t> scratch_;
};

// The engine's font manager, or null; set while one exists.
extern TTFManager* g_fontManager;

// Registers the font file of the id (found as a resource of the variant's
// project) under the key. A missing file registers nothing; a file that is no
// usable TrueType font prints "failed AddTTF" with the reason.
void AddTTF(FontKey font);
// The same with the file's bytes in hand; false when they are refused.
bool AddTTFBytes(FontKey font, std::vector<uint8_t> bytes);
bool HasTTF(FontKey font);
void ClearTTFRecords();

}  // namespace GCore
