// libFuzzer target of the TMX loader: the input is a map file. Its tilesets'
// external files and images resolve beside it, so an input that names
// "map.tmx" as its tileset image or tsx file feeds itself to those readers
// (the PNG header of a tileset image without a size, a tsx document).
// Built and run by tests/tilemap/CMakeLists.txt; seeds: the sample maps
// under tests/tilemap/data/maps.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "tilemap/TmxMap.h"

namespace {

const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/qv-tmx-fuzz-XXXXXX";
    return std::string(mkdtemp(pattern) ? pattern : "/tmp");
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = Folder() + "/map.tmx";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  tmx::Map map;
  map.load(path);
  return 0;
}
