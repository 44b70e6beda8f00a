#pragma once
// The frame: the run-state machine (renderer rebuild, shutdown, restart),
// then Update and Render, the buffer swap, and pacing to at least 20 ms.
// Called by the window procedure for every paint message. Main thread only.
#include <cstdint>
#include <memory>

namespace GCore {

void StepFrame();

// Frames run only while this scratch buffer of the glyph code exists.
constexpr size_t kGlyphScratchSize = 65536;
extern std::unique_ptr<uint8_t[]> g_glyphScratch;

// What a benchmark of the real program changes in its frames: pacing off, and
// a function told each frame's work (update, render and swap) by the wall
// clock. The program itself leaves both as they are.
struct FrameWatch {
  bool paced = true;
  void (*observe)(double workSeconds) = nullptr;
};
extern FrameWatch g_frameWatch;

// Makes a new game object for the restart project and starts it.
void RestartGame();

}  // namespace GCore
