// Video decoding speed in pictures a second at 640 x 360 and 1280 x 720, as
// the engine decodes (xvidcore to RGBA, one copy handed out a picture),
// beside ffmpeg decoding the same file to RGBA in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "core/TempRoot.h"
#include "media/Mp3Fixtures.h"
#include "media/VideoDecoder.h"
#include "media/VideoFixtures.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPictures = 250;  // ten seconds at 25 a second
constexpr int kRuns = 3;

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// Plays the whole stream once, a picture every 40 ms; the pictures it gave.
int PlayOnce(const std::string& path) {
  GCore::VideoDecoder decoder;
  if (decoder.Open(path.c_str()) != 0) return 0;
  int pictures = 0;
  while (decoder.Advance(pictures == 0 ? 0 : 40)) ++pictures;
  return pictures;
}

// ffmpeg decoding to RGBA with the given thread count ("0" is its own
// choice); the best of the runs in seconds, or -1.
double Ffmpeg(const std::string& path, const char* threads) {
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    if (!mp3::RunQuietly({"ffmpeg", "-nostdin", "-threads", threads, "-i", path, "-pix_fmt", "rgba", "-f",
                          "null", "-"})) {
      return -1;
    }
    best = std::min(best, Seconds(Clock::now() - start));
  }
  return best;
}

void Size(const TempRoot& root, int width, int height) {
  const std::string name = std::to_string(width) + "x" + std::to_string(height);
  const std::string path = root.Path(name + ".m4v");
  const std::string startPath = root.Path(name + "-start.m4v");
  if (!video::EncodeClip(path, width, height, kPictures) || !video::EncodeClip(startPath, width, height, 1)) {
    std::printf("%s: ffmpeg could not make the clip\n", name.c_str());
    return;
  }
  double best = 1e9;
  int pictures = 0;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    pictures = PlayOnce(path);
    best = std::min(best, Seconds(Clock::now() - start));
  }
  std::printf("%s engine (xvidcore -> RGBA + copy): %d pictures in %.1f ms: %.0f pictures/s\n", name.c_str(),
              pictures, best * 1000, pictures / best);
  // ffmpeg's start-up is measured on a clip of one picture and taken off.
  for (const char* threads : {"1", "0"}) {
    const double whole = Ffmpeg(path, threads);
    const double startUp = Ffmpeg(startPath, threads);
    if (whole < 0 || startUp < 0 || whole <= startUp) {
      std::printf("%s ffmpeg (-threads %s): not measurable\n", name.c_str(), threads);
      continue;
    }
    std::printf("%s ffmpeg (-threads %s, -> RGBA): %.1f ms less %.1f ms of start-up: %.0f pictures/s\n",
                name.c_str(), threads, whole * 1000, startUp * 1000, kPictures / (whole - startUp));
  }
}

}  // namespace

int main() {
  TempRoot root;
  Size(root, 640, 360);
  Size(root, 1280, 720);
  return 0;
}
