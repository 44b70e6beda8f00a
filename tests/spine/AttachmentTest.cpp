// Attachment geometry: region corners and texture coordinates, mesh
// texture coordinates, and vertex attachments through one bone or weighted
// over several, with deform values.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spine/Bone.h"
#include "spine/MeshAttachment.h"
#include "spine/RegionAttachment.h"
#include "spine/Slot.h"
#include "spine/SpineFixtures.h"
#include "spine/SpineUtil.h"

namespace {

constexpr float kTolerance = 1e-4f;

struct AttachmentDisposer {
  void operator()(GCore::Attachment* a) const { GCore::Attachment_dispose(a); }
};
template <class T>
using Owned = std::unique_ptr<T, AttachmentDisposer>;

std::vector<float> Offsets(const GCore::RegionAttachment& region) {
  return std::vector<float>(region.offset, region.offset + 8);
}

void ExpectNear(const std::vector<float>& actual, const std::vector<float>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], kTolerance) << i;
}

TEST(RegionAttachment, CornerOffsets) {
  struct Row {
    const char* what;
    float x, y, rotation, width, height;
    int regionWidth, regionHeight, originalWidth, originalHeight, offsetX, offsetY;
    std::vector<float> corners;  // (left, bottom), (left, top), (right, top), (right, bottom)
  };
  const Row rows[] = {
      {"upright", 0, 0, 0, 20, 10, 20, 10, 20, 10, 0, 0, {-10, -5, -10, 5, 10, 5, 10, -5}},
      // A quarter turn counter-clockwise about (5, 7): (px, py) -> (-py, px).
      {"quarter turn", 5, 7, 90, 20, 10, 20, 10, 20, 10, 0, 0, {10, -3, 0, -3, 0, 17, 10, 17}},
      // Packed 64 x 32 of an 80 x 40 original, offset (8, 4): the packed
      // rectangle sits inside the original one.
      {"stripped", 0, 0, 0, 80, 40, 64, 32, 80, 40, 8, 4, {-32, -16, -32, 16, 32, 16, 32, -16}},
      // Drawn twice the original size: offsets and packed size double too.
      {"scaled", 0, 0, 0, 160, 80, 64, 32, 80, 40, 8, 4, {-64, -32, -64, 32, 64, 32, 64, -32}},
      // No original size: the packed size stands in for it.
      {"no original size", 0, 0, 0, 20, 10, 10, 5, 0, 0, 0, 0, {-10, -5, -10, 5, 10, 5, 10, -5}},
      {"nothing at all", 0, 0, 0, 20, 10, 0, 0, 0, 0, 0, 0, {-10, -5, -10, -5, -10, -5, -10, -5}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Owned<GCore::RegionAttachment> region(GCore::RegionAttachment_create("r"));
    region->x = row.x;
    region->y = row.y;
    region->rotation = row.rotation;
    region->width = row.width;
    region->height = row.height;
    region->regionWidth = row.regionWidth;
    region->regionHeight = row.regionHeight;
    region->regionOriginalWidth = row.originalWidth;
    region->regionOriginalHeight = row.originalHeight;
    region->regionOffsetX = row.offsetX;
    region->regionOffsetY = row.offsetY;
    GCore::RegionAttachment_updateOffset(region.get());
    ExpectNear(Offsets(*region), row.corners);
  }
}

TEST(RegionAttachment, TextureCoordinatesAndWorldCorners) {
  Owned<GCore::RegionAttachment> region(GCore::RegionAttachment_create("r"));
  GCore::RegionAttachment_setUVs(region.get(), 0.1f, 0.2f, 0.3f, 0.4f, false);
  EXPECT_EQ(std::vector<float>(region->uvs, region->uvs + 8),
            (std::vector<float>{0.1f, 0.4f, 0.1f, 0.2f, 0.3f, 0.2f, 0.3f, 0.4f}));
  GCore::RegionAttachment_setUVs(region.get(), 0.1f, 0.2f, 0.3f, 0.4f, true);
  EXPECT_EQ(std::vector<float>(region->uvs, region->uvs + 8),
            (std::vector<float>{0.3f, 0.4f, 0.1f, 0.4f, 0.1f, 0.2f, 0.3f, 0.2f}));

  const float offsets[8] = {-1, -1, -1, 1, 1, 1, 1, -1};
  std::memcpy(region->offset, offsets, sizeof offsets);
  GCore::Bone bone;
  bone.a = 0, bone.b = -2, bone.c = 2, bone.d = 0, bone.worldX = 10, bone.worldY = 20;
  float world[8];
  GCore::RegionAttachment_computeWorldVertices(region.get(), &bone, world);
  ExpectNear(std::vector<float>(world, world + 8), {12, 18, 8, 18, 8, 22, 12, 22});
}

TEST(MeshAttachment, TextureCoordinatesWithinTheRegion) {
  Owned<GCore::MeshAttachment> mesh(GCore::MeshAttachment_create("m"));
  mesh->regionU = 0.1f, mesh->regionV = 0.2f, mesh->regionU2 = 0.5f, mesh->regionV2 = 0.6f;
  mesh->worldVerticesLength = 4;
  mesh->regionUVs = GCore::NewArray<float>(4);
  const float regionUVs[4] = {0.25f, 0.75f, 1, 0};
  std::memcpy(mesh->regionUVs, regionUVs, sizeof regionUVs);
  GCore::MeshAttachment_updateUVs(mesh.get());
  ExpectNear(std::vector<float>(mesh->uvs, mesh->uvs + 4), {0.2f, 0.5f, 0.5f, 0.2f});
  // Rotated: u from the second of each pair, v from the first, mirrored.
  mesh->regionRotate = true;
  GCore::MeshAttachment_updateUVs(mesh.get());
  ExpectNear(std::vector<float>(mesh->uvs, mesh->uvs + 4), {0.4f, 0.5f, 0.1f, 0.2f});
}

TEST(MeshAttachment, ALinkedMeshLeavesItsParentsGeometryAlone) {
  Owned<GCore::MeshAttachment> parent(GCore::MeshAttachment_create("parent"));
  parent->verticesCount = parent->worldVerticesLength = 2;
  parent->vertices = GCore::NewArray<float>(2);
  parent->triangles = GCore::NewArray<uint16_t>(3);
  parent->trianglesCount = 3;
  GCore::MeshAttachment* child = GCore::MeshAttachment_create("child");
  child->parentMesh = parent.get();
  child->vertices = parent->vertices;
  child->triangles = parent->triangles;
  child->uvs = GCore::NewArray<float>(2);
  GCore::Attachment_dispose(child);
  parent->vertices[1] = 5;  // still owned by the parent
  parent->triangles[2] = 1;
  EXPECT_EQ(parent->vertices[1], 5);
}

// Bones at (10, 0) unturned and at (0, 10) turned 90 degrees.
struct TwoBones {
  spinefix::AtlasPtr atlas = spinefix::FixtureAtlas();
  spinefix::DataPtr data;
  spinefix::SkeletonPtr skeleton;
  GCore::Slot slot;
  TwoBones() {
    skel::Skeleton model;
    model.bones = {{"root"}, {"first", 0, 0, 10, 0}, {"second", 0, 90, 0, 10}};
    data = spinefix::Read(skel::Encode(model), atlas.get()).data;
    skeleton.reset(GCore::Skeleton_create(data.get()));
    GCore::Skeleton_updateWorldTransform(skeleton.get());
    slot.bone = &skeleton->bones[1];
  }
};

Owned<GCore::MeshAttachment> Weighted(const std::vector<int32_t>& bones,
                                      const std::vector<float>& vertices, int32_t vertexCount) {
  Owned<GCore::MeshAttachment> mesh(GCore::MeshAttachment_create("w"));
  mesh->bonesCount = static_cast<int32_t>(bones.size());
  mesh->bones = GCore::NewArray<int32_t>(bones.size());
  std::copy(bones.begin(), bones.end(), mesh->bones);
  mesh->verticesCount = static_cast<int32_t>(vertices.size());
  mesh->vertices = GCore::NewArray<float>(vertices.size());
  std::copy(vertices.begin(), vertices.end(), mesh->vertices);
  mesh->worldVerticesLength = vertexCount * 2;
  return mesh;
}

TEST(VertexAttachment, UnweightedVerticesFollowTheSlotBone) {
  TwoBones s;
  Owned<GCore::MeshAttachment> mesh(GCore::MeshAttachment_create("m"));
  mesh->verticesCount = mesh->worldVerticesLength = 4;
  mesh->vertices = GCore::NewArray<float>(4);
  mesh->vertices[0] = 1, mesh->vertices[2] = 2, mesh->vertices[3] = 3;
  float world[6] = {};
  GCore::VertexAttachment_computeWorldVertices(mesh.get(), 0, 4, &s.slot, world, 2);
  EXPECT_EQ(std::vector<float>(world, world + 6), (std::vector<float>{0, 0, 11, 0, 12, 3}));

  // Deform values replace the vertices; ones of another size are not used.
  float deform[4] = {5, 5, 6, 6};
  s.slot.deform = deform;
  s.slot.deformCount = 4;
  GCore::VertexAttachment_computeWorldVertices(mesh.get(), 2, 2, &s.slot, world, 0);
  EXPECT_EQ(world[0], 16);
  EXPECT_EQ(world[1], 6);
  s.slot.deformCount = 2;
  GCore::VertexAttachment_computeWorldVertices(mesh.get(), 2, 2, &s.slot, world, 0);
  EXPECT_EQ(world[0], 12);
  s.slot.deform = nullptr;
  s.slot.deformCount = 0;
}

TEST(VertexAttachment, WeightedVerticesBlendTheirBones) {
  TwoBones s;
  // Vertex 0 on the first bone alone; vertex 1 a quarter on the first and
  // three quarters on the second: 0.25 (11, 0) + 0.75 (0, 11).
  auto mesh = Weighted({1, 1, 2, 1, 2}, {3, 0, 1, 1, 0, 0.25f, 1, 0, 0.75f}, 2);
  float world[4];
  GCore::VertexAttachment_computeWorldVertices(mesh.get(), 0, 4, &s.slot, world, 0);
  ExpectNear(std::vector<float>(world, world + 4), {13, 0, 2.75f, 8.25f});

  // Deform values move each influence before weighting.
  float deform[6] = {0, 0, 1, 0, 0, 1};
  s.slot.deform = deform;
  s.slot.deformCount = 6;
  GCore::VertexAttachment_computeWorldVertices(mesh.get(), 2, 2, &s.slot, world, 0);
  // First bone: (2, 0) -> (12, 0); second: (1, 1) -> (-1, 11).
  ExpectNear(std::vector<float>(world, world + 2), {0.25f * 12 - 0.75f, 0.75f * 11});
  s.slot.deform = nullptr;
  s.slot.deformCount = 0;
}

TEST(VertexAttachment, StartSkipsTheRunsOfEarlierVertices) {
  TwoBones s;
  // Three vertices: two influences, one, one. From float 4 only the third
  // is computed: its run and triple come after three influences.
  auto mesh = Weighted({2, 1, 2, 1, 1, 1, 2}, {0, 0, 0.5f, 0, 0, 0.5f, 0, 0, 1, 2, 0, 1}, 3);
  float world[2];
  GCore::VertexAttachment_computeWorldVertices(mesh.get(), 4, 2, &s.slot, world, 0);
  ExpectNear(std::vector<float>(world, world + 2), {0, 12});
}

}  // namespace
