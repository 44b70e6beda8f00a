// What comes out of OpenAL: the real manager and players play into OpenAL
// Soft's wave writer, and the written file is measured.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <thread>

#include "RecordingAudio.h"
#include "SoundRoot.h"
#include "WaveFile.h"
#include "media/ALAudioManager.h"

namespace {

using audio_test::SoundFixtures;

constexpr int kRate = 44100;
// The audio thread refills every 10 ms here instead of every 50: on a machine
// busy with other tests a turn may come late, and the written sound must show
// only what the engine made of the file, not a source that ran dry.
constexpr uint32_t kTestPeriodMs = 10;

// OpenAL reads its configuration once, at its first use in the process.
class WaveWriter : public ::testing::Environment {
 public:
  static std::string& WavePath() {
    static std::string path;
    return path;
  }
  void SetUp() override {
    WavePath() = folder_.Path("out.wav");
    const std::string config = folder_.Path("alsoft.conf");
    mp3::WriteFile(config,
                   "[general]\ndrivers = wave\nchannels = mono\nsample-type = int16\nfrequency = 44100\n"
                   "dither = false\noutput-limiter = false\n[wave]\nfile = " + WavePath() + "\n");
    setenv("ALSOFT_CONF", config.c_str(), 1);
    setenv("ALSOFT_DRIVERS", "wave", 1);
  }

 private:
  TempRoot folder_;
};
const ::testing::Environment* const kWaveWriter = ::testing::AddGlobalTestEnvironment(new WaveWriter);

void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

double Decibels(double level, double reference) { return 20 * std::log10(std::max(level, 1e-3) / reference); }

class AudioWave : public audio_test::SoundRoot {
 protected:
  // Starts a manager, lets `play` use it, shuts it down and reads the file.
  std::vector<float> Record(const std::function<void(GCore::ALAudioManager&)>& play) {
    GCore::ALAudioManager& manager = audioGame->Install(std::make_unique<GCore::ALAudioManager>(kTestPeriodMs));
    EXPECT_TRUE(manager.Start());
    play(manager);
    manager.Shutdown();
    const audio_test::WaveFile wave = audio_test::ParseWave(mp3::ReadFile(WaveWriter::WavePath()));
    EXPECT_TRUE(wave.ok);
    EXPECT_EQ(wave.rate, static_cast<uint32_t>(kRate));
    EXPECT_EQ(wave.channels, 1);
    return wave.samples;
  }

  // Plays the sound on channel 0 and waits until the channel has ended it
  // (its last buffers are still queued then).
  static void PlayToEnd(GCore::ALAudioManager& manager, uint32_t id) {
    ASSERT_TRUE(manager.Play(id, 0, 1.0f, 0, false, 0));
    for (int waited = 0; waited < 2000 && manager.GetChannelState(0) == 0; waited += 5) Wait(5);
    for (int waited = 0; waited < 5000 && manager.GetChannelState(0) != 0; waited += 20) Wait(20);
  }

  // First sample louder than the threshold.
  static size_t Onset(const std::vector<float>& samples, float threshold = 20) {
    size_t at = 0;
    while (at < samples.size() && std::fabs(samples[at]) <= threshold) ++at;
    return at;
  }
  // Last sample louder than the threshold, plus one.
  static size_t End(const std::vector<float>& samples, float threshold = 20) {
    size_t at = samples.size();
    while (at > 0 && std::fabs(samples[at - 1]) <= threshold) --at;
    return at;
  }
  // Longest stretch of near silence inside [begin, end).
  static size_t LongestQuietRun(const std::vector<float>& samples, size_t begin, size_t end) {
    size_t longest = 0;
    size_t run = 0;
    for (size_t i = begin; i < end; ++i) {
      run = std::fabs(samples[i]) < 100 ? run + 1 : 0;
      longest = std::max(longest, run);
    }
    return longest;
  }
  // The sound as the engine made it. Where the machine was too busy to let the
  // audio thread refill the source in time, the writer wrote digital silence
  // (exact zeros, longer than anything a decoded sound holds): cut out.
  static std::vector<float> WithoutStarvedGaps(const std::vector<float>& samples) {
    std::vector<float> heard;
    size_t zeros = 0;
    for (float sample : samples) {
      if (sample == 0) {
        ++zeros;
        continue;
      }
      if (zeros < 256) heard.insert(heard.end(), zeros, 0.0f);
      zeros = 0;
      heard.push_back(sample);
    }
    return heard;
  }
  // Level of a steady stretch, 100 ms to 400 ms after the sound began: the
  // median of its 20 ms windows, which a moment's stall of the machine cannot
  // move.
  static double SteadyLevel(const std::vector<float>& samples) {
    const size_t onset = Onset(samples);
    std::vector<double> levels;
    for (size_t at = onset + kRate / 10; at + kRate / 50 <= onset + 4 * kRate / 10; at += kRate / 50) {
      levels.push_back(mp3::Rms(samples, at, at + kRate / 50));
    }
    if (levels.empty()) return 0;
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    return levels[levels.size() / 2];
  }
};

TEST_F(AudioWave, APlayedToneComesOutAtItsFrequency) {
  struct Case {
    const char* fixture;
    double frequency;
  };
  for (const Case& c : {Case{"tone", 1000}, Case{"low", 500}}) {
    SCOPED_TRACE(c.fixture);
    const uint32_t id = AddSound(c.fixture, 1);
    const std::vector<float> samples = Record([&](GCore::ALAudioManager& manager) {
      ASSERT_TRUE(manager.Play(id, 0, 1.0f, 0, false, 0));
      Wait(700);
    });
    const size_t onset = Onset(samples);
    ASSERT_LT(onset + 2048 + 16384, samples.size()) << "the sound was written";
    const std::vector<float> steady(samples.begin() + static_cast<ptrdiff_t>(onset + 2048), samples.end());
    EXPECT_NEAR(mp3::PeakFrequency(steady, kRate, 100, 3000), c.frequency, 2.0);
  }
}

TEST_F(AudioWave, VolumeAndMasterVolumeScaleTheAmplitude) {
  const uint32_t id = AddSound("tone", 1);
  auto level = [&](float volume, float master) {
    const std::vector<float> samples = Record([&](GCore::ALAudioManager& manager) {
      manager.SetGlobalVolume(master);
      ASSERT_TRUE(manager.Play(id, 0, volume, 0, false, 0));
      Wait(500);
    });
    return SteadyLevel(samples);
  };
  const double full = level(1.0f, 1.0f);
  ASSERT_GT(full, 1000.0);
  // Without a fade the volume is a position on the nine-octave curve.
  EXPECT_NEAR(level(0.5f, 1.0f) / full, std::exp2(-4.5), 0.1 * std::exp2(-4.5));
  // The master volume scales the position of every channel's gain.
  EXPECT_NEAR(level(1.0f, 0.25f) / full, std::exp2(-6.75), 0.1 * std::exp2(-6.75));
  EXPECT_EQ(level(1.0f, 0.0f), 0.0) << "master volume 0 is silence";
}

TEST_F(AudioWave, FadesRiseAndFallNineOctavesOverTheirTime) {
  const uint32_t id = AddSound("long", 1);
  const std::vector<float> samples = Record([&](GCore::ALAudioManager& manager) {
    ASSERT_TRUE(manager.Play(id, 0, 1.0f, 1000, false, 0));
    Wait(1700);
    ASSERT_TRUE(manager.Stop(0, 1000));
    Wait(1400);
  });
  // Levels of 10 ms windows; the curve climbs 9 octaves, about 54 dB, in a second.
  std::vector<double> levels;
  for (size_t at = 0; at + 441 <= samples.size(); at += 441) levels.push_back(mp3::Rms(samples, at, at + 441));
  const double plateau = *std::max_element(levels.begin(), levels.end());
  ASSERT_GT(plateau, 1000.0);
  auto firstAbove = [&](double db) {
    return std::find_if(levels.begin(), levels.end(), [&](double l) { return Decibels(l, plateau) >= db; }) -
           levels.begin();
  };
  auto lastAbove = [&](double db) {
    return levels.rend() -
           std::find_if(levels.rbegin(), levels.rend(), [&](double l) { return Decibels(l, plateau) >= db; });
  };
  const double expected = 24.0 / (9 * 20 * std::log10(2.0));  // seconds from -36 dB to -12 dB
  EXPECT_NEAR((firstAbove(-12) - firstAbove(-36)) / 100.0, expected, 0.12) << "fade-in";
  EXPECT_NEAR((lastAbove(-36) - lastAbove(-12)) / 100.0, expected, 0.12) << "fade-out";
  EXPECT_LT(lastAbove(-36), static_cast<ptrdiff_t>(levels.size())) << "then silence";
}

TEST_F(AudioWave, PauseAndContinueKeepThePosition) {
  // 0.5 s at 500 Hz, then 0.5 s at 1000 Hz: each half must come out whole.
  const uint32_t id = AddSound("halves", 1);
  const std::vector<float> samples = Record([&](GCore::ALAudioManager& manager) {
    ASSERT_TRUE(manager.Play(id, 0, 1.0f, 0, false, 0));
    Wait(300);
    ASSERT_TRUE(manager.Pause(0));
    Wait(500);
    ASSERT_TRUE(manager.Continue(0));
    Wait(1200);
  });
  const size_t onset = Onset(samples);
  const size_t end = End(samples);
  ASSERT_LT(onset, end);
  EXPECT_GT(LongestQuietRun(samples, onset, end), static_cast<size_t>(kRate * 0.3)) << "the pause is silent";
  double low = 0;
  double high = 0;
  for (size_t at = onset; at + 441 <= end; at += 441) {
    if (mp3::Rms(samples, at, at + 441) < 1000) continue;
    const double at500 = mp3::ToneLevel(samples, at, at + 441, kRate, 500);
    const double at1000 = mp3::ToneLevel(samples, at, at + 441, kRate, 1000);
    if (at500 > 3 * at1000) low += 0.01;
    if (at1000 > 3 * at500) high += 0.01;
  }
  EXPECT_NEAR(low, 0.5, 0.06) << "the first half neither cut nor repeated";
  EXPECT_NEAR(high, 0.5, 0.06);
}

TEST_F(AudioWave, ALoopRepeatsWithoutGaps) {
  const uint32_t id = AddSound("tone", 1);
  const std::vector<float> samples = WithoutStarvedGaps(Record([&](GCore::ALAudioManager& manager) {
    ASSERT_TRUE(manager.Play(id, 0, 1.0f, 0, true, 0));
    Wait(2600);
  }));
  const size_t onset = Onset(samples);
  const size_t end = End(samples);
  ASSERT_LT(onset, end);
  EXPECT_GT(end - onset, static_cast<size_t>(kRate * 2.2)) << "a one-second sound kept going";
  // Each seam holds only the encoder's padding, less than one frame of quiet.
  EXPECT_LT(LongestQuietRun(samples, onset, end), 1152u);
}

TEST_F(AudioWave, ASoundLongerThanTheBufferRingPlaysToItsEnd) {
  const uint32_t id = AddSound("long", 1);
  const std::vector<float> samples = WithoutStarvedGaps(Record([&](GCore::ALAudioManager& manager) {
    ASSERT_TRUE(manager.Play(id, 0, 1.0f, 0, false, 0));
    for (int waited = 0; waited < 2000 && manager.GetChannelState(0) == 0; waited += 5) Wait(5);
    ASSERT_EQ(manager.GetChannelState(0), 3);
    for (int waited = 0; waited < 8000 && manager.GetChannelState(0) != 0; waited += 50) Wait(50);
    EXPECT_EQ(manager.GetChannelState(0), 0) << "the sound ended";
    Wait(300);
  }));
  // From the tone's first full swing to its last, past the encoder's quiet start.
  const size_t onset = Onset(samples, 2000);
  const size_t end = End(samples, 2000);
  ASSERT_LT(onset, end);
  EXPECT_NEAR(static_cast<double>(end - onset) / kRate, 3.0, 0.1) << "every buffer played once";
  // A tone without seams: no quiet stretch longer than a zero crossing.
  EXPECT_LT(LongestQuietRun(samples, onset, end), 64u);
  EXPECT_EQ(Log().find("Error"), std::string::npos) << Log();
}

TEST_F(AudioWave, EveryRateAndBitRateComesOutAtItsFrequency) {
  // OpenAL resamples each buffer from its own rate to the writer's 44,100 Hz.
  for (const char* fixture : {"rate8k", "rate11k", "rate22k", "rate48k", "vbr", "vbr22kNoXing", "ffmpeg32k"}) {
    SCOPED_TRACE(fixture);
    const uint32_t id = AddSound(fixture, 1);
    const std::vector<float> samples = WithoutStarvedGaps(Record([&](GCore::ALAudioManager& manager) {
      PlayToEnd(manager, id);
      // Three queued buffers hold up to 0.9 s at 8 kHz.
      Wait(1000);
    }));
    const size_t onset = Onset(samples, 300);
    const size_t end = End(samples, 300);
    ASSERT_LT(onset + 2048 + 16384, end) << "the sound was written";
    // As long as the decoder's own output at its own rate: every buffer
    // played once, at its own speed (within less than the shortest buffer,
    // 48 ms at 48 kHz, for the resampler's edges).
    const audio_test::Decoded decoded = audio_test::DecodeSound(SoundFixtures::Get().Bytes(fixture));
    const std::vector<float> left = mp3::Channel(decoded.samples, 0);
    const double decodedSeconds = static_cast<double>(End(left, 300) - Onset(left, 300)) / decoded.rates.at(0);
    EXPECT_NEAR(static_cast<double>(end - onset) / kRate, decodedSeconds, 0.04);
    const std::vector<float> steady(samples.begin() + static_cast<ptrdiff_t>(onset + 2048),
                                    samples.begin() + static_cast<ptrdiff_t>(end));
    EXPECT_NEAR(mp3::PeakFrequency(steady, kRate, 100, 3000), 1000.0, 2.0);
    EXPECT_LT(LongestQuietRun(samples, onset, end), 64u) << "no frame left out";
  }
  EXPECT_EQ(Log().find("Error"), std::string::npos) << Log();
}

TEST_F(AudioWave, RatesChangingOnOneChannelPlayInFull) {
  // One stream whose rate changes, then two sounds at different rates one
  // after the other: a source's queue holds one rate at a time.
  const uint32_t changing = AddSound("tone44k22k", 1);
  const uint32_t low = AddSound("rate22k", 2);
  const uint32_t high = AddSound("tone", 3);
  const std::vector<float> samples = WithoutStarvedGaps(Record([&](GCore::ALAudioManager& manager) {
    PlayToEnd(manager, changing);
    Wait(400);
    PlayToEnd(manager, low);
    PlayToEnd(manager, high);
    Wait(1000);
  }));
  // Seconds of 1000 Hz tone, in 10 ms windows.
  double heard = 0;
  for (size_t at = 0; at + 441 <= samples.size(); at += 441) {
    if (mp3::Rms(samples, at, at + 441) > 1000 && mp3::ToneLevel(samples, at, at + 441, kRate, 1000) > 5000) {
      heard += 0.01;
    }
  }
  EXPECT_NEAR(heard, 4.0, 0.15) << "two seconds of the changing stream, then one of each sound";
  EXPECT_EQ(Log().find("Error"), std::string::npos) << Log();
}

}  // namespace
