#include "display/ParticleSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/Log.h"
#include "core/AirData.h"
#include "core/GameIF.h"
#include "render/Image.h"
#include "render/Renderer.h"

namespace GCore {

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kDegrees = kPi / 180.0f;

// A particle's own random sequence: one C-library rand() seeds it, then a
// linear congruential step gives each number, in [-1, 1).
class Variation {
 public:
  Variation() : state_(static_cast<uint32_t>(std::rand()) * kMultiplier + 1) {}

  float Next() {
    const float v = -1.0f + static_cast<float>(state_ & 0x7FFF) / 16384.0f;
    state_ = state_ * kMultiplier + 1;
    return v;
  }
  // base ± variance
  float Around(float base, float variance) { return base + Next() * variance; }

 private:
  static constexpr uint32_t kMultiplier = 134775813u;
  uint32_t state_;
};

float Clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

// The channel of a packed colour (red in the low byte), alpha taken apart.
float Channel(uint32_t colour, uint8_t alpha, int channel) {
  const uint32_t byte = channel == 3 ? alpha : colour >> (8 * channel) & 0xFF;
  return static_cast<float>(byte) / 255.0f;
}

}  // namespace

const ClassInfo ParticleSystem::classInfo = {"ParticleSystem", &Entity::classInfo};

ParticleSystem::ParticleSystem(lua_State* L) : Entity(L) {}

void ParticleSystem::CopyFrom(DisplayObject* source) {
  Entity::CopyFrom(source);
  auto* emitter = static_cast<ParticleSystem*>(CastToClass(&classInfo, source));
  if (!emitter || emitter == this) return;
  settings = emitter->settings;
  emitting = emitter->emitting;
  hasParticles = emitter->hasParticles;
  accumulator = emitter->accumulator;
}

void ParticleSystem::Restart(uint32_t maxParticles) {
  particles_.clear();
  if (maxParticles > kMaxParticles) {
    LogPrintf("maxParticles: %u particles asked for, %u kept alive at most\n", maxParticles,
              kMaxParticles);
    maxParticles = kMaxParticles;
  }
  settings.maxParticles = maxParticles;
  emitting = true;
}

void ParticleSystem::Draw() {
  if (!visible) return;
  DisplayObject::Draw();
  if (dirty & kDirtyBounds) {
    SetBoundsFromOwnRect();
    dirty &= static_cast<uint8_t>(~kDirtyBounds);
  }
  Advance(static_cast<float>(g_game ? g_game->lastStep : 0) * 0.001f);
}

void ParticleSystem::Advance(float dt) {
  if (emitting) {
    settings.emissionRate = std::max(settings.emissionRate, 1);
    const float interval = 10.0f / static_cast<float>(settings.emissionRate);
    if (particles_.size() < settings.maxParticles) accumulator += dt;
    while (particles_.size() < settings.maxParticles && accumulator > interval) {
      Emit();
      accumulator -= interval;
    }
    elapsed += dt;
    if (settings.duration != -1.0f && elapsed > settings.duration) {
      emitting = false;
      elapsed = settings.duration;
      accumulator = 0;
    }
  }

  // The matrix each particle is drawn through; its values change per particle.
  Matrix scratch;
  size_t kept = 0;
  for (size_t i = 0; i < particles_.size(); ++i) {
    Particle& p = particles_[i];
    p.lifeLeft -= dt;
    if (p.lifeLeft <= 0) continue;
    Move(p, dt);
    DrawParticle(p, scratch);
    if (p.size <= 0) continue;
    if (kept != i) particles_[kept] = p;
    ++kept;
  }
  particles_.resize(kept);
  hasParticles = kept > 0;
}

void ParticleSystem::Emit() {
  const ParticleSettings& s = settings;
  Particle& p = particles_.emplace_back();
  Variation random;
  p.lifeLeft = random.Around(s.life, s.lifeVar);
  // Without a life the particle goes in this very advance.
  if (p.lifeLeft <= 0) return;
  const float life = p.lifeLeft;

  p.birthTime = g_game ? g_game->gameTime : 0;
  const Matrix& m = *worldMatrix.Get();
  const float birth[6] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
  std::copy(birth, birth + 6, p.birthMatrix);

  const float width = GetWidth();
  const float height = GetHeight();
  p.x = width * random.Next() * 0.5f;
  p.y = height * random.Next() * 0.5f;

  for (int c = 0; c < 4; ++c) {
    const float start = Clamp01(Channel(s.startColor, s.startAlpha, c) +
                                random.Next() * static_cast<float>(s.startColorVar[c]) / 255.0f);
    const float end = Clamp01(Channel(s.endColor, s.endAlpha, c) +
                              random.Next() * static_cast<float>(s.endColorVar[c]) / 255.0f);
    p.colour[c] = start;
    p.colourDelta[c] = (end - start) / life;
  }

  p.size = std::max(0.0f, random.Around(s.startSize, s.startSizeVar));
  p.sizeDelta = 0;
  if (s.endSize != -1.0f) {
    const float end = std::max(0.0f, random.Around(s.endSize, s.endSizeVar));
    p.sizeDelta = (end - p.size) / life;
  }

  p.rotation = random.Around(s.startSpin, s.startSpinVar);
  const float endSpin = random.Around(s.endSpin, s.endSpinVar);
  p.rotationDelta = (endSpin - p.rotation) / life;

  const float direction = (s.angleVar * random.Next() + s.angle - 90.0f) * kDegrees;
  if (s.emitterMode == 0) {
    const float speed = random.Around(s.param1, s.param1Var);
    p.motion[0] = speed * std::cos(direction);
    p.motion[1] = speed * std::sin(direction);
    p.accel[0] = random.Around(s.param4, s.param4Var);
    p.accel[1] = random.Around(s.tangentialAccel, s.tangentialAccelVar);
  } else {
    const float radius = random.Around(s.param1, s.param1Var);
    const float endRadius = random.Around(s.param2, s.param3);
    p.accel[0] = radius;
    p.accel[1] = s.param2 > 0 ? (endRadius - radius) / life : 0.0f;
    p.motion[0] = direction;
    p.motion[1] = random.Around(s.param4, s.param4Var) * kDegrees;
  }
}

void ParticleSystem::Move(Particle& p, float dt) const {
  if (settings.emitterMode != 0) {
    p.motion[0] += p.motion[1] * dt;
    p.accel[0] += p.accel[1] * dt;
    p.x = -std::cos(p.motion[0]) * p.accel[0];
    p.y = -std::sin(p.motion[0]) * p.accel[0];
  } else {
    float nx = 0, ny = 0;
    if (p.x != 0 || p.y != 0) {
      const float squared = p.x * p.x + p.y * p.y;
      if (squared > 0) {
        const float length = std::sqrt(squared);
        nx = p.x / length;
        ny = p.y / length;
      } else {
        nx = 1;  // too short to square
      }
    }
    // The tangential term acts on y alone, as emitters have always moved.
    const float ax = p.accel[0] * nx + settings.param2;
    const float ay = p.accel[0] * ny + p.accel[1] * nx + settings.param3;
    p.motion[0] += ax * dt;
    p.motion[1] += ay * dt;
    p.x += p.motion[0] * dt;
    p.y += p.motion[1] * dt;
  }
  p.size = std::max(0.0f, p.size + p.sizeDelta * dt);
  for (int c = 0; c < 4; ++c) p.colour[c] += p.colourDelta[c] * dt;
  p.rotation += p.rotationDelta * dt;
}

void ParticleSystem::DrawParticle(const Particle& p, Matrix& scratch) {
  if (!g_renderer) return;
  const uint32_t now = g_game ? g_game->gameTime : 0;
  AirFrameInfo frame;
  const Image* image = GetMediaFrame(&frame, static_cast<int64_t>(now - p.birthTime));
  if (!image) return;
  const float r = p.size * 0.5f * 1.4142135f;
  const float t = (p.rotation + 45.0f) * kDegrees;
  const float c = r * std::cos(t);
  const float s = r * std::sin(t);
  const float xs[4] = {p.x - s, p.x + c, p.x - c, p.x + s};
  const float ys[4] = {p.y - c, p.y - s, p.y + s, p.y + c};
  const float* b = p.birthMatrix;
  scratch.SetValues(b[0], b[1], b[2], b[3], b[4], b[5]);
  DrawPlacement at;
  at.matrix = &scratch;
  at.cornerX = xs;
  at.cornerY = ys;
  g_renderer->DrawImage(image, &frame, p.colour, kPlaceCornersMatrix, at);
}

}  // namespace GCore
