#pragma once
// The setup of a transform constraint: bones pulled toward a target bone's
// rotation, position, scale and shear by four mixes. Owned by its
// SkeletonData; the name and the bone array are owned, the bones are not.
#include <cstdint>

namespace GCore {

struct BoneData;

struct TransformConstraintData {
  const char* name = nullptr;
  int32_t order = 0;
  int32_t bonesCount = 0;
  BoneData** bones = nullptr;
  BoneData* target = nullptr;
  float rotateMix = 0, translateMix = 0, scaleMix = 0, shearMix = 0;
  float offsetRotation = 0, offsetX = 0, offsetY = 0;
  float offsetScaleX = 0, offsetScaleY = 0, offsetShearY = 0;
};

TransformConstraintData* TransformConstraintData_create(const char* name);
void TransformConstraintData_dispose(TransformConstraintData* data);

}  // namespace GCore
