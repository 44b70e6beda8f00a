// How the program ends when its start or its surroundings go wrong: projects
// loaded from "gamestart", a termination signal while the main thread is
// blocked, and an X display that goes away.
#include <gtest/gtest.h>

#include <string>

#include "ProgramRun.h"
#include "platform/XvfbServer.h"

namespace {

class Exit : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::Installed()) GTEST_SKIP() << "no Xvfb on this machine";
    ASSERT_TRUE(e2e::EnsureDisplay()) << e2e::DisplayError();
  }
  e2e::GameRoot root;
};

// The frame callback of every project says when it closes.
std::string ClosingCallback(const std::string& who) {
  return "g.SetMainloop(function(t) if t < 0 then g.clog('" + who + " closed in order\\n') end end)\n";
}

TEST_F(Exit, AProjectLoadedByGamestartRunsAndClosesInOrder) {
  root.Write("loader/script/gamestart.lua",
             "local g = require('gcore.c')\n"
             "g.LoadProj('extra')\n"
             "g.LoadProj('third')\n"
             "g.clog('gamestart done\\n')\n"
             "local frames = 0\n"
             "g.SetMainloop(function(t)\n"
             "  if t < 0 then g.clog('loader closed in order\\n') return end\n"
             "  frames = frames + 1\n"
             "  if frames == 3 then g.QuitGame() end\n"
             "end)\n");
  for (const char* project : {"extra", "third"}) {
    root.Write(std::string(project) + "/script/gameinit.lua",
               "local g = require('gcore.c')\n" + ClosingCallback(project));
  }
  const e2e::RunResult run = e2e::Run(root, {}, 60);
  ASSERT_FALSE(run.timedOut) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.log.find("gamestart done"), std::string::npos) << run.log;
  for (const char* project : {"loader", "extra", "third"}) {
    EXPECT_EQ(e2e::LinesWith(run.log, std::string(project) + " closed in order").size(), 1u) << run.log;
  }
}

}  // namespace
