#pragma once
// The setup pose of one slot. Owned by its SkeletonData; texts are owned.
#include <cstdint>

namespace GCore {

struct BoneData;

// Blend modes: 0 normal, 1 additive, 2 multiply, 3 screen; handed unchanged
// to the renderer.
struct SlotData {
  int32_t index = 0;
  const char* name = nullptr;
  const BoneData* boneData = nullptr;
  const char* attachmentName = nullptr;  // shown in the setup pose, or none
  float r = 1, g = 1, b = 1, a = 1;
  int32_t blendMode = 0;
};

SlotData* SlotData_create(int32_t index, const char* name, const BoneData* boneData);
void SlotData_dispose(SlotData* data);

}  // namespace GCore
