#pragma once
// A batch of free textured, coloured vertices drawn with one draw call in any
// primitive mode: a shape's own geometry, which scripts write and read back
// vertex by vertex (the renderer's own batch is a QuadBatch). The block
// holds three planes one after another (not interleaved): capacity x 3 floats
// of position, then capacity x 2 of texture coordinates, then capacity x 4 of
// colour. It grows by doubling and never shrinks.
#include <cstdint>
#include <memory>

namespace GCore {

class Texture;

// Display geometry sits at this depth.
constexpr float kQuadDepth = -0.1f;
// The largest vertex count a batch may hold (about 600 MB of planes here).
constexpr uint32_t kMaxBatchVertices = 1u << 24;

struct VertexBatch {
  Texture* texture = nullptr;  // sampled by every vertex; null = none yet
  uint32_t count = 0;
  uint32_t capacity = 0;
  std::unique_ptr<float[]> planes;
  uint32_t mode = 4;  // GL primitive mode, triangles

  // Makes room for n vertices, keeping those written; false when n is beyond
  // kMaxBatchVertices (nothing changes then).
  bool Reserve(uint32_t n);

  float* Positions() const { return planes.get(); }
  float* TexCoords() const { return planes.get() + 3 * static_cast<size_t>(capacity); }
  float* Colours() const { return planes.get() + 5 * static_cast<size_t>(capacity); }
};

}  // namespace GCore
