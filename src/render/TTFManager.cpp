#include "render/TTFManager.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "core/FileStream.h"
#include "base/Log.h"
#include "core/MissingFiles.h"
#include "core/ResourcePath.h"
#include "render/TrueTypeCheck.h"

// stb_truetype is compiled here, private to this file, so that the sanitizer
// builds check its reads too. Its assertions guard the numbers of its
// rasteriser (it notes that rounding may trip one), not memory: every write
// it makes is range-checked, and the file is checked before it reads it, so
// they are left out as in a release build of the library.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STBTT_STATIC
#define STBTT_assert(condition) static_cast<void>(0)
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>
#pragma GCC diagnostic pop

namespace GCore {

TTFManager* g_fontManager = nullptr;

namespace {

// The scratch holds this much before the first glyph asks for more.
constexpr size_t kInitialScratch = 65536;

struct FontRecord {
  FontKey key;
  std::vector<uint8_t> bytes;  // the font information points into these
  TrueTypeCheck check;
  stbtt_fontinfo info{};
};

std::vector<std::unique_ptr<FontRecord>>& Records() {
  static std::vector<std::unique_ptr<FontRecord>> records;
  return records;
}

FontRecord* FindRecord(FontKey key) {
  for (const auto& record : Records()) {
    if (record->key.variant == key.variant && record->key.fontId == key.fontId) return record.get();
  }
  return nullptr;
}

}  // namespace

TTFManager::TTFManager() { g_fontManager = this; }

TTFManager::~TTFManager() {
  if (g_fontManager == this) g_fontManager = nullptr;
}

bool TTFManager::Init() {
  scratch_.assign(kInitialScratch, 0);
  return true;
}

void TTFManager::Shutdown() {
  scratch_.clear();
  scratch_.shrink_to_fit();
  ClearTTFRecords();
}

bool TTFManager::RasterizeGlyph(uint32_t code, FontKey font, int32_t cellSize, int32_t& width,
                                int32_t& height, uint32_t* destination) {
  FontRecord* record = FindRecord(font);
  if (!record || cellSize <= 0) return false;
  const int glyph = stbtt_FindGlyphIndex(&record->info, static_cast<int>(code));
  if (glyph == 0 || !record->check.GlyphIsSafe(static_cast<uint32_t>(glyph))) return false;

  const stbtt_fontinfo& info = record->info;
  const int32_t stride = width;
  const float s = static_cast<float>(height) /
                  static_cast<float>(record->check.Ascent() - record->check.Descent());
  int ascent = 0, descent = 0, lineGap = 0;
  stbtt_GetFontVMetrics(&info, &ascent, &descent, &lineGap);
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  stbtt_GetGlyphBitmapBoxSubpixel(&info, glyph, s, s, 0, 0, &x0, &y0, &x1, &y1);
  // The scratch is one cell; a glyph larger than the cell is cut to it.
  const auto cell = static_cast<size_t>(cellSize);
  if (scratch_.size() < cell * cell) scratch_.resize(cell * cell);
  const int bitmapWidth = std::min(x1 - x0, cellSize);
  const int bitmapHeight = std::min(y1 - y0, cellSize);
  std::fill(scratch_.begin(), scratch_.begin() + static_cast<ptrdiff_t>(cell * cell), 0);
  if (bitmapWidth > 0 && bitmapHeight > 0) {
    stbtt_MakeGlyphBitmapSubpixel(&info, scratch_.data(), bitmapWidth, bitmapHeight, cellSize, s, s,
                                  0, 0, glyph);
  }
  int advance = 0, bearing = 0;
  stbtt_GetGlyphHMetrics(&info, glyph, &advance, &bearing);

  width = static_cast<int32_t>(std::ceil(static_cast<float>(advance) * s));
  height = static_cast<int32_t>(static_cast<float>(descent) * s) -
           (static_cast<int32_t>(static_cast<float>(ascent) * s) + y0) + cellSize;
  int32_t left = static_cast<int32_t>(static_cast<float>(bearing) * s) - 1;
  if (left < 1) left = 0;

  for (int32_t row = 0; row < cellSize; ++row) {
    uint32_t* line = destination + static_cast<ptrdiff_t>(row) * stride;
    std::fill(line, line + cellSize, 0u);
    const uint8_t* coverage = scratch_.data() + static_cast<size_t>(row) * cell;
    for (int32_t column = left + 1; column < cellSize; ++column) {
      line[column] = static_cast<uint32_t>(coverage[column - left - 1]) << 24 | 0xFFFFFFu;
    }
  }
  return true;
}

bool AddTTFBytes(FontKey font, std::vector<uint8_t> bytes) {
  auto record = std::make_unique<FontRecord>();
  record->key = font;
  record->bytes = std::move(bytes);
  std::string reason;
  if (!record->check.Check(record->bytes, reason) ||
      !stbtt_InitFont(&record->info, record->bytes.data(), static_cast<int>(record->check.FontStart()))) {
    LogPrintf("failed AddTTF %08x: %s\n", font.fontId, reason.empty() ? "rejected" : reason.c_str());
    return false;
  }
  Records().push_back(std::move(record));
  return true;
}

void AddTTF(FontKey font) {
  const char* found = FindResourceFile("font", font.fontId, static_cast<int>(font.variant & 0xFF));
  if (!found) return;
  const std::string path = found;
  std::vector<char> bytes;
  if (!ReadWholeResource(path.c_str(), bytes)) return;
  AddTTFBytes(font, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

bool HasTTF(FontKey font) { return FindRecord(font) != nullptr; }

void ClearTTFRecords() { Records().clear(); }

}  // namespace GCore
