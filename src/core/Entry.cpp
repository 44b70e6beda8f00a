#include "core/Entry.h"

#include <clocale>
#include <cstring>

#include "base/Log.h"
#include "core/FrameStep.h"
#include "core/GameIF.h"
#include "core/GameSettings.h"
#include "core/WindowProc.h"
#include "platform/CrashReporter.h"
#include "platform/MessagePump.h"
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

}  // namespace

int RunProgram(int argc, char** argv) {
  if (!InstallCrashReports()) return 0;
  if (argc > 1) g_restart.projectName = std::string(argv[1]).substr(0, kProjectNameLimit);
  StartGame(std::make_unique<AppIF>("loader"));
  if (argc > 2) g_settings.gameMode = argv[2];
  g_restartCount = 0;

  g_game->PreInit();
  g_windowWidth = static_cast<int>(g_settings.designWidth);
  g_windowHeight = static_cast<int>(g_settings.designHeight);
  std::setlocale(LC_ALL, "en_US.UTF-8");

  const char* title = g_settings.windowName.empty() ? "Quib" : g_settings.windowName.c_str();
  CreateAppWindow(title, g_windowWidth, g_windowHeight);
  g_game->Init();
  g_game->Resize(g_windowWidth, g_windowHeight);
  g_glyphScratch = std::make_unique<uint8_t[]>(kGlyphScratchSize);
  std::memset(g_glyphScratch.get(), 0, kGlyphScratchSize);

  RunMessageLoop(WndProc);

  if (g_runState < 0) {
    EndGame();
    g_glyphScratch.reset();
  }
  DestroyAppWindow();
  return 0;
}

}  // namespace GCore
