// Video decoding at 640 x 360 and 1280 x 720, as the engine decodes (xvidcore
// to RGBA, one copy handed out a picture), beside ffmpeg decoding the same
// file to RGBA on one thread into its null output in the same run. Both are
// timed in user CPU time (getrusage), ffmpeg's from its own `-benchmark`
// line, which covers its decoding alone and not its start; CPU time, not
// wall time, so that other work on the machine does not fall on one side.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "PeerFigures.h"

#include "core/TempRoot.h"
#include "media/VideoDecoder.h"
#include "media/VideoFixtures.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPictures = 250;  // ten seconds at 25 a second
constexpr int kRuns = 3;

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

double UserSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6;
}

// Plays the whole stream once, a picture every 40 ms; the pictures it gave.
int PlayOnce(const std::string& path) {
  GCore::VideoDecoder decoder;
  if (decoder.Open(path.c_str()) != 0) return 0;
  int pictures = 0;
  while (decoder.Advance(pictures == 0 ? 0 : 40)) ++pictures;
  return pictures;
}

// ffmpeg decoding to RGBA on one thread (decoder and filters); the best
// user time of its decoding over the runs, in seconds, or -1.
double Ffmpeg(const std::string& path) {
  double best = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    const std::string command = "ffmpeg -nostdin -benchmark -threads 1 -filter_threads 1 -i '" + path +
                                "' -pix_fmt rgba -f null - 2>&1";
    FILE* output = popen(command.c_str(), "r");
    if (!output) return -1;
    double utime = -1;
    char line[512];
    while (std::fgets(line, sizeof line, output)) {
      if (const char* at = std::strstr(line, "bench: utime=")) utime = std::atof(at + std::strlen("bench: utime="));
    }
    if (pclose(output) != 0 || utime < 0) return -1;
    best = std::min(best, utime);
  }
  return best;
}

void Size(const TempRoot& root, int width, int height) {
  const std::string name = std::to_string(width) + "x" + std::to_string(height);
  const std::string path = root.Path(name + ".m4v");
  if (!video::EncodeClip(path, width, height, kPictures)) {
    std::printf("%s: ffmpeg could not make the clip\n", name.c_str());
    return;
  }
  double best = 1e9;
  double bestUser = 1e9;
  int pictures = 0;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    const double userStart = UserSeconds();
    pictures = PlayOnce(path);
    bestUser = std::min(bestUser, UserSeconds() - userStart);
    best = std::min(best, Seconds(Clock::now() - start));
  }
  std::printf("%s, %d pictures: engine (xvidcore -> RGBA + copy) %.1f ms wall\n", name.c_str(), pictures,
              best * 1000);
  const double ffmpeg = Ffmpeg(path);
  PrintPeerFigures((name + " decode, user time").c_str(), pictures == kPictures ? bestUser * 1000 : -1,
                   "ffmpeg -threads 1", ffmpeg < 0 ? -1 : ffmpeg * 1000);
}

}  // namespace

int main() {
  TempRoot root;
  Size(root, 640, 360);
  Size(root, 1280, 720);
  return 0;
}
