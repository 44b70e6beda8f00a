#include "FrameRun.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/ToolProcess.h"
#include "render/PNG.h"

namespace bench {

e2e::GameRoot FrameRoot() { return e2e::GameRoot(QUARVELIN_FRAME_PROGRAM); }

bool ParseFigures(const std::string& output, FrameFigures& figures) {
  const char* kMark = "frame figures: ";
  const size_t at = output.rfind(kMark);
  if (at == std::string::npos) return false;
  figures.submitMs = -1;
  return std::sscanf(output.c_str() + at, "frame figures: %d %lf %lf %lf %ld %lf", &figures.frames, &figures.meanMs,
                     &figures.medianMs, &figures.drawCalls, &figures.peakKb, &figures.submitMs) >= 5;
}

bool LoveInstalled() {
  struct stat info;
  return stat("/usr/games/love", &info) == 0 || stat("/usr/bin/love", &info) == 0;
}

bool RunLove(const char* dir, const LoveRun& run, FrameFigures& figures) {
  ToolProcess love;
  love.Run({"env", std::string("SDL_VIDEO_X11_FORCE_EGL=") + (run.egl ? "1" : "0"), "love", dir,
            std::to_string(run.sprites), run.moving ? "moving" : "static", std::to_string(run.maxFrames),
            std::to_string(run.minFrames), std::to_string(run.seconds), std::to_string(kWarmUpFrames)});
  if (!ParseFigures(love.Report(), figures)) {
    std::printf("love gave no figures: %s\n", love.Report().c_str());
    return false;
  }
  return true;
}

bool RunFrames(const e2e::GameRoot& root, bool paced, int timeLimitSeconds, FrameFigures& figures) {
  e2e::RunOptions options;
  if (!paced) options.environment.emplace_back("QUARVELIN_BENCH_UNPACED", "1");
  const e2e::RunResult run = e2e::Run(root, {}, timeLimitSeconds, {}, options);
  if (run.timedOut || !ParseFigures(run.output, figures)) {
    std::printf("run failed%s: %s\n%s\n", run.timedOut ? " (time limit)" : "", run.output.c_str(), run.log.c_str());
    return false;
  }
  return true;
}

bool WriteSpriteImage(const e2e::GameRoot& root) {
  constexpr int kWidth = 26, kHeight = 37;
  std::vector<uint8_t> pixels(kWidth * kHeight * 4, 0);
  for (int y = 1; y < kHeight - 1; ++y) {
    for (int x = 1; x < kWidth - 1; ++x) {
      uint8_t* p = &pixels[(y * kWidth + x) * 4];
      p[0] = 240;
      p[1] = static_cast<uint8_t>(200 + y);
      p[2] = static_cast<uint8_t>(180 + x * 2);
      p[3] = 255;
    }
  }
  root.Write("loader/img/0001.png", "");
  return GCore::WritePng(root.Path("loader/img/0001.png").c_str(), pixels.data(), kWidth, kHeight) == 0;
}

std::string SpriteGameInit(int width, int height) {
  return "g_dir = { [0x01050000] = 'img' }; g_ext = { [0x50000000] = '.png' }\n"
         "require('gcore.c').SetResourceSize(" + std::to_string(width) + ", " + std::to_string(height) + ")\n";
}

}  // namespace bench
