// Seed of the font fuzzer: the size byte 24, then the tests' font
// (tests/render/data/tiny.ttf, made by scripts/make-test-font.py).
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/SeedFolder.h"

int main(int argc, char** argv) {
  fuzzseeds::SeedFolder seeds;
  if (!seeds.Open(argc, argv, "ttf")) return 2;
  std::ifstream font(QUARVELIN_TEST_DATA "/render/data/tiny.ttf", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(font)), std::istreambuf_iterator<char>());
  if (bytes.empty()) return 1;
  seeds.Write(std::string(1, '\x18') + bytes);
  return 0;
}
