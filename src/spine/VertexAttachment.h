#pragma once
// The common part of mesh, bounding box and path attachments: vertices in
// one bone's space, or weighted over several bones. Unweighted, `vertices`
// holds x, y pairs and `bones` is none; weighted, `bones` holds per vertex
// a bone count followed by that many skeleton bone indexes, and `vertices`
// one (x, y, weight) triple per influence, in that bone's space.
#include <cstdint>

#include "spine/Attachment.h"

namespace GCore {

struct Slot;

struct VertexAttachment : Attachment {
  int32_t bonesCount = 0;
  int32_t* bones = nullptr;
  int32_t verticesCount = 0;  // floats
  float* vertices = nullptr;
  int32_t worldVerticesLength = 0;  // floats: two per vertex
};

// Writes `count` floats (x, y pairs) into out[offset...] for the vertices
// from float index `start`, through the slot's bone (unweighted) or the
// skeleton's bones (weighted), moved by the slot's deform values when it has
// them.
void VertexAttachment_computeWorldVertices(const VertexAttachment* self, int32_t start,
                                           int32_t count, const Slot* slot, float* out,
                                           int32_t offset);

// Floats a deform of this attachment holds: two per influence when weighted,
// else one per vertex float.
int32_t VertexAttachment_deformLength(const VertexAttachment* self);

}  // namespace GCore
