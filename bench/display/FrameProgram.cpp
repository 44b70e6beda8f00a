// The program as the frame benchmarks run it: the same start-up and loop, with
// every frame's work time and draw calls recorded, and pacing off when
// QUARVELIN_BENCH_UNPACED is set. At exit it prints one line of figures
// (frames after the warm-up, mean and median work per frame, draw calls per
// frame, peak resident memory) for the benchmark that started it, and after
// the first frame the heap in use then (the start-up benchmark's figure).
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "FrameRun.h"
#include "game/Entry.h"
#include "game/FrameStep.h"
#include "game/GameIF.h"
#include "render/Renderer.h"

namespace {

struct Frame {
  double workSeconds;
  int drawCalls;
};
std::vector<Frame> g_frames;

void Record(double workSeconds) {
  if (g_frames.empty()) {
    const struct mallinfo2 heap = mallinfo2();
    std::printf("first frame heap %zu\n", heap.uordblks + heap.hblkhd);
    std::fflush(stdout);
  }
  const GCore::Renderer* renderer = GCore::g_game ? GCore::Game()->GetRenderer() : nullptr;
  g_frames.push_back({workSeconds, renderer ? renderer->drawCalls : -1});
}

// The process's peak resident set, in kB.
long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

void PrintFigures() {
  if (g_frames.size() <= static_cast<size_t>(bench::kWarmUpFrames)) {
    std::printf("frame figures: only %zu frames ran\n", g_frames.size());
    return;
  }
  std::vector<double> work;
  double total = 0, drawCalls = 0;
  for (size_t i = static_cast<size_t>(bench::kWarmUpFrames); i < g_frames.size(); ++i) {
    work.push_back(g_frames[i].workSeconds);
    total += g_frames[i].workSeconds;
    drawCalls += g_frames[i].drawCalls;
  }
  std::sort(work.begin(), work.end());
  const double count = static_cast<double>(work.size());
  std::printf("frame figures: %zu %.3f %.3f %.1f %ld\n", work.size(), total * 1e3 / count,
              work[work.size() / 2] * 1e3, drawCalls / count, PeakResidentKb());
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QUARVELIN_BENCH_UNPACED")) GCore::g_frameWatch.paced = false;
  GCore::g_frameWatch.observe = Record;
  const int result = GCore::RunProgram(argc, argv);
  PrintFigures();
  return result;
}
