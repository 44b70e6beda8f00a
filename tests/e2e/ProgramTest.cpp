#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>
#include <cstdlib>

#include "ProgramRun.h"
#include "platform/XvfbServer.h"

namespace {

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::Installed()) GTEST_SKIP() << "no Xvfb on this machine";
    ASSERT_TRUE(e2e::EnsureDisplay()) << e2e::DisplayError();
  }
  e2e::GameRoot root;
};

// Position of `part` in `text`, npos-safe for ordering checks.
size_t At(const std::string& text, const std::string& part) {
  const size_t at = text.find(part);
  EXPECT_NE(at, std::string::npos) << "missing: " << part << "\nin:\n" << text;
  return at;
}

TEST_F(Program, StartsScriptsInOrderAndQuitsCleanly) {
  root.Write("loader/script/gameinit.lua",
             "local g = require('gcore.c')\n"
             "g.clog('gameinit ran\\n')\n"
             "g.LoadProj('extra')\n");
  root.Write("extra/script/gameinit.lua", "require('gcore.c').clog('extra gameinit\\n')");
  root.Write("extra/script/modstart.lua", "require('gcore.c').clog('extra modstart\\n')");
  root.Write("loader/script/gamestart.lua",
             "local g = require('gcore.c')\n"
             "g.clog('gamestart ran\\n')\n"
             "g.clog('locale ' .. os.setlocale() .. '\\n')\n"
             "local frames = 0\n"
             "g.SetMainloop(function(t)\n"
             "  if t < 0 then g.clog('loader closed\\n') return end\n"
             "  frames = frames + 1\n"
             "  if frames == 3 then g.QuitGame() end\n"
             "end)\n");
  const e2e::RunResult run = e2e::Run(root);
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
  const std::string& log = run.log;
  EXPECT_LT(At(log, "PreInit Start"), At(log, "gameinit ran"));
  EXPECT_LT(At(log, "gameinit ran"), At(log, "extra gameinit"));
  EXPECT_LT(At(log, "extra gameinit"), At(log, "extra modstart"));
  // Init is logged once the window and its EGL surface exist.
  EXPECT_LT(At(log, "extra modstart"), At(log, "InitAppIF done"));
  EXPECT_LT(At(log, "InitAppIF done"), At(log, "gamestart ran"));
  EXPECT_LT(At(log, "gamestart ran"), At(log, "loader closed"));
  EXPECT_EQ(e2e::LinesWith(log, "loader closed").size(), 1u);
  // Whatever the environment's locale, and with or without an English one.
  const std::vector<std::string> locale = e2e::LinesWith(log, "locale ");
  ASSERT_EQ(locale.size(), 1u) << log;
  EXPECT_TRUE(locale[0] == "locale en_US.UTF-8" || locale[0] == "locale C.UTF-8") << locale[0];
}

TEST_F(Program, DesignSizeSetsTheClientAreaAndClosingTheWindowExits) {
  root.Write("loader/script/gameinit.lua",
             "local g = require('gcore.c')\n"
             "g.SetWinName('e2e size')\n"
             "g.SetResourceSize(1024.9, 768.2)\n");
  root.Write("loader/script/gamestart.lua",
             "local g = require('gcore.c')\n"
             "g.SetMainloop(function(t) if t < 0 then g.clog('closed by window\\n') end end)\n");
  int width = 0;
  int height = 0;
  unsigned long window = 0;
  bool foundByTitle = false;
  const e2e::RunResult run = e2e::Run(root, {}, 60, [&](pid_t program) {
    window = e2e::FindWindow("e2e size", 30000);
    if (!window) {
      kill(program, SIGKILL);
      return;
    }
    e2e::WindowSize(window, width, height);
    // Desktop tools read the title from WM_NAME.
    foundByTitle = e2e::RunCommand({"xdotool", "search", "--name", "e2e size"});
    e2e::RequestClose(window);
  });
  ASSERT_NE(window, 0u) << run.output;
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(width, 1024);
  EXPECT_EQ(height, 768);
  EXPECT_TRUE(foundByTitle) << "xdotool search --name finds the window";
  EXPECT_EQ(e2e::LinesWith(run.log, "closed by window").size(), 1u) << run.log;
}

TEST_F(Program, GameTimeFollowsTheGameSpeed) {
  // Each frame lasts at least 20 ms, so a real-time step is at least 20.
  root.Write("loader/script/gamestart.lua", R"(
local g = require('gcore.c')
local frame, last = 0, nil
local function check(ok, what) g.clog((ok and 'PASS ' or 'FAIL ') .. what .. '\n') end
g.SetMainloop(function(t)
  if t < 0 then return end
  frame = frame + 1
  local step = last and (t - last) or nil
  last = t
  if frame == 3 then check(step >= 20 and step == g.GetGameElapsed(), 'speed 1000 step ' .. step); g.SetGameSpeed(0)
  elseif frame == 4 then check(step == 1, 'speed 0 step ' .. step)
  elseif frame == 5 then check(step == 1, 'speed 0 again ' .. step); g.SetGameSpeed(2000)
  elseif frame == 6 then check(step >= 40 and step % 2 == 0, 'speed 2000 step ' .. step); g.SetGameSpeed(-33)
  elseif frame == 7 then check(step == 33 and g.GetGameSpeed() == 0, 'one-shot step ' .. step)
  elseif frame == 8 then check(step == 1, 'paused after the step ' .. step); g.QuitGame()
  end
end)
)");
  const e2e::RunResult run = e2e::Run(root);
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(e2e::LinesWith(run.log, "PASS").size(), 6u) << run.log;
  EXPECT_TRUE(e2e::LinesWith(run.log, "FAIL").empty()) << run.log;
}

TEST_F(Program, RestartReplacesTheGameObject) {
  root.Write("loader/script/gamestart.lua", R"(
local g = require('gcore.c')
local frames = 0
g.SetMainloop(function(t)
  frames = frames + 1
  if frames == 3 then g.clog('restarting\n'); g.Restart('second') ; g.clog('still in the call\n') end
end)
)");
  root.Write("second/script/gameinit.lua", R"(
local g = require('gcore.c')
g.clog('second restart=' .. g.GetRestartTime() .. ' time=' .. g.GetGameTime() .. '\n')
)");
  root.Write("second/script/gamestart.lua", R"(
local g = require('gcore.c')
local frames = 0
g.SetMainloop(function(t) frames = frames + 1; if frames == 2 then g.QuitGame() end end)
)");
  const e2e::RunResult run = e2e::Run(root);
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("still in the call"), std::string::npos) << "the restart waits for the next frame";
  EXPECT_NE(run.log.find("second restart=1 time=0"), std::string::npos) << run.log;
  // The new game object goes on with the log: what led to the restart stays.
  EXPECT_LT(At(run.log, "restarting"), At(run.log, "---- restart 1: second ----"));
  EXPECT_LT(At(run.log, "---- restart 1: second ----"), At(run.log, "second restart=1"));
}

TEST_F(Program, ARestartWithoutAProjectStartsTheFirstProjectAgain) {
  root.Write("loader/script/gamestart.lua", R"(
local g = require('gcore.c')
g.clog('loader started, restart ' .. g.GetRestartTime() .. '\n')
local frames = 0
g.SetMainloop(function(t)
  frames = frames + 1
  if frames == 2 then
    if g.GetRestartTime() == 0 then g.Restart() else g.QuitGame() end
  end
end)
)");
  const e2e::RunResult run = e2e::Run(root, {}, 30);
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_LT(At(run.output, "loader started, restart 0"), At(run.output, "loader started, restart 1"));
}

TEST_F(Program, ScriptErrorsInTheFrameCallbackDoNotStopTheLoop) {
  root.Write("loader/script/gamestart.lua", R"(
local g = require('gcore.c')
local frames = 0
g.SetMainloop(function(t)
  if t < 0 then return end
  frames = frames + 1
  if frames < 5 then error('frame ' .. frames .. ' failed') end
  if frames == 8 then g.clog('survived\n'); g.QuitGame() end
end)
)");
  const e2e::RunResult run = e2e::Run(root);
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(e2e::LinesWith(run.log, "loader:[string").size(), 4u) << run.log;
  EXPECT_EQ(e2e::LinesWith(run.log, "[error]").size(), 1u) << "one box for the first error only";
  EXPECT_NE(run.log.find("survived"), std::string::npos);
}

TEST_F(Program, ASignalDuringStartUpClosesInOrder) {
  // The first script holds start-up until the test has sent its signal.
  root.Write("loader/script/gameinit.lua", R"(
local g = require('gcore.c')
g.SetMainloop(function(t) if t < 0 then g.clog('closed in order\n') end end)
g.clog('gameinit waiting\n')
local deadline = os.time() + 30
while not io.open('go') and os.time() < deadline do end
)");
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    // Neither the release file nor the last run's log may speak for this run.
    std::remove(root.Path("go").c_str());
    std::remove(root.Path("build/log.txt").c_str());
    const e2e::RunResult run = e2e::Run(root, {}, 60, [&](pid_t program) {
      if (e2e::WaitForLog(root, "gameinit waiting", 30000)) kill(program, signal);
      root.Write("go", "");
    });
    ASSERT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(e2e::LinesWith(run.log, "closed in order").size(), 1u) << run.log;
    EXPECT_EQ(run.log.find("InitAppIF done"), std::string::npos) << "no window is made to close it";
  }
}

TEST_F(Program, WithoutADisplayItSaysSoAndEnds) {
  root.Write("loader/script/gameinit.lua",
             "local g = require('gcore.c')\n"
             "g.SetMainloop(function(t) if t < 0 then g.clog('closed in order\\n') end end)\n");
  const std::string display = std::getenv("DISPLAY");
  unsetenv("DISPLAY");
  const e2e::RunResult run = e2e::Run(root, {}, 60);
  setenv("DISPLAY", display.c_str(), 1);
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(run.exitCode, 1) << run.output;
  for (const std::string* where : {&run.log, &run.output}) {
    EXPECT_NE(where->find("The game window could not be made"), std::string::npos) << *where;
    EXPECT_NE(where->find("SDL video: "), std::string::npos) << *where;
  }
  EXPECT_EQ(e2e::LinesWith(run.log, "closed in order").size(), 1u) << run.log;
  EXPECT_EQ(run.log.find("glError"), std::string::npos) << "no frame runs without a surface";
}

}  // namespace
