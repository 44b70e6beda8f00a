#pragma once
// The set of MP3 fixtures the sound tests share, made once per test binary in
// a temporary folder, and a guard that turns a hang into a failure.
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "Mp3Fixtures.h"
#include "core/TempRoot.h"

namespace audio_test {

class SoundFixtures {
 public:
  // Made on first use; false from Ready() when lame or ffmpeg is missing or failed.
  static const SoundFixtures& Get() {
    static const SoundFixtures fixtures;
    return fixtures;
  }
  bool Ready() const { return ready_; }
  std::string Path(const std::string& name) const { return folder_.Path(name + ".mp3"); }
  std::string Bytes(const std::string& name) const { return mp3::ReadFile(Path(name)); }
  const std::vector<std::string>& Names() const { return names_; }

 private:
  SoundFixtures() {
    struct Encoded {
      const char* name;
      std::vector<mp3::Tone> tones;
      mp3::Encoding encoding;
    };
    const Encoded encoded[] = {
        {"tone", {{1000, 1.0}}, {}},
        {"mono", {{1000, 1.0}}, {.channels = 1}},
        {"low", {{500, 1.0}}, {}},
        {"long", {{700, 3.0}}, {}},
        {"twopart", {{300, 0.3}, {600, 1.2}}, {}},
        {"halves", {{500, 0.5}, {1000, 0.5}}, {}},
        {"short", {{500, 0.25}}, {}},
        {"silence", {{0, 0.5}}, {}},
        // Other rates, bit rates and modes: MPEG-1, 2 and 2.5, each a second of 1000 Hz.
        {"rate192", {{1000, 1.0}}, {.bitRate = 192}},
        {"rate8k", {{1000, 1.0}}, {.bitRate = 32, .sampleRate = 8000}},
        {"rate11k", {{1000, 1.0}}, {.channels = 1, .bitRate = 32, .sampleRate = 11025}},
        {"rate16k", {{1000, 1.0}}, {.bitRate = 64, .sampleRate = 16000}},
        {"rate22k", {{1000, 1.0}}, {.sampleRate = 22050}},
        {"rate24k", {{1000, 1.0}}, {.channels = 1, .bitRate = 96, .sampleRate = 24000}},
        {"rate32k", {{1000, 1.0}}, {.sampleRate = 32000}},
        {"rate48k", {{1000, 1.0}}, {.bitRate = 192, .sampleRate = 48000}},
        {"vbr", {{1000, 1.0}}, {.options = {"-V", "2"}}},
        {"abr", {{1000, 1.0}}, {.options = {"--abr", "96", "--resample", "44.1"}}},
        {"crc", {{1000, 1.0}}, {.options = {"-p", "--cbr", "-b", "128"}}},
        {"vbr22kNoXing", {{1000, 1.0}}, {.sampleRate = 22050, .options = {"-V", "5", "-t"}}},
    };
    for (const Encoded& sound : encoded) {
      if (!mp3::MakeTones(Path(sound.name), sound.tones, 0.5, sound.encoding)) return;
      names_.push_back(sound.name);
    }
    if (!mp3::MakeFfmpegTone(Path("ffmpeg32k"), 32000)) return;
    names_.push_back("ffmpeg32k");
    const std::string tone = Bytes("tone");
    // A stream whose rate changes: a second at 44,100 Hz, then one at 22,050 Hz.
    Add("tone44k22k", tone + Bytes("rate22k"));
    // Cut in the middle of a frame.
    Add("truncated", tone.substr(0, tone.size() * 6 / 10 + 100));
    Add("random", mp3::RandomBytes(100000));
    Add("empty", "");
    // An ID3v2 tag header that declares 256 MiB of tag before the audio.
    Add("id3huge", std::string("ID3\x04\x00\x00\x7f\x7f\x7f\x7f", 10) + tone);
    ready_ = true;
  }
  void Add(const std::string& name, const std::string& bytes) {
    mp3::WriteFile(Path(name), bytes);
    names_.push_back(name);
  }

  TempRoot folder_;
  std::vector<std::string> names_;
  bool ready_ = false;
};

// Runs `work` and fails the whole test binary if it has not returned in time:
// a decoder that never returns must not pass by hanging until the time limit.
template <class Work>
void RunWithin(int seconds, Work&& work) {
  auto done = std::async(std::launch::async, std::forward<Work>(work));
  if (done.wait_for(std::chrono::seconds(seconds)) == std::future_status::timeout) {
    std::fprintf(stderr, "still running after %d s: the decoder does not return\n", seconds);
    std::fflush(stderr);
    _exit(1);
  }
  done.get();
}

}  // namespace audio_test
