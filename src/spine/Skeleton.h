#pragma once
// One posable instance of a SkeletonData: bones, slots, draw order and
// constraint instances of its own, pointing at the shared data, which must
// outlive it. The update cache fixes the order in which bones and
// constraints are computed; it is built at creation, since nothing changes
// the hierarchy, skins or constraints later. Main thread only.
#include <cstdint>
#include <vector>

namespace GCore {

struct Attachment;
struct Bone;
struct BoneData;
struct IkConstraint;
struct PathConstraint;
struct SkeletonData;
struct Skin;
struct Slot;
struct TransformConstraint;

enum UpdateKind : int32_t {
  kUpdateBone = 0,
  kUpdateIkConstraint = 1,
  kUpdatePathConstraint = 2,
  kUpdateTransformConstraint = 3,
};

struct UpdateCacheEntry {
  int32_t kind = kUpdateBone;
  void* object = nullptr;
};

struct Skeleton {
  const SkeletonData* data = nullptr;
  int32_t boneCount = 0;
  Bone* bones = nullptr;  // index = bone data index
  Bone* root = nullptr;
  int32_t slotCount = 0;
  Slot* slots = nullptr;       // index = slot data index
  Slot** drawOrder = nullptr;  // slotCount entries into slots
  int32_t ikConstraintCount = 0;
  IkConstraint** ikConstraints = nullptr;
  int32_t transformConstraintCount = 0;
  TransformConstraint** transformConstraints = nullptr;
  int32_t pathConstraintCount = 0;
  PathConstraint** pathConstraints = nullptr;
  const Skin* skin = nullptr;
  float r = 1, g = 1, b = 1, a = 1;
  float time = 0;
  int32_t flipX = 0, flipY = 0;
  float x = 0, y = 0;  // added to the root bone's world position
  std::vector<UpdateCacheEntry> updateCache;
  // Bones whose applied pose is refreshed from the local pose before each pass.
  std::vector<Bone*> updateCacheReset;
};

Skeleton* Skeleton_create(const SkeletonData* data);
void Skeleton_dispose(Skeleton* self);
void Skeleton_updateCache(Skeleton* self);
void Skeleton_updateWorldTransform(Skeleton* self);
void Skeleton_setBonesToSetupPose(Skeleton* self);
void Skeleton_setSlotsToSetupPose(Skeleton* self);
Bone* Skeleton_findBone(const Skeleton* self, const char* name);
Slot* Skeleton_findSlot(const Skeleton* self, const char* name);
// A new owned array of the skeleton's bones made from `bones`, by index:
// names need not be unique.
Bone** Skeleton_bonesOf(Skeleton* self, BoneData* const* bones, int32_t count);
// In the skeleton's skin, then in the default skin; none for slot index -1.
Attachment* Skeleton_getAttachmentForSlotIndex(const Skeleton* self, int32_t slotIndex,
                                               const char* name);

}  // namespace GCore
