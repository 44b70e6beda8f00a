#pragma once
// Audio without a device: players that keep what they decode, a manager whose
// turns the test runs by hand, and whole-file decoding through one player.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "media/AudioManager.h"
#include "media/AudioPlayer.h"

namespace audio_test {

// Keeps every buffer it is handed, one per refill.
class RecordingPlayer : public GCore::AudioPlayer {
 public:
  int32_t Update() override {
    uint32_t bytes = 0;
    const uint8_t* pcm = Decode(bytes);
    if (!pcm) return 0;
    const size_t at = output.size();
    output.resize(at + bytes / 2);
    std::memcpy(output.data() + at, pcm, bytes);
    ++buffers;
    return 1;
  }
  bool Load(GCore::AudioCommand& command) override {
    loadedSize = command.size;
    loadedCapacity = command.data.size();
    return AudioPlayer::Load(command);
  }

  std::vector<int16_t> output;  // interleaved stereo
  size_t buffers = 0;
  uint32_t loadedSize = 0;
  size_t loadedCapacity = 0;
};

// Every channel records; nothing runs until the test calls Turn.
class RecordingAudioManager : public GCore::AudioManager {
 public:
  bool Start() override {
    StartChannels();
    return true;
  }
  bool CreateChannel(uint32_t channel) override {
    if (channel < channels_.size() && !channels_[channel]) channels_[channel] = std::make_unique<RecordingPlayer>();
    return true;
  }
  void Turn(int times = 1) {
    for (int i = 0; i < times; ++i) RunTurn();
  }
  RecordingPlayer& Channel(uint32_t channel) { return static_cast<RecordingPlayer&>(*Player(channel)); }
  using AudioManager::Player;
};

// A play command over the bytes, padded as the manager pads a sound file.
inline GCore::AudioCommand SoundCommand(const std::string& bytes, bool loop = false) {
  GCore::AudioCommand command;
  command.type = GCore::AudioCommandType::Play;
  command.size = static_cast<uint32_t>(bytes.size());
  command.data.assign(std::max<size_t>(GCore::AudioManager::kInitialSoundBytes, bytes.size()), 0);
  std::memcpy(command.data.data(), bytes.data(), bytes.size());
  command.loop = loop;
  return command;
}

struct Decoded {
  std::vector<int16_t> samples;   // interleaved stereo
  std::vector<uint32_t> buffers;  // bytes of each buffer handed out
  std::vector<uint32_t> rates;    // and the rate it plays at
  GCore::AudioChannelState state = GCore::AudioChannelState::Ended;
};

// Decodes at full volume until the player gives nothing or `maxBuffers` came.
inline Decoded DecodeSound(const std::string& bytes, bool loop = false, size_t maxBuffers = 100000) {
  GCore::AudioPlayer player;
  player.Init(0);
  GCore::AudioCommand command = SoundCommand(bytes, loop);
  player.PlayAtPosition(1.0f);
  player.Load(command);
  Decoded decoded;
  uint32_t bytesOut = 0;
  while (decoded.buffers.size() < maxBuffers) {
    const uint8_t* pcm = player.Decode(bytesOut);
    if (!pcm) break;
    const size_t at = decoded.samples.size();
    decoded.samples.resize(at + bytesOut / 2);
    std::memcpy(decoded.samples.data() + at, pcm, bytesOut);
    decoded.buffers.push_back(bytesOut);
    decoded.rates.push_back(player.OutputRate());
  }
  decoded.state = player.State();
  return decoded;
}

}  // namespace audio_test
