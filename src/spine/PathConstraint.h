#pragma once
// A path constraint of a Skeleton: places and turns its bones along the
// path attachment shown by the target slot. Its work buffers are resized
// only when the number of bones or path vertices changes.
#include <cstdint>
#include <vector>

namespace GCore {

struct Bone;
struct PathAttachment;
struct PathConstraintData;
struct Skeleton;
struct Slot;

struct PathConstraint {
  const PathConstraintData* data = nullptr;
  int32_t bonesCount = 0;
  Bone** bones = nullptr;  // the array is owned
  Slot* target = nullptr;
  float position = 0, spacing = 0, rotateMix = 0, translateMix = 0;
  std::vector<float> spaces, positions, world, curves, lengths;
  float segments[10] = {};
};

PathConstraint* PathConstraint_create(const PathConstraintData* data, Skeleton* skeleton);
void PathConstraint_dispose(PathConstraint* self);
void PathConstraint_apply(PathConstraint* self);
// Fills `positions` with x, y and angle (radians) per space along the path,
// and returns it.
float* PathConstraint_computeWorldPositions(PathConstraint* self, const PathAttachment* path,
                                            int32_t spacesCount, bool tangents,
                                            bool percentPosition, bool percentSpacing);

}  // namespace GCore
