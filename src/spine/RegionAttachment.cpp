#include "spine/RegionAttachment.h"

#include "spine/Bone.h"
#include "spine/SpineUtil.h"

namespace GCore {

namespace {

void DisposeRegion(Attachment* attachment) {
  auto* self = static_cast<RegionAttachment*>(attachment);
  FreeText(self->name);
  FreeText(self->path);
  delete self;
}

const AttachmentOps kRegionOps = {DisposeRegion};

// Packed size over original size, by which region offsets and sizes are
// scaled. An original size of 0 (a malformed atlas) stands for the packed
// size; with both 0 the rectangle collapses instead of dividing by zero.
float RegionScale(float size, int32_t original, int32_t packed, float scale) {
  const int32_t whole = original != 0 ? original : packed;
  return whole != 0 ? size / static_cast<float>(whole) * scale : 0.0f;
}

}  // namespace

RegionAttachment* RegionAttachment_create(const char* name) {
  RegionAttachment* self = new RegionAttachment{};
  self->name = CopyText(name);
  self->type = kAttachmentRegion;
  self->ops = &kRegionOps;
  return self;
}

void RegionAttachment_setUVs(RegionAttachment* self, float u, float v, float u2, float v2,
                             bool rotate) {
  float* uvs = self->uvs;
  if (rotate) {
    const float corners[8] = {u2, v2, u, v2, u, v, u2, v};
    std::memcpy(uvs, corners, sizeof corners);
  } else {
    const float corners[8] = {u, v2, u, v, u2, v, u2, v2};
    std::memcpy(uvs, corners, sizeof corners);
  }
}

void RegionAttachment_updateOffset(RegionAttachment* self) {
  const float rsx =
      RegionScale(self->width, self->regionOriginalWidth, self->regionWidth, self->scaleX);
  const float rsy =
      RegionScale(self->height, self->regionOriginalHeight, self->regionHeight, self->scaleY);
  const float left = -self->width * 0.5f * self->scaleX + self->regionOffsetX * rsx;
  const float bottom = -self->height * 0.5f * self->scaleY + self->regionOffsetY * rsy;
  const float right = left + self->regionWidth * rsx;
  const float top = bottom + self->regionHeight * rsy;
  const float radians = self->rotation * kDegRad;
  const float c = std::cos(radians), s = std::sin(radians);
  const float corners[8] = {left, bottom, left, top, right, top, right, bottom};
  for (int i = 0; i < 8; i += 2) {
    const float px = corners[i], py = corners[i + 1];
    self->offset[i] = px * c - py * s + self->x;
    self->offset[i + 1] = py * c + px * s + self->y;
  }
}

void RegionAttachment_computeWorldVertices(const RegionAttachment* self, const Bone* bone,
                                           float* out) {
  for (int i = 0; i < 8; i += 2) {
    const float ox = self->offset[i], oy = self->offset[i + 1];
    out[i] = bone->a * ox + bone->b * oy + bone->worldX;
    out[i + 1] = bone->c * ox + bone->d * oy + bone->worldY;
  }
}

}  // namespace GCore
