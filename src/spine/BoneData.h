#pragma once
// The setup pose of one bone. Owned by its SkeletonData; the name is owned.
#include <cstdint>

namespace GCore {

enum TransformMode : int32_t {
  kTransformNormal = 0,
  kTransformOnlyTranslation = 1,
  kTransformNoRotationOrReflection = 2,
  kTransformNoScale = 3,
  kTransformNoScaleOrReflection = 4,
};

struct BoneData {
  int32_t index = 0;
  const char* name = nullptr;
  BoneData* parent = nullptr;
  float length = 0, x = 0, y = 0, rotation = 0;
  float scaleX = 1, scaleY = 1, shearX = 0, shearY = 0;
  int32_t transformMode = kTransformNormal;
};

BoneData* BoneData_create(int32_t index, const char* name, BoneData* parent);
void BoneData_dispose(BoneData* data);

}  // namespace GCore
