#include "spine/SpineQuadModel.h"

#include <cstdio>
#include <vector>

#include "render/PngFixtures.h"

namespace quadfix {

namespace {

using skel::Attachment;

Attachment Region(const std::string& name, float size) {
  Attachment a;
  a.key = name;
  a.type = skel::kRegion;
  a.width = size;
  a.height = size;
  return a;
}

Attachment SquareMesh(const std::string& name) {
  Attachment a;
  a.key = name;
  a.type = skel::kMesh;
  a.vertices.plain = {0, -10, 20, -10, 20, 10, 0, 10};
  a.regionUVs = {0, 1, 1, 1, 1, 0, 0, 0};
  a.triangles = {0, 1, 2, 0, 2, 3};
  a.hull = 4;
  return a;
}

skel::Key K(float time, std::vector<float> values) {
  return skel::Key{time, std::move(values), {}};
}

}  // namespace

std::string AtlasText(const std::string& page) {
  std::string text =
      "\n" + page + "\nsize: 16,16\nformat: RGBA8888\nfilter: Nearest,Nearest\nrepeat: none\n";
  const char* names[] = {"body", "tip", "glow"};
  for (int i = 0; i < 3; ++i) {
    text += std::string(names[i]) + "\n  rotate: false\n  xy: " + std::to_string(i * 5) +
            ", 0\n  size: 4, 4\n  orig: 4, 4\n  offset: 0, 0\n  index: -1\n";
  }
  return text;
}

const char* const kGameInit =
    "g_dir = { [0x01050000] = 'img' }; g_ext = { [0x50000000] = '.png', [0x80000000] = '.png' }";

skel::Skeleton TwoBoneModel() {
  skel::Skeleton s;
  s.width = 100;
  s.height = 100;
  s.bones = {{"root", 0, 0, 0, 0, 1, 1, 0, 0, 0, 0}, {"arm", 0, 0, kArmX, 0, 1, 1, 0, 0, 20, 0}};
  s.slots = {{"body", 0, {255, 0, 0, 255}, "body", 0},
             {"tip", 1, {0, 0, 255, 255}, "tip", 0},
             {"glow", 0, {0, 255, 0, 255}, "glow", 1}};
  s.defaultSkin.slots = {
      {0, {Region("body", 20)}}, {1, {SquareMesh("tip")}}, {2, {Region("glow", 10)}}};
  s.events = {{"step", 0, 0, std::nullopt}, {"land", 0, 0, std::nullopt}};

  skel::Animation walk;
  walk.name = "walk";
  walk.bones = {{1, {{0, {K(0, {0}), K(1, {90})}}}}};
  walk.events = {
      {0.5f, 0, 7, 1.5f, "left"}, {0.75f, 0, 0, 0, std::nullopt}, {0.9f, 1, 0, 0, std::nullopt}};
  skel::Animation jump;
  jump.name = "jump";
  jump.bones = {{1, {{1, {K(0, {0, 0}), K(0.5f, {0, 10})}}}}};
  skel::Animation idle;
  idle.name = "idle";
  idle.bones = {{1, {{0, {K(0, {0}), K(1, {0})}}}}};
  s.animations = {walk, jump, idle};
  return s;
}

void WriteSkeleton(const TempRoot& root, const std::string& project, uint32_t id,
                   const skel::Skeleton& model) {
  char stem[32];
  std::snprintf(stem, sizeof stem, "/img/%03x/%x", (id >> 4) & 0xFFF, id & 0xF);
  const std::string base = project + stem;
  const std::vector<uint8_t> skel = skel::Encode(model);
  root.Write(base + ".skel", std::string(skel.begin(), skel.end()));
  const std::string page = base.substr(base.find_last_of('/') + 1) + ".png";
  root.Write(base + ".atlas", AtlasText(page));
  const std::vector<uint8_t> png =
      testpng::EncodeRgba(16, 16, std::vector<uint8_t>(16 * 16 * 4, 255));
  root.Write(base + ".png", std::string(png.begin(), png.end()));
}

}  // namespace quadfix
