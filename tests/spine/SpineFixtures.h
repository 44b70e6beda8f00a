#pragma once
// Fixtures of the skeletal runtime's tests, benchmark and fuzz targets: an
// atlas text, skeleton models that use every encoding, attachment kind and
// timeline kind, owning handles for runtime records, and a walk that poses
// a skeleton data every way the runtime can.
#include <memory>
#include <string>
#include <vector>

#include "spine/AnimationState.h"
#include "spine/AnimationStateData.h"
#include "spine/Atlas.h"
#include "spine/Bone.h"
#include "spine/SkelWriter.h"
#include "spine/Skeleton.h"
#include "spine/SkeletonData.h"
#include "spine/SpineHost.h"

namespace spinefix {

struct AtlasDisposer {
  void operator()(GCore::Atlas* p) const { GCore::Atlas_dispose(p); }
};
struct DataDisposer {
  void operator()(GCore::SkeletonData* p) const { GCore::SkeletonData_dispose(p); }
};
struct SkeletonDisposer {
  void operator()(GCore::Skeleton* p) const { GCore::Skeleton_dispose(p); }
};
struct StateDataDisposer {
  void operator()(GCore::AnimationStateData* p) const { GCore::AnimationStateData_dispose(p); }
};
struct StateDisposer {
  void operator()(GCore::AnimationState* p) const { GCore::AnimationState_dispose(p); }
};
using AtlasPtr = std::unique_ptr<GCore::Atlas, AtlasDisposer>;
using DataPtr = std::unique_ptr<GCore::SkeletonData, DataDisposer>;
using SkeletonPtr = std::unique_ptr<GCore::Skeleton, SkeletonDisposer>;
using StateDataPtr = std::unique_ptr<GCore::AnimationStateData, StateDataDisposer>;
using StatePtr = std::unique_ptr<GCore::AnimationState, StateDisposer>;

// One page "page.png" of 256 x 128 with the regions the models use.
extern const char* const kAtlasText;
AtlasPtr ParseAtlas(const std::string& text);
AtlasPtr FixtureAtlas();

struct ReadResult {
  DataPtr data;
  std::string error;
};
ReadResult Read(const std::vector<uint8_t>& bytes, const GCore::Atlas* atlas, float scale = 1);

// A skeleton made from a model over the fixture atlas.
struct Posed {
  explicit Posed(const skel::Skeleton& model);
  GCore::Bone& bone(int i) { return skeleton->bones[i]; }
  void Update() { GCore::Skeleton_updateWorldTransform(skeleton.get()); }

  AtlasPtr atlas;
  DataPtr data;          // none when the model did not read,
  std::string error;     // for this reason
  SkeletonPtr skeleton;
};

// Every attachment kind, every timeline kind, every primitive encoding, with
// editor data.
skel::Skeleton FullModel();
// A 60-bone, 40-slot character with two meshes and a two-bone IK chain.
skel::Skeleton BenchModel();

// Poses `data` through its animations, its timelines one by one, mixes and
// every attachment's world vertices; what a hostile file must survive.
void Exercise(const GCore::SkeletonData* data);

// Collects the runtime's printed lines while it lives.
class PrintCapture {
 public:
  PrintCapture();
  ~PrintCapture();
  PrintCapture(const PrintCapture&) = delete;
  PrintCapture& operator=(const PrintCapture&) = delete;
  const std::vector<std::string>& lines() const;
};

}  // namespace spinefix
