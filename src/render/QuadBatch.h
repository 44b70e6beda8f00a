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
#include <cstring>
#include <memory>

#include "render/VertexBatch.h"

namespace GCore {

struct QuadVertex {
  float x, y, u, v;
  uint32_t rgba;  // bytes r, g, b, a in memory order
};

// A colour float (0 to 1; out of range and NaN are clamped) as a byte.
inline uint8_t ChannelByte(float c) {
  // Written so that NaN fails both tests and becomes 0.
  if (!(c > 0.0f)) return 0;
  if (!(c < 1.0f)) return 255;
  return static_cast<uint8_t>(c * 255.0f + 0.5f);
}

// Four colour floats as the bytes of a QuadVertex. Inline, as every quad
// drawn packs its colour.
inline uint32_t PackColour(const float* rgba) {
  const uint8_t packed[4] = {ChannelByte(rgba[0]), ChannelByte(rgba[1]), ChannelByte(rgba[2]),
                             ChannelByte(rgba[3])};
  uint32_t out;
  std::memcpy(&out, packed, sizeof out);
  return out;
}

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
