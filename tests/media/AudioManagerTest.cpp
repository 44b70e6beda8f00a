// The audio manager's commands, channels, fades and volumes, with recording
// players and a clock that moves only when the test says so.
#include <chrono>
#include <cmath>
#include <future>
#include <limits>
#include <thread>

#include "RecordingAudio.h"
#include "SoundRoot.h"
#include "platform/Clock.h"

namespace {

using audio_test::RecordingAudioManager;
using audio_test::SoundFixtures;
using GCore::AudioChannelState;

constexpr uint32_t kAnyChannel = 0xFFFFFFFF;
constexpr size_t kBufferSamples = 4608;  // 16-bit samples in one buffer

class AudioManagerTest : public audio_test::SoundRoot {
 protected:
  void SetUp() override {
    SoundRoot::SetUp();
    if (IsSkipped()) return;
    GCore::SetClock(&clock);
    manager = &audioGame->Install(std::make_unique<RecordingAudioManager>());
    manager->Start();
    tone = AddSound("tone", 1);
    longTone = AddSound("long", 2);
    shortTone = AddSound("short", 3);
  }
  void TearDown() override {
    SoundRoot::TearDown();
    GCore::SetClock(nullptr);
  }

  bool Play(uint32_t id, uint32_t channel, float volume = 1.0f, int32_t fadeMs = 0) {
    return manager->Play(id, 0, volume, fadeMs, false, channel);
  }
  AudioChannelState State(uint32_t channel) { return static_cast<AudioChannelState>(manager->GetChannelState(channel)); }
  // Turns until the channel is no longer busy (at most `limit` turns).
  void TurnUntilIdle(uint32_t channel, int limit = 200) {
    for (int i = 0; i < limit && GCore::IsBusy(State(channel)); ++i) manager->Turn();
  }
  // The samples of the tone decoded at full gain.
  std::vector<int16_t> Reference() { return audio_test::DecodeSound(SoundFixtures::Get().Bytes("tone")).samples; }

  GCore::ManualClock clock{1000};
  RecordingAudioManager* manager = nullptr;
  uint32_t tone = 0;
  uint32_t longTone = 0;
  uint32_t shortTone = 0;
};

TEST_F(AudioManagerTest, ChannelsAreTakenByNumberOrPicked) {
  struct Case {
    uint32_t requested;
    uint32_t played;
  };
  // 0 to 5 by number; everything else takes the first free channel from 6 on.
  const Case cases[] = {{0, 0}, {5, 5}, {kAnyChannel, 6}, {6, 7}, {10, 8}, {0x7FFFFFFF, 9}, {19, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.requested);
    ASSERT_TRUE(Play(longTone, c.requested));
    EXPECT_EQ(manager->GetChannelState(c.played), 0) << "nothing happens before the audio thread's turn";
    manager->Turn();
    EXPECT_EQ(State(c.played), AudioChannelState::Playing);
    EXPECT_EQ(manager->Channel(c.played).command.soundId, longTone);
  }
  EXPECT_EQ(State(19), AudioChannelState::Ended) << "asking for channel 19 does not play there";
  EXPECT_EQ(State(1), AudioChannelState::Ended) << "a channel never used";
}

TEST_F(AudioManagerTest, WithEveryPickableChannelBusyTheClockChoosesOneToCut) {
  for (int i = 0; i < 14; ++i) ASSERT_TRUE(Play(longTone, kAnyChannel));
  manager->Turn();
  for (uint32_t n = 6; n < 20; ++n) ASSERT_EQ(State(n), AudioChannelState::Playing) << n;
  clock.Advance(5);
  const uint32_t chosen = 6 + clock.NowMs() % 14;
  ASSERT_TRUE(Play(tone, kAnyChannel));
  manager->Turn();
  for (uint32_t n = 6; n < 20; ++n) {
    EXPECT_EQ(manager->Channel(n).command.soundId, n == chosen ? tone : longTone) << n;
    EXPECT_EQ(State(n), AudioChannelState::Playing) << "the cut channel plays the new sound at once, " << n;
  }
}

TEST_F(AudioManagerTest, PlayOnABusyReservedChannelFadesOutThenFadesIn) {
  ASSERT_TRUE(Play(longTone, 2));
  manager->Turn();
  ASSERT_TRUE(Play(tone, 2, 0.5f));
  manager->Turn();
  EXPECT_EQ(State(2), AudioChannelState::FadingOut);
  EXPECT_TRUE(manager->Channel(2).command.waiting);
  EXPECT_EQ(manager->Channel(2).command.soundId, tone);

  clock.Advance(999);
  manager->Turn();
  EXPECT_EQ(State(2), AudioChannelState::FadingOut) << "the hand-over fade lasts 1000 ms";
  clock.Advance(2);
  manager->Turn(2);
  EXPECT_EQ(State(2), AudioChannelState::FadingIn) << "the new sound fades in although it asked for no fade";
  EXPECT_EQ(manager->Channel(2).command.soundId, tone);
  EXPECT_FALSE(manager->Channel(2).command.waiting);

  clock.Advance(1001);
  manager->Turn();
  EXPECT_EQ(State(2), AudioChannelState::Playing);
  EXPECT_FLOAT_EQ(manager->Channel(2).Volume(), 0.5f) << "a fade-in ends at the volume taken as a gain";
}

TEST_F(AudioManagerTest, AHandOverStartsWhenTheOldSoundEndsDuringItsFadeOut) {
  ASSERT_TRUE(Play(shortTone, 3));
  manager->Turn(3);
  ASSERT_TRUE(Play(tone, 3));
  manager->Turn();
  ASSERT_EQ(State(3), AudioChannelState::FadingOut);
  // The clock stands still: the old sound's data runs out long before its fade.
  manager->Turn(10);
  EXPECT_EQ(manager->Channel(3).command.soundId, tone);
  EXPECT_EQ(State(3), AudioChannelState::FadingIn) << "the waiting sound is not left waiting for ever";
}

TEST_F(AudioManagerTest, FadesEndAtTheRequestedGain) {
  struct Case {
    float volume;
    int32_t fadeMs;
    float gain;
  };
  // Without a fade the volume is a position on the curve; with one it is the
  // gain the fade ends at, however late the last step of the fade comes.
  const Case cases[] = {{0.5f, 0, std::exp2(-4.5f)}, {1.0f, 0, 1.0f},    {0.0f, 0, 0.0f},
                        {0.5f, 500, 0.5f},           {0.25f, 300, 0.25f}, {1.0f, 50, 1.0f}};
  const std::vector<int16_t> reference = Reference();
  for (uint32_t channel = 0; channel < std::size(cases); ++channel) {
    const Case& c = cases[channel];
    SCOPED_TRACE(::testing::Message() << c.volume << " over " << c.fadeMs << " ms");
    ASSERT_TRUE(Play(tone, channel, c.volume, c.fadeMs));
    manager->Turn();
    EXPECT_EQ(State(channel), c.fadeMs > 0 ? AudioChannelState::FadingIn : AudioChannelState::Playing);
    clock.Advance(600);
    manager->Turn();
    EXPECT_EQ(State(channel), AudioChannelState::Playing);
    EXPECT_NEAR(manager->Channel(channel).Volume(), c.gain, 1e-6f);
    const std::vector<int16_t>& output = manager->Channel(channel).output;
    ASSERT_EQ(output.size(), 2 * kBufferSamples);
    for (size_t i = kBufferSamples; i < output.size(); ++i) {
      ASSERT_NEAR(output[i], reference[i] * c.gain, 1.0) << "sample " << i;
    }
  }
}

TEST_F(AudioManagerTest, AFadeMovesAlongTheCurve) {
  ASSERT_TRUE(Play(tone, 0, 1.0f, 1000));
  manager->Turn();
  clock.Advance(250);
  manager->Turn();
  EXPECT_NEAR(manager->Channel(0).Volume(), GCore::CurveGain(0.25f), 1e-3 * GCore::CurveGain(0.25f));
  clock.Advance(250);
  manager->Turn();
  EXPECT_NEAR(manager->Channel(0).Volume(), GCore::CurveGain(0.5f), 1e-3 * GCore::CurveGain(0.5f));
  clock.Advance(501);
  manager->Turn();
  EXPECT_EQ(State(0), AudioChannelState::Playing);

  ASSERT_TRUE(manager->Stop(0, 400));
  manager->Turn();
  EXPECT_EQ(State(0), AudioChannelState::FadingOut);
  clock.Advance(200);
  const size_t before = manager->Channel(0).buffers;
  manager->Turn();
  EXPECT_EQ(manager->Channel(0).buffers, before + 1) << "a fading channel is still refilled";
  EXPECT_NEAR(manager->Channel(0).Volume(), GCore::CurveGain(0.5f), 1e-3 * GCore::CurveGain(0.5f));
  clock.Advance(201);
  manager->Turn(3);
  EXPECT_EQ(State(0), AudioChannelState::Stopped);
  EXPECT_FALSE(manager->Channel(0).HasDecoder());
  EXPECT_EQ(manager->Channel(0).buffers, before + 1) << "a stopped channel gets no more refills";
}

TEST_F(AudioManagerTest, MasterVolumeIsClampedWhenAppliedAndScalesEveryChannel) {
  struct Case {
    float requested;
    float stored;
  };
  const Case cases[] = {{2.0f, 1.0f}, {0.25f, 0.25f}, {-1.0f, 0.0f}, {std::numeric_limits<float>::quiet_NaN(), 0.0f},
                        {1.0f, 1.0f}};
  const std::vector<int16_t> reference = Reference();
  for (uint32_t channel = 0; channel < std::size(cases); ++channel) {
    const Case& c = cases[channel];
    SCOPED_TRACE(c.requested);
    const float before = GCore::GlobalVolume;
    manager->SetGlobalVolume(c.requested);
    EXPECT_EQ(GCore::GlobalVolume, before) << "applied by the audio thread";
    ASSERT_TRUE(Play(tone, channel));
    manager->Turn();
    EXPECT_EQ(GCore::GlobalVolume, c.stored);
    const float gain = GCore::CurveGain(c.stored);
    const std::vector<int16_t>& output = manager->Channel(channel).output;
    ASSERT_EQ(output.size(), kBufferSamples);
    for (size_t i = 0; i < output.size(); ++i) {
      ASSERT_EQ(output[i], static_cast<int16_t>(reference[i] * gain)) << "sample " << i;
    }
  }
}

TEST_F(AudioManagerTest, PauseGivesSilenceAndContinueResumesInPlace) {
  ASSERT_TRUE(Play(tone, 1));
  manager->Turn(3);
  ASSERT_TRUE(manager->Pause(1));
  manager->Turn(2);
  EXPECT_EQ(State(1), AudioChannelState::Paused);
  ASSERT_TRUE(manager->Continue(1));
  TurnUntilIdle(1);
  EXPECT_EQ(State(1), AudioChannelState::Ended);

  std::vector<int16_t> output = manager->Channel(1).output;
  const auto paused = output.begin() + 3 * kBufferSamples;
  EXPECT_TRUE(std::all_of(paused, paused + 2 * kBufferSamples, [](int16_t s) { return s == 0; }))
      << "two buffers of silence while paused";
  output.erase(paused, paused + 2 * kBufferSamples);
  EXPECT_EQ(output, Reference()) << "nothing skipped, nothing repeated";
}

TEST_F(AudioManagerTest, StoppedAndEndedChannelsIgnorePauseAndContinue) {
  ASSERT_TRUE(Play(longTone, 0));
  manager->Turn();
  ASSERT_TRUE(manager->Stop(0, 0));
  ASSERT_TRUE(Play(shortTone, 1));
  manager->Turn();
  TurnUntilIdle(1);
  ASSERT_EQ(State(0), AudioChannelState::Stopped);
  ASSERT_EQ(State(1), AudioChannelState::Ended);
  const size_t stoppedBuffers = manager->Channel(0).buffers;
  const size_t endedBuffers = manager->Channel(1).buffers;
  for (uint32_t channel : {0u, 1u}) {
    ASSERT_TRUE(manager->Continue(channel));
    manager->Turn(2);
    ASSERT_TRUE(manager->Pause(channel));
    manager->Turn();
    ASSERT_TRUE(manager->Continue(channel));
    manager->Turn(2);
  }
  EXPECT_EQ(State(0), AudioChannelState::Stopped);
  EXPECT_EQ(State(1), AudioChannelState::Ended);
  EXPECT_EQ(manager->Channel(0).buffers, stoppedBuffers);
  EXPECT_EQ(manager->Channel(1).buffers, endedBuffers);
}

TEST_F(AudioManagerTest, ChannelNumbersPastTheTableAreRefused) {
  for (uint32_t channel : {20u, 1000u, kAnyChannel}) {
    SCOPED_TRACE(channel);
    EXPECT_EQ(manager->GetChannelState(channel), 0);
    EXPECT_FALSE(manager->Pause(channel));
    EXPECT_FALSE(manager->Continue(channel));
    EXPECT_FALSE(manager->Stop(channel, 0));
  }
  EXPECT_TRUE(manager->Pause(19));
  EXPECT_TRUE(manager->Stop(19, 100)) << "a stop of an idle channel is taken and does nothing";
  manager->Turn();
  EXPECT_EQ(State(19), AudioChannelState::Ended);
}

TEST_F(AudioManagerTest, AManagerThatIsNotRunningTakesNothing) {
  RecordingAudioManager idle;
  const size_t before = audio_test::AllocatedBytes();
  for (int i = 0; i < 10000; ++i) {
    ASSERT_FALSE(idle.Play(tone, 0, 1.0f, 0, false, 0));
    ASSERT_FALSE(idle.Pause(0));
    ASSERT_FALSE(idle.Continue(0));
    ASSERT_FALSE(idle.Stop(0, 0));
    idle.SetGlobalVolume(0.5f);
  }
  EXPECT_LT(audio_test::AllocatedBytes(), before + 64 * 1024) << "nothing is read or queued";
  EXPECT_EQ(GCore::GlobalVolume, 1.0f);

  manager->Shutdown();
  EXPECT_FALSE(Play(tone, 0)) << "nor after shutdown";
  EXPECT_EQ(manager->GetChannelState(0), 0);
}

TEST_F(AudioManagerTest, AMissingSoundQueuesNothing) {
  EXPECT_FALSE(Play(0x20010099, 0));
  manager->Turn();
  for (uint32_t n = 0; n < 20; ++n) EXPECT_EQ(manager->Channel(n).buffers, 0u);
}

TEST_F(AudioManagerTest, SoundFilesAreReadWholeUpTo20MiB) {
  struct Case {
    size_t fileBytes;
    uint32_t size;
    size_t capacity;
  };
  const std::string bytes = SoundFixtures::Get().Bytes("tone");
  const Case cases[] = {{bytes.size(), static_cast<uint32_t>(bytes.size()), 0x80000},
                        {600 * 1024, 600 * 1024, 0x100000},
                        {21 * 1024 * 1024, 20 * 1024 * 1024, 0x2000000}};
  for (uint32_t channel = 0; channel < std::size(cases); ++channel) {
    const Case& c = cases[channel];
    SCOPED_TRACE(c.fileBytes);
    std::string file = bytes;
    file.resize(c.fileBytes, '\0');
    root.Write("loader/sound/0010.mp3", file);
    ASSERT_TRUE(Play(0x20010010, channel));
    manager->Turn();
    EXPECT_EQ(manager->Channel(channel).loadedSize, c.size);
    EXPECT_EQ(manager->Channel(channel).loadedCapacity, c.capacity);
    EXPECT_EQ(State(channel), AudioChannelState::Playing);
  }
}

// A manager whose channels have no players.
class PlayerlessManager : public GCore::AudioManager {
 public:
  bool Start() override {
    StartChannels();
    return true;
  }
  void Turn() { RunTurn(); }
};

TEST_F(AudioManagerTest, APlayForAChannelWithoutAPlayerIsDropped) {
  PlayerlessManager playerless;
  playerless.Start();
  ASSERT_TRUE(playerless.Play(tone, 0, 1.0f, 0, false, 3));
  ASSERT_TRUE(playerless.Play(tone, 0, 1.0f, 0, false, kAnyChannel));
  playerless.Turn();
  EXPECT_EQ(CountOf(Log(), "Play error \n"), 2u);
  EXPECT_EQ(playerless.GetChannelState(3), 0);
}

TEST(AudioThreadPeriod, QueuedSoundOutlastsALateTurn) {
  // Three buffers are queued; when a turn comes the oldest may be all but played.
  const double bufferMs = 1000.0 * GCore::kPcmBufferBytes / 4 / 44100;
  const double leastQueuedMs = 2 * bufferMs;
  EXPECT_GE(leastQueuedMs - GCore::AudioManager::kThreadPeriodMs, 50.0)
      << "a turn 50 ms late must still find sound queued";
}

TEST(AudioThreadPeriod, ShutdownEndsTheSleepBetweenTurns) {
  // With an hour between turns, a shutdown that waited for the thread's
  // sleep to run out would hold the program's exit for that hour.
  constexpr uint32_t kHourMs = 3600000;
  GCore::AudioManager manager(kHourMs);
  ASSERT_TRUE(manager.Start());
  // Most likely asleep after its first turn by now; stopped earlier, it
  // must end all the same.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  auto shutdown = std::async(std::launch::async, [&] { manager.Shutdown(); });
  ASSERT_EQ(shutdown.wait_for(std::chrono::minutes(1)), std::future_status::ready)
      << "the audio thread slept on through its shutdown";
  EXPECT_FALSE(manager.IsRunning());
}

}  // namespace
