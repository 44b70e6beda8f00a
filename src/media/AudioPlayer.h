#pragma once
// A channel's player: owns one sound's MP3 bytes, decodes them into PCM one
// buffer at a time with the gain of its volume, its fade and the master volume
// applied, and hands the buffers to its back end (Update). Everything but
// construction and destruction runs on the audio thread; the state word is the
// one member the main thread reads.
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "media/AudioCommand.h"
#include "media/MadDecoder.h"

namespace GCore {

class AudioPlayer {
 public:
  // A looping sound starts again this far into its data.
  static constexpr uint32_t kLoopRestartByte = 9216;
  // Rate of the silence a paused player hands out before it has decoded anything.
  static constexpr uint32_t kSilenceRate = 44100;

  AudioPlayer() = default;
  virtual ~AudioPlayer();
  AudioPlayer(const AudioPlayer&) = delete;
  AudioPlayer& operator=(const AudioPlayer&) = delete;

  // Readies the back end for the channel.
  virtual void Init(uint32_t channel);
  // Takes over the play command's sound data and starts decoding it.
  virtual bool Load(AudioCommand& command);
  // Streams what the back end has room for; 1 when it streamed.
  virtual int32_t Update() { return 1; }

  // One buffer of output, or null when there is nothing to play. Each buffer
  // plays at the rate of the frames it came from (OutputRate), which may change
  // from one buffer to the next.
  const uint8_t* Decode(uint32_t& outBytes);
  uint32_t OutputRate() const { return outputRate_; }
  void ReleaseDecoder();
  bool HasDecoder() const { return decoding_; }

  AudioChannelState State() const { return state_.load(std::memory_order_relaxed); }
  void SetState(AudioChannelState state) { state_.store(state, std::memory_order_relaxed); }

  // Volume changes that the manager orders. A fade moves along the volume
  // curve over `fadeMs` of the engine clock.
  void FadeIn(float targetGain, int32_t fadeMs);
  void FadeOut(int32_t fadeMs);
  // Without a fade the volume is taken as a position on the curve.
  void PlayAtPosition(float position);
  float Volume() const { return volume_; }
  int32_t FadeRemaining() const { return fadeRemaining_; }

  // The play (or stop) command this channel was last given.
  AudioCommand command;

 private:
  void ApplyFade();
  void ApplyGain();
  void FeedInput();

  std::atomic<AudioChannelState> state_{AudioChannelState::Ended};
  bool loop_ = false;
  std::vector<uint8_t> data_;
  uint32_t cursor_ = 0;
  uint32_t size_ = 0;
  bool decoding_ = false;
  bool handedOutThisPass_ = false;
  uint32_t outputRate_ = kSilenceRate;

  std::array<uint8_t, kPcmBufferBytes> silence_{};
  MadDecoder decoder_;
  MadFeed feed_;
  std::array<uint8_t, kMadInputBytes + kMadGuardBytes> input_{};
  std::array<uint8_t, kPcmBufferBytes> pcm_{};

  float volume_ = 1.0f;  // linear gain
  float fadeStep_ = 0;   // curve positions per millisecond
  float fadeTarget_ = 0;  // curve position where a fade-in ends
  uint32_t fadeStart_ = 0;
  int32_t fadeRemaining_ = 0;
};

}  // namespace GCore
