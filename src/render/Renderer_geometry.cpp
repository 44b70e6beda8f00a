// DrawQuads (caller-built quads) and DrawSkeletonAttachment (region and mesh
// attachments of a posed skeleton).
#include <cstring>

#include "render/Image.h"
#include "render/Renderer.h"
#include "spine/SpineRecords.h"

namespace GCore {

void Renderer::DrawQuads(const Image* image, int32_t n, const float* corners, const float* uv,
                         const float* colours, int32_t stride, uint32_t packedColour) {
  if (n < 1 || !image || !corners) return;
  if (static_cast<uint32_t>(n) > kMaxBatchVertices / 4) return;
  if (!PrepareBatch(image->texture, 4 * static_cast<uint32_t>(n))) return;

  const size_t positionStep = stride ? static_cast<size_t>(stride) : 8;
  const size_t colourStep = stride ? static_cast<size_t>(stride) : 16;
  const uint8_t bytes[4] = {static_cast<uint8_t>(packedColour >> 24),
                            static_cast<uint8_t>(packedColour >> 16),
                            static_cast<uint8_t>(packedColour >> 8),
                            static_cast<uint8_t>(packedColour)};
  uint32_t packed;
  std::memcpy(&packed, bytes, sizeof packed);
  const float u = image->u, v = image->v, du = image->du, dv = image->dv;
  // c0 top-left, c1 top-right, c2 bottom-left, c3 bottom-right.
  const float defaultUv[8] = {u, v, u + du, v, u, v + dv, u + du, v + dv};
  QuadBatch& b = *CurrentBatch();
  for (size_t q = 0; q < static_cast<size_t>(n); ++q) {
    const float* c = corners + q * positionStep;
    const float* t = uv ? uv + q * positionStep : defaultUv;
    const float* k = colours ? colours + q * colourStep : nullptr;
    // Drawn as the triangles (c0, c1, c3) and (c0, c3, c2).
    QuadVertex* out = b.NextQuad();
    for (int corner : {0, 1, 3, 2}) {
      *out++ = {c[2 * corner], c[2 * corner + 1], t[2 * corner], t[2 * corner + 1],
                k ? PackColour(k + 4 * corner) : packed};
    }
  }
}

void Renderer::DrawSkeletonAttachment(const Attachment* attachment, const Slot* slot,
                                      const float colour[4]) {
  if (!attachment || !slot || !colour) return;
  if (slot->data) SetBlendMode(static_cast<int8_t>(slot->data->blendMode));
  if (attachment->type == kAttachmentRegion) {
    DrawRegion(static_cast<const RegionAttachment&>(*attachment), *slot, colour);
  } else if (attachment->type == kAttachmentMesh) {
    DrawMesh(static_cast<const MeshAttachment&>(*attachment), *slot, colour);
  }
}

namespace {

Texture* PageTexture(const AtlasRegion* region) {
  return region && region->page ? region->page->rendererObject : nullptr;
}

}  // namespace

void Renderer::DrawRegion(const RegionAttachment& region, const Slot& slot, const float colour[4]) {
  const Bone* bone = slot.bone;
  if (!bone || !PrepareBatch(PageTexture(region.rendererObject), 4)) return;
  float* world = worldVertices.get();
  for (int i = 0; i < 4; ++i) {
    const float ox = region.offset[2 * i], oy = region.offset[2 * i + 1];
    world[2 * i] = ox * bone->a + oy * bone->b + bone->worldX;
    world[2 * i + 1] = ox * bone->c + oy * bone->d + bone->worldY;
  }
  const float tint[4] = {slot.r * colour[0], slot.g * colour[1], slot.b * colour[2],
                         slot.a * colour[3]};
  const uint32_t packed = PackColour(tint);
  // Drawn as the triangles (p0, p1, p2) and (p0, p2, p3).
  QuadVertex* q = CurrentBatch()->NextQuad();
  for (int i = 0; i < 4; ++i) {
    q[i] = {world[2 * i], world[2 * i + 1], region.uvs[2 * i], region.uvs[2 * i + 1], packed};
  }
}

void Renderer::DrawMesh(const MeshAttachment& mesh, const Slot& slot, const float colour[4]) {
  const int32_t length = mesh.worldVerticesLength;
  if (length <= 0 || length > kWorldVertexFloats || !mesh.uvs || !mesh.triangles) return;
  if (mesh.trianglesCount <= 0 || static_cast<uint32_t>(mesh.trianglesCount) > kMaxBatchVertices) {
    return;
  }
  if (!g_spineRuntime || !g_spineRuntime->computeWorldVertices) return;
  // Each whole triangle of the index list becomes one batch entry.
  const uint32_t triangles = static_cast<uint32_t>(mesh.trianglesCount) / 3;
  if (!PrepareBatch(PageTexture(mesh.rendererObject), 4 * triangles)) return;
  float* world = worldVertices.get();
  g_spineRuntime->computeWorldVertices(&mesh, &slot, 0, length, world, 0);
  const uint32_t packed = PackColour(colour);
  QuadBatch& b = *CurrentBatch();
  for (uint32_t t = 0; t < triangles; ++t) {
    QuadVertex corners[3];
    bool inside = true;
    for (int i = 0; i < 3; ++i) {
      const size_t index = mesh.triangles[3 * t + i];
      // A skeleton file is untrusted: a triangle with an index past the
      // vertices is skipped whole, so the triangles after it keep their corners.
      inside = inside && 2 * index + 1 < static_cast<size_t>(length);
      if (!inside) break;
      corners[i] = {world[2 * index], world[2 * index + 1], mesh.uvs[2 * index],
                    mesh.uvs[2 * index + 1], packed};
    }
    if (inside) b.AppendTriangle(corners[0], corners[1], corners[2]);
  }
}

}  // namespace GCore
