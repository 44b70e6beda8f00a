#pragma once
// Builds PNG files in memory with libpng, so that tests need no stored images.
#include <cstdint>
#include <vector>

namespace testpng {

struct Spec {
  int width = 0;
  int height = 0;
  int colorType = 6;  // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<uint8_t> palette;  // RGB triples (colour type 3)
  std::vector<uint8_t> trns;     // alpha per palette entry (colour type 3)
};

// `rows` holds the samples in the file's own layout, packed, row after row
// (16-bit samples big-endian, sub-byte samples packed high bits first).
std::vector<uint8_t> Encode(const Spec& spec, const std::vector<uint8_t>& rows);

// An 8-bit RGBA file that declares width x height transparent black pixels
// but stops after its first `rows` rows (of the first pass when interlaced):
// their data is complete, then the file ends without the rest or an end.
std::vector<uint8_t> CutShort(int width, int height, int rows, bool interlaced = false);

// An 8-bit RGBA file of the given pixels.
std::vector<uint8_t> EncodeRgba(int width, int height, const std::vector<uint8_t>& rgba,
                                bool interlaced = false);

// A size x size RGBA image: the top half red, the bottom half green (rows
// top to bottom), opaque.
std::vector<uint8_t> RedOverGreen(int size);

// A deterministic test pattern of width x height RGBA pixels.
std::vector<uint8_t> Pattern(int width, int height);

}  // namespace testpng
