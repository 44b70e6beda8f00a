// A game opens a web view: the program sets the views up with its window,
// lets the browser work between frames, and closes the views before the
// window when the window is closed.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <thread>

#include "ProgramRun.h"
#include "platform/XvfbServer.h"

namespace {

TEST(WebViewProgram, AGameShowsAPageOverItsPictureAndClosesWithTheWindow) {
  if (!XvfbServer::Installed()) GTEST_SKIP() << "no Xvfb on this machine";
  ASSERT_TRUE(e2e::EnsureDisplay()) << e2e::DisplayError();
  e2e::GameRoot root;
  root.Write("page.html", "<!DOCTYPE html><html><body style=\"margin:0;background:#ff0000\"></body></html>");
  root.Write("loader/script/gameinit.lua",
             "local g = require('gcore.c')\n"
             "g.SetWinName('e2e webview')\n"
             "g.SetResourceSize(400, 300)\n");
  root.Write("loader/script/gamestart.lua",
             "local g = require('gcore.c')\n"
             "local webview = require('webview.c')\n"
             "local view = webview.addWebView()\n"
             "g.clog('view ' .. tostring(view) .. '\\n')\n"
             "g.clog('navigated ' .. tostring(webview.displayHTML(view, '" + root.Path("page.html") + "')) .. '\\n')\n"
             "webview.setWebViewPos(view, 40, 30, 120, 90)\n"
             "webview.showWebView(view, true)\n"
             "g.SetMainloop(function(t) if t < 0 then g.clog('closed by window\\n') end end)\n");
  // GTK's accessibility bridge is no part of the game and never frees its records.
  e2e::RunOptions options;
  options.environment = {{"NO_AT_BRIDGE", "1"}};
  const std::string capture = root.Path("capture.png");
  bool shown = false;
  unsigned long window = 0;
  const e2e::RunResult run = e2e::Run(root, {}, 180, [&](pid_t program) {
    window = e2e::FindWindow("e2e webview", 60000);
    if (!window) {
      kill(program, SIGKILL);
      return;
    }
    // The page loads at the browser's pace.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!shown && std::chrono::steady_clock::now() < deadline) {
      if (e2e::CaptureWindow(window, capture)) {
        e2e::Picture picture;
        shown = picture.Load(capture) &&
                picture.Count(40, 30, 160, 120, [](int r, int g, int b) { return r == 255 && g == 0 && b == 0; }) ==
                    120 * 90 &&
                picture.Count(0, 0, 400, 300, [](int r, int g, int b) { return r == 255 && g == 0 && b == 0; }) ==
                    120 * 90;
      }
      if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    e2e::RequestClose(window);
  }, options);
  ASSERT_NE(window, 0u) << run.output;
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_TRUE(shown) << "no red page at (40, 30) of 120 x 90";
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(e2e::LinesWith(run.log, "view 0").size(), 1u) << run.log;
  EXPECT_EQ(e2e::LinesWith(run.log, "navigated true").size(), 1u) << run.log;
  EXPECT_EQ(e2e::LinesWith(run.log, "closed by window").size(), 1u) << run.log;
}

}  // namespace
