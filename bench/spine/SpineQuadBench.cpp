// SpineQuad frame work: N quads of the runtime benchmark's character (60
// bones, 40 slots, two weighted meshes, an IK chain), each playing "run"
// from its own start, drawn by the GLES2 renderer on Mesa's surfaceless
// context (800 x 600 pbuffer) at a 20 ms game step. Prints the engine's
// work per frame (advance, pose and batch of every quad) and the whole
// frame with GL's rasterising; beside it, the runtime's bare posing of the
// same N skeletons (update, apply, world transform), which the engine's
// work contains.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/GameSettings.h"
#include "core/Matrix.h"
#include "game/GCoreApi.h"
#include "platform/HeadlessGL.h"
#include "render/PNG.h"
#include "render/RendererGLES2.h"
#include "render/ResourceManager.h"
#include "render/TestGame.h"
#include "spine/AnimationState.h"
#include "spine/AnimationStateData.h"
#include "spine/SpineFixtures.h"
#include "spinequad/SpineQuad.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kFrames = 100;
constexpr uint32_t kStepMs = 20;
constexpr uint32_t kSkeletonId = 0x81050001;  // "img/000/1"

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The benchmark character over the fixture atlas, its page named "1.png".
void WriteCharacter(TestGame& game) {
  const std::vector<uint8_t> skeleton = skel::Encode(spinefix::BenchModel());
  game.root.Write("game/img/000/1.skel", std::string(skeleton.begin(), skeleton.end()));
  std::string atlas = spinefix::kAtlasText;
  atlas.replace(atlas.find("page.png"), 8, "1.png");
  game.root.Write("game/img/000/1.atlas", atlas);
  const std::vector<uint8_t> page(256 * 128 * 4, 200);
  game.root.Write("game/img/000/1.png", "");
  GCore::WritePng(game.root.Path("game/img/000/1.png").c_str(), page.data(), 256, 128);
}

struct Scene {
  std::vector<GCore::Retained<GCore::SpineQuad>> quads;
  Clock::duration engine{};
};
Scene g_scene;

void DrawQuads(GCore::DisplayObject*) {
  const Clock::time_point start = Clock::now();
  for (auto& quad : g_scene.quads) quad->Draw();
  g_scene.engine += Clock::now() - start;
}

// The runtime alone posing N skeletons for the same frames, after one
// untimed frame as the engine's.
double BarePoseMs(const GCore::SkeletonData* data, int count) {
  spinefix::StateDataPtr mixes(GCore::AnimationStateData_create(data));
  std::vector<spinefix::SkeletonPtr> skeletons;
  std::vector<spinefix::StatePtr> states;
  for (int i = 0; i < count; ++i) {
    skeletons.emplace_back(GCore::Skeleton_create(data));
    states.emplace_back(GCore::AnimationState_create(mixes.get()));
    GCore::AnimationState_setAnimation(states.back().get(), data->animations[0], true);
    GCore::AnimationState_update(states.back().get(), static_cast<float>(i % 50) * 0.02f);
  }
  const auto poseFrame = [&] {
    for (int i = 0; i < count; ++i) {
      GCore::AnimationState_update(states[i].get(), kStepMs * 0.001f);
      GCore::AnimationState_apply(states[i].get(), skeletons[i].get());
      GCore::Skeleton_updateWorldTransform(skeletons[i].get());
    }
  };
  poseFrame();
  const Clock::time_point start = Clock::now();
  for (int frame = 0; frame < kFrames; ++frame) poseFrame();
  return Seconds(Clock::now() - start) * 1000 / kFrames;
}

}  // namespace

int main() {
  std::string error;
  auto gl = GCore::HeadlessGL::Create(kWidth, kHeight, error);
  if (!gl) {
    std::fprintf(stderr, "no surfaceless GL context: %s\n", error.c_str());
    return 1;
  }
  TestGame game({"game"});
  WriteCharacter(game);
  GCore::g_settings.designWidth = kWidth;
  GCore::g_settings.designHeight = kHeight;
  GCore::Matrix baseView;
  auto renderer = std::make_unique<GCore::RendererGLES2>();
  renderer->SetBaseViewTransform(&baseView);
  renderer->Init();
  renderer->Resize(kWidth, kHeight);
  auto resources = std::make_unique<GCore::ResourceManager>();
  lua_State* L = game.game->GetLuaManager()->GetProject(1)->state;
  GCore::RegisterScriptClasses(L);
  std::vector<uint8_t> screen(static_cast<size_t>(kWidth) * kHeight * 4);

  GCore::g_drawScene = DrawQuads;
  std::printf("%8s %16s %16s %18s\n", "quads", "engine ms/frame", "frame ms", "bare pose ms/frame");
  for (int count : {100, 500}) {
    g_scene = Scene{};
    for (int i = 0; i < count; ++i) {
      GCore::Retained<GCore::SpineQuad> quad(GCore::NewDisplayObject<GCore::SpineQuad>(L));
      quad->offsetMinX = static_cast<float>(i % 25) * 32 - 400;
      quad->offsetMinY = static_cast<float>(i / 25 % 20) * 30 - 300;
      quad->offsetMaxX = quad->offsetMinX + 100;
      quad->offsetMaxY = quad->offsetMinY + 100;
      quad->SetMedia(kSkeletonId);
      if (!quad->GetSkeleton()) {
        std::fprintf(stderr, "the benchmark skeleton did not load\n");
        return 1;
      }
      quad->SetAnimation("run", true, static_cast<float>(i % 50) * 20);
      g_scene.quads.push_back(quad);
    }
    game.game->lastStep = kStepMs;
    renderer->RenderFrame(nullptr);  // warm-up: uploads, program state
    renderer->ReadScreen(screen.data());
    g_scene.engine = {};
    const Clock::time_point start = Clock::now();
    for (int frame = 0; frame < kFrames; ++frame) renderer->RenderFrame(nullptr);
    renderer->ReadScreen(screen.data());  // waits for every frame's rasterising
    const double frameMs = Seconds(Clock::now() - start) * 1000 / kFrames;
    const double bare = BarePoseMs(g_scene.quads.front()->GetSkeletonData(), count);
    std::printf("%8d %16.2f %16.2f %18.2f\n", count, Seconds(g_scene.engine) * 1000 / kFrames,
                frameMs, bare);
  }
  GCore::g_drawScene = nullptr;
  g_scene = Scene{};
  resources.reset();
  renderer.reset();
  return 0;
}
