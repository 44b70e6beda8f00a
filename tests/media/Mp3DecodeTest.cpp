// MP3 decoding through one player, without a device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "RecordingAudio.h"
#include "SoundFixtures.h"

namespace {

using audio_test::DecodeSound;
using audio_test::Decoded;
using audio_test::RunWithin;
using audio_test::SoundFixtures;
using GCore::AudioChannelState;

constexpr int kRate = 44100;
constexpr uint32_t kBufferBytes = 9216;

class Mp3Decode : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SoundFixtures::Get().Ready()) GTEST_SKIP() << "lame or ffmpeg could not make the fixtures";
    GCore::GlobalVolume = 1.0f;
  }
  std::string Bytes(const std::string& name) { return SoundFixtures::Get().Bytes(name); }
};

// Longest run of near-silent samples after the sound first became audible.
size_t LongestQuietRun(const std::vector<float>& samples) {
  size_t at = 0;
  while (at < samples.size() && std::fabs(samples[at]) < 100) ++at;
  size_t longest = 0;
  size_t run = 0;
  for (; at < samples.size(); ++at) {
    run = std::fabs(samples[at]) < 100 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

TEST_F(Mp3Decode, ToneComesOutAtItsFrequencyInWholeBuffers) {
  for (const char* name : {"tone", "mono"}) {
    SCOPED_TRACE(name);
    const Decoded decoded = DecodeSound(Bytes(name));
    ASSERT_GE(decoded.buffers.size(), 19u) << "one second is about 19 buffers of two frames";
    for (uint32_t bytes : decoded.buffers) EXPECT_EQ(bytes, kBufferBytes);
    EXPECT_EQ(decoded.state, AudioChannelState::Ended);
    const std::vector<float> left = mp3::Channel(decoded.samples, 0);
    const std::vector<float> right = mp3::Channel(decoded.samples, 1);
    EXPECT_NEAR(mp3::PeakFrequency(left, kRate, 100, 5000), 1000.0, 1.0);
    // Amplitude 0.5 of full scale; the encoder keeps it within a few percent.
    const double rms = mp3::Rms(left, 4096, 36864);
    EXPECT_NEAR(rms, 0.5 * 32767 / std::sqrt(2.0), 0.06 * rms);
    if (std::string(name) == "mono") {
      EXPECT_EQ(left, right) << "a mono sound plays the same on both sides";
    } else {
      EXPECT_NEAR(mp3::Rms(right, 4096, 36864), rms, 0.01 * rms);
    }
  }
}

// Seconds of sound in the decoded buffers [begin, end), each at its own rate.
double Seconds(const Decoded& decoded, size_t begin, size_t end) {
  double seconds = 0;
  for (size_t i = begin; i < end; ++i) seconds += decoded.buffers[i] / 4.0 / decoded.rates[i];
  return seconds;
}

TEST_F(Mp3Decode, EveryRateAndBitRatePlaysAtItsOwnRate) {
  struct Case {
    const char* name;
    uint32_t rate;
  };
  const Case cases[] = {
      {"rate192", 44100}, {"rate8k", 8000},   {"rate11k", 11025}, {"rate16k", 16000}, {"rate22k", 22050},
      {"rate24k", 24000}, {"rate32k", 32000}, {"rate48k", 48000}, {"vbr", 44100},     {"abr", 44100},
      {"crc", 44100},     {"vbr22kNoXing", 22050}, {"ffmpeg32k", 32000},
  };
  for (const Case& c : cases) {
    for (bool loop : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (loop ? " looping" : ""));
      Decoded decoded;
      RunWithin(60, [&] { decoded = DecodeSound(Bytes(c.name), loop, 200); });
      ASSERT_GE(decoded.buffers.size(), 2u);
      if (!loop) {
        EXPECT_EQ(decoded.state, AudioChannelState::Ended);
        // One second of tone, the encoder's delay and padding, and the Xing frame.
        EXPECT_NEAR(Seconds(decoded, 0, decoded.buffers.size()), 1.15, 0.15) << "every frame was handed out";
      } else if (Bytes(c.name).size() > 2 * GCore::AudioPlayer::kLoopRestartByte) {
        EXPECT_EQ(decoded.buffers.size(), 200u) << "a loop goes on";
      }
      for (size_t i = 0; i + 1 < decoded.buffers.size(); ++i) {
        ASSERT_EQ(decoded.rates[i], c.rate) << "buffer " << i;
        // Two MPEG-1 frames or four MPEG-2 ones.
        ASSERT_EQ(decoded.buffers[i], kBufferBytes) << "buffer " << i;
      }
      const std::vector<float> left = mp3::Channel(decoded.samples, 0);
      const std::vector<float> steady(left.begin() + 4096, left.end());
      EXPECT_NEAR(mp3::PeakFrequency(steady, static_cast<int>(c.rate), 100, 3000), 1000.0, 2.0);
    }
  }
}

TEST_F(Mp3Decode, AStreamWhoseRateChangesNeverMixesRatesInABuffer) {
  const Decoded decoded = DecodeSound(Bytes("tone44k22k"));
  const size_t change = static_cast<size_t>(
      std::find(decoded.rates.begin(), decoded.rates.end(), 22050u) - decoded.rates.begin());
  ASSERT_LT(change, decoded.rates.size());
  EXPECT_TRUE(std::all_of(decoded.rates.begin(), decoded.rates.begin() + static_cast<ptrdiff_t>(change),
                          [](uint32_t rate) { return rate == 44100; }));
  EXPECT_TRUE(std::all_of(decoded.rates.begin() + static_cast<ptrdiff_t>(change), decoded.rates.end(),
                          [](uint32_t rate) { return rate == 22050; }));
  // Nothing lost at the change: each part as long as the file it came from.
  // Alone, the first file's last frame did not fill a buffer and was not
  // played; here the change of rate hands it out.
  const Decoded first = DecodeSound(Bytes("tone"));
  EXPECT_NEAR(Seconds(decoded, 0, change), Seconds(first, 0, first.buffers.size()) + 1152.0 / 44100, 0.001);
  const Decoded second = DecodeSound(Bytes("rate22k"));
  EXPECT_NEAR(Seconds(decoded, change, decoded.buffers.size()), Seconds(second, 0, second.buffers.size()), 0.03);
}

TEST_F(Mp3Decode, LoopRestartsAtByte9216AndFillsOnAcrossTheSeam) {
  // 300 Hz for the first 0.3 s, then 600 Hz: byte 9216 lies in the 600 Hz part.
  const std::string bytes = Bytes("twopart");
  const Decoded once = DecodeSound(bytes);
  const Decoded looped = DecodeSound(bytes, true, 3 * once.buffers.size());
  ASSERT_EQ(looped.buffers.size(), 3 * once.buffers.size()) << "a loop goes on";
  for (uint32_t bytesOut : looped.buffers) EXPECT_EQ(bytesOut, kBufferBytes);

  const std::vector<float> left = mp3::Channel(looped.samples, 0);
  const size_t firstPass = once.samples.size() / 2;
  EXPECT_GT(mp3::ToneLevel(left, 0, 8192, kRate, 300), 5000.0) << "the first pass starts at 300 Hz";
  for (size_t begin = firstPass; begin + 4096 <= left.size(); begin += 4096) {
    EXPECT_LT(mp3::ToneLevel(left, begin, begin + 4096, kRate, 300), 1000.0)
        << "the 300 Hz start is never repeated, at " << begin;
  }
  // The seams hold only the encoder's padding, less than one frame of quiet.
  EXPECT_LT(LongestQuietRun(left), 1152u);
}

TEST_F(Mp3Decode, ALoopShorterThanTheRestartPointPlaysOnceAndEnds) {
  const std::string bytes = Bytes("short");
  ASSERT_LT(bytes.size(), GCore::AudioPlayer::kLoopRestartByte);
  const Decoded once = DecodeSound(bytes);
  Decoded looped;
  RunWithin(60, [&] { looped = DecodeSound(bytes, true); });
  EXPECT_EQ(looped.samples, once.samples);
  EXPECT_EQ(looped.state, AudioChannelState::Ended);
}

TEST_F(Mp3Decode, SilenceDecodesToDitherOnly) {
  const Decoded decoded = DecodeSound(Bytes("silence"));
  ASSERT_FALSE(decoded.samples.empty());
  for (int16_t sample : decoded.samples) ASSERT_LE(std::abs(sample), 1);
}

TEST_F(Mp3Decode, TruncatedFilePlaysWhatItHolds) {
  const Decoded whole = DecodeSound(Bytes("tone"));
  const Decoded cut = DecodeSound(Bytes("truncated"));
  EXPECT_EQ(cut.state, AudioChannelState::Ended);
  EXPECT_NEAR(static_cast<double>(cut.buffers.size()), whole.buffers.size() * 0.6, 2.0);
  const std::vector<int16_t> head(whole.samples.begin(), whole.samples.begin() + 8 * kBufferBytes / 2);
  const std::vector<int16_t> cutHead(cut.samples.begin(), cut.samples.begin() + 8 * kBufferBytes / 2);
  EXPECT_EQ(cutHead, head);
}

TEST_F(Mp3Decode, HugeDeclaredTagSizeIsSkippedOver) {
  const Decoded decoded = DecodeSound(Bytes("id3huge"));
  ASSERT_GE(decoded.buffers.size(), 19u);
  EXPECT_NEAR(mp3::PeakFrequency(mp3::Channel(decoded.samples, 0), kRate, 100, 5000), 1000.0, 1.0);
}

TEST_F(Mp3Decode, BadBytesEndWithoutHanging) {
  for (const char* name : {"empty", "random"}) {
    for (bool loop : {false, true}) {
      SCOPED_TRACE(std::string(name) + (loop ? " looping" : ""));
      Decoded decoded;
      RunWithin(60, [&] { decoded = DecodeSound(Bytes(name), loop, 1000); });
      EXPECT_EQ(decoded.state, AudioChannelState::Ended);
      EXPECT_LT(decoded.buffers.size(), 1000u);
    }
  }
}

}  // namespace
