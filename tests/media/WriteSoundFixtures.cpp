// Writes the sound tests' MP3 fixtures into a folder: the seeds of the MP3
// fuzz target. Usage: mp3_seed_writer FOLDER
#include <cstdio>
#include <filesystem>
#include <string>

#include "SoundFixtures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const audio_test::SoundFixtures& fixtures = audio_test::SoundFixtures::Get();
  if (!fixtures.Ready()) {
    std::fprintf(stderr, "lame or ffmpeg could not make the fixtures\n");
    return 1;
  }
  std::filesystem::create_directories(argv[1]);
  for (const std::string& name : fixtures.Names()) {
    mp3::WriteFile(std::string(argv[1]) + "/" + name + ".mp3", fixtures.Bytes(name));
  }
  return 0;
}
