// Writes the demo's skeleton with the tests' skeleton writer: a tentacle of
// six bones with round segments, an eye and a mesh fin, which sways (2 s,
// looping, a "tick" event at each end of the swing) and curls (1 s, once).
// Resource id 0x81050011 of a root whose folder 0x105 is "img": the files
// "001/1.skel", "001/1.atlas" and the page "001/1.png" under that folder.
//
// Usage: make_demo_skeleton IMG_FOLDER...   (e.g. demo/loader/img)
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "render/PngFixtures.h"
#include "spine/SkelWriter.h"

namespace {

constexpr int kSegments = 6;
constexpr int kPage = 64;

skel::Key K(float time, std::vector<float> values, skel::Curve curve = {}) {
  return skel::Key{time, std::move(values), curve};
}

const skel::Curve kEase{2, 0.4f, 0, 0.6f, 1};

skel::Attachment Region(const std::string& name, const std::string& path, float size) {
  skel::Attachment a;
  a.key = name;
  a.type = skel::kRegion;
  a.path = path;
  a.width = a.height = size;
  return a;
}

skel::Skeleton Tentacle() {
  skel::Skeleton s;
  s.width = 200;
  s.height = 300;
  // The root sits at the quad's pivot; the tentacle stands on a point 130
  // units below it.
  s.bones.push_back({"root", 0, 0, 0, 0, 1, 1, 0, 0, 0, 0});
  for (int i = 0; i < kSegments; ++i) {
    const uint32_t parent = static_cast<uint32_t>(i);
    s.bones.push_back({"seg" + std::to_string(i), parent, i == 0 ? 90.0f : 0.0f,
                       i == 0 ? 0.0f : 44.0f, i == 0 ? -130.0f : 0.0f, 1, 1, 0, 0, 44, 0});
  }
  // The fin under the segments, then the segments from the base up, the eye on top.
  s.slots.push_back({"fin", kSegments, {120, 200, 255, 255}, "fin", 0});
  s.defaultSkin.slots.push_back({0, {}});
  skel::Attachment fin;
  fin.key = "fin";
  fin.type = skel::kMesh;
  fin.path = "fin";
  fin.vertices.plain = {-10, -30, 40, 0, -10, 30, 0, 0};
  fin.regionUVs = {0, 1, 1, 0.5f, 0, 0, 0.25f, 0.5f};
  fin.triangles = {0, 1, 3, 3, 1, 2};
  fin.hull = 3;
  s.defaultSkin.slots.back().attachments.push_back(fin);
  for (int i = 0; i < kSegments; ++i) {
    const uint8_t green = static_cast<uint8_t>(230 - i * 20);
    const uint8_t blue = static_cast<uint8_t>(120 + i * 22);
    const std::string name = "seg" + std::to_string(i);
    s.slots.push_back({name, static_cast<uint32_t>(i + 1), {90, green, blue, 255}, name, 0});
    s.defaultSkin.slots.push_back(
        {static_cast<uint32_t>(s.slots.size() - 1), {Region(name, "disc", 60.0f - 6.0f * i)}});
  }
  s.slots.push_back({"eye", kSegments, {}, "eye", 0});
  s.defaultSkin.slots.push_back(
      {static_cast<uint32_t>(s.slots.size() - 1), {Region("eye", "eye", 22)}});
  s.events = {{"tick", 0, 0, std::nullopt}};

  skel::Animation sway;
  sway.name = "sway";
  skel::Animation curl;
  curl.name = "curl";
  for (int i = 0; i < kSegments; ++i) {
    const uint32_t bone = static_cast<uint32_t>(i + 1);
    // Keys turn a bone from its setup pose.
    const float base = 0;
    const float swing = 6.0f + 3.0f * i;
    // Each segment turns a little later than the one below it; at time 0
    // (and 2) it is on its way from -swing to +swing.
    const float lag = 0.08f * i;
    const float start = base + swing * (1 - 2 * lag);
    sway.bones.push_back({bone,
                          {{0,
                            {K(0, {start}), K(lag, {base + swing}, kEase),
                             K(1 + lag, {base - swing}), K(2, {start})}}}});
    curl.bones.push_back(
        {bone, {{0, {K(0, {base}, kEase), K(0.5f, {base + 32}, kEase), K(1, {base})}}}});
  }
  sway.events = {{0, 0, 0, 0, std::string("left")}, {1, 0, 0, 0, std::string("right")}};
  s.animations = {sway, curl};
  return s;
}

std::string Atlas() {
  return "\n1.png\nsize: 64,64\nformat: RGBA8888\nfilter: Linear,Linear\nrepeat: none\n"
         "disc\n  rotate: false\n  xy: 0, 0\n  size: 32, 32\n  orig: 32, 32\n  offset: 0, 0\n  "
         "index: -1\n"
         "eye\n  rotate: false\n  xy: 32, 0\n  size: 16, 16\n  orig: 16, 16\n  offset: 0, 0\n  "
         "index: -1\n"
         "fin\n  rotate: false\n  xy: 0, 32\n  size: 32, 32\n  orig: 32, 32\n  offset: 0, 0\n  "
         "index: -1\n";
}

// White shapes with soft edges: a disc, an eye with its pupil, a fin.
std::vector<uint8_t> Page() {
  std::vector<uint8_t> rgba(kPage * kPage * 4, 0);
  auto put = [&](int x, int y, uint8_t grey, float coverage) {
    uint8_t* p = &rgba[(static_cast<size_t>(y) * kPage + x) * 4];
    p[0] = p[1] = p[2] = grey;
    p[3] = static_cast<uint8_t>(std::lround(std::fmin(1.0f, std::fmax(0.0f, coverage)) * 255));
  };
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const float d = std::hypot(x + 0.5f - 16, y + 0.5f - 16);
      put(x, y, static_cast<uint8_t>(255 - d * 3), 15.5f - d);
      const float wedge = 1.0f - std::fabs(y + 0.5f - 16) / 16 - (x + 0.5f) / 64;
      put(x, 32 + y, 255, wedge * 8);
    }
  }
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const float d = std::hypot(x + 0.5f - 8, y + 0.5f - 8);
      put(32 + x, y, d < 3.5f ? 20 : 255, 7.5f - d);
    }
  }
  return rgba;
}

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s IMG_FOLDER...\n", argv[0]);
    return 2;
  }
  const std::vector<uint8_t> skeleton = skel::Encode(Tentacle());
  const std::string atlas = Atlas();
  const std::vector<uint8_t> page = testpng::EncodeRgba(kPage, kPage, Page());
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path folder = std::filesystem::path(argv[i]) / "001";
    std::filesystem::create_directories(folder);
    Write(folder / "1.skel", skeleton);
    Write(folder / "1.atlas", std::vector<uint8_t>(atlas.begin(), atlas.end()));
    Write(folder / "1.png", page);
  }
  return 0;
}
