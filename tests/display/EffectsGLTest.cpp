// Particle bursts, trails and sprites drawn by the GLES2 renderer on the
// surfaceless context and read back. The design (200 x 100) fills the
// window, so design units are pixels, y counted from the bottom.
#include <cmath>
#include <cstdlib>

#include "render/ResourceGLFixture.h"

#include "game/GCoreApi.h"
#include "display/ParticleSystem.h"
#include "display/Quad.h"
#include "display/Sprite.h"
#include "display/Trail.h"
#include "render/Image.h"
#include "render/PngFixtures.h"

namespace {

constexpr Rgba kBlack = {0, 0, 0, 255};
constexpr Rgba kWhite = {255, 255, 255, 255};

class EffectsOnScreen : public ResourceGLFixture {
 protected:
  void SetUp() override {
    ResourceGLFixture::SetUp();
    L = game.game->GetLuaManager()->GetProject(1)->state;
    GCore::RegisterScriptClasses(L);
  }

  // A new object of class T held by the test, placed by its rectangle.
  template <class T>
  T* Make(float left, float bottom, float right, float top) {
    T* object = GCore::NewDisplayObject<T>(L);
    kept.emplace_back(object);
    object->anchorMinX = object->anchorMaxX = object->anchorMinY = object->anchorMaxY = 0;
    Move(object, left, bottom, right, top);
    object->textureFilter = GCore::kFilterNearest;
    return object;
  }

  static void Move(GCore::DisplayObject* object, float left, float bottom, float right, float top) {
    object->offsetMinX = left;
    object->offsetMinY = bottom;
    object->offsetMaxX = right;
    object->offsetMaxY = top;
    object->Invalidate(true);
  }

  // Advances the game by `ms` and draws a frame of the object.
  void StepAndDraw(GCore::DisplayObject* object, uint32_t ms) {
    game.game->lastStep = ms;
    game.game->gameTime += ms;
    Frame([object] { object->Draw(); });
  }

  lua_State* L = nullptr;
  std::vector<GCore::Retained<GCore::DisplayObject>> kept;
};

TEST_F(EffectsOnScreen, ParticleBurstAtItsEmitterFadesFromRedToBlue) {
  game.WriteImage("game", 0x42, testpng::EncodeRgba(4, 4, std::vector<uint8_t>(64, 255)));
  std::srand(3);
  // A 40-wide line of birth places across (100, 50).
  auto* emitter = Make<GCore::ParticleSystem>(80, 50, 120, 50);
  emitter->SetMedia(TestGame::Id(0x42));
  GCore::ParticleSettings& s = emitter->settings;
  s.emissionRate = 1000;
  s.duration = 0.02f;
  s.life = 1;
  s.startSize = 8;
  s.startColor = 0x0000FF;  // red
  s.endColor = 0xFF0000;    // blue
  emitter->Restart(5);

  const struct {
    uint32_t ms;
    Rgba colour;
  } frames[] = {
      {51, {242, 0, 13, 255}},    // born and aged 51 ms in this frame
      {449, {128, 0, 128, 255}},  // half their life
  };
  std::vector<int> places;
  for (const auto& f : frames) {
    SCOPED_TRACE("frame of " + std::to_string(f.ms) + " ms");
    StepAndDraw(emitter, f.ms);
    ASSERT_EQ(emitter->Particles().size(), 5u);
    places.clear();
    for (const GCore::Particle& p : emitter->Particles()) {
      EXPECT_EQ(p.y, 0);
      places.push_back(static_cast<int>(std::lround(100 + p.x)));
      EXPECT_TRUE(Near(At(places.back(), 50), f.colour, 3)) << "at x " << places.back();
    }
    EXPECT_TRUE(Near(At(100, 58), kBlack)) << "nothing above the line";
    EXPECT_TRUE(Near(At(75, 50), kBlack)) << "nothing beyond the emitter";
    EXPECT_TRUE(Near(At(125, 50), kBlack));
  }
  // The particles spread over the line, differently for another seed.
  EXPECT_GT(*std::max_element(places.begin(), places.end()) -
                *std::min_element(places.begin(), places.end()),
            4);

  StepAndDraw(emitter, 500);
  EXPECT_FALSE(emitter->hasParticles) << "their life ran out";
  for (int x : places) EXPECT_TRUE(Near(At(x, 50), kBlack)) << "at x " << x;
}

TEST_F(EffectsOnScreen, TrailBehindAMovingTarget) {
  // u below 0.5 shows the clear left texel, above it the white right one:
  // the ribbon vanishes where its samples are older than fadeStart.
  game.WriteImage("game", 0x43, testpng::EncodeRgba(2, 1, {0, 0, 0, 0, 255, 255, 255, 255}));
  auto* trail = Make<GCore::Trail>(15, 40, 25, 60);  // 20 high around (20, 50)
  trail->SetMedia(TestGame::Id(0x43));
  trail->lifetime = 400;
  trail->fadeStart = 200;
  for (float x : {20.0f, 60.0f, 100.0f, 140.0f}) {
    Move(trail, x - 5, 40, x + 5, 60);
    StepAndDraw(trail, 100);
  }
  // Ages 300, 200, 100 and 0 ms at x 20, 60, 100 and 140.
  const struct {
    int x, y;
    Rgba colour;
    const char* what;
  } pixels[] = {
      {35, 50, kBlack, "older than fadeStart: faded"},
      {80, 50, kWhite, "younger than fadeStart"},
      {120, 50, kWhite, "the newest stretch"},
      {120, 58, kWhite, "its top"},
      {120, 63, kBlack, "above the ribbon"},
      {160, 50, kBlack, "ahead of the target"},
  };
  for (const auto& p : pixels) EXPECT_TRUE(Near(At(p.x, p.y), p.colour)) << p.what;

  // 300 ms later every sample but the newest is gone: no ribbon at all.
  StepAndDraw(trail, 300);
  EXPECT_EQ(trail->Samples().size(), 2u);
  EXPECT_TRUE(Near(At(80, 50), kBlack));
  EXPECT_TRUE(Near(At(120, 50), kBlack));
}

TEST_F(EffectsOnScreen, SpritePlaysTheFramesOfItsChild) {
  // Two cells side by side, 100 ms each: red, then green.
  std::vector<uint8_t> cells;
  for (int i = 0; i < 20 * 10; ++i) {
    const bool left = i % 20 < 10;
    cells.insert(cells.end(), {static_cast<uint8_t>(left ? 255 : 0), static_cast<uint8_t>(left ? 0 : 255), 0, 255});
  }
  game.WriteImage("game", 0x44, testpng::EncodeRgba(20, 10, cells));
  GCore::Image* image = GCore::g_resourceManager->GetImage(GCore::OwnerPair{1, TestGame::Id(0x44)});
  ASSERT_NE(image, nullptr);
  const uint8_t grid[4] = {0, 100, 2, 1};
  std::copy(grid, grid + 4, image->insets);

  auto* sprite = Make<GCore::Sprite>(0, 0, 200, 100);
  sprite->pivotX = sprite->pivotY = 0;
  auto* quad = Make<GCore::Quad>(40, 20, 80, 60);
  quad->SetMedia(TestGame::Id(0x44));
  sprite->AddChild(quad, 0);

  const struct {
    uint32_t ms;
    float shift;
    uint8_t alpha;
    Rgba inside;
  } frames[] = {
      {0, 0, 255, {255, 0, 0, 255}},
      {100, 0, 255, {0, 255, 0, 255}},
      {100, 50, 255, {255, 0, 0, 255}},  // moved with the sprite
      {100, 50, 128, {0, 128, 0, 191}},  // faded with it (alpha as blended)
  };
  for (const auto& f : frames) {
    SCOPED_TRACE("frame " + std::to_string(game.game->gameTime + f.ms) + " ms");
    Move(sprite, f.shift, 0, 200 + f.shift, 100);
    sprite->localColor.a = f.alpha;
    sprite->Invalidate(false);
    StepAndDraw(sprite, f.ms);
    const int x = static_cast<int>(f.shift);
    EXPECT_TRUE(Near(At(60 + x, 40), f.inside));
    EXPECT_TRUE(Near(At(38 + x, 40), kBlack)) << "left of the quad";
    EXPECT_TRUE(Near(At(82 + x, 40), kBlack)) << "right of it";
  }
}

}  // namespace
