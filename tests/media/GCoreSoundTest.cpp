// The sound functions of "gcore.c", called from a project's scripts.
#include <cstdlib>

#include "RecordingAudio.h"
#include "SoundRoot.h"
#include "game/GCoreApi.h"
#include "display/TextQuad.h"
#include "media/ALAudioManager.h"

namespace {

using audio_test::RecordingAudioManager;

// No test here may reach a sound card: OpenAL finds no back end by this name,
// as on a machine without audio.
class NoAudioDevice : public ::testing::Environment {
 public:
  void SetUp() override { setenv("ALSOFT_DRIVERS", "no-such-driver", 1); }
};
const ::testing::Environment* const kNoAudioDevice = ::testing::AddGlobalTestEnvironment(new NoAudioDevice);

class GCoreSound : public audio_test::SoundRoot {
 protected:
  RecordingAudioManager& Install() {
    RecordingAudioManager& manager = audioGame->Install(std::make_unique<RecordingAudioManager>());
    manager.Start();
    return manager;
  }
  std::string Id(uint32_t id) { return std::to_string(id); }
};

TEST_F(GCoreSound, EveryFunctionGoesThroughTheQueue) {
  RecordingAudioManager& manager = Install();
  const std::string tone = Id(AddSound("long", 1));
  struct Step {
    std::string call;
    std::string result;
    std::string stateAfterTurn;  // of channel 2
  };
  const Step steps[] = {
      {"g.Play(" + tone + ", 1, false, 2)", "true", "3"},
      {"g.Pause(2)", "true", "4"},
      {"g.Continue(2)", "true", "3"},
      {"g.Stop(2, 500)", "true", "7"},
      {"g.Continue(2)", "true", "3"},
      {"g.Stop(2)", "true", "5"},
      {"g.Stop(2, 100)", "true", "5"},
      {"g.Play(" + tone + ", 0.5, true, 2, 300)", "true", "6"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.call);
    const std::string before = Eval(L, "return g.GetAudioState(2)");
    EXPECT_EQ(Eval(L, "return " + step.call), step.result);
    EXPECT_EQ(Eval(L, "return g.GetAudioState(2)"), before) << "applied at the audio thread's next turn";
    manager.Turn();
    EXPECT_EQ(Eval(L, "return g.GetAudioState(2)"), step.stateAfterTurn);
  }
  EXPECT_EQ(manager.Channel(2).command.fade, 300);
  EXPECT_EQ(manager.Channel(2).command.folder, 1u) << "the current project";
}

TEST_F(GCoreSound, TwoChannelsPlayAtOnce) {
  RecordingAudioManager& manager = Install();
  const std::string high = Id(AddSound("tone", 1));
  const std::string low = Id(AddSound("low", 2));
  EXPECT_EQ(Eval(L, "return tostring(g.Play(" + high + ", 1, false, 1)) .. tostring(g.Play(" + low + ", 1, false, -1))"),
            "truetrue");
  manager.Turn(10);
  EXPECT_EQ(Eval(L, "return g.GetAudioState(1) .. ' ' .. g.GetAudioState(6)"), "3 3");
  EXPECT_NEAR(mp3::PeakFrequency(mp3::Channel(manager.Channel(1).output, 0), 44100, 100, 3000), 1000.0, 1.0);
  EXPECT_NEAR(mp3::PeakFrequency(mp3::Channel(manager.Channel(6).output, 0), 44100, 100, 3000), 500.0, 1.0);
}

TEST_F(GCoreSound, MasterVolumeIsACommandToo) {
  RecordingAudioManager& manager = Install();
  EXPECT_EQ(Eval(L, "return g.GetGlobalVolume()"), "1.0");
  EXPECT_EQ(Eval(L, "return select('#', g.SetGlobalVolume(0.5, 7))"), "0");
  EXPECT_EQ(Eval(L, "return g.GetGlobalVolume(3)"), "1.0");
  manager.Turn();
  EXPECT_EQ(Eval(L, "return g.GetGlobalVolume()"), "0.5");
  Eval(L, "g.SetGlobalVolume(3)");
  manager.Turn();
  EXPECT_EQ(Eval(L, "return g.GetGlobalVolume()"), "1.0");
  Eval(L, "g.SetGlobalVolume('loud')");
  manager.Turn();
  EXPECT_EQ(Eval(L, "return g.GetGlobalVolume()"), "0.0") << "a non-number reads as 0";
}

TEST_F(GCoreSound, ASoundWithoutAFileIsNotPlayed) {
  RecordingAudioManager& manager = Install();
  AddSound("tone", 1);
  EXPECT_EQ(Eval(L, "return g.Play(0x20010077, 1, false, 0)"), "false");
  EXPECT_EQ(Eval(L, "return g.Play(0x90010001, 1, false, 0)"), "false") << "another kind has no sound file";
  EXPECT_EQ(Eval(L, "return g.Play()"), "false");
  manager.Turn();
  for (uint32_t n = 0; n < 20; ++n) EXPECT_EQ(manager.GetChannelState(n), 0) << n;
}

TEST_F(GCoreSound, ChannelNumbersOutOfRangeAreRefused) {
  Install();
  for (const char* call : {"g.Pause(20)", "g.Continue(-1)", "g.Stop(2^40, 0)", "g.Pause(0/0)"}) {
    SCOPED_TRACE(call);
    EXPECT_EQ(Eval(L, std::string("return ") + call), std::string(call) == "g.Pause(0/0)" ? "true" : "false");
  }
  EXPECT_EQ(Eval(L, "return g.GetAudioState(-1) .. g.GetAudioState(25) .. g.GetAudioState('x')"), "000");
}

TEST_F(GCoreSound, TheDialogSoundPlaysWhenTheTypewriterAsks) {
  RecordingAudioManager& manager = Install();
  const std::string tone = Id(AddSound("tone", 5));
  GCore::g_dialogSoundSettings = {};
  GCore::g_dialogSound = nullptr;
  Eval(L, "g.SetDialogSound(0, 9)");
  EXPECT_EQ(GCore::g_dialogSound, nullptr) << "id 0 sets nothing";
  Eval(L, "g.SetDialogSound(" + tone + ", 3)");
  EXPECT_EQ(GCore::g_dialogSoundSettings.id, 0x20010005u);
  EXPECT_EQ(GCore::g_dialogSoundSettings.number, 3);
  EXPECT_EQ(GCore::g_dialogSoundSettings.project, 1);
  ASSERT_NE(GCore::g_dialogSound, nullptr);
  GCore::g_dialogSound();  // as a text quad's typewriter reveals a character
  manager.Turn();
  EXPECT_EQ(manager.GetChannelState(3), 3) << "on the channel it was given";
  EXPECT_EQ(manager.Channel(3).command.soundId, 0x20010005u);
  EXPECT_FALSE(manager.Channel(3).command.loop);
  EXPECT_EQ(manager.Channel(3).Volume(), 1.0f) << "full volume, no fade";
  Eval(L, "g.SetDialogSound(0, 9)");
  EXPECT_EQ(GCore::g_dialogSoundSettings.number, 3) << "id 0 changes nothing";
  GCore::g_dialogSound = nullptr;
}

TEST_F(GCoreSound, WithoutAnAudioManagerNothingPlays) {
  const std::string tone = Id(AddSound("tone", 1));
  EXPECT_EQ(Eval(L, "return tostring(g.Play(" + tone + ", 1, false, 0)) .. tostring(g.Pause(0)) .. "
                    "tostring(g.Continue(0)) .. tostring(g.Stop(0, 0)) .. g.GetAudioState(0)"),
            "falsefalsefalsefalse0");
  Eval(L, "g.SetGlobalVolume(0.2)");
  EXPECT_EQ(Eval(L, "return g.GetGlobalVolume()"), "1.0");
}

TEST_F(GCoreSound, WithoutADeviceTheGameRunsSilent) {
  GCore::ALAudioManager& manager = audioGame->Install(std::make_unique<GCore::ALAudioManager>());
  ASSERT_FALSE(manager.Start());
  EXPECT_EQ(CountOf(Log(), "alcOpenDevice failed!\n"), 1u);
  const std::string tone = Id(AddSound("tone", 1));
  const std::string plays = "local refused = 0 for i = 1, 10000 do "
                            "if not g.Play(" + tone + ", 1, false, -1) then refused = refused + 1 end "
                            "g.Stop(1, 0) g.SetGlobalVolume(0.5) end return refused";
  Eval(L, plays);  // the first round settles the allocations that any call makes
  const size_t before = audio_test::AllocatedBytes();
  EXPECT_EQ(Eval(L, plays), "10000");
  EXPECT_LT(audio_test::AllocatedBytes(), before + 64 * 1024) << "nothing is read or queued";
  EXPECT_EQ(Eval(L, "return g.GetAudioState(6) .. ' ' .. g.GetGlobalVolume()"), "0 1.0");
}

}  // namespace
