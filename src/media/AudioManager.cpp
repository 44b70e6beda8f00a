#include "media/AudioManager.h"

#include <pthread.h>

#include <algorithm>

#include "base/Log.h"
#include "core/FileStream.h"
#include "core/ResourcePath.h"
#include "media/AudioPlayer.h"
#include "platform/Clock.h"

namespace GCore {
namespace {

// The first `size` bytes of the sound in a buffer that grows by doubling from
// the initial size, zero beyond the file.
bool ReadSound(uint32_t id, uint32_t folder, std::vector<uint8_t>& data, uint32_t& size) {
  FileStream stream;
  if (!stream.Open(GetPath(id, static_cast<int>(folder)), kStreamRead)) return false;
  const int32_t fileSize = stream.Impl()->Size();
  if (fileSize < 0) return false;
  size = std::min(static_cast<uint32_t>(fileSize), AudioManager::kLargestSoundBytes);
  uint32_t capacity = AudioManager::kInitialSoundBytes;
  while (capacity < size) capacity *= 2;
  data.assign(capacity, 0);
  if (size > 0 && !stream.Read(data.data(), size)) {
    LogPrintf("cannot read sound 0x%x\n", id);
    return false;
  }
  return true;
}

}  // namespace

AudioManager::AudioManager(uint32_t periodMs) : periodMs_(periodMs) {}

AudioManager::~AudioManager() { AudioManager::Shutdown(); }

bool AudioManager::Play(uint32_t id, uint32_t folder, float volume, int32_t fadeMs, bool loop, uint32_t channel) {
  if (!IsRunning()) return false;
  if (folder == 0) folder = static_cast<uint32_t>(CurrentProjectIndex());
  AudioCommand command;
  if (!ReadSound(id, folder, command.data, command.size)) return false;
  command.soundId = id;
  command.folder = folder;
  command.volume = volume;
  command.fade = fadeMs;
  command.loop = loop;
  command.channel = channel;
  command.type = AudioCommandType::Play;
  return Post(std::move(command));
}

bool AudioManager::Pause(uint32_t channel) { return PostToChannel(AudioCommandType::Pause, channel, 0); }

bool AudioManager::Continue(uint32_t channel) { return PostToChannel(AudioCommandType::Continue, channel, 0); }

bool AudioManager::Stop(uint32_t channel, int32_t fadeMs) {
  return PostToChannel(AudioCommandType::Stop, channel, fadeMs);
}

bool AudioManager::PostToChannel(AudioCommandType type, uint32_t channel, int32_t fadeMs) {
  if (channel >= static_cast<uint32_t>(channelCount_)) return false;
  AudioCommand command;
  command.type = type;
  command.channel = channel;
  command.fade = fadeMs;
  return Post(std::move(command));
}

void AudioManager::SetGlobalVolume(float volume) {
  AudioCommand command;
  command.type = AudioCommandType::MasterVolume;
  command.volume = volume;
  Post(std::move(command));
}

bool AudioManager::Post(AudioCommand command) {
  if (!IsRunning()) return false;
  std::lock_guard lock(queueMutex_);
  queue_.push_back(std::move(command));
  return true;
}

void AudioManager::StartChannels() {
  if (channelCount_ == 0 && reservedCount_ == 0) {
    channelCount_ = kChannelCount;
    reservedCount_ = kReservedCount;
  }
  channels_.clear();
  channels_.resize(static_cast<size_t>(channelCount_));
  quit_ = false;
  stop_.Rearm();
  for (int32_t n = 0; n < channelCount_; ++n) CreateChannel(static_cast<uint32_t>(n));
}

bool AudioManager::Start() {
  StartChannels();
  thread_ = std::thread(&AudioManager::ThreadMain, this);
  return true;
}

void AudioManager::Shutdown() {
  quit_ = true;
  stop_.Wake();
  if (thread_.joinable()) thread_.join();
  channels_.clear();
  channelCount_ = 0;
  reservedCount_ = 0;
  std::lock_guard lock(queueMutex_);
  queue_.clear();
}

int32_t AudioManager::GetChannelState(uint32_t channel) const {
  const AudioPlayer* player = Player(channel);
  return player ? static_cast<int32_t>(player->State()) : 0;
}

AudioPlayer* AudioManager::Player(uint32_t channel) const {
  return channel < channels_.size() ? channels_[channel].get() : nullptr;
}

bool AudioManager::CreateChannel(uint32_t) { return true; }

void AudioManager::ThreadMain() {
  // Named so that profilers and the benchmark can tell it from OpenAL's mixer.
  pthread_setname_np(pthread_self(), "audio");
  while (!quit_) {
    RunTurn();
    // Shutdown ends the sleep at once: the program's exit waits for no period.
    SleepUnlessWoken(periodMs_, stop_);
  }
}

void AudioManager::RunTurn() {
  for (;;) {
    AudioCommand command;
    {
      std::lock_guard lock(queueMutex_);
      if (queue_.empty()) break;
      command = std::move(queue_.front());
      queue_.pop_front();
    }
    Apply(std::move(command));
  }
  Update();
}

void AudioManager::Apply(AudioCommand command) {
  AudioPlayer* player = Player(command.channel);
  switch (command.type) {
    case AudioCommandType::Play:
      StartChannel(std::move(command));
      break;
    // A stopped or ended sound has nothing to pause or resume: its decoder
    // may be gone.
    case AudioCommandType::Pause:
      if (player && IsBusy(player->State())) player->SetState(AudioChannelState::Paused);
      break;
    case AudioCommandType::Continue:
      if (player && IsBusy(player->State())) player->SetState(AudioChannelState::Playing);
      break;
    case AudioCommandType::Stop:
      StopChannel(std::move(command));
      break;
    case AudioCommandType::MasterVolume: {
      const float volume = command.volume;
      GlobalVolume.store(volume > 1.0f ? 1.0f : (volume >= 0.0f ? volume : 0.0f));
      break;
    }
    case AudioCommandType::None:
      break;
  }
}

bool AudioManager::StartChannel(AudioCommand command) {
  if (!(command.channel < static_cast<uint32_t>(reservedCount_))) command.channel = PickChannel();
  AudioPlayer* player = Player(command.channel);
  if (!player) {
    LogWrite("Play error \n");
    return false;
  }
  if (IsBusy(player->State())) {
    // The playing sound fades out first; Update starts this one when it is gone.
    command.waiting = true;
    command.fade = kHandOverFadeMs;
    return StopChannel(std::move(command));
  }
  player->command = command.WithoutData();
  if (command.fade > 0) {
    player->FadeIn(command.volume, command.fade);
  } else {
    player->PlayAtPosition(command.volume);
  }
  return player->Load(command);
}

uint32_t AudioManager::PickChannel() {
  const auto count = static_cast<uint32_t>(channelCount_);
  const auto reserved = static_cast<uint32_t>(reservedCount_);
  uint32_t chosen = count;
  for (uint32_t n = reserved; n < count; ++n) {
    const AudioPlayer* player = Player(n);
    if (!player || !IsBusy(player->State())) {
      chosen = n;
      break;
    }
  }
  // Every channel is busy: one of them, chosen by the clock, is cut.
  if (chosen == count) chosen = reserved + timeGetTime() % (count - reserved);
  if (!Player(chosen)) CreateChannel(chosen);
  if (AudioPlayer* player = Player(chosen)) {
    player->ReleaseDecoder();
    player->SetState(AudioChannelState::Stopped);
    player->command.waiting = false;
  }
  return chosen;
}

bool AudioManager::StopChannel(AudioCommand command) {
  AudioPlayer* player = Player(command.channel);
  if (!player || !IsBusy(player->State())) return false;
  const int32_t fade = command.fade;
  player->command = std::move(command);
  if (fade > 0) {
    player->FadeOut(fade);
  } else {
    player->ReleaseDecoder();
    player->SetState(AudioChannelState::Stopped);
  }
  return true;
}

void AudioManager::Update() {
  for (const std::unique_ptr<AudioPlayer>& player : channels_) {
    if (!player) continue;
    // The sound a waiting one replaces is gone once its fade-out has run out,
    // it has ended, or its decoder failed.
    const bool replacedIsGone = player->FadeRemaining() < 0 || !player->HasDecoder() ||
                                player->State() == AudioChannelState::Ended;
    if (player->command.waiting && replacedIsGone) {
      player->SetState(AudioChannelState::Stopped);
      AudioCommand next = std::move(player->command);
      next.waiting = false;
      StartChannel(std::move(next));
      player->command.waiting = false;
    }
    if (player->HasDecoder()) player->Update();
  }
}

}  // namespace GCore
