// Bunnymark on the real program: a 1024 x 768 window under Xvfb (Mesa's
// software GL through EGL and GLES2), N sprites of one 26 x 37 image with a
// transparent border, nearest filtering and alpha blending, moved by bunnymark
// physics in Lua that sets `x` and `y` of every sprite each frame; and N
// sprites that do not move. Frames run unpaced; the figures are the work of a
// frame by the wall clock (update, render and swap), draw calls per frame and
// peak memory. LÖVE runs the same scene in the same run when installed, one
// love.graphics.draw per bunny (bench/display/bunnymark/main.lua), twice: as it
// starts by default (GLX, which presents through shared memory) and forced
// onto EGL as this program is (Mesa's EGL on X11 presents a software frame
// over the X socket, about 10 ms a frame at 1024 x 768), so that the swap's
// share of the difference shows.
#include <cstdio>
#include <string>
#include <vector>

#include "BunnyPhysics.h"
#include "FrameRun.h"
#include "PeerFigures.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
// Both programs stop after this many measured frames or seconds, whichever
// comes first (at least kMinFrames), after the same warm-up.
constexpr int kMaxFrames = 200;
constexpr int kMinFrames = 10;
constexpr int kSeconds = 4;
constexpr int kTimeLimit = 120;

struct Scene {
  int sprites;
  bool moving;
};

std::string SceneScript(const Scene& scene) {
  return bench::BunnyMoveSource() +
         "local g = require('gcore.c')\n"
         "local layer = g.Entity()\n"
         "g.Stage().addChild(layer); layer.x, layer.y = " + std::to_string(-kWidth / 2) + ", " +
         std::to_string(-kHeight / 2) + "\n"
         "local bunnies, moving = {}, " + (scene.moving ? "true" : "false") + "\n"
         "for i = 1, " + std::to_string(scene.sprites) + " do\n"
         "  local q = g.Quad(); q.media = 0x51050001; q.width, q.height = 26, 37\n"
         "  q.sample = 0; q.blend = 0\n"
         "  local x, y = math.random(0, 998), math.random(0, 731)\n"
         "  q.x, q.y = x, y\n"
         "  layer.addChild(q)\n"
         "  bunnies[i] = { q = q, x = x, y = y, vx = math.random() * 10, vy = math.random() * 10 - 5 }\n"
         "end\n"
         "local frames, start, kWarmUp = 0, nil, " + std::to_string(bench::kWarmUpFrames) + "\n"
         "g.SetMainloop(function(t)\n"
         "  if t < 0 then return end\n"
         "  if moving then move(bunnies) end\n"
         "  frames = frames + 1\n"
         "  if frames <= kWarmUp then return end\n"
         "  start = start or t\n"
         "  local measured = frames - kWarmUp\n"
         "  if measured >= " + std::to_string(kMaxFrames) + " or (measured >= " + std::to_string(kMinFrames) +
         " and t - start >= " + std::to_string(kSeconds * 1000) + ") then g.QuitGame() end\n"
         "end)\n";
}

bool Measure(const Scene& scene, bench::FrameFigures& figures) {
  e2e::GameRoot root = bench::FrameRoot();
  if (!bench::WriteSpriteImage(root)) return false;
  root.Write("loader/script/gameinit.lua", bench::SpriteGameInit(kWidth, kHeight));
  root.Write("loader/script/gamestart.lua", SceneScript(scene));
  return bench::RunFrames(root, false, kTimeLimit, figures);
}

struct Peer {
  const char* name;
  bool egl;
};
constexpr Peer kPeers[] = {{"love GLX", false}, {"love EGL", true}};

bool MeasureLove(const Scene& scene, const Peer& peer, bench::FrameFigures& figures) {
  return bench::RunLove(QUARVELIN_BUNNYMARK_DIR,
                        {scene.sprites, scene.moving, peer.egl, kMaxFrames, kMinFrames, kSeconds}, figures);
}

void PrintRow(const char* program, const Scene& scene, const bench::FrameFigures& f) {
  std::printf("%-10s %8d %-7s %7d %10.3f %10.3f %10.1f %10.1f\n", program, scene.sprites,
              scene.moving ? "moving" : "static", f.frames, f.meanMs, f.medianMs, f.drawCalls, f.peakKb / 1024.0);
}

}  // namespace

int main() {
  if (!e2e::EnsureDisplay("1024x768x24")) {
    std::printf("no Xvfb: nothing measured (%s)\n", e2e::DisplayError().c_str());
    return 1;
  }
  const bool love = bench::LoveInstalled();
  if (!love) std::printf("love not installed: no peer figures\n");
  std::printf("frame work by the wall clock (update, render, swap), unpaced, %dx%d window\n", kWidth, kHeight);
  std::printf("%-10s %8s %-7s %7s %10s %10s %10s %10s\n", "program", "sprites", "scene", "frames", "mean ms",
              "median ms", "draws", "peak MiB");
  const Scene scenes[] = {{1000, true}, {10000, true}, {50000, true}, {50000, false}};
  struct Ratio {
    std::string what;
    double engineMs;
    const char* peer;
    double peerMs;
  };
  std::vector<Ratio> ratios;
  for (const Scene& scene : scenes) {
    bench::FrameFigures engine;
    const bool engineRan = Measure(scene, engine);
    if (engineRan) PrintRow("quarvelin", scene, engine);
    if (!love) continue;
    const std::string what = std::to_string(scene.sprites) + (scene.moving ? " moving" : " static");
    for (const Peer& love : kPeers) {
      bench::FrameFigures peer;
      const bool peerRan = MeasureLove(scene, love, peer);
      if (peerRan) PrintRow(love.name, scene, peer);
      ratios.push_back({what, engineRan ? engine.meanMs : -1, love.name, peerRan ? peer.meanMs : -1});
    }
  }
  if (!ratios.empty()) {
    std::printf("mean frame work, quarvelin beside love (ms)\n");
    for (const Ratio& r : ratios) PrintPeerFigures(r.what.c_str(), r.engineMs, r.peer, r.peerMs);
  }
  return 0;
}
