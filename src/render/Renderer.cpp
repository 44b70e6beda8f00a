#include "render/Renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/DrawEpoch.h"
#include "core/GameSettings.h"
#include "core/Matrix.h"
#include "render/Image.h"
#include "render/ResourceManager.h"
#include "render/Texture.h"

namespace GCore {

Matrix* CurrentTransform = nullptr;
SceneDrawFunction g_drawScene = nullptr;
StageFitFunction g_fitStages = nullptr;
Renderer* g_renderer = nullptr;

Renderer::Renderer()
    : worldVertices(new float[kWorldVertexFloats]()), batch_(std::make_unique<QuadBatch>()) {
  g_renderer = this;
}

Renderer::~Renderer() {
  if (g_renderer == this) g_renderer = nullptr;
}

void Renderer::RenderFrame(DisplayObject* object) {
  maskLevel = -1;
  drawCalls = 0;
  BeginFrame();
  if (g_drawScene) g_drawScene(object);
  Flush(nullptr);
  EndFrame();
}

void Renderer::Flush(VertexBatch* target) {
  if (capture_) {
    CloseCapturedRun();
    if (target && target->count > 0) SpoilCapture();
  }
  QuadBatch& own = *batch_;
  if (own.count > 0) {
    SubmitQuads(own);
    own.texture = nullptr;
    own.count = 0;
    ++drawCalls;
  }
  // A shape's own geometry keeps its vertices for next time.
  if (target && target->count > 0) {
    SubmitBatch(*target);
    ++drawCalls;
  }
}

void Renderer::PushScissor(int32_t x, int32_t y, int32_t width, int32_t height) {
  SpoilCapture();
  Flush(nullptr);
  int64_t left = x, bottom = y, right = int64_t{x} + width, top = int64_t{y} + height;
  if (right < left) std::swap(left, right);
  if (top < bottom) std::swap(bottom, top);
  if (const ScissorBox* outer = CurrentScissor()) {
    // A clip inside a clip keeps content inside both.
    left = std::max<int64_t>(left, outer->x);
    bottom = std::max<int64_t>(bottom, outer->y);
    right = std::min<int64_t>(right, int64_t{outer->x} + outer->width);
    top = std::min<int64_t>(top, int64_t{outer->y} + outer->height);
  }
  auto clamped = [](int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
  };
  scissors_.push_back(ScissorBox{clamped(left), clamped(bottom), clamped(std::max<int64_t>(right - left, 0)),
                                 clamped(std::max<int64_t>(top - bottom, 0))});
  ApplyScissor(&scissors_.back());
}

void Renderer::PopScissor() {
  SpoilCapture();
  Flush(nullptr);
  if (scissors_.empty()) return;
  scissors_.pop_back();
  ApplyScissor(CurrentScissor());
}

void Renderer::SetViewFrom(const Affine& transform) {
  SpoilCapture();
  viewMatrix = ViewMatrixOf(transform);
  ApplyViewMatrix();
}

void Renderer::PushTransform(const Matrix& matrix) {
  Flush(nullptr);
  const Affine composed = Compose(AffineOf(baseViewTransform.Get()), AffineOf(&matrix));
  StoreAffine(composed, CurrentTransform);
  SetViewFrom(composed);
}

void Renderer::ResetTransform() {
  Flush(nullptr);
  SetViewFrom(AffineOf(baseViewTransform.Get()));
}

void Renderer::SetView(float x, float y, float sx, float sy) {
  const Affine view{sx, 0, 0, sy, x, y};
  StoreAffine(view, baseViewTransform.Get());
  SetViewFrom(view);
}

void Renderer::Resize(int32_t width, int32_t height) {
  DrawInputsChanged();
  scaleX = 1.0f;
  windowWidth = static_cast<float>(width);
  windowHeight = static_cast<float>(height);
  const float designWidth = g_settings.designWidth;
  const float designHeight = g_settings.designHeight;
  const float rx = windowWidth / designWidth;
  const float ry = windowHeight / designHeight;
  const float s = rx > ry ? ry : rx;
  if (!std::isfinite(s) || s < 0) {
    // A design size of 0 or below has no fitting scale: the stage is shown
    // unscaled from the window's corner rather than through a broken view.
    offsetX = offsetY = 0;
    logicalWidth = windowWidth;
    logicalHeight = windowHeight;
  } else if (g_settings.sizeMode == 0) {
    scaleX = s;
    logicalWidth = designWidth;
    logicalHeight = designHeight;
    offsetX = (windowWidth - designWidth * s) * 0.5f;
    offsetY = (windowHeight - designHeight * s) * 0.5f;
  } else if (g_settings.sizeMode == 1) {
    scaleX = s;
    logicalWidth = rx / s * designWidth;
    logicalHeight = ry / s * designHeight;
    if (g_fitStages) g_fitStages();
  }
  scaleY = scaleX;
}

void Renderer::SetBlendMode(int8_t mode) {
  if (mode == blendMode) return;
  blendMode = mode;
  Flush(nullptr);
  ApplyBlendMode(mode);
}

void Renderer::SetTextureFilter(int8_t filter) {
  if (filter == textureFilter) return;
  Flush(nullptr);
  textureFilter = filter;
}

bool Renderer::PrepareBatchFully(Texture* texture, uint32_t n) {
  QuadBatch& b = *batch_;
  if (texture != b.texture) {
    Flush(nullptr);
    b.texture = texture;
  }
  if (n > kMaxBatchVertices - b.count) {
    // More than one batch can hold: draw what is there and try an empty one.
    Flush(nullptr);
    b.texture = texture;
    if (n > kMaxBatchVertices) return false;
  }
  if (!b.Reserve(b.count + n)) return false;
  OpenCapturedRun();
  return true;
}

const Image* Renderer::PlaceholderImage() const {
  // Without a resource manager (tests, early start-up) an untextured image serves.
  static const Image untextured;
  const Image* image =
      g_resourceManager ? g_resourceManager->GetImage(OwnerPair{1, kPlaceholderImageId}) : nullptr;
  return image ? image : &untextured;
}

}  // namespace GCore
