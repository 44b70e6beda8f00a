// Frame work of a particle emitter with 10,000 live particles, without a
// window: each frame moves every particle and appends its square to the
// renderer's batch (a renderer that sends nothing on to GL). The reference
// line appends the same number of squares with DrawImage alone, so the
// difference is the emitter's own simulation.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "BlankImage.h"
#include "HeadlessProject.h"
#include "base/Log.h"
#include "core/ScriptVM.h"
#include "display/ParticleSystem.h"
#include "game/GameIF.h"
#include "platform/MessageBox.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "render/ResourceManager.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFrames = 120;
constexpr uint32_t kStepMs = 16;
constexpr uint32_t kImageId = 0x50000001;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// A fountain: particles leave upward in a wide fan, fall, shrink and fade,
// each living longer than the measured frames.
void Configure(GCore::ParticleSystem& emitter, uint32_t count) {
  GCore::ParticleSettings& s = emitter.settings;
  s.emissionRate = 10000000;  // all of them in the first frame
  s.life = 5;
  s.angle = 180;
  s.angleVar = 60;
  s.param1 = 200;  // speed
  s.param1Var = 50;
  s.param3 = -100;  // gravity y
  s.param4 = 10;  // radial acceleration
  s.startSize = 12;
  s.endSize = 2;
  s.startSpinVar = 180;
  s.endSpin = 360;
  s.startColor = 0x40C0FF;
  s.endColor = 0xFF4000;
  s.endAlpha = 0;
  s.startColorVar[0] = 40;
  emitter.offsetMaxX = emitter.offsetMaxY = 50;
  emitter.offsetMinX = emitter.offsetMinY = -50;
  emitter.Restart(count);
}

}  // namespace

int main() {
  GCore::SetMessageBoxHook([](const char*, const char*) { return GCore::kMessageBoxOk; });
  std::srand(1);
  {
    bench::HeadlessProject project;
    lua_State* L = project.L;
    GCore::GameIF* game = project.game.get();
    GCore::Renderer renderer;  // appends to its batch, sends nothing to GL
    auto resources = std::make_unique<GCore::ResourceManager>();
    const GCore::Image* image = bench::AddBlankImage(*resources, kImageId, 8, 8);

    constexpr uint32_t kParticles = 10000;
    GCore::Retained<GCore::ParticleSystem> emitter(
        GCore::NewDisplayObject<GCore::ParticleSystem>(L));
    emitter->SetMedia(kImageId);
    Configure(*emitter.Get(), kParticles);
    game->lastStep = kStepMs;
    game->gameTime += kStepMs;
    emitter->Draw();
    const size_t alive = emitter->Particles().size();

    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kFrames; ++i) {
      game->gameTime += kStepMs;
      emitter->Draw();
      renderer.Flush(nullptr);
    }
    const double frame = Seconds(start) / kFrames;

    // The reference: the same squares, placed and coloured alike, appended
    // without any simulation.
    const float colour[4] = {1, 1, 1, 1};
    const GCore::Matrix& matrix = *emitter->worldMatrix.Get();
    const Clock::time_point drawStart = Clock::now();
    for (int i = 0; i < kFrames; ++i) {
      for (const GCore::Particle& p : emitter->Particles()) {
        const float xs[4] = {p.x - 4, p.x + 4, p.x - 4, p.x + 4};
        const float ys[4] = {p.y - 4, p.y - 4, p.y + 4, p.y + 4};
        GCore::DrawPlacement at;
        at.matrix = &matrix;
        at.cornerX = xs;
        at.cornerY = ys;
        renderer.DrawImage(image, nullptr, colour, GCore::kPlaceCornersMatrix, at);
      }
      renderer.Flush(nullptr);
    }
    const double append = Seconds(drawStart) / kFrames;

    std::printf("particle emitter, no GL: %d frames of %u ms\n", kFrames, kStepMs);
    std::printf("%10s %12s %12s %14s %14s\n", "particles", "frame ms", "append ms",
                "ns/particle", "simulation ns");
    std::printf("%10zu %12.3f %12.3f %14.0f %14.0f\n", alive, frame * 1e3, append * 1e3,
                frame * 1e9 / static_cast<double>(alive),
                (frame - append) * 1e9 / static_cast<double>(alive));
    std::printf("alive after the frames: %zu\n", emitter->Particles().size());
  }
  GCore::LogClose();
  return 0;
}
