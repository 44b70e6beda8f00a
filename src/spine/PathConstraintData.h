#pragma once
// The setup of a path constraint: bones placed along the path attachment of
// a target slot. Owned by its SkeletonData; the name and the bone array are
// owned, the bones and the slot are not.
#include <cstdint>

namespace GCore {

struct BoneData;
struct SlotData;

enum PositionMode : int32_t { kPositionFixed = 0, kPositionPercent = 1 };
enum SpacingMode : int32_t { kSpacingLength = 0, kSpacingFixed = 1, kSpacingPercent = 2 };
enum RotateMode : int32_t { kRotateTangent = 0, kRotateChain = 1, kRotateChainScale = 2 };

struct PathConstraintData {
  const char* name = nullptr;
  int32_t order = 0;
  int32_t bonesCount = 0;
  BoneData** bones = nullptr;
  SlotData* target = nullptr;
  int32_t positionMode = kPositionFixed;
  int32_t spacingMode = kSpacingLength;
  int32_t rotateMode = kRotateTangent;
  float offsetRotation = 0, position = 0, spacing = 0, rotateMix = 0, translateMix = 0;
};

PathConstraintData* PathConstraintData_create(const char* name);
void PathConstraintData_dispose(PathConstraintData* data);

}  // namespace GCore
