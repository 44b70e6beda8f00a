#pragma once
// Runs a game root under the frame-benchmark build of the program (see
// FrameProgram.cpp) and reads the figures it prints at exit.
#include <string>

#include "e2e/ProgramRun.h"

namespace bench {

// The first frames upload textures and fill caches: not the steady state, so
// the figures leave them out.
inline constexpr int kWarmUpFrames = 5;

struct FrameFigures {
  int frames = 0;           // frames measured, after the warm-up
  double meanMs = 0;        // work per frame: update, render and swap
  double medianMs = 0;
  double drawCalls = 0;     // per frame
  long peakKb = 0;          // peak resident memory (VmHWM)
  double submitMs = -1;     // LÖVE only: its love.draw (every sprite's draw call), shortest frame
};

// Reads the last line of figures ("frame figures: ...") from what a program
// printed; false when there is none. LÖVE's line ends in its submit figure.
bool ParseFigures(const std::string& output, FrameFigures& figures);

// A game root whose program is the frame-benchmark build.
e2e::GameRoot FrameRoot();

// Runs the root, paced as the game is or as fast as frames go; false (with
// the reason printed) when the run gave no figures.
bool RunFrames(const e2e::GameRoot& root, bool paced, int timeLimitSeconds, FrameFigures& figures);

// A 26 x 37 sprite image with a transparent one-pixel border, written to the
// root as loader/img/0001.png: resource id 0x51050001 once the root's
// gameinit.lua maps the folder (see SpriteGameInit).
bool WriteSpriteImage(const e2e::GameRoot& root);
std::string SpriteGameInit(int width, int height);

// LÖVE's bunnymark (bunnymark/main.lua in `dir`) under the current display.
struct LoveRun {
  int sprites;
  bool moving;
  bool egl;  // forced onto EGL, as the program runs; else LÖVE's default GLX
  int maxFrames, minFrames, seconds;
};
bool LoveInstalled();
// False, with LÖVE's output printed, when it gave no figures.
bool RunLove(const char* dir, const LoveRun& run, FrameFigures& figures);

}  // namespace bench
