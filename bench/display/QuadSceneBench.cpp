// The sprite benchmark as a script scene: the real program under Xvfb, a
// project whose per-frame callback moves N quads, the frames per second it
// reaches (frames are paced to at most 50 a second), and the work of a frame
// by the wall clock (update, render and swap, without the pacing's wait).
#include <cstdio>
#include <string>
#include <vector>

#include "FrameRun.h"
#include "render/PNG.h"

namespace {

constexpr int kSeconds = 5;

std::string SceneScript(int quads) {
  return "local g = require('gcore.c')\n"
         "local layer = g.Entity()\n"
         "g.Stage().addChild(layer); layer.x, layer.y = 0, 0\n"
         "local quads, count = {}, " + std::to_string(quads) + "\n"
         "for i = 1, count do\n"
         "  local q = g.Quad(); q.media = 0x51050001; q.width, q.height = 16, 16\n"
         "  q.x, q.y = math.random(-390, 390), math.random(-290, 290)\n"
         "  layer.addChild(q); quads[i] = { q = q, dx = math.random(-3, 3), dy = math.random(-3, 3) }\n"
         "end\n"
         "local frames, start = 0, nil\n"
         "g.SetMainloop(function(t)\n"
         "  if t < 0 then return end\n"
         "  start = start or t\n"
         "  frames = frames + 1\n"
         "  for _, m in ipairs(quads) do local q = m.q; q.x = q.x + m.dx; q.y = q.y + m.dy;\n"
         "    if q.x > 390 or q.x < -390 then m.dx = -m.dx end; if q.y > 290 or q.y < -290 then m.dy = -m.dy end end\n"
         "  if t - start >= " + std::to_string(kSeconds * 1000) + " then\n"
         "    g.clog(string.format('result %.1f\\n', frames * 1000 / (t - start)))\n"
         "    g.QuitGame()\n"
         "  end\n"
         "end)\n";
}

}  // namespace

int main() {
  if (!e2e::EnsureDisplay()) {
    std::printf("no Xvfb: nothing measured (%s)\n", e2e::DisplayError().c_str());
    return 1;
  }
  std::printf("%8s %8s %14s %10s\n", "quads", "fps", "work ms/frame", "peak MiB");
  for (int quads : {100, 1000, 5000, 20000}) {
    e2e::GameRoot root = bench::FrameRoot();
    std::vector<uint8_t> pixels(16 * 16 * 4, 200);
    root.Write("loader/img/0001.png", "");
    GCore::WritePng(root.Path("loader/img/0001.png").c_str(), pixels.data(), 16, 16);
    root.Write("loader/script/gameinit.lua", bench::SpriteGameInit(800, 600));
    root.Write("loader/script/gamestart.lua", SceneScript(quads));
    bench::FrameFigures figures;
    if (!bench::RunFrames(root, true, 120, figures)) continue;
    const std::vector<std::string> lines = e2e::LinesWith(root.Read("build/log.txt"), "result ");
    double fps = 0;
    if (lines.empty() || std::sscanf(lines.back().c_str(), "result %lf", &fps) != 1) {
      std::printf("%8d %8s\n", quads, "failed");
      continue;
    }
    std::printf("%8d %8.1f %14.2f %10.1f\n", quads, fps, figures.meanMs, figures.peakKb / 1024.0);
  }
  return 0;
}
