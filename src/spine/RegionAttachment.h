#pragma once
// A textured rectangle placed in its slot bone's space. Its corner offsets
// are computed once (RegionAttachment_updateOffset) and mapped through the
// bone's world transform when drawn. The path is owned; the region belongs
// to the atlas.
#include <cstdint>

#include "spine/Attachment.h"

namespace GCore {

struct AtlasRegion;
struct Bone;

// Corner order of offsets and texture coordinates: (left, bottom),
// (left, top), (right, top), (right, bottom), x then y.
struct RegionAttachment : Attachment {
  const char* path = nullptr;
  float x = 0, y = 0, scaleX = 1, scaleY = 1, rotation = 0, width = 0, height = 0;
  float r = 1, g = 1, b = 1, a = 1;
  const AtlasRegion* rendererObject = nullptr;
  int32_t regionOffsetX = 0, regionOffsetY = 0;
  int32_t regionWidth = 0, regionHeight = 0;
  int32_t regionOriginalWidth = 0, regionOriginalHeight = 0;
  float offset[8] = {};
  float uvs[8] = {};
};

RegionAttachment* RegionAttachment_create(const char* name);
void RegionAttachment_setUVs(RegionAttachment* self, float u, float v, float u2, float v2,
                             bool rotate);
void RegionAttachment_updateOffset(RegionAttachment* self);
// The four corners in world space through `bone`: 8 floats into `out`.
void RegionAttachment_computeWorldVertices(const RegionAttachment* self, const Bone* bone,
                                           float* out);

}  // namespace GCore
