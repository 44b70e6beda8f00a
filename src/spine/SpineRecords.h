#pragma once
// What the engine (renderer, display objects, resource manager) reads of the
// skeletal runtime: the posed skeleton, its attachments and the atlas, plus
// the record the resource manager caches and the runtime entry points it
// calls. The runtime's own headers hold the rules of each record. Main
// thread only.
#include <cstdint>
#include <string>

#include "spine/Atlas.h"
#include "spine/Bone.h"
#include "spine/MeshAttachment.h"
#include "spine/RegionAttachment.h"
#include "spine/Skeleton.h"
#include "spine/Slot.h"
#include "spine/SlotData.h"
#include "spine/VertexAttachment.h"

namespace GCore {

struct AnimationStateData;
struct SkeletonData;

struct SpineRuntime;

// What the resource manager caches per (project, atlas id, skeleton id), and
// what every skeletal display object made from it shares: the record lives
// while the cache or any such object holds it, and is disposed by the
// runtime that made it when the last holder lets go.
struct SpineRecord {
  SpineRecord() = default;
  SpineRecord(const SpineRecord&) = delete;
  SpineRecord& operator=(const SpineRecord&) = delete;
  ~SpineRecord();

  Atlas* atlas = nullptr;
  SkeletonData* skeletonData = nullptr;
  AnimationStateData* stateData = nullptr;
  float extra[2] = {-100.0f, -100.0f};  // read by the skeletal display object
  const SpineRuntime* runtime = nullptr;
};

// Entry points of the skeletal runtime that the engine core calls, through
// g_spineRuntime: the runtime's own table unless a test installs another;
// while none is installed, skeletal resources are not loaded and mesh
// attachments are not drawn.
struct SpineRuntime {
  Atlas* (*createAtlasFromFile)(const char* path);
  // A binary reader over the atlas with scale 1.0 reads the file and is
  // disposed; on failure the reader's error text is stored in `error`.
  SkeletonData* (*readSkeletonDataFile)(Atlas* atlas, const char* path, std::string& error);
  AnimationStateData* (*createAnimationStateData)(SkeletonData* data);
  void (*disposeSkeletonData)(SkeletonData* data);
  void (*disposeAtlas)(Atlas* atlas);
  void (*disposeAnimationStateData)(AnimationStateData* data);
  // World x, y pairs of `count` floats of vertices from float `start`,
  // written to out from `offset`.
  void (*computeWorldVertices)(const VertexAttachment* attachment, const Slot* slot, int32_t start,
                               int32_t count, float* out, int32_t offset);
};

extern const SpineRuntime kSpineRuntime;
extern const SpineRuntime* g_spineRuntime;

// The animation a skeletal display object falls back to when a non-looping
// animation completes; set by the script call SetDefaultAnim, empty at start.
extern std::string g_defaultAnimationName;

}  // namespace GCore
