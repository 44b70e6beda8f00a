// Writes small video clips like those of the video tests into a folder: the
// seeds of the video fuzz target. Usage: video_seed_writer FOLDER
#include <cstdio>
#include <filesystem>
#include <string>

#include "VideoFixtures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  std::filesystem::create_directories(folder);
  struct Seed {
    const char* name;
    int width, height, frames;
    const char* encoder;
  };
  const Seed seeds[] = {
      {"bars", 32, 16, 4, "mpeg4"},
      {"bars-xvid", 32, 16, 4, "libxvid"},
      {"wide", 48, 32, 2, "mpeg4"},
  };
  for (const Seed& seed : seeds) {
    if (!video::EncodeClip(folder + "/" + seed.name + ".m4v", seed.width, seed.height, seed.frames, seed.encoder)) {
      std::fprintf(stderr, "ffmpeg could not make %s\n", seed.name);
      return 1;
    }
  }
  // Hostile streams: headers announcing a large picture that is not there,
  // one within the size limits and one past the pixel budget.
  const Seed headersOnly[] = {{"announced-hd", 1920, 1080, 1, "mpeg4"}, {"announced-huge", 2064, 2048, 1, "mpeg4"}};
  for (const Seed& seed : headersOnly) {
    if (!video::EncodeHeadersOnly(folder + "/" + seed.name + ".m4v", seed.width, seed.height)) {
      std::fprintf(stderr, "ffmpeg could not make %s\n", seed.name);
      return 1;
    }
  }
  return 0;
}
