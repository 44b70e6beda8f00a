// Seeds of the persisted-stream fuzzer: the example streams of the mutation
// tests, one file each.
#include <cstdio>
#include <string>

#include "fuzz/ErisSandbox.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s folder\n", argv[0]);
    return 2;
  }
  int index = 0;
  for (const auto& example : ErisExampleStreams()) {
    const std::string path = std::string(argv[1]) + "/eris-" + std::to_string(++index);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(example.second.data(), 1, example.second.size(), file) != example.second.size()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    std::fclose(file);
  }
  return 0;
}
