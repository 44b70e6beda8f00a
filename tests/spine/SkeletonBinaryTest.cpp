// The skeleton binary reader: everything a file holds, scaling, skins and
// linked meshes, and the refusal of files that index past what they hold.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <unistd.h>

#include "spine/Animation.h"
#include "spine/BoneData.h"
#include "spine/BoundingBoxAttachment.h"
#include "spine/EventData.h"
#include "spine/IkConstraintData.h"
#include "spine/MeshAttachment.h"
#include "spine/PathAttachment.h"
#include "spine/PathConstraintData.h"
#include "spine/RegionAttachment.h"
#include "spine/SkeletonBinary.h"
#include "spine/Skin.h"
#include "spine/SlotData.h"
#include "spine/SpineFixtures.h"
#include "spine/TransformConstraintData.h"

namespace {

using namespace skel;
using spinefix::ReadResult;

class SkeletonBinary : public testing::Test {
 protected:
  ReadResult Load(const skel::Skeleton& model, float scale = 1) {
    return spinefix::Read(Encode(model), atlas_.get(), scale);
  }

  template <class T>
  static const T* Find(const GCore::SkeletonData& data, const char* skin, int slot,
                       const char* name) {
    const GCore::Skin* found = GCore::SkeletonData_findSkin(&data, skin);
    return static_cast<const T*>(GCore::Skin_getAttachment(found, slot, name));
  }

  spinefix::AtlasPtr atlas_ = spinefix::FixtureAtlas();
};

// One bone, one slot showing a region.
skel::Skeleton Minimal() {
  skel::Skeleton s;
  s.bones = {{"root"}};
  s.slots = {{"slot", 0, {}, "head", 0}};
  Attachment head;
  head.key = "head";
  head.width = 32;
  head.height = 32;
  s.defaultSkin.slots = {{0, {head}}};
  return s;
}

TEST_F(SkeletonBinary, ReadsEveryRecordOfTheFullFixture) {
  const ReadResult read = Load(spinefix::FullModel());
  ASSERT_TRUE(read.data) << read.error;
  const GCore::SkeletonData& data = *read.data;
  EXPECT_STREQ(data.hash, "hash");
  EXPECT_STREQ(data.version, "3.6.53");
  EXPECT_EQ(data.width, 100);
  EXPECT_EQ(data.height, 200);

  ASSERT_EQ(data.boneCount, 10);
  EXPECT_EQ(data.bones[0]->parent, nullptr);
  EXPECT_EQ(data.bones[3]->parent, data.bones[2]);
  EXPECT_STREQ(data.bones[3]->name, "upper");
  EXPECT_EQ(data.bones[3]->index, 3);
  EXPECT_EQ(data.bones[1]->x, 10);
  EXPECT_EQ(data.bones[1]->y, 20);
  EXPECT_EQ(data.bones[1]->length, 30);
  EXPECT_EQ(data.bones[5]->scaleX, 1.5f);
  EXPECT_EQ(data.bones[5]->shearX, 5);
  EXPECT_EQ(data.bones[2]->rotation, 90);
  const int modes[] = {0, 0, 2, 0, 3, 4, 1, 0, 0, 0};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(data.bones[i]->transformMode, modes[i]) << i;

  ASSERT_EQ(data.slotCount, 8);
  EXPECT_STREQ(data.slots[0]->name, "body");
  EXPECT_EQ(data.slots[0]->boneData, data.bones[1]);
  EXPECT_FLOAT_EQ(data.slots[0]->g, 128 / 255.0f);
  EXPECT_FLOAT_EQ(data.slots[0]->b, 64 / 255.0f);
  EXPECT_STREQ(data.slots[2]->attachmentName, "arm-mesh");
  EXPECT_EQ(data.slots[6]->attachmentName, nullptr);
  EXPECT_EQ(data.slots[3]->blendMode, 3);

  ASSERT_EQ(data.ikConstraintCount, 2);
  const GCore::IkConstraintData& ik = *data.ikConstraints[0];
  EXPECT_STREQ(ik.name, "arm-ik");
  ASSERT_EQ(ik.bonesCount, 2);
  EXPECT_EQ(ik.bones[1], data.bones[4]);
  EXPECT_EQ(ik.target, data.bones[7]);
  EXPECT_EQ(ik.mix, 0.5f);
  EXPECT_EQ(ik.bendDirection, -1);
  EXPECT_EQ(data.ikConstraints[1]->order, 1);
  ASSERT_EQ(data.transformConstraintCount, 1);
  const GCore::TransformConstraintData& t = *data.transformConstraints[0];
  EXPECT_EQ(t.offsetRotation, 15);
  EXPECT_EQ(t.offsetY, 3);
  EXPECT_EQ(t.offsetShearY, 5);
  EXPECT_EQ(t.shearMix, 0.5f);
  ASSERT_EQ(data.pathConstraintCount, 1);
  const GCore::PathConstraintData& p = *data.pathConstraints[0];
  EXPECT_EQ(p.target, data.slots[5]);
  EXPECT_EQ(p.positionMode, 1);
  EXPECT_EQ(p.spacingMode, 2);
  EXPECT_EQ(p.rotateMode, 1);
  EXPECT_EQ(p.position, 0.25f);
  EXPECT_EQ(p.spacing, 0.1f);

  // The default skin first, then the named skins; the empty one leaves a gap.
  ASSERT_EQ(data.skinCount, 3);
  EXPECT_EQ(data.skins[0], data.defaultSkin);
  EXPECT_STREQ(data.defaultSkin->name, "default");
  EXPECT_STREQ(data.skins[1]->name, "alt");
  EXPECT_EQ(data.skins[2], nullptr);
  EXPECT_EQ(GCore::SkeletonData_findSkin(&data, "default"), data.defaultSkin);
  EXPECT_EQ(GCore::SkeletonData_findSkin(&data, "empty"), nullptr);

  const auto* body = Find<GCore::RegionAttachment>(data, "default", 0, "body");
  ASSERT_TRUE(body);
  EXPECT_STREQ(body->name, "body-region");
  EXPECT_STREQ(body->path, "body");
  EXPECT_EQ(body->rendererObject, GCore::Atlas_findRegion(atlas_.get(), "body"));
  EXPECT_EQ(body->rotation, 10);
  EXPECT_EQ(body->x, 3);
  EXPECT_EQ(body->y, -4);
  EXPECT_FLOAT_EQ(body->g, 100 / 255.0f);
  EXPECT_EQ(body->regionWidth, 64);
  EXPECT_FLOAT_EQ(body->uvs[0], 0.25f) << "a rotated region starts at (u2, v2)";
  EXPECT_FLOAT_EQ(body->uvs[1], 0.5f);
  const auto* head = Find<GCore::RegionAttachment>(data, "default", 1, "head");
  ASSERT_TRUE(head);
  EXPECT_STREQ(head->path, "head") << "the name stands in for a missing path";

  const auto* mesh = Find<GCore::MeshAttachment>(data, "default", 2, "arm-mesh");
  ASSERT_TRUE(mesh);
  EXPECT_EQ(mesh->worldVerticesLength, 8);
  EXPECT_EQ(mesh->verticesCount, 8);
  EXPECT_EQ(mesh->bones, nullptr);
  EXPECT_EQ(mesh->trianglesCount, 6);
  EXPECT_EQ(mesh->hullLength, 8);
  EXPECT_EQ(mesh->edgesCount, 8);
  EXPECT_EQ(mesh->width, 20);
  EXPECT_FLOAT_EQ(mesh->uvs[0], 0);
  EXPECT_FLOAT_EQ(mesh->uvs[1], 0.75f);
  EXPECT_FLOAT_EQ(mesh->uvs[2], 0.25f);

  const auto* weighted = Find<GCore::MeshAttachment>(data, "default", 3, "arm-weighted");
  ASSERT_TRUE(weighted);
  ASSERT_EQ(weighted->bonesCount, 7);
  const int32_t bones[] = {1, 3, 2, 3, 4, 1, 4};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(weighted->bones[i], bones[i]) << i;
  ASSERT_EQ(weighted->verticesCount, 12);
  EXPECT_EQ(weighted->vertices[3], 10);
  EXPECT_EQ(weighted->vertices[5], 0.5f);
  EXPECT_EQ(weighted->worldVerticesLength, 6);

  const auto* box = Find<GCore::BoundingBoxAttachment>(data, "default", 4, "box");
  ASSERT_TRUE(box);
  EXPECT_EQ(box->type, GCore::kAttachmentBoundingBox);
  EXPECT_EQ(box->verticesCount, 6);

  const auto* curve = Find<GCore::PathAttachment>(data, "default", 5, "curve");
  ASSERT_TRUE(curve);
  EXPECT_FALSE(curve->closed);
  EXPECT_TRUE(curve->constantSpeed);
  ASSERT_EQ(curve->lengthsCount, 2);
  EXPECT_EQ(curve->lengths[1], 45);
  EXPECT_TRUE(Find<GCore::PathAttachment>(data, "default", 5, "closed")->closed);

  // Linked meshes share their parent's geometry and own their coordinates.
  const auto* base = Find<GCore::MeshAttachment>(data, "default", 7, "arm-base");
  const auto* linked = Find<GCore::MeshAttachment>(data, "default", 7, "arm-linked");
  ASSERT_TRUE(base && linked);
  EXPECT_EQ(linked->parentMesh, base);
  EXPECT_EQ(linked->vertices, base->vertices);
  EXPECT_EQ(linked->triangles, base->triangles);
  EXPECT_EQ(linked->regionUVs, base->regionUVs);
  EXPECT_EQ(linked->edges, base->edges);
  EXPECT_EQ(linked->hullLength, base->hullLength);
  EXPECT_NE(linked->uvs, base->uvs);
  EXPECT_FLOAT_EQ(linked->uvs[1], base->uvs[1]);
  EXPECT_TRUE(linked->inheritDeform);
  const auto* altBase = Find<GCore::MeshAttachment>(data, "alt", 7, "alt-base");
  EXPECT_EQ(Find<GCore::MeshAttachment>(data, "alt", 7, "arm-linked")->parentMesh, altBase);
  EXPECT_EQ(Find<GCore::MeshAttachment>(data, "alt", 7, "from-default")->parentMesh, base)
      << "no skin name: the parent is in the default skin";

  ASSERT_EQ(data.eventCount, 2);
  EXPECT_STREQ(data.events[0]->name, "step");
  EXPECT_EQ(data.events[0]->intValue, -3);
  EXPECT_EQ(data.events[0]->floatValue, 0.25f);
  EXPECT_STREQ(data.events[0]->stringValue, "boom");
  EXPECT_EQ(data.events[1]->stringValue, nullptr);

  ASSERT_EQ(data.animationCount, 2);
  EXPECT_EQ(GCore::SkeletonData_findAnimation(&data, "walk"), data.animations[0]);
  EXPECT_EQ(data.animations[0]->timelinesCount, 15);
  EXPECT_EQ(data.animations[0]->duration, 1);
  EXPECT_EQ(GCore::SkeletonData_findAnimation(&data, "idle")->timelinesCount, 0);
  EXPECT_EQ(GCore::SkeletonData_findAnimation(&data, "run"), nullptr);
}

TEST_F(SkeletonBinary, HeaderTexts) {
  struct Row {
    Text hash, version;
  };
  for (const Row& row : {Row{std::nullopt, ""}, Row{"", std::nullopt}, Row{"h", "v"}}) {
    skel::Skeleton model = Minimal();
    model.hash = row.hash;
    model.version = row.version;
    const ReadResult read = Load(model);
    ASSERT_TRUE(read.data) << read.error;
    const bool hash = row.hash && !row.hash->empty();
    const bool version = row.version && !row.version->empty();
    EXPECT_EQ(read.data->hash != nullptr, hash) << "none and empty both read as none";
    EXPECT_EQ(read.data->version != nullptr, version);
  }
}

TEST_F(SkeletonBinary, ScaleAppliesToLengthsOnly) {
  skel::Skeleton model = spinefix::FullModel();
  model.paths[0].positionMode = 0;  // fixed: scaled
  model.paths[0].spacingMode = 2;   // percent: not scaled
  model.animations[0].paths[0].timelines[0].keys[1].values = {4};
  const ReadResult one = Load(model), two = Load(model, 2);
  ASSERT_TRUE(one.data && two.data) << one.error << two.error;
  const GCore::SkeletonData &a = *one.data, &b = *two.data;
  EXPECT_EQ(b.bones[1]->x, 2 * a.bones[1]->x);
  EXPECT_EQ(b.bones[1]->y, 2 * a.bones[1]->y);
  EXPECT_EQ(b.bones[1]->length, 2 * a.bones[1]->length);
  EXPECT_EQ(b.bones[5]->scaleX, a.bones[5]->scaleX);
  EXPECT_EQ(b.bones[2]->rotation, a.bones[2]->rotation);
  EXPECT_EQ(b.transformConstraints[0]->offsetX, 2 * a.transformConstraints[0]->offsetX);
  EXPECT_EQ(b.transformConstraints[0]->offsetScaleX, a.transformConstraints[0]->offsetScaleX);
  EXPECT_EQ(b.pathConstraints[0]->position, 2 * a.pathConstraints[0]->position);
  EXPECT_EQ(b.pathConstraints[0]->spacing, a.pathConstraints[0]->spacing);

  const auto* regionA = Find<GCore::RegionAttachment>(a, "default", 0, "body");
  const auto* regionB = Find<GCore::RegionAttachment>(b, "default", 0, "body");
  EXPECT_EQ(regionB->width, 2 * regionA->width);
  EXPECT_EQ(regionB->x, 2 * regionA->x);
  EXPECT_EQ(regionB->scaleX, regionA->scaleX);
  const auto* weightedA = Find<GCore::MeshAttachment>(a, "default", 3, "arm-weighted");
  const auto* weightedB = Find<GCore::MeshAttachment>(b, "default", 3, "arm-weighted");
  EXPECT_EQ(weightedB->vertices[3], 2 * weightedA->vertices[3]) << "coordinates double";
  EXPECT_EQ(weightedB->vertices[5], weightedA->vertices[5]) << "weights do not";
  const auto* meshA = Find<GCore::MeshAttachment>(a, "default", 2, "arm-mesh");
  const auto* meshB = Find<GCore::MeshAttachment>(b, "default", 2, "arm-mesh");
  EXPECT_EQ(meshB->regionUVs[1], meshA->regionUVs[1]);
  EXPECT_EQ(meshB->vertices[0], 2 * meshA->vertices[0]);
  EXPECT_EQ(Find<GCore::PathAttachment>(b, "default", 5, "curve")->lengths[1], 90);
}

TEST_F(SkeletonBinary, EditorDataIsOptional) {
  skel::Skeleton model = spinefix::FullModel();
  model.nonessential = false;
  const ReadResult read = Load(model);
  ASSERT_TRUE(read.data) << read.error;
  const auto* mesh = Find<GCore::MeshAttachment>(*read.data, "default", 2, "arm-mesh");
  EXPECT_EQ(mesh->edges, nullptr);
  EXPECT_EQ(mesh->edgesCount, 0);
  EXPECT_EQ(mesh->width, 0);
  EXPECT_EQ(mesh->height, 0);
  EXPECT_EQ(read.data->animations[0]->timelinesCount, 15);
}

TEST_F(SkeletonBinary, WithoutADefaultSkinNamedSkinsComeFirst) {
  skel::Skeleton model = Minimal();
  Skin named;
  named.name = "named";
  named.slots = Minimal().defaultSkin.slots;
  model.skins = {named};
  model.defaultSkin.slots.clear();
  model.slots[0].attachment = std::nullopt;
  const ReadResult read = Load(model);
  ASSERT_TRUE(read.data) << read.error;
  EXPECT_EQ(read.data->defaultSkin, nullptr);
  ASSERT_EQ(read.data->skinCount, 1);
  EXPECT_STREQ(read.data->skins[0]->name, "named");
}

TEST_F(SkeletonBinary, MissingRegionsLeaveTheirAttachmentsOut) {
  skel::Skeleton model = Minimal();
  Attachment region, mesh = model.defaultSkin.slots[0].attachments[0];
  region.key = "lost-region";
  region.path = "nowhere";
  mesh.key = "lost-mesh";
  mesh.type = kMesh;
  mesh.path = "nowhere";
  mesh.vertices.plain = {0, 0, 1, 0, 0, 1};
  mesh.regionUVs = {0, 0, 1, 0, 0, 1};
  mesh.triangles = {0, 1, 2};
  Attachment linked;
  linked.key = "lost-linked";
  linked.type = kLinkedMesh;
  linked.path = "nowhere";
  linked.parent = "head";
  model.defaultSkin.slots[0].attachments.insert(model.defaultSkin.slots[0].attachments.begin(),
                                                {region, mesh, linked});
  spinefix::PrintCapture printed;
  const ReadResult read = Load(model);
  ASSERT_TRUE(read.data) << read.error;
  EXPECT_EQ(printed.lines(), (std::vector<std::string>{"Region not found: nowhere",
                                                       "Region not found: nowhere",
                                                       "Region not found: nowhere"}));
  const GCore::Skin* skin = read.data->defaultSkin;
  EXPECT_EQ(GCore::Skin_getAttachment(skin, 0, "lost-region"), nullptr);
  EXPECT_EQ(GCore::Skin_getAttachment(skin, 0, "lost-mesh"), nullptr);
  EXPECT_EQ(GCore::Skin_getAttachment(skin, 0, "lost-linked"), nullptr);
  EXPECT_NE(GCore::Skin_getAttachment(skin, 0, "head"), nullptr) << "the record after them reads in step";
}

// Builds a file with `change` applied to the minimal model or the full one.
struct Refusal {
  const char* what;
  std::function<void(skel::Skeleton&)> change;
  const char* message;
};

TEST_F(SkeletonBinary, RefusesFilesThatIndexPastWhatTheyHold) {
  const auto full = [](auto change) {
    return [change](skel::Skeleton& s) {
      s = spinefix::FullModel();
      change(s);
    };
  };
  const Refusal refusals[] = {
      {"parent after its bone", [](skel::Skeleton& s) { s.bones.push_back({"b", 1}); },
       "Invalid parent bone for bone: b"},
      {"slot bone", [](skel::Skeleton& s) { s.slots[0].bone = 1; }, "Invalid bone for slot: slot"},
      {"IK bone count", full([](skel::Skeleton& s) { s.ik[0].bones = {1, 2, 3}; }),
       "IK constraint needs 1 or 2 bones: arm-ik"},
      {"IK without bones", full([](skel::Skeleton& s) { s.ik[0].bones = {}; }),
       "IK constraint needs 1 or 2 bones: arm-ik"},
      {"IK bone", full([](skel::Skeleton& s) { s.ik[0].bones = {3, 10}; }),
       "Invalid bone for IK constraint: arm-ik"},
      {"IK target", full([](skel::Skeleton& s) { s.ik[1].target = 99; }),
       "Invalid target bone for IK constraint: head-ik"},
      {"transform bone", full([](skel::Skeleton& s) { s.transforms[0].bones = {10}; }),
       "Invalid bone for transform constraint: tail-tc"},
      {"transform target", full([](skel::Skeleton& s) { s.transforms[0].target = 10; }),
       "Invalid target bone for transform constraint: tail-tc"},
      {"path bone", full([](skel::Skeleton& s) { s.paths[0].bones = {8, 12}; }),
       "Invalid bone for path constraint: path-pc"},
      {"path target slot", full([](skel::Skeleton& s) { s.paths[0].target = 8; }),
       "Invalid target slot for path constraint: path-pc"},
      {"skin slot", full([](skel::Skeleton& s) { s.skins[0].slots[0].slot = 8; }),
       "Invalid slot for skin: alt"},
      {"weighted bone",
       full([](skel::Skeleton& s) { s.defaultSkin.slots[3].attachments[0].vertices.influences[2][0].bone = 10; }),
       "Invalid bone for attachment: arm-weighted"},
      {"triangles in threes",
       full([](skel::Skeleton& s) { s.defaultSkin.slots[2].attachments[0].triangles.pop_back(); }),
       "Triangles not in threes in mesh: arm-mesh"},
      {"triangle index",
       full([](skel::Skeleton& s) { s.defaultSkin.slots[2].attachments[0].triangles[4] = 4; }),
       "Triangle index past the vertices in mesh: arm-mesh"},
      {"hull", full([](skel::Skeleton& s) { s.defaultSkin.slots[2].attachments[0].hull = 5; }),
       "Hull longer than the vertices in mesh: arm-mesh"},
      {"open path of one curve point",
       full([](skel::Skeleton& s) { s.defaultSkin.slots[5].attachments[0].vertices.plain.resize(10); }),
       "Too few vertices for path: curve"},
      {"closed path without a point",
       full([](skel::Skeleton& s) { s.defaultSkin.slots[5].attachments[1].vertices.influences.resize(2); }),
       "Too few vertices for path: closed"},
      {"attachment type", full([](skel::Skeleton& s) { s.defaultSkin.slots[4].attachments[0].type = 5; }),
       "Unknown attachment type: 5"},
      {"linked mesh parent",
       full([](skel::Skeleton& s) { s.defaultSkin.slots[6].attachments[1].parent = "gone"; }),
       "Parent mesh not found: gone"},
      {"linked mesh parent of another kind",
       [](skel::Skeleton& s) {
         Attachment linked;
         linked.key = "linked";
         linked.type = kLinkedMesh;
         linked.path = "arm";
         linked.parent = "head";
         s.defaultSkin.slots[0].attachments.push_back(linked);
       },
       "Parent mesh not found: head"},
      {"linked mesh skin", full([](skel::Skeleton& s) { s.skins[0].slots[1].attachments[1].skin = "nope"; }),
       "Skin not found: nope"},
      {"linked mesh into the empty skin",
       full([](skel::Skeleton& s) { s.skins[0].slots[1].attachments[1].skin = "empty"; }),
       "Skin not found: empty"},
      {"count beyond the file", [](skel::Skeleton& s) { s.events.resize(1000); },
       "Skeleton file ends early"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    skel::Skeleton model = Minimal();
    refusal.change(model);
    std::vector<uint8_t> bytes = Encode(model);
    if (std::string(refusal.what) == "count beyond the file") bytes.resize(bytes.size() / 2);
    spinefix::PrintCapture quiet;
    const ReadResult read = spinefix::Read(bytes, atlas_.get());
    EXPECT_FALSE(read.data);
    EXPECT_EQ(read.error, refusal.message);
  }
}

TEST_F(SkeletonBinary, RefusesCountsLargerThanTheFileBeforeAllocating) {
  // Each of these counts would ask for gigabytes.
  for (size_t field : {0u, 1u}) {
    skel::Writer w;
    w.String("h");
    w.String("v");
    w.Float(1);
    w.Float(1);
    w.Bool(false);
    if (field == 0) {
      w.Varint(0xFFFFFFFF);  // bones
    } else {
      w.Varint(1);
      w.String("root");
      for (int i = 0; i < 8; ++i) w.Float(0);
      w.Varint(0);
      w.Varint(0x7FFFFFFF);  // slots
    }
    const ReadResult read = spinefix::Read(w.bytes, atlas_.get());
    EXPECT_FALSE(read.data);
    EXPECT_EQ(read.error, "Skeleton file ends early");
  }
}

TEST_F(SkeletonBinary, RefusesDataThatExpandsBeyondTheLimit) {
  // A small file whose deform keys would each copy a large mesh.
  skel::Skeleton model = Minimal();
  Attachment mesh;
  mesh.key = "big";
  mesh.type = kMesh;
  mesh.path = "arm";
  mesh.vertices.plain.assign(2 * 60000, 0);
  mesh.regionUVs.assign(2 * 60000, 0);
  model.defaultSkin.slots[0].attachments.push_back(mesh);
  Animation animation;
  animation.name = "heavy";
  DeformAttachment keys{"big", std::vector<DeformKey>(800, DeformKey{})};
  animation.deforms = {{0, {{0, {keys}}}}};
  model.animations = {animation};
  const ReadResult read = Load(model);
  EXPECT_FALSE(read.data);
  EXPECT_EQ(read.error, "Skeleton data expands beyond the reader's limit");
}

TEST_F(SkeletonBinary, TruncatedFilesEndEarly) {
  const std::vector<uint8_t> bytes = Encode(spinefix::FullModel());
  for (size_t length : {size_t{0}, size_t{3}, bytes.size() / 3, bytes.size() / 2, bytes.size() - 1}) {
    SCOPED_TRACE(length);
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(length));
    spinefix::PrintCapture quiet;
    const ReadResult read = spinefix::Read(cut, atlas_.get());
    EXPECT_FALSE(read.data);
    EXPECT_EQ(read.error, "Skeleton file ends early");
  }
}

TEST_F(SkeletonBinary, ReadsFilesThroughTheHost) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("spine_skel_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::vector<uint8_t> bytes = Encode(Minimal());
  const std::filesystem::path good = folder / "good.skel", empty = folder / "empty.skel";
  std::ofstream(good, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  std::ofstream{empty};

  GCore::SkeletonBinary* reader = GCore::SkeletonBinary_create(atlas_.get());
  spinefix::DataPtr data(GCore::SkeletonBinary_readSkeletonDataFile(reader, good.c_str()));
  EXPECT_TRUE(data);
  EXPECT_EQ(reader->error, nullptr);
  for (const std::filesystem::path& path : {empty, folder / "missing.skel"}) {
    EXPECT_EQ(GCore::SkeletonBinary_readSkeletonDataFile(reader, path.c_str()), nullptr);
    EXPECT_EQ(std::string(reader->error), "Unable to read skeleton file: " + path.string());
  }
  const std::string longDetail(400, 'x');
  GCore::SkeletonBinary_setError(reader, "Message: ", longDetail.c_str());
  EXPECT_EQ(std::string(reader->error), "Message: " + longDetail.substr(0, 255 - 9));
  GCore::SkeletonBinary_dispose(reader);
  std::filesystem::remove_all(folder);
}

}  // namespace
