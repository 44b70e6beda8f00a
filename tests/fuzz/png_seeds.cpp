// Seeds of the PNG fuzzer: every colour type and bit depth the decoder
// expands, palettes with and without transparency, and interlaced images,
// made by the tests' own PNG encoder, and files that declare far more than
// they hold.
#include <png.h>

#include <vector>

#include "fuzz/SeedFolder.h"
#include "render/PngFixtures.h"

int main(int argc, char** argv) {
  fuzzseeds::SeedFolder seeds;
  if (!seeds.Open(argc, argv, "png")) return 2;
  const struct {
    int colorType;
    int bitDepth;
    int channels;
  } formats[] = {
      {PNG_COLOR_TYPE_GRAY, 1, 1},      {PNG_COLOR_TYPE_GRAY, 2, 1},  {PNG_COLOR_TYPE_GRAY, 4, 1},
      {PNG_COLOR_TYPE_GRAY, 8, 1},      {PNG_COLOR_TYPE_GRAY, 16, 1}, {PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 16, 2}, {PNG_COLOR_TYPE_RGB, 8, 3},   {PNG_COLOR_TYPE_RGB, 16, 3},
      {PNG_COLOR_TYPE_RGB_ALPHA, 8, 4},  {PNG_COLOR_TYPE_RGB_ALPHA, 16, 4},
      {PNG_COLOR_TYPE_PALETTE, 2, 1},   {PNG_COLOR_TYPE_PALETTE, 8, 1},
  };
  for (const auto& f : formats) {
    for (const bool interlaced : {false, true}) {
      testpng::Spec spec;
      spec.width = 5;
      spec.height = 3;
      spec.colorType = f.colorType;
      spec.bitDepth = f.bitDepth;
      spec.interlaced = interlaced;
      if (f.colorType == PNG_COLOR_TYPE_PALETTE) {
        spec.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
        if (interlaced) spec.trns = {0, 128};
      }
      const size_t rowBytes = (static_cast<size_t>(spec.width) * f.channels * f.bitDepth + 7) / 8;
      std::vector<uint8_t> samples(rowBytes * spec.height);
      for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 37);
      if (f.colorType == PNG_COLOR_TYPE_PALETTE && f.bitDepth == 8) {
        for (uint8_t& s : samples) s %= 4;
      }
      seeds.Write(testpng::Encode(spec, samples));
    }
  }
  // Hostile files: large declared pictures of which only the first row is
  // there, one beyond the pixel budget and two within it.
  seeds.Write(testpng::CutShort(16384, 16384, 1));
  seeds.Write(testpng::CutShort(8192, 8192, 1));
  seeds.Write(testpng::CutShort(8192, 8192, 1, true));
  seeds.Write(testpng::RedOverGreen(8));
  seeds.Write(testpng::EncodeRgba(13, 11, testpng::Pattern(13, 11), true));
  return 0;
}
