#include "render/TrueTypeCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace GCore {

namespace {

constexpr uint32_t kTagTrueType = 0x00010000;
constexpr uint32_t kTagApple = 0x74727565;       // "true"
constexpr uint32_t kTagCollection = 0x74746366;  // "ttcf"
constexpr uint32_t kTagCff = 0x4F54544F;         // "OTTO"

constexpr uint32_t kHeadSize = 54;
constexpr uint32_t kHheaSize = 36;
constexpr uint32_t kMaxpSize = 6;
constexpr uint32_t kGlyphHeaderSize = 10;

// Bounds on what one glyph may make stb_truetype do: composite levels (it
// recurses once per level, and so does this check), component references
// (it copies the outline gathered so far at each) and outline points.
constexpr int kMaxCompositeDepth = 8;
constexpr uint32_t kMaxComponents = 256;
constexpr uint32_t kMaxPoints = 16384;

// Composite glyph flags.
constexpr uint16_t kArgsAreWords = 1 << 0;
constexpr uint16_t kArgsAreXY = 1 << 1;
constexpr uint16_t kHaveScale = 1 << 3;
constexpr uint16_t kMoreComponents = 1 << 5;
constexpr uint16_t kHaveXYScale = 1 << 6;
constexpr uint16_t kHaveTwoByTwo = 1 << 7;

// Coordinates stay below this, as the rasteriser keeps them in 16 bits.
constexpr double kMaxCoordinate = 32767;

// Simple glyph point flags.
constexpr uint8_t kOnCurve = 1 << 0;
constexpr uint8_t kRepeat = 1 << 3;
constexpr uint8_t kShortX = 1 << 1;
constexpr uint8_t kSameX = 1 << 4;
constexpr uint8_t kShortY = 1 << 2;
constexpr uint8_t kSameY = 1 << 5;

}  // namespace

uint16_t TrueTypeCheck::U16(uint64_t at) const {
  const std::vector<uint8_t>& b = *bytes_;
  return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

uint32_t TrueTypeCheck::U32(uint64_t at) const {
  return static_cast<uint32_t>(U16(at)) << 16 | U16(at + 2);
}

int16_t TrueTypeCheck::Ascent() const { return static_cast<int16_t>(U16(hhea_.offset + 4)); }

int16_t TrueTypeCheck::Descent() const { return static_cast<int16_t>(U16(hhea_.offset + 6)); }

bool TrueTypeCheck::HasTable(const char* tag) const {
  const uint32_t count = U16(fontStart_ + 4);
  for (uint32_t i = 0; i < count; ++i) {
    if (std::memcmp(&(*bytes_)[fontStart_ + 12 + 16ull * i], tag, 4) == 0) return true;
  }
  return false;
}

bool TrueTypeCheck::FindTable(const char* tag, Table& table, uint32_t minimum,
                              std::string& reason) const {
  const std::vector<uint8_t>& b = *bytes_;
  const uint32_t count = U16(fontStart_ + 4);
  // The first entry of the tag, as stb_truetype takes it.
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t record = fontStart_ + 12 + 16ull * i;
    if (std::memcmp(&b[record], tag, 4) != 0) continue;
    table.offset = U32(record + 8);
    table.length = U32(record + 12);
    if (uint64_t{table.offset} + table.length > b.size()) {
      reason = std::string("table ") + tag + " lies outside the file";
      return false;
    }
    if (table.length < minimum) {
      reason = std::string("table ") + tag + " is too short";
      return false;
    }
    return true;
  }
  reason = std::string("no table ") + tag;
  return false;
}

bool TrueTypeCheck::Check(std::vector<uint8_t>& bytes, std::string& reason) {
  bytes_ = &bytes;
  if (bytes.size() < 12) {
    reason = "not a TrueType font";
    return false;
  }
  const uint32_t tag = U32(0);
  if (tag == kTagCollection) {
    // The first font of the collection.
    if (bytes.size() < 16 || U32(8) == 0) {
      reason = "empty font collection";
      return false;
    }
    fontStart_ = U32(12);
  } else if (tag == kTagCff) {
    reason = "CFF outlines are not supported";
    return false;
  } else if (tag != kTagTrueType && tag != kTagApple) {
    reason = "not a TrueType font";
    return false;
  }
  if (uint64_t{fontStart_} + 12 > bytes.size() ||
      fontStart_ + 12 + 16ull * U16(fontStart_ + 4) > bytes.size()) {
    reason = "table directory lies outside the file";
    return false;
  }

  Table hmtx, maxp;
  if (!FindTable("head", head_, kHeadSize, reason) || !FindTable("hhea", hhea_, kHheaSize, reason) ||
      !FindTable("hmtx", hmtx, 0, reason) || !FindTable("loca", loca_, 0, reason) ||
      !FindTable("glyf", glyf_, 0, reason)) {
    return false;
  }
  // Without a glyph count stb_truetype assumes 65535 glyphs.
  numGlyphs_ = 0xFFFF;
  if (HasTable("maxp")) {
    if (!FindTable("maxp", maxp, kMaxpSize, reason)) return false;
    numGlyphs_ = U16(maxp.offset + 4);
  }

  const uint16_t locFormat = U16(head_.offset + 50);
  if (locFormat > 1) {
    reason = "unknown glyph location format";
    return false;
  }
  longOffsets_ = locFormat == 1;
  if (loca_.length < (uint64_t{numGlyphs_} + 1) * (longOffsets_ ? 4 : 2)) {
    reason = "glyph locations are cut short";
    return false;
  }
  if (Ascent() - Descent() <= 0) {
    reason = "ascent and descent leave no height";
    return false;
  }
  const uint32_t longMetrics = U16(hhea_.offset + 34);
  if (longMetrics == 0) {
    reason = "no horizontal metrics";
    return false;
  }
  const uint64_t metricsBytes = numGlyphs_ <= longMetrics
                                    ? 4ull * numGlyphs_
                                    : 4ull * longMetrics + 2ull * (numGlyphs_ - longMetrics);
  if (hmtx.length < metricsBytes) {
    reason = "horizontal metrics are cut short";
    return false;
  }
  if (!CheckCharacterMap(bytes, reason)) return false;
  state_.assign(numGlyphs_, kUnknown);
  points_.assign(numGlyphs_, 0);
  components_.assign(numGlyphs_, 0);
  levels_.assign(numGlyphs_, 0);
  extents_.assign(numGlyphs_, 0);
  return true;
}

bool TrueTypeCheck::CheckCharacterMap(std::vector<uint8_t>& bytes, std::string& reason) {
  Table cmap;
  if (!FindTable("cmap", cmap, 4, reason)) return false;
  const uint32_t count = U16(cmap.offset + 2);
  if (4 + 8ull * count > cmap.length) {
    reason = "character map records are cut short";
    return false;
  }
  // The subtable stb_truetype will use: the last Unicode one listed.
  uint64_t at = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t record = cmap.offset + 4 + 8ull * i;
    const uint16_t platform = U16(record);
    const uint16_t encoding = U16(record + 2);
    if (platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10))) {
      at = uint64_t{cmap.offset} + U32(record + 4);
    }
  }
  if (at == 0) {
    reason = "no Unicode character map";
    return false;
  }
  const uint64_t size = bytes.size();
  if (at + 4 > size) {
    reason = "character map lies outside the file";
    return false;
  }
  bool inside = false;
  switch (const uint16_t format = U16(at)) {
    case 0:
      inside = at + U16(at + 2) <= size;
      break;
    case 4:
      return CheckFormat4(bytes, at, reason);
    case 6:
      inside = at + 10 <= size && at + 10 + 2ull * U16(at + 8) <= size;
      break;
    case 12:
    case 13:
      inside = at + 16 <= size && at + 16 + 12ull * U32(at + 12) <= size;
      break;
    default:
      reason = "character map format " + std::to_string(format) + " is not supported";
      return false;
  }
  if (!inside) reason = "character map lies outside the file";
  return inside;
}

bool TrueTypeCheck::CheckFormat4(std::vector<uint8_t>& bytes, uint64_t at, std::string& reason) const {
  const uint64_t size = bytes.size();
  if (at + 14 > size) {
    reason = "character map lies outside the file";
    return false;
  }
  const uint32_t segments = U16(at + 6) >> 1;
  if (segments == 0 || at + 16 + 8ull * segments > size) {
    reason = "character map segments lie outside the file";
    return false;
  }
  const uint64_t ends = at + 14;
  const uint64_t starts = ends + 2ull * segments + 2;
  const uint64_t rangeOffsets = starts + 4ull * segments;
  for (uint32_t i = 0; i < segments; ++i) {
    const uint32_t rangeOffset = U16(rangeOffsets + 2ull * i);
    const uint32_t start = U16(starts + 2ull * i);
    const uint32_t end = U16(ends + 2ull * i);
    if (rangeOffset == 0 || start > end) continue;
    // The glyph id of the segment's last character.
    if (rangeOffsets + 2ull * i + rangeOffset + 2ull * (end - start) + 2 > size) {
      reason = "character map glyph ids lie outside the file";
      return false;
    }
  }
  // The binary search steps by these; give them the values the count implies.
  uint32_t range = 1;
  uint16_t selector = 0;
  while (range * 2 <= segments) {
    range *= 2;
    ++selector;
  }
  auto put = [&bytes](uint64_t where, uint32_t value) {
    bytes[where] = static_cast<uint8_t>(value >> 8);
    bytes[where + 1] = static_cast<uint8_t>(value);
  };
  put(at + 8, range * 2);
  put(at + 10, selector);
  put(at + 12, (segments - range) * 2);
  return true;
}

bool TrueTypeCheck::GlyphRange(uint32_t glyph, uint64_t& begin, uint64_t& end) const {
  if (longOffsets_) {
    begin = U32(loca_.offset + 4ull * glyph);
    end = U32(loca_.offset + 4ull * glyph + 4);
  } else {
    begin = 2ull * U16(loca_.offset + 2ull * glyph);
    end = 2ull * U16(loca_.offset + 2ull * glyph + 2);
  }
  if (begin > end || end > glyf_.length) return false;
  begin += glyf_.offset;
  end += glyf_.offset;
  return true;
}

bool TrueTypeCheck::GlyphIsSafe(uint32_t glyph) {
  return glyph < numGlyphs_ && CheckGlyph(glyph, 0);
}

bool TrueTypeCheck::CheckGlyph(uint32_t glyph, int depth) {
  // A component beyond the count is skipped by stb_truetype: no outline.
  if (glyph >= numGlyphs_) return true;
  switch (state_[glyph]) {
    case kSafe: return true;
    case kUnsafe: return false;
    case kChecking: return false;  // a glyph made of itself
    case kUnknown: break;
  }
  if (depth > kMaxCompositeDepth) return false;
  state_[glyph] = kChecking;
  uint64_t begin = 0, end = 0;
  bool safe = GlyphRange(glyph, begin, end);
  uint32_t points = 0, components = 0, levels = 0, extent = 0;
  // An empty range is a glyph without outline.
  if (safe && begin != end) {
    if (end - begin < kGlyphHeaderSize) {
      safe = false;
    } else {
      const auto contours = static_cast<int16_t>(U16(begin));
      safe = contours >= 0 ? CheckSimpleGlyph(begin + kGlyphHeaderSize, end, contours, points, extent)
                           : CheckCompositeGlyph(begin + kGlyphHeaderSize, end, depth, points,
                                                 components, levels, extent);
    }
  }
  state_[glyph] = safe ? kSafe : kUnsafe;
  points_[glyph] = points;
  components_[glyph] = components;
  levels_[glyph] = levels;
  extents_[glyph] = extent;
  return safe;
}

bool TrueTypeCheck::CheckSimpleGlyph(uint64_t at, uint64_t end, int16_t contours, uint32_t& points,
                                     uint32_t& extent) const {
  if (contours == 0) return true;
  const uint64_t endPoints = at;
  if (endPoints + 2ull * contours + 2 > end) return false;
  int32_t previous = -1;
  int32_t lastStart = 0;
  for (int16_t j = 0; j < contours; ++j) {
    const int32_t last = U16(endPoints + 2ull * j);
    if (last <= previous) return false;
    lastStart = previous + 1;
    previous = last;
  }
  points = static_cast<uint32_t>(previous) + 1;
  if (points > kMaxPoints) return false;
  uint64_t p = endPoints + 2ull * contours;
  p += 2 + U16(p);  // instructions
  std::vector<uint8_t> flags(points);
  uint32_t repeats = 0;
  for (uint32_t i = 0; i < points; ++i) {
    if (repeats == 0) {
      if (p >= end) return false;
      flags[i] = (*bytes_)[p++];
      if (flags[i] & kRepeat) {
        if (p >= end) return false;
        repeats = (*bytes_)[p++];
      }
    } else {
      flags[i] = flags[i - 1];
      --repeats;
    }
  }
  // A contour that starts off the curve makes the rasteriser look at the
  // point after its first: the glyph's last point cannot start one.
  if (lastStart == previous && !(flags[points - 1] & kOnCurve)) return false;
  // The coordinates, as the rasteriser accumulates them.
  for (const auto& [shortBit, sameBit] : {std::pair{kShortX, kSameX}, std::pair{kShortY, kSameY}}) {
    int32_t value = 0;
    for (uint32_t i = 0; i < points; ++i) {
      if (flags[i] & shortBit) {
        if (p + 1 > end) return false;
        const int32_t delta = (*bytes_)[p++];
        value += (flags[i] & sameBit) ? delta : -delta;
      } else if (!(flags[i] & sameBit)) {
        if (p + 2 > end) return false;
        value += static_cast<int16_t>(U16(p));
        p += 2;
      }
      const auto stored = static_cast<int16_t>(value);
      extent = std::max<uint32_t>(extent, static_cast<uint32_t>(std::abs(int32_t{stored})));
    }
  }
  return true;
}

bool TrueTypeCheck::CheckCompositeGlyph(uint64_t at, uint64_t end, int depth, uint32_t& points,
                                        uint32_t& components, uint32_t& levels, uint32_t& extent) {
  uint16_t flags = kMoreComponents;
  while (flags & kMoreComponents) {
    if (at + 4 > end) return false;
    flags = U16(at);
    const uint16_t component = U16(at + 2);
    at += 4;
    // Components placed by matching points are not supported by the rasteriser.
    if (!(flags & kArgsAreXY)) return false;
    // The transform, read as the rasteriser reads it (one scale form only).
    double e = 0, f = 0, a = 1, b = 0, c = 0, d = 1;
    const uint64_t argumentBytes = (flags & kArgsAreWords) ? 4 : 2;
    if (at + argumentBytes > end) return false;
    if (flags & kArgsAreWords) {
      e = static_cast<int16_t>(U16(at));
      f = static_cast<int16_t>(U16(at + 2));
    } else {
      e = static_cast<int8_t>((*bytes_)[at]);
      f = static_cast<int8_t>((*bytes_)[at + 1]);
    }
    at += argumentBytes;
    auto scale = [this](uint64_t where) { return static_cast<int16_t>(U16(where)) / 16384.0; };
    if (flags & kHaveScale) {
      if (at + 2 > end) return false;
      a = d = scale(at);
      at += 2;
    } else if (flags & kHaveXYScale) {
      if (at + 4 > end) return false;
      a = scale(at);
      d = scale(at + 2);
      at += 4;
    } else if (flags & kHaveTwoByTwo) {
      if (at + 8 > end) return false;
      a = scale(at);
      b = scale(at + 2);
      c = scale(at + 4);
      d = scale(at + 6);
      at += 8;
    }
    if (!CheckGlyph(component, depth + 1)) return false;
    if (component >= numGlyphs_ || points_[component] == 0) continue;
    points += points_[component];
    components += 1 + components_[component];
    levels = std::max(levels, 1 + levels_[component]);
    if (points > kMaxPoints || components > kMaxComponents || levels > kMaxCompositeDepth) return false;
    // The rasteriser turns the transformed coordinates back into 16-bit
    // ones: they must fit.
    const double bound = extents_[component];
    const double m = std::sqrt(a * a + b * b);
    const double n = std::sqrt(c * c + d * d);
    const double x = m * ((std::fabs(a) + std::fabs(c)) * bound + std::fabs(e));
    const double y = n * ((std::fabs(b) + std::fabs(d)) * bound + std::fabs(f));
    if (!(x < kMaxCoordinate && y < kMaxCoordinate)) return false;
    extent = std::max(extent, static_cast<uint32_t>(std::ceil(std::max(x, y))));
  }
  return true;
}

}  // namespace GCore
