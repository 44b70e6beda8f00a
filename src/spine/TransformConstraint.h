#pragma once
// A transform constraint of a Skeleton: pulls its bones' world rotation,
// position, scale and shear toward the target bone's by four mixes.
#include <cstdint>

namespace GCore {

struct Bone;
struct Skeleton;
struct TransformConstraintData;

struct TransformConstraint {
  const TransformConstraintData* data = nullptr;
  int32_t bonesCount = 0;
  Bone** bones = nullptr;  // the array is owned
  Bone* target = nullptr;
  float rotateMix = 0, translateMix = 0, scaleMix = 0, shearMix = 0;
};

TransformConstraint* TransformConstraint_create(const TransformConstraintData* data,
                                                Skeleton* skeleton);
void TransformConstraint_dispose(TransformConstraint* self);
void TransformConstraint_apply(TransformConstraint* self);

}  // namespace GCore
