#pragma once
// The renderer's own batch: every primitive is a quad of four interleaved
// vertices (position x, y; texture u, v; colour as four bytes r, g, b, a),
// drawn as the triangles (0, 1, 2) and (0, 2, 3) of its corners through one
// shared index list, so a batch of one texture is one indexed draw call.
// A lone triangle (a, b, c) is stored as the quad (a, b, c, c), whose second
// triangle has no area and draws nothing. Display geometry has one depth,
// which orthographic drawing without depth testing never reads, so positions
// carry no z. Capacity grows by doubling and never shrinks.
#include <cstdint>
#include <memory>

#include "render/VertexBatch.h"

namespace GCore {

struct QuadVertex {
  float x, y, u, v;
  uint32_t rgba;  // bytes r, g, b, a in memory order
};

// Four colour floats (0 to 1; out of range and NaN are clamped) as the bytes
// of a QuadVertex.
uint32_t PackColour(const float* rgba);

struct QuadBatch {
  Texture* texture = nullptr;  // sampled by every vertex; null = none yet
  uint32_t count = 0;          // vertices, four a quad
  uint32_t capacity = 0;
  std::unique_ptr<QuadVertex[]> vertices;

  // Makes room for n vertices, keeping those written; false when n is beyond
  // kMaxBatchVertices (nothing changes then).
  bool Reserve(uint32_t n);

  // Writes the next quad (four vertices) and advances; room must have been
  // reserved. Triangles are drawn as (c0, c1, c2), (c0, c2, c3).
  QuadVertex* NextQuad() {
    QuadVertex* q = vertices.get() + count;
    count += 4;
    return q;
  }
  void AppendTriangle(const QuadVertex& a, const QuadVertex& b, const QuadVertex& c) {
    QuadVertex* q = NextQuad();
    q[0] = a;
    q[1] = b;
    q[2] = c;
    q[3] = c;
  }
};

}  // namespace GCore
