#pragma once
// The setup of an IK constraint: one bone, or a parent and its child, turned
// toward a target bone. Owned by its SkeletonData; the name and the bone
// array are owned, the bones are not.
#include <cstdint>

namespace GCore {

struct BoneData;

struct IkConstraintData {
  const char* name = nullptr;
  int32_t order = 0;
  int32_t bonesCount = 0;
  BoneData** bones = nullptr;  // parent first
  BoneData* target = nullptr;
  int32_t bendDirection = 1;
  float mix = 1;
};

IkConstraintData* IkConstraintData_create(const char* name);
void IkConstraintData_dispose(IkConstraintData* data);

}  // namespace GCore
