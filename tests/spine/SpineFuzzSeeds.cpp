// Writes the fuzz corpus of the skeletal runtime: the skeleton fixtures under
// <folder>/skel and atlas texts under <folder>/atlas.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "spine/SpineFixtures.h"

namespace {

bool Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s folder\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder / "skel");
  std::filesystem::create_directories(folder / "atlas");
  skel::Skeleton plain = spinefix::FullModel();
  plain.nonessential = false;
  const std::string atlas = spinefix::kAtlasText;
  const bool written =
      Write(folder / "skel" / "full.skel", skel::Encode(spinefix::FullModel())) &&
      Write(folder / "skel" / "plain.skel", skel::Encode(plain)) &&
      Write(folder / "skel" / "bench.skel", skel::Encode(spinefix::BenchModel())) &&
      Write(folder / "atlas" / "fixture.atlas", Bytes(atlas)) &&
      Write(folder / "atlas" / "crlf.atlas", Bytes("p.png\r\nformat: RGBA8888\r\nfilter: Linear,Linear\r\n"
                                                   "repeat: xy\r\nhead\r\nrotate: true\r\nxy: 1, 2\r\n"
                                                   "size: 3, 4\r\norig: 3, 4\r\noffset: 0, 0\r\nindex: -1\r\n"));
  if (!written) {
    std::fprintf(stderr, "cannot write the corpus under %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
