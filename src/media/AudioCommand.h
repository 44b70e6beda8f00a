#pragma once
// What the audio manager and its players share: the queued request, the
// channel state word, the volume curve and the master volume.
//
// The state words and the master volume are the only audio values the main
// thread reads while the audio thread runs; each is one atomic word, written
// by the audio thread alone.
#include <atomic>
#include <cstdint>
#include <vector>

namespace GCore {

// The state word of a channel's player, as scripts read it (values 1 and 2
// are never used). A channel is busy while it is Playing, Paused, FadingIn or
// FadingOut.
enum class AudioChannelState : int32_t {
  Ended = 0,
  Playing = 3,
  Paused = 4,
  Stopped = 5,
  FadingIn = 6,
  FadingOut = 7,
};

inline bool IsBusy(AudioChannelState state) {
  return state == AudioChannelState::Playing || state == AudioChannelState::Paused ||
         state == AudioChannelState::FadingIn || state == AudioChannelState::FadingOut;
}

enum class AudioCommandType : int32_t {
  None = -1,
  Play = 0,
  Pause = 1,
  Continue = 2,
  Stop = 3,
  MasterVolume = 4,
};

// What a queued request asks for, without the sound it may carry.
struct AudioRequest {
  bool waiting = false;  // starts when its channel's fade-out has run out
  uint32_t soundId = 0;
  uint32_t folder = 0;  // project index; 0 means the current project
  float volume = 0;     // for the master-volume command, the new master volume
  int32_t fade = 0;     // ms: fade-in for play, fade-out for stop
  bool loop = false;
  uint32_t channel = 0;  // at or above the reserved count: pick one
  uint32_t size = 0;     // bytes of sound data
  AudioCommandType type = AudioCommandType::None;
};

// One queued request. Only play commands carry sound data, and the data moves
// (never copies) from the poster to the queue, the audio thread and finally
// the player that plays it; whoever holds a command last frees its data.
struct AudioCommand : AudioRequest {
  AudioCommand() = default;
  AudioCommand(AudioCommand&&) = default;
  AudioCommand& operator=(AudioCommand&&) = default;
  AudioCommand(const AudioCommand&) = delete;
  AudioCommand& operator=(const AudioCommand&) = delete;

  // The same request without its sound data.
  AudioCommand WithoutData() const {
    AudioCommand copy;
    static_cast<AudioRequest&>(copy) = *this;
    return copy;
  }

  // The whole sound file, zero beyond `size`; its length is the capacity.
  std::vector<uint8_t> data;
};

// The volume curve spans nine octaves: a position in [0, 1] maps to the gain
// 2^(9t - 9), and a gain below 1/512 is silence.
float VolumePosition(float gain);
float CurveGain(float position);

// The master volume in [0, 1]; initial 1.
extern std::atomic<float> GlobalVolume;

}  // namespace GCore
