// Writes seeds of the skeletal runtime's fuzzers into a folder: the skeleton
// fixtures (kind "skel") or atlas texts (kind "atlas").
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
  const std::string kind = argc == 3 ? argv[2] : "";
  if (kind != "skel" && kind != "atlas") {
    std::fprintf(stderr, "usage: %s folder skel|atlas\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  bool written = true;
  if (kind == "skel") {
    skel::Skeleton plain = spinefix::FullModel();
    plain.nonessential = false;
    written = Write(folder / "full.skel", skel::Encode(spinefix::FullModel())) &&
              Write(folder / "plain.skel", skel::Encode(plain)) &&
              Write(folder / "bench.skel", skel::Encode(spinefix::BenchModel()));
  } else {
    written = Write(folder / "fixture.atlas", Bytes(spinefix::kAtlasText)) &&
              Write(folder / "crlf.atlas", Bytes("p.png\r\nformat: RGBA8888\r\nfilter: Linear,Linear\r\n"
                                                 "repeat: xy\r\nhead\r\nrotate: true\r\nxy: 1, 2\r\n"
                                                 "size: 3, 4\r\norig: 3, 4\r\noffset: 0, 0\r\nindex: -1\r\n"));
  }
  if (!written) {
    std::fprintf(stderr, "cannot write the seeds into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
