// The program with sound: on OpenAL's null device, and without any device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "../media/Mp3Fixtures.h"
#include "ProgramRun.h"

namespace {

// Sets an environment variable for the program runs of one test.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value, 1);
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

class Sound : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!e2e::EnsureDisplay()) GTEST_SKIP() << "Xvfb is not available";
    root.Write("loader/script/gameinit.lua", "g_dir = {[0x10000] = 'sound'} g_ext = {[0x20000000] = '.mp3'}");
    root.Write("loader/sound/.keep", "");
    ASSERT_TRUE(mp3::MakeTones(root.Path("loader/sound/0001.mp3"), {{1000, 1.0}}));
  }
  // Runs the program to its own exit with a gamestart script: `setup`, then a
  // per-frame callback that counts `frames` and runs `frame`.
  e2e::RunResult RunFrames(const std::string& setup, const std::string& frame) {
    root.Write("loader/script/gamestart.lua",
               "local g = require('gcore.c')\n" + setup +
                   "local frames = 0\n"
                   "g.SetMainloop(function(t)\n"
                   "  if t < 0 then return end\n"
                   "  frames = frames + 1\n" +
                   frame + "end)\n");
    e2e::RunResult run = e2e::Run(root);
    EXPECT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return run;
  }

  e2e::GameRoot root;
};

TEST_F(Sound, WithoutADeviceTheGameRunsSilent) {
  ScopedEnvironment noDevice("ALSOFT_DRIVERS", "no-such-driver");
  const e2e::RunResult run = RunFrames("local refused = 0\n",
                                       "  for i = 1, 100 do\n"
                                       "    if not g.Play(0x20010001, 1, false, -1) then refused = refused + 1 end\n"
                                       "  end\n"
                                       "  if frames == 10 then\n"
                                       "    g.clog('refused ' .. refused .. ', state ' .. g.GetAudioState(6) .. '\\n')\n"
                                       "    g.QuitGame()\n"
                                       "  end\n");
  EXPECT_NE(run.log.find("alcOpenDevice failed!\nfailed init audio "), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("refused 1000, state 0\n"), std::string::npos) << run.log;
}

TEST_F(Sound, ScriptsPlayAndStopOnTheNullDevice) {
  ScopedEnvironment nullDevice("ALSOFT_DRIVERS", "null");
  const e2e::RunResult run =
      RunFrames("g.clog('play ' .. tostring(g.Play(0x20010001, 1, false, 2)) .. '\\n')\n"
                "local seen, stopped = {}, false\n",
                "  local state = g.GetAudioState(2)\n"
                "  if seen[#seen] ~= state then seen[#seen + 1] = state end\n"
                "  if state == 3 and not stopped then stopped = g.Stop(2, 0) end\n"
                "  if state == 5 or frames == 250 then\n"
                "    g.clog('states ' .. table.concat(seen, ' ') .. '\\n')\n"
                "    g.QuitGame()\n"
                "  end\n");
  EXPECT_EQ(run.log.find("failed init audio"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("play true\n"), std::string::npos) << run.log;
  // The first frame may come after the audio thread has started the sound.
  const std::vector<std::string> states = e2e::LinesWith(run.log, "states");
  ASSERT_EQ(states.size(), 1u) << run.log;
  EXPECT_TRUE(states[0] == "states 0 3 5" || states[0] == "states 3 5") << states[0];
  EXPECT_EQ(run.output.find("Failed to delete object IDs"), std::string::npos) << run.output;
}

}  // namespace
