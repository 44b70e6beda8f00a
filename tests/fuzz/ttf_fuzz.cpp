// Font files as the engine reads them: the checks before stb_truetype, then
// rasterising a few characters of the font into an atlas cell at a size
// taken from the input's first byte. Seed: a byte, then
// tests/render/data/tiny.ttf (made by scripts/make-test-font.py); the
// malformed fonts of tests/render/FontTest.cpp were first found this way.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/TTFManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static GCore::TTFManager manager;
  static const bool initialised = manager.Init();
  (void)initialised;
  if (size < 1) return 0;
  // The first byte picks the pixel size; the rest is the file.
  const int32_t pixels = 1 + data[0];
  const int32_t cell = static_cast<int32_t>(pixels * 1.1f + 0.999f);
  GCore::ClearTTFRecords();
  if (!GCore::AddTTFBytes({1, 0x72000001}, std::vector<uint8_t>(data + 1, data + size))) return 0;
  std::vector<uint32_t> atlas(static_cast<size_t>(1024) * cell);
  for (uint32_t code : {0x41u, 0x42u, 0x43u, 0x20u, 0x4E2Du, 0x1F600u}) {
    int32_t width = 1024;
    int32_t height = pixels;
    manager.RasterizeGlyph(code, {1, 0x72000001}, cell, width, height, atlas.data());
  }
  return 0;
}
