#pragma once
// The skeletal-animation records that the renderer and the resource manager
// read. They are plain records with public fields, in the runtime's field
// order; the runtime itself (readers, posing, animation) builds them.
// Main thread only.
#include <cstdint>
#include <string>

namespace GCore {

class Texture;
struct Skeleton;
struct SkeletonData;
struct Atlas;
struct AnimationStateData;

struct BoneData;

struct Bone {
  const BoneData* data = nullptr;
  Skeleton* skeleton = nullptr;
  Bone* parent = nullptr;
  int32_t childrenCount = 0;
  Bone** children = nullptr;
  float x = 0, y = 0, rotation = 0, scaleX = 1, scaleY = 1, shearX = 0, shearY = 0;
  float ax = 0, ay = 0, arotation = 0, ascaleX = 1, ascaleY = 1, ashearX = 0, ashearY = 0;
  int32_t appliedValid = 0;
  // World transform: bone-space (lx, ly) maps to (a lx + b ly + worldX, c lx + d ly + worldY).
  float a = 1, b = 0, worldX = 0, c = 0, d = 1, worldY = 0;
  int32_t sorted = 0;
};

// Blend modes of a slot: 0 normal, 1 additive, 2 multiply, 3 screen; handed
// unchanged to the renderer's SetBlendMode.
struct SlotData {
  int32_t index = 0;
  const char* name = nullptr;
  const BoneData* boneData = nullptr;
  const char* attachmentName = nullptr;
  float r = 1, g = 1, b = 1, a = 1;
  int32_t blendMode = 0;
};

struct Attachment;

struct Slot {
  const SlotData* data = nullptr;
  Bone* bone = nullptr;
  float r = 1, g = 1, b = 1, a = 1;
  Attachment* attachment = nullptr;
  int32_t deformCapacity = 0;
  int32_t deformCount = 0;
  float* deform = nullptr;
  float attachmentTime = 0;
};

struct Skeleton {
  const SkeletonData* data = nullptr;
  int32_t boneCount = 0;
  Bone* bones = nullptr;
  Bone* root = nullptr;
  int32_t slotCount = 0;
  Slot* slots = nullptr;
};

struct AtlasPage {
  Atlas* atlas = nullptr;
  const char* name = nullptr;
  int32_t format = 0;
  int32_t minFilter = 0, magFilter = 0;
  int32_t uWrap = 1, vWrap = 1;
  Texture* rendererObject = nullptr;  // the engine texture of the page image
  int32_t width = 0, height = 0;
  AtlasPage* next = nullptr;
};

struct AtlasRegion {
  const char* name = nullptr;
  int32_t x = 0, y = 0, width = 0, height = 0;
  float u = 0, v = 0, u2 = 0, v2 = 0;
  int32_t offsetX = 0, offsetY = 0;
  int32_t originalWidth = 0, originalHeight = 0;
  int32_t index = 0;
  bool rotate = false;
  bool flip = false;
  int32_t* splits = nullptr;
  int32_t* pads = nullptr;
  AtlasPage* page = nullptr;
  AtlasRegion* next = nullptr;
};

// Attachment types the renderer draws; others are skipped.
constexpr int32_t kAttachmentRegion = 0;
constexpr int32_t kAttachmentBoundingBox = 1;
constexpr int32_t kAttachmentMesh = 2;
constexpr int32_t kAttachmentPath = 4;

struct AttachmentOps;

struct Attachment {
  const char* name = nullptr;
  int32_t type = kAttachmentRegion;
  const AttachmentOps* ops = nullptr;
};

// Corner order of offsets and texture coordinates: (left, bottom),
// (left, top), (right, top), (right, bottom), x then y.
struct RegionAttachment : Attachment {
  const char* path = nullptr;
  float x = 0, y = 0, scaleX = 1, scaleY = 1, rotation = 0, width = 0, height = 0;
  float r = 1, g = 1, b = 1, a = 1;
  const AtlasRegion* rendererObject = nullptr;
  int32_t regionOffsetX = 0, regionOffsetY = 0;
  int32_t regionWidth = 0, regionHeight = 0;
  int32_t regionOriginalWidth = 0, regionOriginalHeight = 0;
  float offset[8] = {};
  float uvs[8] = {};
};

struct VertexAttachment : Attachment {
  int32_t bonesCount = 0;
  int32_t* bones = nullptr;
  int32_t verticesCount = 0;
  float* vertices = nullptr;
  int32_t worldVerticesLength = 0;  // floats: two per vertex
};

struct MeshAttachment : VertexAttachment {
  const AtlasRegion* rendererObject = nullptr;
  int32_t regionOffsetX = 0, regionOffsetY = 0;
  int32_t regionWidth = 0, regionHeight = 0;
  int32_t regionOriginalWidth = 0, regionOriginalHeight = 0;
  float regionU = 0, regionV = 0, regionU2 = 0, regionV2 = 0;
  bool regionRotate = false;
  const char* path = nullptr;
  float* regionUVs = nullptr;
  float* uvs = nullptr;  // two per vertex, atlas texture coordinates
  int32_t trianglesCount = 0;
  uint16_t* triangles = nullptr;
};

// What the resource manager caches per (project, atlas id, skeleton id).
struct SpineRecord {
  Atlas* atlas = nullptr;
  SkeletonData* skeletonData = nullptr;
  AnimationStateData* stateData = nullptr;
  float extra[2] = {-100.0f, -100.0f};  // read by the skeletal display object
};

// Entry points of the skeletal runtime that the engine core calls. The runtime
// installs its table in g_spineRuntime; while none is installed, skeletal
// resources are not loaded and mesh attachments are not drawn.
struct SpineRuntime {
  Atlas* (*createAtlasFromFile)(const char* path);
  // A binary reader over the atlas with scale 1.0 reads the file and is
  // disposed; on failure the reader's error text is stored in `error`.
  SkeletonData* (*readSkeletonDataFile)(Atlas* atlas, const char* path, std::string& error);
  AnimationStateData* (*createAnimationStateData)(SkeletonData* data);
  void (*disposeSkeletonData)(SkeletonData* data);
  void (*disposeAtlas)(Atlas* atlas);
  void (*disposeAnimationStateData)(AnimationStateData* data);
  // Frees the shared empty animation of animation states; the next state makes it again.
  void (*disposeEmptyAnimation)();
  // World x, y of `count` floats of vertices from float `start`, written to
  // out from `offset` with the given stride.
  void (*computeWorldVertices)(const VertexAttachment* attachment, const Slot* slot, int32_t start,
                               int32_t count, float* out, int32_t offset, int32_t stride);
};

extern const SpineRuntime* g_spineRuntime;

}  // namespace GCore
