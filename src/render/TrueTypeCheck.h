#pragma once
// Structural checks of a TrueType file, made before stb_truetype reads it.
// stb_truetype follows every offset and count in the file without checking
// it, so a file from a game folder is checked first: the table directory,
// the tables the rasteriser reads, the Unicode character map it searches
// and, glyph by glyph before each is drawn, the outline it parses. Only
// TrueType outlines are read (CFF outlines would be read without bounds).
// The check also rewrites the binary-search fields of a format 4 character
// map to the values its segment count implies, since stb_truetype steps by
// them. Main thread only.
#include <cstdint>
#include <string>
#include <vector>

namespace GCore {

class TrueTypeCheck {
 public:
  // False, with the reason, when the file cannot be read safely.
  bool Check(std::vector<uint8_t>& bytes, std::string& reason);

  // Whether the glyph's outline, and those of the glyphs it is composed of,
  // lie inside the file and are small enough to draw. Glyphs beyond the
  // font's count are not safe. The answer is remembered per glyph.
  bool GlyphIsSafe(uint32_t glyph);

  // Offset of the font inside the file (a collection holds several).
  uint32_t FontStart() const { return fontStart_; }
  // The font's ascent and descent from its horizontal header.
  int16_t Ascent() const;
  int16_t Descent() const;

 private:
  struct Table {
    uint32_t offset = 0;
    uint32_t length = 0;
  };
  enum GlyphState : uint8_t { kUnknown, kChecking, kSafe, kUnsafe };

  bool HasTable(const char* tag) const;
  // The first table of the tag: inside the file and at least `minimum` long.
  bool FindTable(const char* tag, Table& table, uint32_t minimum, std::string& reason) const;
  bool CheckCharacterMap(std::vector<uint8_t>& bytes, std::string& reason);
  bool CheckFormat4(std::vector<uint8_t>& bytes, uint64_t at, std::string& reason) const;
  // Checks one glyph; `depth` counts the composite levels above it.
  bool CheckGlyph(uint32_t glyph, int depth);
  // Each checks one outline and gives its point count and the largest
  // magnitude of its coordinates.
  bool CheckSimpleGlyph(uint64_t at, uint64_t end, int16_t contours, uint32_t& points,
                        uint32_t& extent) const;
  bool CheckCompositeGlyph(uint64_t at, uint64_t end, int depth, uint32_t& points,
                           uint32_t& components, uint32_t& levels, uint32_t& extent);
  bool GlyphRange(uint32_t glyph, uint64_t& begin, uint64_t& end) const;

  uint16_t U16(uint64_t at) const;
  uint32_t U32(uint64_t at) const;

  const std::vector<uint8_t>* bytes_ = nullptr;
  uint32_t fontStart_ = 0;
  Table head_, hhea_, loca_, glyf_;
  uint32_t numGlyphs_ = 0;
  bool longOffsets_ = false;
  std::vector<GlyphState> state_;
  std::vector<uint32_t> points_;      // outline points of a checked glyph, components included
  std::vector<uint32_t> components_;  // component references of a checked glyph, nested ones included
  std::vector<uint32_t> levels_;      // composite levels below a checked glyph
  std::vector<uint32_t> extents_;     // largest coordinate magnitude of a checked glyph
};

}  // namespace GCore
