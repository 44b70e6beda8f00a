#pragma once
// A renderer that draws nothing and records what it is asked to do: every
// submitted batch (texture and vertices) and every back-end state call.
#include <cstring>
#include <string>
#include <vector>

#include "render/Renderer.h"

struct RecordedVertex {
  float x, y, z, u, v, r, g, b, a;
};

struct RecordedBatch {
  GCore::Texture* texture;
  std::vector<RecordedVertex> vertices;
};

// A colour channel as the batch keeps it: the nearest of 256 steps.
inline float Stored(float channel) {
  return static_cast<float>(static_cast<int>(channel * 255.0f + 0.5f)) / 255.0f;
}

class RecordingRenderer : public GCore::Renderer {
 public:
  std::vector<RecordedBatch> batches;
  std::vector<std::string> calls;

  void ApplyViewMatrix() override { calls.push_back("view"); }
  void ReleaseTexture(GCore::Texture*) override { calls.push_back("release"); }
  void BeginFrame() override { calls.push_back("begin"); }
  void EndFrame() override { calls.push_back("end"); }

  // The vertices appended so far and not yet flushed.
  std::vector<RecordedVertex> Pending() const { return Snapshot(*CurrentBatch()); }

  // The current batch as the triangles it draws: each quad's corners
  // (0, 1, 2, 0, 2, 3), without the second triangle of a lone triangle (its
  // last corner repeated), colours as the 0-1 values the bytes stand for.
  static std::vector<RecordedVertex> Snapshot(const GCore::QuadBatch& batch) {
    std::vector<RecordedVertex> out;
    for (uint32_t q = 0; q + 4 <= batch.count; q += 4) {
      const bool lone = std::memcmp(&batch.vertices[q + 2], &batch.vertices[q + 3],
                                    sizeof(GCore::QuadVertex)) == 0;
      static const uint32_t kOrder[6] = {0, 1, 2, 0, 2, 3};
      for (int i = 0; i < (lone ? 3 : 6); ++i) {
        const GCore::QuadVertex& v = batch.vertices[q + kOrder[i]];
        uint8_t c[4];
        std::memcpy(c, &v.rgba, sizeof c);
        out.push_back({v.x, v.y, GCore::kQuadDepth, v.u, v.v, c[0] / 255.0f, c[1] / 255.0f,
                       c[2] / 255.0f, c[3] / 255.0f});
      }
    }
    return out;
  }

  static std::vector<RecordedVertex> Snapshot(const GCore::VertexBatch& batch) {
    std::vector<RecordedVertex> out;
    for (uint32_t i = 0; i < batch.count; ++i) {
      const float* p = batch.Positions() + 3 * i;
      const float* t = batch.TexCoords() + 2 * i;
      const float* c = batch.Colours() + 4 * i;
      out.push_back({p[0], p[1], p[2], t[0], t[1], c[0], c[1], c[2], c[3]});
    }
    return out;
  }

 protected:
  void SubmitQuads(GCore::QuadBatch& batch) override {
    batches.push_back({batch.texture, Snapshot(batch)});
    calls.push_back("draw " + std::to_string(batches.back().vertices.size()));
  }
  void SubmitBatch(GCore::VertexBatch& batch) override {
    batches.push_back({batch.texture, Snapshot(batch)});
    calls.push_back("draw " + std::to_string(batch.count));
  }
  void ApplyBlendMode(int8_t mode) override { calls.push_back("blend " + std::to_string(mode)); }
  void ApplyScissor(const GCore::ScissorBox* box) override {
    calls.push_back(box ? "scissor " + std::to_string(box->x) + " " + std::to_string(box->y) + " " +
                              std::to_string(box->width) + " " + std::to_string(box->height)
                        : "no scissor");
  }
};
