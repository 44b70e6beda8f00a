#pragma once
// An entity that emits, moves and draws particles: small squares showing the
// emitter's media, coloured, sized and spun from start to end values over
// their lives, moving under gravity with radial and tangential acceleration
// (gravity mode) or on a circle around the emitter (radial mode).
// Rules:
//  - Particles move only while the emitter draws (once per drawn frame, by
//    the game's last step); nothing advances while it is invisible or off
//    the display list. Children of an emitter are not drawn.
//  - A particle keeps the emitter's world matrix of its birth, so moving the
//    emitter leaves the particles already out where they are.
//  - At most kMaxParticles particles live in one emitter, whatever count a
//    script asks for: the births of one advance then never exceed the room
//    left under it, however high the emission rate.
//  - Each particle draws its random numbers from a sequence of its own,
//    started by one call of the C library's rand(): srand makes a run
//    repeatable.
// Main thread only.
#include <cstdint>
#include <vector>

#include <lua.hpp>

#include "display/Entity.h"

namespace GCore {

// Every parameter of the emitter that scripts set; a copy takes them all.
struct ParticleSettings {
  uint32_t maxParticles = 0;
  float duration = -1;            // seconds; -1 = for ever
  int32_t emissionRate = 100;     // one particle every 10 / rate seconds
  float angle = 0, angleVar = 0;  // degrees
  int32_t spareValue = 0;         // kept for scripts
  int32_t emitterMode = 0;        // 0 gravity mode, else radial mode
  float life = 1, lifeVar = 0;    // seconds
  float startSize = 1, startSizeVar = 0;
  float endSize = -1, endSizeVar = 0;  // -1: keep the start size
  // Red in bits 0-7, green 8-15, blue 16-23; alpha apart.
  uint32_t startColor = 0xFFFFFFFF;
  uint8_t startAlpha = 255;
  int16_t startColorVar[4] = {0, 0, 0, 0};  // red, green, blue, alpha on the 0-255 scale
  uint32_t endColor = 0xFFFFFFFF;
  uint8_t endAlpha = 255;
  int16_t endColorVar[4] = {0, 0, 0, 0};
  float startSpin = 0, startSpinVar = 0;  // degrees
  float endSpin = 0, endSpinVar = 0;
  // One value each, read by the mode: gravity mode speed, gravity x and y and
  // radial acceleration; radial mode start radius, end radius and its
  // variance, and degrees per second.
  float param1 = 0, param1Var = 0;
  float param2 = 0, param3 = 0;
  float param4 = 0, param4Var = 0;
  float tangentialAccel = 0, tangentialAccelVar = 0;  // gravity mode only
};

struct Particle {
  float x, y;            // in the emitter's space at birth
  uint32_t birthTime;    // game time, ms
  float birthMatrix[6];  // a, b, c, d, tx, ty
  float colour[4];       // red, green, blue, alpha, 0 to 1
  float colourDelta[4];  // per second
  float size, sizeDelta;
  float rotation, rotationDelta;  // degrees
  // Gravity mode: velocity x, y. Radial mode: angle and its change (radians).
  float motion[2];
  // Gravity mode: radial and tangential acceleration. Radial mode: radius
  // and its change.
  float accel[2];
  float lifeLeft;  // seconds
};

class ParticleSystem : public Entity {
 public:
  static const ClassInfo classInfo;
  // The most particles one emitter keeps alive (100 bytes each).
  static constexpr uint32_t kMaxParticles = 1 << 16;

  explicit ParticleSystem(lua_State* L);
  const ClassInfo* GetClassInfo() const override { return &classInfo; }

  // The entity copy, then from an emitter its settings, emitting, has
  // particles and the emission owed; not its particles or elapsed time.
  void CopyFrom(DisplayObject* source) override;
  // While visible: the base draw, the bounds of its own rectangle, Advance.
  void Draw() override;
  const char* GetClassName() const override { return "ParticleSystem"; }

  // Removes every particle, stores the count (at most kMaxParticles, with a
  // message when more was asked for) and starts emitting (the elapsed time
  // stays).
  void Restart(uint32_t maxParticles);
  // One step of `dt` seconds: emission, then every particle moved and drawn.
  void Advance(float dt);

  const std::vector<Particle>& Particles() const { return particles_; }

  ParticleSettings settings;
  bool emitting = false;
  bool hasParticles = false;  // after each advance: any particle alive
  float accumulator = 0;      // seconds owed to emission
  float elapsed = 0;          // seconds emitted so far

 private:
  void Emit();
  void Move(Particle& p, float dt) const;
  void DrawParticle(const Particle& p, Matrix& scratch);

  std::vector<Particle> particles_;
};

// The "ParticleSystem" class of a project state: metatable and creator.
void RegisterParticleSystemClass(lua_State* L);
// The script constructor "ParticleSystem": a new emitter (arguments ignored).
int NewParticleSystemScript(lua_State* L);

}  // namespace GCore
