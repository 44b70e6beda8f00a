// Particle emitters on a recording renderer: emission by rate and duration,
// the particles' sizes, motion and colours over their lives, where they are
// drawn, the copy, and the script members' shared names.
#include <cmath>
#include <cstdlib>

#include "DisplayFixture.h"
#include "display/ParticleSystem.h"
#include "render/Image.h"
#include "render/Texture.h"

namespace {

using GCore::ParticleSystem;

constexpr uint32_t kImageId = 0x50000001;

class ParticleSystemTest : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Run("g = require 'gcore.c'");
    std::srand(1);
  }

  // An emitter of the given size centred on (x, y), its particles living
  // `life` seconds, emitting one particle every 10 ms up to `max`.
  ParticleSystem* MakeEmitter(uint32_t max, float life = 10, float size = 0, float x = 0,
                              float y = 0) {
    ParticleSystem* emitter = Make<ParticleSystem>("e");
    emitter->anchorMinX = emitter->anchorMaxX = emitter->anchorMinY = emitter->anchorMaxY = 0;
    emitter->offsetMinX = x - size / 2;
    emitter->offsetMaxX = x + size / 2;
    emitter->offsetMinY = y - size / 2;
    emitter->offsetMaxY = y + size / 2;
    emitter->settings.life = life;
    emitter->settings.emissionRate = 1000;
    emitter->Restart(max);
    emitter->Draw();  // no step yet: brings the world matrix up to date
    return emitter;
  }

  void AddImage(uint32_t id) {
    GCore::Image* image = resources->CreateImage(GCore::OwnerPair{1, id}, true);
    ASSERT_NE(image, nullptr);
    auto texture = std::make_unique<GCore::Texture>(1, id);
    texture->width = texture->height = 8;
    image->AdoptTexture(std::move(texture));
    image->width = image->height = 8;
    image->UpdateTexCoords();
  }

  size_t Count(const ParticleSystem* emitter) const { return emitter->Particles().size(); }
};

TEST_F(ParticleSystemTest, EmitsOneParticlePerIntervalOfTheRate) {
  const struct {
    int32_t rate;
    float seconds;
    size_t particles;
    int32_t rateAfter;
  } cases[] = {
      {100, 0.25f, 2, 100},  // one every 0.1 s
      {1000, 0.0555f, 5, 1000},
      {0, 10.5f, 1, 1},  // raised to 1: one every 10 s
      {-7, 9.5f, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("rate " + std::to_string(c.rate));
    ParticleSystem* emitter = MakeEmitter(100, 100);
    emitter->settings.emissionRate = c.rate;
    emitter->Advance(c.seconds);
    EXPECT_EQ(Count(emitter), c.particles);
    EXPECT_EQ(emitter->settings.emissionRate, c.rateAfter);
    EXPECT_EQ(emitter->hasParticles, c.particles > 0);
  }
}

TEST_F(ParticleSystemTest, NeverMoreThanTheMaximumAlive) {
  ParticleSystem* emitter = MakeEmitter(3);
  emitter->Advance(1);
  EXPECT_EQ(Count(emitter), 3u);
  // The emission owed while full is not saved up.
  const float owed = emitter->accumulator;
  emitter->Advance(1);
  EXPECT_EQ(emitter->accumulator, owed);
  // Writing the maximum removes every particle and restarts.
  emitter->emitting = false;
  Run("e.maxParticles = 2");
  EXPECT_EQ(Count(emitter), 0u);
  EXPECT_TRUE(emitter->emitting);
  EXPECT_EQ(Eval("e.maxParticles"), "2");
}

TEST_F(ParticleSystemTest, ScriptCountsAndRatesAreBounded) {
  ParticleSystem* emitter = MakeEmitter(1);
  const std::string cap = std::to_string(ParticleSystem::kMaxParticles);
  const struct {
    const char* value;
    std::string particles;  // maxParticles read back
    const char* rate;       // emissionRate read back
  } cases[] = {
      {"300", "300", "300"},
      {"-1", cap, "-1"},
      {"4294967295", cap, "-1"},
      {"math.huge", cap, "2147483647"},
      {"2147483647", cap, "2147483647"},
      {"0/0", "0", "0"},
      {"-math.huge", "0", "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    testing::internal::CaptureStdout();
    Run(std::string("e.maxParticles = ") + c.value + "; e.emissionRate = " + c.value);
    const std::string said = testing::internal::GetCapturedStdout();
    // Checked before any advance: an uncapped count would take all memory.
    ASSERT_EQ(Eval("e.maxParticles"), c.particles);
    EXPECT_EQ(Eval("e.emissionRate"), c.rate);
    EXPECT_EQ(said.find("kept alive at most") != std::string::npos, c.particles == cap) << said;
  }

  // The fastest rate with the most particles: each advance births no more
  // than the room left under the cap, and the store stays within it.
  Run("e.maxParticles = -1; e.emissionRate = 2147483647");
  for (int advance = 0; advance < 3; ++advance) {
    emitter->Advance(0.016f);
    ASSERT_EQ(Count(emitter), ParticleSystem::kMaxParticles);
  }
  EXPECT_LE(emitter->Particles().capacity(), size_t{ParticleSystem::kMaxParticles} * 2);
}

TEST_F(ParticleSystemTest, DurationStopsTheEmissionAndStaysSpent) {
  ParticleSystem* emitter = MakeEmitter(1000);
  emitter->settings.duration = 2;
  emitter->settings.emissionRate = 100;
  int advances = 0;
  while (emitter->emitting && advances < 1000) {
    emitter->Advance(0.015f);
    ++advances;
  }
  EXPECT_EQ(advances, 134) << "the advance in which the elapsed time passes 2 s";
  EXPECT_EQ(emitter->elapsed, 2.0f);
  EXPECT_EQ(emitter->accumulator, 0.0f);
  const size_t alive = Count(emitter);
  EXPECT_GT(alive, 0u);

  // A restart clears the particles and emits for one advance only.
  Run("e.maxParticles = 1000");
  EXPECT_TRUE(emitter->emitting);
  emitter->Advance(0.015f);
  EXPECT_FALSE(emitter->emitting);
  EXPECT_EQ(Count(emitter), 0u);
  EXPECT_EQ(emitter->elapsed, 2.0f);
}

TEST_F(ParticleSystemTest, SizesOverTheLife) {
  const struct {
    float endSize;
    float sizeAtHalf;
    size_t aliveAtEnd;
  } cases[] = {
      {-1, 10, 1},  // keeps the start size
      {0, 5, 1},    // shrinks to nothing as its life ends
      {20, 15, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("end size " + std::to_string(c.endSize));
    ParticleSystem* emitter = MakeEmitter(1, 1.0f);
    emitter->settings.startSize = 10;
    emitter->settings.endSize = c.endSize;
    emitter->settings.duration = 0.0125f;
    emitter->Advance(0.0125f);  // born and moved by 12.5 ms
    emitter->Advance(0.4875f);
    ASSERT_EQ(Count(emitter), 1u);
    EXPECT_NEAR(emitter->Particles()[0].size, c.sizeAtHalf, 1e-3);
    emitter->Advance(0.49f);
    EXPECT_EQ(Count(emitter), c.aliveAtEnd);
    emitter->Advance(0.02f);
    EXPECT_EQ(Count(emitter), 0u) << "the life ran out";
    EXPECT_FALSE(emitter->hasParticles);
  }
  // A particle without a size goes in the advance that makes it.
  ParticleSystem* emitter = MakeEmitter(1, 1.0f);
  emitter->settings.startSize = 0;
  emitter->Advance(0.0125f);
  EXPECT_EQ(Count(emitter), 0u);
}

TEST_F(ParticleSystemTest, ColoursRunFromStartToEnd) {
  ParticleSystem* emitter = MakeEmitter(1, 1.0f);
  emitter->settings.duration = 0.0125f;
  Run("e.startColor = 0x0000FF; e.startAlpha = 255; e.endColor = 0xFF0000; e.endAlpha = 0");
  emitter->Advance(0.0125f);
  emitter->Advance(0.4875f);
  ASSERT_EQ(Count(emitter), 1u);
  const float* colour = emitter->Particles()[0].colour;
  EXPECT_NEAR(colour[0], 0.5f, 1e-4);
  EXPECT_NEAR(colour[1], 0.0f, 1e-4);
  EXPECT_NEAR(colour[2], 0.5f, 1e-4);
  EXPECT_NEAR(colour[3], 0.5f, 1e-4);
}

TEST_F(ParticleSystemTest, VariancesFollowTheSeed) {
  auto burst = [this](unsigned seed) {
    std::srand(seed);
    ParticleSystem* emitter = MakeEmitter(4, 1.0f, 40);
    emitter->settings.startSize = 10;
    emitter->settings.startSizeVar = 5;
    emitter->settings.startColorVar[0] = -200;
    emitter->settings.param1Var = 30;
    emitter->Advance(0.0455f);
    std::vector<float> values;
    for (const GCore::Particle& p : emitter->Particles()) {
      values.insert(values.end(), {p.x, p.y, p.size, p.colour[0], p.motion[0], p.motion[1]});
    }
    return values;
  };
  const std::vector<float> first = burst(5);
  ASSERT_EQ(first.size(), 4u * 6);
  EXPECT_EQ(burst(5), first);
  EXPECT_NE(burst(6), first);
  for (size_t i = 0; i < first.size(); i += 6) {
    EXPECT_LE(std::abs(first[i]), 20.0f) << "inside the emitter's 40 x 40 rectangle";
    EXPECT_LE(std::abs(first[i + 1]), 20.0f);
    EXPECT_GE(first[i + 2], 5.0f);
    EXPECT_LE(first[i + 2], 15.0f);
    EXPECT_LE(first[i + 3], 1.0f) << "colours are clamped at birth";
  }
}

TEST_F(ParticleSystemTest, GravityModeMotion) {
  const struct {
    const char* name;
    float emitterSize;
    bool moves;
  } cases[] = {
      // Born at the origin: no direction, so no radial or tangential pull.
      {"at the origin", 0, false},
      {"off the origin", 40, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ParticleSystem* emitter = MakeEmitter(1, 10, c.emitterSize);
    emitter->settings.param4 = 100;  // radial acceleration
    emitter->settings.tangentialAccel = 100;
    emitter->Advance(0.02f);
    ASSERT_EQ(Count(emitter), 1u);
    const GCore::Particle before = emitter->Particles()[0];
    emitter->Advance(0.1f);
    const GCore::Particle& after = emitter->Particles()[0];
    EXPECT_EQ(after.x != before.x || after.y != before.y, c.moves);
  }

  // Speed along the angle (0 degrees points down the y axis) plus gravity.
  ParticleSystem* emitter = MakeEmitter(1);
  emitter->settings.param1 = 100;
  emitter->settings.param2 = 10;  // gravity x
  emitter->settings.angle = 0;
  emitter->Advance(0.015f);
  emitter->Advance(0.1f);
  const GCore::Particle& p = emitter->Particles()[0];
  EXPECT_NEAR(p.motion[0], 10 * 0.115f, 1e-3);
  EXPECT_NEAR(p.motion[1], -100, 1e-3);
  EXPECT_NEAR(p.y, -100 * 0.115f, 1e-3);
}

TEST_F(ParticleSystemTest, RadialModeCirclesTheEmitter) {
  ParticleSystem* emitter = MakeEmitter(1);
  Run("e.emitterMode = 1; e.startRadius = 50; e.endRadius = 0; e.rotatePerSecond = 90; e.angle = "
      "90");
  emitter->Advance(0.015f);  // born at angle 0 and turned by 15 ms
  emitter->Advance(0.985f);  // a quarter turn in all
  const GCore::Particle& p = emitter->Particles()[0];
  EXPECT_NEAR(p.x, 0, 1e-3);
  EXPECT_NEAR(p.y, -50, 1e-3);

  // An end radius above 0 moves the radius there over the life (10 s).
  ParticleSystem* growing = MakeEmitter(1);
  Run("e.emitterMode = 1; e.startRadius = 50; e.endRadius = 150; e.angle = 90");
  growing->Advance(0.015f);
  growing->Advance(4.985f);
  EXPECT_NEAR(growing->Particles()[0].x, -100, 1e-2);
}

TEST_F(ParticleSystemTest, ParticlesStayWhereTheEmitterWasAtTheirBirth) {
  AddImage(kImageId);
  ParticleSystem* emitter = MakeEmitter(2, 10, 0, 30, 40);
  emitter->SetMedia(kImageId);
  emitter->settings.startSize = 10;
  emitter->settings.emissionRate = 100;
  Step(100);
  emitter->Draw();
  ASSERT_EQ(Count(emitter), 0u) << "0.1 s owed is not above the interval yet";
  Step(20);
  emitter->Draw();
  ASSERT_EQ(Count(emitter), 1u);

  emitter->offsetMinX += 100;
  emitter->offsetMaxX += 100;
  emitter->Invalidate(true);
  renderer.Flush(nullptr);
  renderer.batches.clear();
  Step(100);
  emitter->Draw();
  ASSERT_EQ(Count(emitter), 2u);
  EXPECT_EQ(emitter->Particles()[0].birthMatrix[4], 30);
  EXPECT_EQ(emitter->Particles()[1].birthMatrix[4], 130);
  // Both squares of 10 around their birth places, in order of birth.
  const std::vector<RecordedVertex> drawn = renderer.Pending();
  ASSERT_EQ(drawn.size(), 12u);
  for (size_t i = 0; i < 2; ++i) {
    float left = 1e9, right = -1e9, bottom = 1e9, top = -1e9;
    for (size_t k = 6 * i; k < 6 * i + 6; ++k) {
      left = std::min(left, drawn[k].x);
      right = std::max(right, drawn[k].x);
      bottom = std::min(bottom, drawn[k].y);
      top = std::max(top, drawn[k].y);
    }
    SCOPED_TRACE("particle " + std::to_string(i));
    EXPECT_NEAR(left, 25 + 100 * i, 1e-3);
    EXPECT_NEAR(right, 35 + 100 * i, 1e-3);
    EXPECT_NEAR(bottom, 35, 1e-3);
    EXPECT_NEAR(top, 45, 1e-3);
    EXPECT_FLOAT_EQ(drawn[6 * i].a, 1.0f) << "the emitter's own colour is not applied";
  }
}

TEST_F(ParticleSystemTest, NothingAdvancesWhileInvisible) {
  ParticleSystem* emitter = MakeEmitter(10);
  emitter->visible = false;
  Step(500);
  emitter->Draw();
  EXPECT_EQ(Count(emitter), 0u);
  EXPECT_EQ(emitter->elapsed, 0.0f);
}

TEST_F(ParticleSystemTest, CopyTakesTheSettingsNotTheParticles) {
  ParticleSystem* emitter = MakeEmitter(5);
  Run("e.life = 3; e.startColor = 0x123456; e.startGreenVar = -7; e.gravityY = -9; e.spareValue = "
      "4");
  emitter->Advance(0.035f);
  ASSERT_EQ(Count(emitter), 3u);
  Run("c = g.Clone(e)");
  EXPECT_EQ(Eval("c.type"), "ParticleSystem");
  EXPECT_EQ(
      Eval("string.format('%g %x %d %g %d %d', c.life, c.startColor, c.startGreenVar, c.gravityY, "
           "c.spareValue, c.maxParticles)"),
      "3 123456 -7 -9 4 5");
  EXPECT_EQ(Eval("c.emitting and c.hasParticles"), "true");
  lua_getglobal(L, "c");
  auto* copy = GCore::ToObject<ParticleSystem>(L, -1);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(Count(copy), 0u);
  EXPECT_EQ(copy->elapsed, 0.0f);
  EXPECT_EQ(copy->accumulator, emitter->accumulator);
  lua_settop(L, 0);
}

TEST_F(ParticleSystemTest, MembersOfTheTwoModesShareTheirValues) {
  Make<ParticleSystem>("e");
  const std::pair<const char*, const char*> pairs[] = {
      {"speed", "startRadius"},           {"speedVar", "startRadiusVar"},
      {"gravityX", "endRadius"},          {"gravityY", "endRadiusVar"},
      {"radialAccel", "rotatePerSecond"}, {"radialAccelVar", "rotatePerSecondVar"},
  };
  double value = 1.5;
  for (const auto& [gravity, radial] : pairs) {
    SCOPED_TRACE(gravity);
    Run(std::string("e.") + gravity + " = " + std::to_string(value));
    EXPECT_EQ(Eval(std::string("e.") + radial), Eval(std::to_string(value)));
    Run(std::string("e.") + radial + " = " + std::to_string(value + 1));
    EXPECT_EQ(Eval(std::string("e.") + gravity), Eval(std::to_string(value + 1)));
    value += 10;
  }
}

}  // namespace
