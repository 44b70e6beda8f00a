// The atlas text reader. Each line's meaning comes from its position in a
// page or region block; key names before the colons are never looked at.
#include "spine/Atlas.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "spine/SpineHost.h"
#include "spine/SpineUtil.h"

namespace GCore {

namespace {

const char* const kFormatNames[] = {"",       "Alpha",    "Intensity", "LuminanceAlpha",
                                    "RGB565", "RGBA4444", "RGB888",    "RGBA8888"};
const char* const kFilterNames[] = {"",
                                    "Nearest",
                                    "Linear",
                                    "MipMap",
                                    "MipMapNearestNearest",
                                    "MipMapLinearNearest",
                                    "MipMapNearestLinear",
                                    "MipMapLinearLinear"};

struct AtlasDisposer {
  void operator()(Atlas* atlas) const { Atlas_dispose(atlas); }
};

// White space as the C locale has it, whatever locale the process runs in.
bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

struct Span {
  const char* begin = nullptr;
  const char* end = nullptr;
  size_t size() const { return static_cast<size_t>(end - begin); }
  bool empty() const { return begin == end; }
};

Span Trim(Span s) {
  while (s.begin < s.end && IsSpace(static_cast<unsigned char>(*s.begin))) ++s.begin;
  while (s.end > s.begin && IsSpace(static_cast<unsigned char>(s.end[-1]))) --s.end;
  return s;
}

// `span` equals `word` over the span's own length.
bool BeginsWord(Span span, const char* word) {
  return span.size() <= std::strlen(word) && std::memcmp(span.begin, word, span.size()) == 0;
}

class LineReader {
 public:
  LineReader(const char* text, size_t length) : next_(text), end_(text + length) {}
  bool AtEnd() const { return next_ == end_; }

  // The next line, trimmed; past the end of the text every line is empty.
  Span Next() {
    Span line{next_, next_};
    while (line.end < end_ && *line.end != '\n') ++line.end;
    next_ = line.end < end_ ? line.end + 1 : end_;
    return Trim(line);
  }

 private:
  const char* next_;
  const char* end_;
};

// The trimmed text after the first colon; false for a line without one.
bool ReadValue(LineReader& lines, Span& value) {
  const Span line = lines.Next();
  const void* colon = std::memchr(line.begin, ':', line.size());
  if (!colon) return false;
  value = Trim(Span{static_cast<const char*>(colon) + 1, line.end});
  return true;
}

// A value split at its first three commas.
struct Tuple {
  Span parts[4];
  int count = 0;
};

bool ReadTuple(LineReader& lines, Tuple& tuple) {
  Span value;
  if (!ReadValue(lines, value)) return false;
  tuple = Tuple{};
  const char* start = value.begin;
  while (tuple.count < 3) {
    const void* comma = std::memchr(start, ',', static_cast<size_t>(value.end - start));
    if (!comma) break;
    tuple.parts[tuple.count++] = Trim(Span{start, static_cast<const char*>(comma)});
    start = static_cast<const char*>(comma) + 1;
  }
  tuple.parts[tuple.count++] = Trim(Span{start, value.end});
  return true;
}

// The decimal integer at the start of `text`; long digit runs saturate.
int32_t ParseInt(Span text) {
  const char* p = text.begin;
  bool negative = false;
  if (p < text.end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  int64_t value = 0;
  for (; p < text.end && *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > INT32_MAX) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) return static_cast<int32_t>(-value);
  return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

int32_t PartInt(const Tuple& tuple, int index) {
  return index < tuple.count ? ParseInt(tuple.parts[index]) : 0;
}

// The last name that begins with the part; 0 when none does or it is absent.
int32_t MatchName(const Tuple& tuple, int index, const char* const (&names)[8]) {
  if (index >= tuple.count) return 0;
  for (int32_t i = 7; i >= 0; --i) {
    if (BeginsWord(tuple.parts[index], names[i])) return i;
  }
  return 0;
}

std::string PageImagePath(const char* directory, const char* name) {
  std::string path = directory ? directory : "";
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
  return path + name;
}

bool ReadPage(LineReader& lines, AtlasPage& page, const char* directory) {
  Tuple tuple;
  if (!ReadTuple(lines, tuple)) return false;
  if (tuple.count == 2) {
    page.width = PartInt(tuple, 0);
    page.height = PartInt(tuple, 1);
    if (!ReadTuple(lines, tuple)) return false;
  }
  page.format = MatchName(tuple, 0, kFormatNames);
  if (!ReadTuple(lines, tuple)) return false;
  page.minFilter = MatchName(tuple, 0, kFilterNames);
  page.magFilter = MatchName(tuple, 1, kFilterNames);

  Span repeat;
  if (!ReadValue(lines, repeat)) return false;
  if (!BeginsWord(repeat, "none")) {
    if (repeat.size() == 1) {
      if (*repeat.begin == 'x') page.uWrap = 2;
      if (*repeat.begin == 'y') page.vWrap = 2;
    } else if (BeginsWord(repeat, "xy")) {
      page.uWrap = page.vWrap = 2;
    }
  }

  int32_t width = 0, height = 0;
  const std::string path = PageImagePath(directory, page.name);
  if (Texture* texture = SpineHost_get().findPageTexture(path.c_str(), width, height)) {
    page.rendererObject = texture;
    page.width = width;
    page.height = height;
  }
  if (page.width <= 0 || page.height <= 0) {
    SpineHost_get().print(("Atlas page has no size, its regions get texture coordinates 0: " +
                           std::string(page.name))
                              .c_str());
  }
  return true;
}

int32_t* FourValues(const Tuple& tuple) {
  int32_t* values = NewArray<int32_t>(4);
  for (int i = 0; i < 4; ++i) values[i] = PartInt(tuple, i);
  return values;
}

void SetRegionUVs(AtlasRegion& region) {
  const float w = static_cast<float>(region.page->width);
  const float h = static_cast<float>(region.page->height);
  if (w <= 0 || h <= 0) return;  // left at 0; the page reported it
  // In 64 bits: saturated positions plus sizes must not overflow.
  const int64_t x = region.x, y = region.y;
  const int64_t across = region.rotate ? region.height : region.width;
  const int64_t down = region.rotate ? region.width : region.height;
  region.u = static_cast<float>(x) / w;
  region.v = static_cast<float>(y) / h;
  region.u2 = static_cast<float>(x + across) / w;
  region.v2 = static_cast<float>(y + down) / h;
}

bool ReadRegion(LineReader& lines, AtlasRegion& region) {
  Span rotate;
  if (!ReadValue(lines, rotate)) return false;
  region.rotate = BeginsWord(rotate, "true");

  Tuple tuple;
  if (!ReadTuple(lines, tuple) || tuple.count != 2) return false;
  region.x = PartInt(tuple, 0);
  region.y = PartInt(tuple, 1);
  if (!ReadTuple(lines, tuple) || tuple.count != 2) return false;
  region.width = PartInt(tuple, 0);
  region.height = PartInt(tuple, 1);
  SetRegionUVs(region);

  if (!ReadTuple(lines, tuple)) return false;
  if (tuple.count == 4) {
    region.splits = FourValues(tuple);
    if (!ReadTuple(lines, tuple)) return false;
    if (tuple.count == 4) {
      region.pads = FourValues(tuple);
      if (!ReadTuple(lines, tuple)) return false;
    }
  }
  region.originalWidth = PartInt(tuple, 0);
  region.originalHeight = PartInt(tuple, 1);

  // The offset line is taken as it comes: a line that is no tuple gives 0, 0.
  if (!ReadTuple(lines, tuple)) tuple = Tuple{};
  region.offsetX = PartInt(tuple, 0);
  region.offsetY = PartInt(tuple, 1);

  Span index;
  if (!ReadValue(lines, index)) return false;
  region.index = ParseInt(index);
  return true;
}

}  // namespace

AtlasPage* AtlasPage_create(Atlas* atlas, const char* name) {
  AtlasPage* page = new AtlasPage{};
  page->atlas = atlas;
  page->name = CopyText(name);
  return page;
}

Atlas* Atlas_create(const char* text, size_t length, const char* directory) {
  std::unique_ptr<Atlas, AtlasDisposer> atlas(new Atlas{});
  AtlasPage** pageTail = &atlas->pages;
  AtlasRegion** regionTail = &atlas->regions;
  AtlasPage* page = nullptr;
  LineReader lines(text, text ? length : 0);
  while (!lines.AtEnd()) {
    const Span line = lines.Next();
    if (line.empty()) {
      page = nullptr;
      continue;
    }
    const std::string name(line.begin, line.size());
    if (!page) {
      // Linked before it is filled, so that a failure disposes it with the rest.
      page = *pageTail = AtlasPage_create(atlas.get(), name.c_str());
      pageTail = &page->next;
      if (!ReadPage(lines, *page, directory)) return nullptr;
    } else {
      AtlasRegion* region = *regionTail = new AtlasRegion{};
      regionTail = &region->next;
      region->name = CopyText(name.c_str());
      region->page = page;
      if (!ReadRegion(lines, *region)) return nullptr;
    }
  }
  return atlas.release();
}

Atlas* Atlas_createFromFile(const char* path) {
  if (!path) return nullptr;
  const char* slash = std::strrchr(path, '/');
  const char* backslash = std::strrchr(path, '\\');
  const char* separator = backslash > slash ? backslash : slash;
  std::string directory;
  if (separator) directory.assign(path, separator == path ? 1 : static_cast<size_t>(separator - path));

  std::vector<char> text;
  if (!SpineHost_get().readFile(path, text)) return nullptr;
  return Atlas_create(text.data(), text.size(), directory.c_str());
}

AtlasRegion* Atlas_findRegion(const Atlas* atlas, const char* name) {
  if (!atlas) return nullptr;
  for (AtlasRegion* region = atlas->regions; region; region = region->next) {
    if (SameName(region->name, name)) return region;
  }
  return nullptr;
}

void Atlas_dispose(Atlas* atlas) {
  if (!atlas) return;
  for (AtlasPage* page = atlas->pages; page;) {
    AtlasPage* next = page->next;
    FreeText(page->name);
    delete page;
    page = next;
  }
  for (AtlasRegion* region = atlas->regions; region;) {
    AtlasRegion* next = region->next;
    FreeText(region->name);
    FreeArray(region->splits);
    FreeArray(region->pads);
    delete region;
    region = next;
  }
  delete atlas;
}

}  // namespace GCore
