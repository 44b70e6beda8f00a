// TMX maps from untrusted bytes, read twice: as a map, and as an external
// tileset that a fixed map names. Both sit beside a copy of the tests' map
// folder, so that the relative paths of the seed maps still lead somewhere,
// and the map is "map.tmx": an input that names it as its tileset image or
// tsx file feeds itself to those readers (the PNG header of a tileset image
// without a size, a tsx document).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "fuzz/ScratchFolder.h"
#include "tilemap/TmxMap.h"

namespace {

namespace fs = std::filesystem;

fs::path g_folder;

void WriteFile(const fs::path& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void Load(const fs::path& path) {
  tmx::Map map;
  map.load(path.string());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The loader reports refusals on standard error; the sanitizer's reports
  // do not go through this stream.
  std::cerr.setstate(std::ios::badbit);
  g_folder = fuzzfiles::MakeScratchFolder("qv-tmx-fuzz");
  fs::create_directories(g_folder / "level1");
  fs::copy(fs::path(QUARVELIN_TEST_DATA) / "tilemap/data/maps/sets", g_folder / "sets");
  std::ofstream(g_folder / "level1/host.tmx")
      << "<map version=\"1.0\" orientation=\"orthogonal\" width=\"2\" height=\"2\" tilewidth=\"8\" "
         "tileheight=\"8\"><tileset firstgid=\"1\" source=\"../sets/fuzz.tsx\"/>"
         "<layer name=\"a\" width=\"2\" height=\"2\"><data encoding=\"csv\">1,2,3,4</data></layer>"
         "</map>";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFile(g_folder / "level1/map.tmx", data, size);
  Load(g_folder / "level1/map.tmx");
  WriteFile(g_folder / "sets/fuzz.tsx", data, size);
  Load(g_folder / "level1/host.tmx");
  return 0;
}
