#pragma once
// What every seed writer of a fuzzer does: take the folder from its command
// line and write numbered files into it.
#include <cstdio>
#include <fstream>
#include <string>

namespace fuzzseeds {

class SeedFolder {
 public:
  // False (after a usage line) when the command line names no folder.
  bool Open(int argc, char** argv, const char* prefix) {
    if (argc != 2) {
      std::fprintf(stderr, "usage: %s folder\n", argv[0]);
      return false;
    }
    folder_ = argv[1];
    prefix_ = prefix;
    return true;
  }

  template <typename Bytes>
  void Write(const Bytes& bytes) {
    const std::string path = folder_ + "/" + prefix_ + "-" + std::to_string(++count_);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

 private:
  std::string folder_;
  std::string prefix_;
  int count_ = 0;
};

}  // namespace fuzzseeds
