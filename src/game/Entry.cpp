#include "game/Entry.h"

#include <clocale>
#include <cstring>

#include "base/Log.h"
#include "core/GameSettings.h"
#include "game/FrameStep.h"
#include "game/GameIF.h"
#include "game/WindowProc.h"
#include "net/Analytics.h"
#include "net/UpdateRunner.h"
#include "net/WebViewManager.h"
#include "platform/CrashReporter.h"
#include "platform/MessagePump.h"
#include "platform/TerminationSignals.h"
#include "platform/WebBrowser.h"
#include "platform/Window.h"

namespace GCore {
namespace {

constexpr size_t kProjectNameLimit = 255;

bool InstallCrashReports() {
  CrashReportInfo info;
  info.applicationName = "quarvelin";
  info.applicationVersion = "1.0.2";
  info.emailTo = "support@localhost";
  info.emailSubject = "quarvelin crash 1.0.8 Error Report";
  info.reportFolder = RootFolderFromExecutable() + "/write";
  if (InstallCrashReporter(info) == 0) return true;
  LogPrintf("%s\n", CrashReporterLastError().c_str());
  return false;
}

// The exit order after the loop (or in place of it): the worker threads are
// joined, the play-duration report is sent, and the game object is shut
// down only when the program is closing.
void ExitInOrder() {
  StopAnalyticsThread();
  StopUpdateThread();
  ReportPlayDuration(g_game ? g_game->gameTime : 0);
  if (g_runState < 0) {
    EndGame();
    g_glyphScratch.reset();
  }
  // The views live inside the window: they go first.
  WebViewManager::Destroy();
  DestroyAppWindow();
}

// The game expects an English UTF-8 locale; machines without it (minimal
// systems, containers) still have C.UTF-8, which reads text the same way.
void SetUtf8Locale() {
  if (!std::setlocale(LC_ALL, "en_US.UTF-8")) std::setlocale(LC_ALL, "C.UTF-8");
}

}  // namespace

int RunProgram(int argc, char** argv) {
  // First of all: a signal during start-up closes in order like one later.
  InstallTerminationHandlers();
  if (!InstallCrashReports()) return 0;
  if (argc > 1) g_restart.projectName = std::string(argv[1]).substr(0, kProjectNameLimit);
  StartGame(std::make_unique<AppIF>("loader"));
  if (argc > 2) g_settings.gameMode = argv[2];
  g_restartCount = 0;

  g_game->PreInit();
  g_windowWidth = static_cast<int>(g_settings.designWidth);
  g_windowHeight = static_cast<int>(g_settings.designHeight);
  SetUtf8Locale();
  // Both start before the window exists; both survive restarts.
  StartAnalyticsThread();
  StartUpdateThread(g_game->rootFolder);

  // Asked to close while the first scripts ran: no window is made for it.
  if (TerminationRequested()) {
    g_runState = kRunClosing;
    ExitInOrder();
    return 0;
  }
  const char* title = g_settings.windowName.empty() ? "Quib" : g_settings.windowName.c_str();
  if (!CreateAppWindow(title, g_windowWidth, g_windowHeight)) {
    // Without a surface every frame would only fail: say so and end.
    LogFatal("The game window could not be made (the lines above say why); the program ends.\n");
    g_runState = kRunClosing;
    ExitInOrder();
    return 1;
  }
  WebViewManager::GetInstance().Init(CreateWebKitHost(), g_windowWidth, g_windowHeight);
  g_game->Init();
  g_game->Resize(g_windowWidth, g_windowHeight);
  g_glyphScratch = std::make_unique<uint8_t[]>(kGlyphScratchSize);
  std::memset(g_glyphScratch.get(), 0, kGlyphScratchSize);

  RunMessageLoop(WndProc);
  // Read before the window goes: a lost X display is a failure.
  const bool displayLost = DisplayLost();
  ExitInOrder();
  return displayLost ? 1 : 0;
}

}  // namespace GCore
