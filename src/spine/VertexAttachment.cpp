#include "spine/VertexAttachment.h"

#include "spine/Bone.h"
#include "spine/Skeleton.h"
#include "spine/Slot.h"

namespace GCore {

int32_t VertexAttachment_deformLength(const VertexAttachment* self) {
  return self->bones ? self->verticesCount / 3 * 2 : self->verticesCount;
}

void VertexAttachment_computeWorldVertices(const VertexAttachment* self, int32_t start,
                                           int32_t count, const Slot* slot, float* out,
                                           int32_t offset) {
  const int32_t end = offset + count;
  // Deform values written for another attachment's size are not used.
  const float* deform =
      slot->deformCount > 0 && slot->deformCount >= VertexAttachment_deformLength(self)
          ? slot->deform
          : nullptr;

  if (!self->bones) {
    const float* source = deform ? deform : self->vertices;
    const Bone* bone = slot->bone;
    for (int32_t v = start, w = offset; w < end; v += 2, w += 2) {
      const float vx = source[v], vy = source[v + 1];
      out[w] = vx * bone->a + vy * bone->b + bone->worldX;
      out[w + 1] = vx * bone->c + vy * bone->d + bone->worldY;
    }
    return;
  }

  const Bone* skeletonBones = slot->bone->skeleton->bones;
  int32_t v = 0, skip = 0;
  for (int32_t i = 0; i < start; i += 2) {
    const int32_t n = self->bones[v];
    v += n + 1;
    skip += n;
  }
  int32_t b = skip * 3, f = skip * 2;
  for (int32_t w = offset; w < end; w += 2) {
    float wx = 0, wy = 0;
    int32_t n = self->bones[v++];
    for (n += v; v < n; ++v, b += 3, f += 2) {
      const Bone& bone = skeletonBones[self->bones[v]];
      float vx = self->vertices[b], vy = self->vertices[b + 1];
      const float weight = self->vertices[b + 2];
      if (deform) {
        vx += deform[f];
        vy += deform[f + 1];
      }
      wx += (vx * bone.a + vy * bone.b + bone.worldX) * weight;
      wy += (vx * bone.c + vy * bone.d + bone.worldY) * weight;
    }
    out[w] = wx;
    out[w + 1] = wy;
  }
}

}  // namespace GCore
