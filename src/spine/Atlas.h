#pragma once
// A texture atlas: the pages of a skeleton's images and the named regions
// packed on them, read from ".atlas" text. Pages and regions keep file order.
// The atlas owns its pages, regions and their texts; page textures belong to
// the engine (see SpineHost.h) and are never released here. Attachments point
// at regions, so an atlas must outlive every skeleton data made over it.
#include <cstddef>
#include <cstdint>

namespace GCore {

class Texture;
struct Atlas;

struct AtlasPage {
  Atlas* atlas = nullptr;
  const char* name = nullptr;  // the image name as written
  int32_t format = 0;          // index into the format names
  int32_t minFilter = 0, magFilter = 0;
  int32_t uWrap = 1, vWrap = 1;  // 1 no repeat, 2 repeat
  Texture* rendererObject = nullptr;
  int32_t width = 0, height = 0;
  AtlasPage* next = nullptr;
};

struct AtlasRegion {
  const char* name = nullptr;
  int32_t x = 0, y = 0, width = 0, height = 0;  // on the page, as packed
  float u = 0, v = 0, u2 = 0, v2 = 0;
  int32_t offsetX = 0, offsetY = 0;
  int32_t originalWidth = 0, originalHeight = 0;
  int32_t index = 0;
  bool rotate = false;  // packed turned by 90 degrees
  bool flip = false;
  int32_t* splits = nullptr;  // 4 values or none
  int32_t* pads = nullptr;    // 4 values or none
  AtlasPage* page = nullptr;
  AtlasRegion* next = nullptr;
};

struct Atlas {
  AtlasPage* pages = nullptr;
  AtlasRegion* regions = nullptr;
  void* rendererObject = nullptr;
};

// Format names: "", "Alpha", "Intensity", "LuminanceAlpha", "RGB565",
// "RGBA4444", "RGB888", "RGBA8888". Filter names: "", "Nearest", "Linear",
// "MipMap", "MipMapNearestNearest", "MipMapLinearNearest",
// "MipMapNearestLinear", "MipMapLinearLinear".

// Parses atlas text; page images are looked up under `directory`. None when
// the text is malformed.
Atlas* Atlas_create(const char* text, size_t length, const char* directory);
// Reads the file whole through the host; none when it cannot be read or
// parsed.
Atlas* Atlas_createFromFile(const char* path);
AtlasRegion* Atlas_findRegion(const Atlas* atlas, const char* name);
void Atlas_dispose(Atlas* atlas);

AtlasPage* AtlasPage_create(Atlas* atlas, const char* name);

}  // namespace GCore
