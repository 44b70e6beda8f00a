#pragma once
// An IK constraint of a Skeleton: turns one bone, or a parent and its child,
// so that the chain reaches toward the target bone, blended by `mix`.
#include <cstdint>

namespace GCore {

struct Bone;
struct IkConstraintData;
struct Skeleton;

struct IkConstraint {
  const IkConstraintData* data = nullptr;
  int32_t bonesCount = 0;
  Bone** bones = nullptr;  // parent first; the array is owned
  Bone* target = nullptr;
  int32_t bendDirection = 1;  // +1 or -1
  float mix = 1;
};

IkConstraint* IkConstraint_create(const IkConstraintData* data, Skeleton* skeleton);
void IkConstraint_dispose(IkConstraint* self);
// One-bone or two-bone IK toward the target, by the bone count.
void IkConstraint_apply(IkConstraint* self);
void IkConstraint_apply1(Bone* bone, float targetX, float targetY, float alpha);
void IkConstraint_apply2(Bone* parent, Bone* child, float targetX, float targetY,
                         int32_t bendDirection, float alpha);

}  // namespace GCore
