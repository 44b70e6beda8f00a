#include "game/FrameStep.h"

#include <chrono>
#include <string>

#include "base/Log.h"
#include "core/FileStream.h"
#include "game/GameIF.h"
#include "game/WindowProc.h"
#include "platform/Clock.h"
#include "platform/MessagePump.h"
#include "platform/Window.h"

namespace GCore {

std::unique_ptr<uint8_t[]> g_glyphScratch;
FrameWatch g_frameWatch;

namespace {

constexpr uint32_t kMinimumFrameMs = 20;

bool g_clockStarted = false;
uint32_t g_previousFrame = 0;

}  // namespace

void RestartGame() {
  ++g_restartCount;
  // Without a restart project, the first project of the run starts again.
  const std::string project = g_restart.projectName.empty() ? std::string("loader") : g_restart.projectName;
  StartGame(std::make_unique<AppIF>(project.c_str()));
  LogPrintf("---- restart %d: %s ----\n", g_restartCount, project.c_str());
  if (g_restart.hasRoot) {
    g_game->rootFolder = g_restart.rootFolder;
    g_game->repositoryPath = g_restart.repositoryPath;
    // Neither a folder with resources nor a repository: every script and
    // file would be missing, and the window would stay black.
    if (g_game->rootFolder.empty() && !OpenGitResources()) {
      LogProblem("Restart: the root \"%s\" could not be opened: it is neither a folder holding res/ nor a git "
                 "repository with a master branch\n",
                 g_restart.repositoryPath.c_str());
    }
  }
  g_game->PreInit();
  g_game->Resize(g_windowWidth, g_windowHeight);
  g_game->Init();
}

void StepFrame() {
  if (!g_glyphScratch) return;
  if (g_runState == kRunRebuildRenderer) {
    if (g_game) Game()->RebuildRenderer();
    g_runState = kRunRunning;
  }

  const uint32_t now = timeGetTime();
  if (!g_clockStarted) {
    g_previousFrame = now;
    g_clockStarted = true;
  }
  const uint32_t elapsed = now - g_previousFrame;
  g_previousFrame = now;

  if (g_runState > 0) EndGame();
  if (g_runState == kRunRestart) {
    RestartGame();
    g_runState = kRunRunning;
    return;
  }
  if (!g_game) {
    // The game object asked to shut down: nothing is left to run, so the
    // program ends as if its window had been closed.
    g_runState = kRunClosing;
    PostQuitMessage(0);
    return;
  }
  const auto workStart = std::chrono::steady_clock::now();
  g_game->Update(elapsed);
  g_game->Render();
  SwapBuffers();
  if (g_frameWatch.observe) {
    g_frameWatch.observe(std::chrono::duration<double>(std::chrono::steady_clock::now() - workStart).count());
  }
  if (!g_frameWatch.paced) return;

  const int32_t wait = static_cast<int32_t>(g_previousFrame + kMinimumFrameMs - timeGetTime());
  if (wait > 0) Sleep(static_cast<uint32_t>(wait));
}

}  // namespace GCore
