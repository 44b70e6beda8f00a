#include "render/RetainedDraw.h"

#include <algorithm>
#include <cstring>

#include "render/Renderer.h"

namespace GCore {

void RetainedDraw::Clear() {
  // A scene that started moving should not hold the memory of its still days.
  steps_ = {};
  vertices_ = {};
  complete_ = false;
}

void Renderer::ApplyDrawState(const DrawState& state) {
  if (capture_) {
    CloseCapturedRun();
    std::vector<RetainedDraw::Step>& steps = capture_->steps_;
    if (state.tint || !capturedState_ || !(*capturedState_ == state)) {
      steps.push_back({true, state, nullptr, 0, 0});
      capturedState_ = state;
    }
  }
  UseShader(state.shader);
  SetTintMode(state.tint);
  SetBlendMode(state.blend);
  SetTextureFilter(state.filter);
}

void Renderer::BeginCapture(RetainedDraw& into) {
  into.Clear();
  into.epoch_ = g_drawEpoch;
  into.complete_ = true;
  capture_ = &into;
  capturedState_.reset();
  runOpen_ = false;
}

bool Renderer::EndCapture() {
  if (!capture_) return false;
  CloseCapturedRun();
  const bool complete = capture_->complete_;
  capture_ = nullptr;
  return complete;
}

void Renderer::SpoilCapture() {
  if (capture_) capture_->complete_ = false;
}

void Renderer::OpenCapturedRun() {
  if (!capture_ || runOpen_) return;
  runOpen_ = true;
  runStart_ = batch_->count;
}

void Renderer::CloseCapturedRun() {
  if (!runOpen_) return;
  runOpen_ = false;
  const QuadBatch& b = *batch_;
  if (b.count <= runStart_) return;
  const uint32_t n = b.count - runStart_;
  std::vector<QuadVertex>& vertices = capture_->vertices_;
  std::vector<RetainedDraw::Step>& steps = capture_->steps_;
  const auto first = static_cast<uint32_t>(vertices.size());
  vertices.insert(vertices.end(), b.vertices.get() + runStart_, b.vertices.get() + b.count);
  // Runs of one texture with nothing between them append as one.
  if (!steps.empty() && !steps.back().isState && steps.back().texture == b.texture) {
    steps.back().count += n;
  } else {
    steps.push_back({false, DrawState{}, b.texture, first, n});
  }
}

void Renderer::Replay(const RetainedDraw& draw) {
  for (const RetainedDraw::Step& step : draw.steps_) {
    if (step.isState) {
      ApplyDrawState(step.state);
      continue;
    }
    const QuadVertex* source = draw.vertices_.data() + step.first;
    uint32_t remaining = step.count;
    while (remaining > 0) {
      // A batch that fills up is drawn and the rest goes into the next, as
      // appending quad by quad would.
      const uint32_t room = kMaxBatchVertices - batch_->count;
      const uint32_t n = std::min(remaining, room > 0 ? room : kMaxBatchVertices);
      if (!PrepareBatch(step.texture, n)) return;
      std::memcpy(batch_->vertices.get() + batch_->count, source, n * sizeof(QuadVertex));
      batch_->count += n;
      source += n;
      remaining -= n;
    }
  }
}

}  // namespace GCore
