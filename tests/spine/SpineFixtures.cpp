#include "spine/SpineFixtures.h"

#include <cmath>
#include <limits>

#include "spine/Animation.h"
#include "spine/Attachment.h"
#include "spine/Bone.h"
#include "spine/RegionAttachment.h"
#include "spine/SkeletonBinary.h"
#include "spine/Slot.h"
#include "spine/Timeline.h"
#include "spine/VertexAttachment.h"

namespace spinefix {

using namespace skel;

const char* const kAtlasText =
    "\n"
    "page.png\n"
    "size: 256,128\n"
    "format: RGBA8888\n"
    "filter: Linear,Linear\n"
    "repeat: none\n"
    "head\n"
    "  rotate: false\n"
    "  xy: 0, 0\n"
    "  size: 32, 32\n"
    "  orig: 32, 32\n"
    "  offset: 0, 0\n"
    "  index: -1\n"
    "body\n"
    "  rotate: true\n"
    "  xy: 32, 0\n"
    "  size: 64, 32\n"
    "  orig: 64, 32\n"
    "  offset: 0, 0\n"
    "  index: -1\n"
    "arm\n"
    "  rotate: false\n"
    "  xy: 0, 64\n"
    "  size: 64, 32\n"
    "  split: 1, 2, 3, 4\n"
    "  pad: 5, 6, 7, 8\n"
    "  orig: 80, 40\n"
    "  offset: 8, 4\n"
    "  index: 2\n";

AtlasPtr ParseAtlas(const std::string& text) {
  return AtlasPtr(GCore::Atlas_create(text.data(), text.size(), ""));
}

AtlasPtr FixtureAtlas() { return ParseAtlas(kAtlasText); }

ReadResult Read(const std::vector<uint8_t>& bytes, const GCore::Atlas* atlas, float scale) {
  GCore::SkeletonBinary* reader = GCore::SkeletonBinary_create(atlas);
  reader->scale = scale;
  ReadResult result;
  result.data.reset(GCore::SkeletonBinary_readSkeletonData(reader, bytes.data(), bytes.size()));
  if (reader->error) result.error = reader->error;
  GCore::SkeletonBinary_dispose(reader);
  return result;
}

Posed::Posed(const skel::Skeleton& model) : atlas(FixtureAtlas()) {
  ReadResult read = Read(Encode(model), atlas.get());
  data = std::move(read.data);
  error = read.error;
  if (data) skeleton.reset(GCore::Skeleton_create(data.get()));
}

namespace {

Attachment Region(const std::string& key, Text path = std::nullopt) {
  Attachment a;
  a.key = key;
  a.type = kRegion;
  a.path = std::move(path);
  a.rotation = 10;
  a.x = 3;
  a.y = -4;
  a.width = 32;
  a.height = 32;
  a.colour = {200, 100, 50, 255};
  return a;
}

// A quad mesh over the "arm" region, unweighted.
Attachment QuadMesh(const std::string& key) {
  Attachment a;
  a.key = key;
  a.type = kMesh;
  a.path = "arm";
  a.vertices.plain = {-10, -5, 10, -5, 10, 5, -10, 5};
  a.regionUVs = {0, 1, 1, 1, 1, 0, 0, 0};
  a.triangles = {0, 1, 2, 2, 3, 0};
  a.hull = 4;
  a.edges = {0, 2, 2, 4, 4, 6, 6, 0};
  a.width = 20;
  a.height = 10;
  return a;
}

Attachment WeightedMesh(const std::string& key, uint32_t boneA, uint32_t boneB) {
  Attachment a;
  a.key = key;
  a.type = kMesh;
  a.path = "arm";
  a.vertices.weighted = true;
  a.vertices.influences = {{{boneA, 0, 0, 1}},
                           {{boneA, 10, 0, 0.5f}, {boneB, 0, 0, 0.5f}},
                           {{boneB, 10, 5, 1}}};
  a.regionUVs = {0, 0, 0.5f, 0.5f, 1, 1};
  a.triangles = {0, 1, 2};
  a.hull = 3;
  return a;
}

Attachment LinkedMesh(const std::string& key, Text skin, const std::string& parent) {
  Attachment a;
  a.key = key;
  a.type = kLinkedMesh;
  a.path = "arm";
  a.skin = std::move(skin);
  a.parent = parent;
  a.inheritDeform = true;
  a.width = 20;
  a.height = 10;
  return a;
}

Attachment PathAttachment(const std::string& key, bool closed, bool constantSpeed, bool weighted) {
  Attachment a;
  a.key = key;
  a.type = kPath;
  a.closed = closed;
  a.constantSpeed = constantSpeed;
  const std::vector<float> points = {-10, 0, 0, 0, 10, 0, 20, 0, 30, 10, 40, 20};
  if (weighted) {
    a.vertices.weighted = true;
    for (size_t i = 0; i < points.size(); i += 2) {
      a.vertices.influences.push_back({{0, points[i], points[i + 1], 0.25f},
                                       {1, points[i], points[i + 1], 0.75f}});
    }
  } else {
    a.vertices.plain = points;
  }
  a.lengths = {20, 45};
  return a;
}

Key K(float time, std::vector<float> values, Curve curve = {}) {
  return Key{time, std::move(values), curve};
}

const Curve kStepped{1};
const Curve kBezier{2, 0.25f, 0.1f, 0.75f, 0.9f};
const Curve kUnknownCurve{7};

Animation WalkAnimation() {
  Animation a;
  a.name = "walk";
  SlotTimeline attachments{0, {{0, "head"}, {0.5f, std::nullopt}, {1, "head"}}, {}};
  SlotTimeline colours{1, {}, {K(0, {255, 0, 0, 255}, kStepped), K(0.5f, {0, 255, 0, 128}), K(1, {0, 0, 255, 0})}};
  a.slots = {{1, {attachments, colours}}};
  a.bones = {{3,
              {{0, {K(0, {0}, kBezier), K(0.5f, {170}, kUnknownCurve), K(1, {-170})}},
               {1, {K(0, {0, 0}, kStepped), K(1, {10, 20})}},
               {2, {K(0, {1, 1}), K(1, {2, -1})}},
               {3, {K(0, {0, 0}), K(1, {5, 5})}}}}};
  a.ik = {{0, {K(0, {1, 1}), K(1, {0, -1})}}};
  a.transforms = {{0, {K(0, {1, 1, 1, 1}), K(1, {0, 0, 0, 0})}}};
  a.paths = {{0,
              {{0, {K(0, {0}), K(1, {1})}},
               {1, {K(0, {0}), K(1, {0.5f})}},
               {2, {K(0, {1, 1}), K(1, {0, 0})}}}}};
  a.deforms = {{0,
                {{2,
                  {{"arm-mesh",
                    {{0, 0, {}, kBezier}, {0.5f, 2, {1, 2, 3}, {}}, {1, 0, {1, 1, 1, 1, 1, 1, 1, 1}, {}}}}}},
                 {3, {{"arm-weighted", {{0, 1, {4, 4}, {}}, {1, 0, {}, {}}}}}}}}};
  a.drawOrder = {{0, {{2, -2}}}, {0.5f, {}}, {1, {{0, 3}, {4, -2}}}};
  a.events = {{0.2f, 0, 7, 1.5f, "own"}, {0.2f, 1, 0, 0, std::nullopt}, {0.7f, 0, -5, 0, std::nullopt}};
  return a;
}

}  // namespace

skel::Skeleton FullModel() {
  skel::Skeleton s;
  s.nonessential = true;
  s.bones = {
      {"root", 0, 0, 0, 0, 1, 1, 0, 0, 0, 0},
      {"hip", 0, 0, 10, 20, 1, 1, 0, 0, 30, 0},
      {"torso", 1, 90, 0, 0, 1, 1, 0, 0, 40, 2},
      {"upper", 2, 30, 40, 0, 1, 1, 0, 0, 50, 0},
      {"lower", 3, 0, 50, 0, 1, 1, 0, 0, 40, 3},
      {"head", 2, 0, 40, 0, 1.5f, 1, 5, 0, 20, 4},
      {"tail", 1, 180, 0, 0, 1, 1, 0, 0, 15, 1},
      {"target", 0, 0, 60, 60, 1, 1, 0, 0, 0, 0},
      {"pathA", 0, 0, 0, 0, 1, 1, 0, 0, 10, 0},
      {"pathB", 8, 0, 10, 0, 1, 1, 0, 0, 10, 9},
  };
  s.slots = {
      {"body", 1, {255, 128, 64, 255}, "body", 0},  {"head", 5, {}, "head", 1},
      {"arm", 3, {}, "arm-mesh", 2},                {"forearm", 4, {}, "arm-weighted", 3},
      {"box", 2, {}, "box", 0},                     {"curve", 0, {}, "curve", 0},
      {"tail", 6, {}, std::nullopt, 0},             {"linked", 4, {}, "arm-linked", 0},
  };
  s.ik = {{"arm-ik", 0, {3, 4}, 7, 0.5f, -1}, {"head-ik", 1, {5}, 7, 1, 1}};
  s.transforms = {{"tail-tc", 2, {6}, 7, 15, 2, 3, 0.1f, 0.2f, 5, 0.5f, 0.5f, 0.5f, 0.5f}};
  s.paths = {{"path-pc", 3, {8, 9}, 5, 1, 2, 1, 0, 0.25f, 0.1f, 1, 1}};

  Attachment box;
  box.key = "box";
  box.type = kBoundingBox;
  box.vertices.plain = {0, 0, 10, 0, 0, 10};
  Attachment body = Region("body");
  body.name = "body-region";
  body.path = "body";
  s.defaultSkin.slots = {
      {0, {body}},
      {1, {Region("head")}},
      {2, {QuadMesh("arm-mesh")}},
      {3, {WeightedMesh("arm-weighted", 3, 4)}},
      {4, {box}},
      {5,
       {PathAttachment("curve", false, true, false), PathAttachment("closed", true, false, true),
        PathAttachment("closed-speed", true, true, false), PathAttachment("open", false, false, true)}},
      {7, {QuadMesh("arm-base"), LinkedMesh("arm-linked", std::nullopt, "arm-base")}},
  };
  Skin alt;
  alt.name = "alt";
  alt.slots = {{1, {Region("head", "head")}},
               {7, {QuadMesh("alt-base"), LinkedMesh("arm-linked", "alt", "alt-base"),
                    LinkedMesh("from-default", std::nullopt, "arm-base")}}};
  Skin empty;
  empty.name = "empty";
  s.skins = {alt, empty};
  s.events = {{"step", -3, 0.25f, "boom"}, {"quiet", 0, 0, std::nullopt}};
  Animation idle;
  idle.name = "idle";
  s.animations = {WalkAnimation(), idle};
  return s;
}

skel::Skeleton BenchModel() {
  skel::Skeleton s;
  s.bones.push_back({"root", 0, 0, 0, 0, 1, 1, 0, 0, 0, 0});
  // Five limbs of eleven bones and a spine of four: 60 bones.
  for (uint32_t limb = 0; limb < 5; ++limb) {
    uint32_t parent = 0;
    for (uint32_t i = 0; i < 11; ++i) {
      const float angle = static_cast<float>(limb) * 72 + (i == 0 ? 0 : 5);
      s.bones.push_back({"limb" + std::to_string(limb) + "_" + std::to_string(i), parent, angle,
                         i == 0 ? 0.0f : 12.0f, 0, 1, 1, 0, 0, 12, i == 5 ? 2u : 0u});
      parent = static_cast<uint32_t>(s.bones.size() - 1);
    }
  }
  for (uint32_t i = 0; i < 4; ++i) {
    s.bones.push_back({"spine" + std::to_string(i), i == 0 ? 0 : static_cast<uint32_t>(s.bones.size() - 1),
                       90, 10, 0, 1, 1, 0, 0, 10, 0});
  }
  for (uint32_t i = 0; i < 38; ++i) {
    const uint32_t bone = 1 + i * 59 / 38;
    const std::string name = "slot" + std::to_string(i);
    s.slots.push_back({name, bone, {}, name, 0});
    s.defaultSkin.slots.push_back({i, {Region(name, i % 2 ? "head" : "body")}});
  }
  // Two meshes weighted over a limb each, 32 vertices.
  for (uint32_t m = 0; m < 2; ++m) {
    const uint32_t slot = static_cast<uint32_t>(s.slots.size());
    const std::string name = "mesh" + std::to_string(m);
    s.slots.push_back({name, 1 + m * 11, {}, name, 0});
    Attachment mesh;
    mesh.key = name;
    mesh.type = kMesh;
    mesh.path = "arm";
    mesh.vertices.weighted = true;
    for (uint32_t v = 0; v < 32; ++v) {
      const uint32_t bone = 1 + m * 11 + v % 10;
      const float x = static_cast<float>(v % 8) * 4, y = static_cast<float>(v / 8) * 4;
      mesh.vertices.influences.push_back({{bone, x, y, 0.6f}, {bone + 1, x - 12, y, 0.4f}});
      mesh.regionUVs.push_back(static_cast<float>(v % 8) / 7);
      mesh.regionUVs.push_back(static_cast<float>(v / 8) / 3);
    }
    for (uint16_t row = 0; row < 3; ++row) {
      for (uint16_t col = 0; col < 7; ++col) {
        const uint16_t a = static_cast<uint16_t>(row * 8 + col);
        mesh.triangles.insert(mesh.triangles.end(),
                              {a, static_cast<uint16_t>(a + 1), static_cast<uint16_t>(a + 8),
                               static_cast<uint16_t>(a + 1), static_cast<uint16_t>(a + 9),
                               static_cast<uint16_t>(a + 8)});
      }
    }
    mesh.hull = 8;
    s.defaultSkin.slots.push_back({slot, {mesh}});
  }
  // The IK chain: the last two bones of limb 2 reach for limb 3's tip.
  s.ik = {{"reach", 0, {31, 32}, 44, 1, 1}};

  Animation run;
  run.name = "run";
  for (uint32_t bone = 1; bone < 60; bone += 2) {
    run.bones.push_back({bone,
                         {{0, {K(0, {0}, kBezier), K(0.5f, {30}), K(1, {0})}},
                          {1, {K(0, {0, 0}), K(0.5f, {2, 1}), K(1, {0, 0})}}}});
  }
  run.ik = {{0, {K(0, {1, 1}), K(1, {0.5f, 1})}}};
  run.deforms = {{0, {{39, {{"mesh1", {{0, 0, {}, {}}, {0.5f, 0, std::vector<float>(128, 0.5f), {}}, {1, 0, {}, {}}}}}}}}};
  s.animations = {run};
  return s;
}

namespace {

void ComputeVertices(GCore::Skeleton* skeleton) {
  std::vector<float> world;
  for (int32_t i = 0; i < skeleton->slotCount; ++i) {
    const GCore::Slot& slot = *skeleton->drawOrder[i];
    const GCore::Attachment* attachment = slot.attachment;
    if (!attachment) continue;
    if (attachment->type == GCore::kAttachmentRegion) {
      float corners[8];
      GCore::RegionAttachment_computeWorldVertices(
          static_cast<const GCore::RegionAttachment*>(attachment), slot.bone, corners);
    } else if (GCore::Attachment_hasVertices(attachment)) {
      const auto* vertices = static_cast<const GCore::VertexAttachment*>(attachment);
      world.resize(static_cast<size_t>(vertices->worldVerticesLength));
      GCore::VertexAttachment_computeWorldVertices(vertices, 0, vertices->worldVerticesLength,
                                                   &slot, world.data(), 0);
    }
  }
}

void Pose(GCore::Skeleton* skeleton) {
  GCore::Skeleton_updateWorldTransform(skeleton);
  ComputeVertices(skeleton);
}

}  // namespace

void Exercise(const GCore::SkeletonData* data) {
  SkeletonPtr skeleton(GCore::Skeleton_create(data));
  Pose(skeleton.get());
  StateDataPtr mixes(GCore::AnimationStateData_create(data));
  mixes->defaultMix = 0.25f;
  StatePtr state(GCore::AnimationState_create(mixes.get()));
  for (int32_t i = 0; i < data->animationCount; ++i) {
    GCore::AnimationState_setAnimation(state.get(), data->animations[i], i % 2 == 0);
    for (int step = 0; step < 4; ++step) {
      GCore::AnimationState_update(state.get(), 0.15f);
      GCore::AnimationState_apply(state.get(), skeleton.get());
      Pose(skeleton.get());
    }
  }
  GCore::AnimationState_clearTrack(state.get());

  // Each timeline alone, at every kind of time and blend.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::vector<GCore::Event*> fired;
  for (int32_t i = 0; i < data->animationCount; ++i) {
    const GCore::Animation& animation = *data->animations[i];
    const float end = animation.duration;
    for (int32_t t = 0; t < animation.timelinesCount; ++t) {
      for (float time : {-1.0f, 0.0f, end * 0.3f, end, end + 1, nan}) {
        for (int blend = 0; blend < 4; ++blend) {
          GCore::Timeline_apply(animation.timelines[t], skeleton.get(), end * 0.5f, time, &fired,
                                blend < 2 ? 1.0f : 0.5f, blend % 2 == 0, blend == 3);
        }
      }
    }
    Pose(skeleton.get());
    fired.clear();
  }
  GCore::Skeleton_setBonesToSetupPose(skeleton.get());
  GCore::Skeleton_setSlotsToSetupPose(skeleton.get());
  Pose(skeleton.get());
}

namespace {

std::vector<std::string>& CapturedLines() {
  static std::vector<std::string> lines;
  return lines;
}

void Capture(const char* line) { CapturedLines().push_back(line); }

}  // namespace

PrintCapture::PrintCapture() {
  static GCore::SpineHost host;
  host = GCore::SpineHost_get();
  host.print = Capture;
  CapturedLines().clear();
  GCore::SpineHost_install(&host);
}

PrintCapture::~PrintCapture() { GCore::SpineHost_install(nullptr); }

const std::vector<std::string>& PrintCapture::lines() const { return CapturedLines(); }

}  // namespace spinefix
