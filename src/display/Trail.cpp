#include "display/Trail.h"

#include "core/GameIF.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "render/ResourceManager.h"

namespace GCore {

namespace {

float Now() { return static_cast<float>(g_game ? g_game->gameTime : 0); }

}  // namespace

const ClassInfo Trail::classInfo = {"Trail", &Entity::classInfo};

Trail::Trail(lua_State* L) : Entity(L) {}

void Trail::CopyFrom(DisplayObject* source) { DisplayObject::CopyFrom(source); }

void Trail::AddSample() {
  UpdateWorldTransform();
  AppendSample();
}

void Trail::AppendSample() {
  const float half = (offsetMaxY - offsetMinY) * 0.5f;
  const Matrix& m = *worldMatrix.Get();
  samples_.push_back(TrailSample{m.TransformX(0, half), m.TransformY(0, half),
                                 m.TransformX(0, -half), m.TransformY(0, -half), Now()});
}

float Trail::CoordinateAt(float age) const {
  if (age <= fadeStart) {
    // Without a fade-in span the newest samples show fully.
    return fadeStart == 0 ? 1.0f : 1.0f - 0.5f * age / fadeStart;
  }
  return 0.5f - 0.5f * (age - fadeStart) / (lifetime - fadeStart);
}

void Trail::Draw() {
  if (!visible) return;
  DisplayObject::Draw();
  // Through this frame's world matrix, so that hit tests see where the trail
  // is now; the container draw at the end clears the flag.
  if (dirty & kDirtyBounds) SetBoundsFromOwnRect();
  AppendSample();
  DrawRibbon();
  Entity::Draw();
}

void Trail::DrawRibbon() {
  const Image* image = g_resourceManager ? g_resourceManager->GetImage(OwnerPair{
                                               static_cast<int32_t>(mediaProject & 0xFF), mediaId})
                                         : nullptr;
  const float now = Now();
  float previousU = -1;
  const TrailSample* previous = nullptr;
  for (auto it = samples_.begin(); it != samples_.end();) {
    const float age = now - it->time;
    if (age >= lifetime) {
      it = samples_.erase(it);
      continue;
    }
    const float u = CoordinateAt(age);
    if (previousU > 0 && previous && image && g_renderer) {
      const float corners[8] = {previous->x1, previous->y1, previous->x2, previous->y2,
                                it->x1,       it->y1,       it->x2,       it->y2};
      const float uv[8] = {previousU, 0, previousU, 1, u, 0, u, 1};
      g_renderer->DrawQuads(image, 1, corners, uv, nullptr, 0, 0xFFFFFFFFu);
    }
    previousU = u;
    previous = &*it;
    ++it;
  }
}

}  // namespace GCore
