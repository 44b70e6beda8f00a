#pragma once
// A posed bone of a Skeleton. The local pose is what timelines write; the
// applied pose is what the last world-transform pass used (constraints read
// it, and recompute it from the world transform when `appliedValid` is 0);
// the world transform maps bone space to skeleton world space:
// (lx, ly) -> (a lx + b ly + worldX, c lx + d ly + worldY).
#include <cstdint>

namespace GCore {

struct BoneData;
struct Skeleton;

struct Bone {
  const BoneData* data = nullptr;
  Skeleton* skeleton = nullptr;
  Bone* parent = nullptr;
  int32_t childrenCount = 0;
  Bone** children = nullptr;
  float x = 0, y = 0, rotation = 0, scaleX = 1, scaleY = 1, shearX = 0, shearY = 0;
  float ax = 0, ay = 0, arotation = 0, ascaleX = 1, ascaleY = 1, ashearX = 0, ashearY = 0;
  int32_t appliedValid = 0;
  float a = 1, b = 0, worldX = 0, c = 0, d = 1, worldY = 0;
  int32_t sorted = 0;
};

// A bone over `data` with its local pose from the data.
Bone Bone_create(const BoneData* data, Skeleton* skeleton, Bone* parent);
// Local pose := the data's setup pose.
void Bone_setToSetupPose(Bone* self);
void Bone_updateWorldTransform(Bone* self);
void Bone_updateWorldTransformWith(Bone* self, float x, float y, float rotation, float scaleX,
                                   float scaleY, float shearX, float shearY);
void Bone_updateAppliedTransform(Bone* self);

// The world transform a bone's local pose is placed in: its parent's, or for
// a root bone the skeleton's own (position and flips).
struct BoneFrame {
  float a, b, c, d, worldX, worldY;
};
BoneFrame Bone_parentFrame(const Bone* self);

}  // namespace GCore
