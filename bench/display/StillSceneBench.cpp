// What a frame costs the engine when nothing moves, beside the same scene
// moving, in one run: 50,000 quads of one image under one entity on the
// stage, drawn through a renderer that builds and flushes its batches but
// has no back end (no GL), so the figures are the engine's own CPU time per
// frame (the stage's update and draw walks and the vertices), without the
// driver's. Moving: bunnymark physics in Lua sets `x` and `y` of every quad
// each frame; "engine" is the frame less the same physics on plain tables.
// Still: the same quads left where they are. One moving: the still scene
// with a single quad moved each frame, the worst case for a kept draw.
#include <time.h>

#include <cstdio>
#include <memory>
#include <string>

#include "BlankImage.h"
#include "BunnyPhysics.h"
#include "HeadlessProject.h"
#include "base/Log.h"
#include "platform/MessageBox.h"
#include "render/Renderer.h"
#include "render/ResourceManager.h"

namespace {

constexpr int kSprites = 50000;
constexpr int kFrames = 100;
constexpr uint32_t kImageId = 0x50000001;

constexpr const char* kScene = R"lua(
local g = require('gcore.c')
local layer = g.Entity()
stage.addChild(layer)
bunnies, plain = {}, {}
function Fill(count)
  for i = 1, count do
    local x, y = math.random(0, 1000), math.random(0, 700)
    local vx, vy = math.random() * 10, math.random() * 10 - 5
    local q = g.Quad(); q.media = 0x50000001; q.width, q.height = 26, 37; q.x, q.y = x, y
    layer.addChild(q)
    bunnies[i] = {q = q, x = x, y = y, vx = vx, vy = vy}
    plain[i] = {q = {x = x, y = y}, x = x, y = y, vx = vx, vy = vy}
  end
end
function MoveBunnies() move(bunnies) end
function MovePlain() move(plain) end
function MoveOne() move({bunnies[1]}) end
)lua";

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

using bench::Call;

// Milliseconds of CPU time per frame of `frames` runs of the script function
// (none: null) followed, unless `walks` is false, by a rendered frame: the
// stage's update and draw walks and the last flush.
double PerFrameMs(lua_State* L, GCore::Stage* stage, GCore::Renderer& renderer, const char* function,
                  bool walks) {
  const double start = CpuSeconds();
  for (int i = 0; i < kFrames; ++i) {
    if (function && !Call(L, function)) return -1;
    if (walks) renderer.RenderFrame(stage);
  }
  return (CpuSeconds() - start) * 1e3 / kFrames;
}

}  // namespace

int main() {
  GCore::SetMessageBoxHook([](const char*, const char*) { return GCore::kMessageBoxOk; });
  bench::HeadlessProject project;
  GCore::ResourceManager resources;
  GCore::Renderer renderer;
  GCore::g_drawScene = GCore::DrawScene;
  bench::AddBlankImage(resources, kImageId, 26, 37);

  lua_State* L = project.L;
  if (luaL_dostring(L, (bench::BunnyMoveSource() + kScene).c_str()) != LUA_OK) {
    std::printf("scene error: %s\n", lua_tostring(L, -1));
    return 1;
  }
  if (!Call(L, "Fill", kSprites)) return 1;
  // A few frames first: images found, world matrices and bounds settled.
  for (int i = 0; i < 5; ++i) renderer.RenderFrame(project.stage);

  const double plain = PerFrameMs(L, project.stage, renderer, "MovePlain", false);
  const double moving = PerFrameMs(L, project.stage, renderer, "MoveBunnies", true);
  const double still = PerFrameMs(L, project.stage, renderer, nullptr, true);
  const double one = PerFrameMs(L, project.stage, renderer, "MoveOne", true);
  std::printf("%d quads, CPU time per frame, renderer without a back end (%d draw calls a frame)\n", kSprites,
              renderer.drawCalls);
  std::printf("  %-34s %9.3f ms  (%.1f ns a quad)\n", "moving: engine (frame less script)", moving - plain,
              (moving - plain) * 1e6 / kSprites);
  std::printf("  %-34s %9.3f ms\n", "moving: script on plain tables", plain);
  std::printf("  %-34s %9.3f ms  (%.1f ns a quad)\n", "still", still, still * 1e6 / kSprites);
  std::printf("  %-34s %9.3f ms\n", "still but one quad moving", one);
  std::printf("  still / moving engine: %.3f\n", still / (moving - plain));
  GCore::g_drawScene = nullptr;
  GCore::LogClose();
  return 0;
}
