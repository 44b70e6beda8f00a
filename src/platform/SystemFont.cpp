#include "platform/SystemFont.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/Log.h"

namespace GCore {
namespace {

// The Chinese character set of the text APIs' font requests.
constexpr const char* kChineseLanguage = "zh-cn";

template <class T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
using Pattern = std::unique_ptr<FcPattern, Deleter<FcPattern, FcPatternDestroy>>;
using CharSet = std::unique_ptr<FcCharSet, Deleter<FcCharSet, FcCharSetDestroy>>;

class SystemFonts {
 public:
  SystemFonts() {
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      LogWrite("system fonts: FreeType does not start\n");
    }
  }
  ~SystemFonts() {
    for (auto& [file, face] : faces_) {
      if (face) FT_Done_Face(face);
    }
    if (library_) FT_Done_FreeType(library_);
  }
  SystemFonts(const SystemFonts&) = delete;
  SystemFonts& operator=(const SystemFonts&) = delete;

  // The face to draw the code point with for the face name; null when there
  // is no usable face at all.
  FT_Face FaceFor(const std::string& name, uint32_t code) {
    if (!library_) return nullptr;
    Family& family = families_[name];
    if (!family.matched) {
      family.primary = Match(name, 0);
      family.matched = true;
    }
    if (Has(family.primary, code)) return family.primary;
    for (FT_Face face : family.fallbacks) {
      if (Has(face, code)) return face;
    }
    if (family.missing.count(code)) return family.primary;
    FT_Face face = Match(name, code);
    if (Has(face, code)) {
      family.fallbacks.push_back(face);
      return face;
    }
    // Asked once: no installed face has it.
    family.missing.insert(code);
    return family.primary;
  }

 private:
  struct Family {
    bool matched = false;
    FT_Face primary = nullptr;
    std::vector<FT_Face> fallbacks;
    std::set<uint32_t> missing;
  };

  static bool Has(FT_Face face, uint32_t code) { return face && FT_Get_Char_Index(face, code) != 0; }

  // The best installed face for the name, Chinese, and (unless 0) the code point.
  FT_Face Match(const std::string& name, uint32_t code) {
    Pattern pattern(FcPatternCreate());
    if (!pattern) return nullptr;
    if (!name.empty()) FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>(kChineseLanguage));
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    if (code != 0) {
      CharSet characters(FcCharSetCreate());
      if (characters && FcCharSetAddChar(characters.get(), code)) {
        FcPatternAddCharSet(pattern.get(), FC_CHARSET, characters.get());
      }
    }
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    FcChar8* file = nullptr;
    int index = 0;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) return nullptr;
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &index);
    return Open(reinterpret_cast<const char*>(file), index);
  }

  FT_Face Open(const std::string& file, int index) {
    const std::string key = file + "#" + std::to_string(index);
    if (auto found = faces_.find(key); found != faces_.end()) return found->second;
    FT_Face face = nullptr;
    if (FT_New_Face(library_, file.c_str(), index, &face) != 0 || !FT_IS_SCALABLE(face) ||
        face->ascender - face->descender <= 0) {
      if (face) FT_Done_Face(face);
      face = nullptr;
      LogPrintf("system fonts: %s cannot be used\n", file.c_str());
    }
    faces_[key] = face;
    return face;
  }

  FT_Library library_ = nullptr;
  std::map<std::string, FT_Face> faces_;  // by file and index; null when unusable
  std::map<std::string, Family> families_;
};

SystemFonts& Fonts() {
  static SystemFonts fonts;
  return fonts;
}

}  // namespace

void RasterizeGlyphGDI(uint32_t code, const char* faceName, int32_t cellSize, int32_t& width,
                       int32_t& height, uint32_t* destination) {
  const int32_t stride = width;
  const int32_t pixelHeight = height;
  for (int32_t row = 0; row < cellSize; ++row) {
    std::fill(destination + static_cast<ptrdiff_t>(row) * stride,
              destination + static_cast<ptrdiff_t>(row) * stride + cellSize, 0u);
  }
  width = height = 0;
  FT_Face face = Fonts().FaceFor(faceName ? faceName : "", code);
  if (!face || pixelHeight <= 0) return;

  // Ascent minus descent spans the pixel height, as for TrueType files.
  FT_Size_RequestRec request{};
  request.type = FT_SIZE_REQUEST_TYPE_CELL;
  request.height = static_cast<FT_Long>(pixelHeight) * 64;
  if (FT_Request_Size(face, &request) != 0) return;
  // Unhinted, as the TrueType rasteriser draws, so metrics agree.
  if (FT_Load_Glyph(face, FT_Get_Char_Index(face, code), FT_LOAD_RENDER | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) {
    return;
  }
  const FT_GlyphSlot glyph = face->glyph;
  const FT_Bitmap& bitmap = glyph->bitmap;
  const float s = static_cast<float>(pixelHeight) / static_cast<float>(face->ascender - face->descender);
  const int32_t y0 = -glyph->bitmap_top;
  width = static_cast<int32_t>(std::ceil(static_cast<float>(glyph->metrics.horiAdvance) / 64.0f));
  height = static_cast<int32_t>(static_cast<float>(face->descender) * s) -
           (static_cast<int32_t>(static_cast<float>(face->ascender) * s) + y0) + cellSize;
  int32_t left = static_cast<int32_t>(static_cast<float>(glyph->metrics.horiBearingX) / 64.0f) - 1;
  if (left < 1) left = 0;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || !bitmap.buffer) return;

  const auto rows = std::min(static_cast<int32_t>(bitmap.rows), cellSize);
  const auto columns = std::min(static_cast<int32_t>(bitmap.width), cellSize - left - 1);
  for (int32_t row = 0; row < rows; ++row) {
    uint32_t* line = destination + static_cast<ptrdiff_t>(row) * stride;
    const uint8_t* coverage = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
    for (int32_t column = 0; column < columns; ++column) {
      line[left + 1 + column] = static_cast<uint32_t>(coverage[column]) << 24 | 0xFFFFFFu;
    }
  }
}

}  // namespace GCore
