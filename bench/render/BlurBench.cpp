// The Gaussian blur of "gcore.c" on a 1024 x 1024 image: the blur passes
// alone, and the whole operation (half-size copy, blur, scale back), in
// milliseconds. Beside it, as a reference, ImageMagick's `convert` blurring
// the same image as a PNG file, timed with our own blur between the same PNG
// read and write.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "render/ImageOps.h"
#include "render/PNG.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSide = 1024;
constexpr int kRuns = 5;

template <class Work>
double BestMs(Work work) {
  double best = 1e300;
  for (int i = 0; i < kRuns; ++i) {
    const Clock::time_point start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}

GCore::PixelBuffer WholeBlur(const GCore::PixelView& source) {
  const GCore::PixelBuffer half = GCore::ResizeNearest(source, source.width / 2, source.height / 2);
  const GCore::PixelBuffer blurred = GCore::BlurPixels({half.pixels.get(), half.width, half.height});
  return GCore::ResizeNearest({blurred.pixels.get(), blurred.width, blurred.height}, source.width, source.height);
}

}  // namespace

int main() {
  std::vector<uint8_t> pixels(static_cast<size_t>(kSide) * kSide * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  const GCore::PixelView image{pixels.data(), kSide, kSide};
  std::printf("Gaussian blur of a %d x %d image (best of %d)\n", kSide, kSide, kRuns);
  std::printf("  %-44s %8.1f ms\n", "blur passes alone, full size", BestMs([&] { GCore::BlurPixels(image); }));
  std::printf("  %-44s %8.1f ms\n", "GaussianBlur (half size, blur, scale back)", BestMs([&] { WholeBlur(image); }));

  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quarvelin-blur-bench";
  std::filesystem::create_directories(folder);
  const std::string in = (folder / "in.png").string();
  const std::string out = (folder / "out.png").string();
  if (GCore::WritePng(in.c_str(), pixels.data(), kSide, kSide) != 0) return 1;
  const double ours = BestMs([&] {
    std::ifstream file(in, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    GCore::PngMemorySource source{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 0};
    GCore::PngImage png;
    if (!GCore::DecodePng(GCore::PngReadFromMemory, &source, false, png)) return;
    const GCore::PixelBuffer result = WholeBlur({png.pixels.get(), png.width, png.height});
    GCore::WritePng(out.c_str(), result.pixels.get(), result.width, result.height);
  });
  std::printf("  %-44s %8.1f ms\n", "PNG in, GaussianBlur, PNG out", ours);
  const std::string command = "convert '" + in + "' -gaussian-blur 0x2 '" + out + "' 2>/dev/null";
  if (std::system("command -v convert >/dev/null 2>&1") == 0) {
    std::printf("  %-44s %8.1f ms\n", "reference: convert -gaussian-blur 0x2",
                BestMs([&] { (void)std::system(command.c_str()); }));
  } else {
    std::printf("  reference: ImageMagick's convert is not installed\n");
  }
  std::filesystem::remove_all(folder);
  return 0;
}
