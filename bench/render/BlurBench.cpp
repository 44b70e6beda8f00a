// The Gaussian blur of "gcore.c" on a 1024 x 1024 image: the blur passes
// alone, and the whole operation (half-size copy, blur, scale back), in
// milliseconds. Beside it ImageMagick doing the same work on the same image,
// one thread: nearest-pixel half size, a Gaussian of sigma 3.5 over a radius
// of 5 on all four channels in two one-dimensional passes (`-blur`; the
// engine's ten taps at -5..+4 are that curve; `-gaussian-blur` would apply it
// as one square kernel, far more work), nearest-pixel back to full size. It
// reads the PNG and writes raw RGBA; its figure is shown raw and less a run
// that only reads and writes, which holds its process start and the file
// work, so that what is left is the blur the engine does in memory.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PeerFigures.h"
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

// ImageMagick's convert by its Debian name or its plain one, whichever is
// ImageMagick itself; empty when none is.
std::string ImageMagick() {
  for (const char* name : {"convert", "convert-im6.q16"}) {
    const std::string probe = std::string(name) + " -version 2>/dev/null | grep -q '^Version: ImageMagick'";
    if (std::system(probe.c_str()) == 0) return name;
  }
  return {};
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
  const std::string convert = ImageMagick();
  if (!convert.empty()) {
    const std::string run = convert + " -limit thread 1 '" + in + "' ";
    const std::string same = std::to_string(kSide / 2) + "x" + std::to_string(kSide / 2) +
                             " -channel RGBA -blur 5x3.5 -sample " + std::to_string(kSide) + "x" +
                             std::to_string(kSide);
    // Raw RGBA out, so that writing costs both runs the same.
    const std::string blur = run + "-sample " + same + " -depth 8 'rgba:" + out + "' 2>/dev/null";
    const std::string copy = run + "-depth 8 'rgba:" + out + "' 2>/dev/null";
    const double start = BestMs([&] { (void)std::system(copy.c_str()); });
    std::printf("  %s -sample %s, one thread\n", convert.c_str(), same.c_str());
    std::printf("  its start with PNG in and raw RGBA out alone: %.2f ms, taken off its figure\n", start);
    PrintPeerFiguresLessStart("GaussianBlur (half, blur, back)", BestMs([&] { WholeBlur(image); }), "ImageMagick",
                              BestMs([&] { (void)std::system(blur.c_str()); }), start);
  } else {
    std::printf("  ImageMagick's convert is not installed: no peer figure\n");
  }
  std::filesystem::remove_all(folder);
  return 0;
}
