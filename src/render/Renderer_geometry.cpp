// DrawQuads (caller-built quads), DrawTexturedQuad and DrawTriangles (free
// geometry such as a posed skeleton's attachments).
#include <cstring>

#include "render/Image.h"
#include "render/Renderer.h"

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

void Renderer::DrawTexturedQuad(Texture* texture, const float positions[8], const float uvs[8],
                                uint32_t packedColour) {
  if (!PrepareBatch(texture, 4)) return;
  // Drawn as the triangles (p0, p1, p2) and (p0, p2, p3).
  QuadVertex* q = CurrentBatch()->NextQuad();
  for (int i = 0; i < 4; ++i) {
    q[i] = {positions[2 * i], positions[2 * i + 1], uvs[2 * i], uvs[2 * i + 1], packedColour};
  }
}

void Renderer::DrawTriangles(Texture* texture, const float* positions, const float* uvs,
                             int32_t vertexFloats, const uint16_t* indices, int32_t indexCount,
                             uint32_t packedColour) {
  if (vertexFloats <= 0 || !positions || !uvs || !indices) return;
  if (indexCount <= 0 || static_cast<uint32_t>(indexCount) > kMaxBatchVertices) return;
  // Each whole triangle of the index list becomes one batch entry.
  const uint32_t triangles = static_cast<uint32_t>(indexCount) / 3;
  if (!PrepareBatch(texture, 4 * triangles)) return;
  QuadBatch& b = *CurrentBatch();
  for (uint32_t t = 0; t < triangles; ++t) {
    QuadVertex corners[3];
    bool inside = true;
    for (int i = 0; i < 3; ++i) {
      const size_t index = indices[3 * t + i];
      // Geometry from files is untrusted: a triangle with an index past the
      // vertices is skipped whole, so the triangles after it keep their corners.
      inside = inside && 2 * index + 1 < static_cast<size_t>(vertexFloats);
      if (!inside) break;
      corners[i] = {positions[2 * index], positions[2 * index + 1], uvs[2 * index],
                    uvs[2 * index + 1], packedColour};
    }
    if (inside) b.AppendTriangle(corners[0], corners[1], corners[2]);
  }
}

}  // namespace GCore
