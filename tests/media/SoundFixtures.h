#pragma once
// The set of MP3 fixtures the sound tests share, made once per test binary in
// a temporary folder, and a guard that turns a hang into a failure.
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <string>
#include <unistd.h>

#include "Mp3Fixtures.h"
#include "core/TempRoot.h"

namespace audio_test {

class SoundFixtures {
 public:
  // Made on first use; false from Ready() when lame is missing or failed.
  static const SoundFixtures& Get() {
    static const SoundFixtures fixtures;
    return fixtures;
  }
  bool Ready() const { return ready_; }
  std::string Path(const std::string& name) const { return folder_.Path(name + ".mp3"); }
  std::string Bytes(const std::string& name) const { return mp3::ReadFile(Path(name)); }

 private:
  SoundFixtures() {
    using mp3::Tone;
    ready_ = mp3::MakeTones(Path("tone"), {{1000, 1.0}}) &&
             mp3::MakeTones(Path("mono"), {{1000, 1.0}}, 0.5, {.channels = 1}) &&
             mp3::MakeTones(Path("low"), {{500, 1.0}}) &&
             mp3::MakeTones(Path("long"), {{700, 3.0}}) &&
             mp3::MakeTones(Path("twopart"), {{300, 0.3}, {600, 1.2}}) &&
             mp3::MakeTones(Path("halves"), {{500, 0.5}, {1000, 0.5}}) &&
             mp3::MakeTones(Path("short"), {{500, 0.25}}) &&
             mp3::MakeTones(Path("silence"), {{0, 0.5}}) &&
             mp3::MakeTones(Path("rate192"), {{1000, 1.0}}, 0.5, {.bitRate = 192}) &&
             mp3::MakeTones(Path("rate22k"), {{1000, 1.0}}, 0.5, {.sampleRate = 22050});
    if (!ready_) return;
    const std::string tone = Bytes("tone");
    // Cut in the middle of a frame.
    mp3::WriteFile(Path("truncated"), tone.substr(0, tone.size() * 6 / 10 + 100));
    mp3::WriteFile(Path("random"), mp3::RandomBytes(100000));
    mp3::WriteFile(Path("empty"), "");
    // An ID3v2 tag header that declares 256 MiB of tag before the audio.
    mp3::WriteFile(Path("id3huge"), std::string("ID3\x04\x00\x00\x7f\x7f\x7f\x7f", 10) + tone);
  }

  TempRoot folder_;
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
