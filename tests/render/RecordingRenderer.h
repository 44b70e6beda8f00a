#pragma once
// A renderer that draws nothing and records what it is asked to do: every
// submitted batch (texture and vertices) and every back-end state call.
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
