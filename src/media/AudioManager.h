#pragma once
// The audio manager: a fixed set of numbered sound channels, each with one
// streaming player, driven by a queue of commands that one audio thread
// applies in order before it lets every active player refill its output.
//
// Threads: the main thread posts commands (Play, Pause, Continue, Stop,
// SetGlobalVolume) and reads the channel state words and the master volume;
// the audio thread owns everything else, the players included. The queue is
// the only thing both touch, under the queue mutex, held just long enough to
// append or take one command. Start creates every channel's player before the
// thread starts, and the channel table stays as it is until Shutdown has
// joined the thread.
//
// A manager that has not started (no audio device) takes no commands at all:
// the game runs silent and nothing piles up. The destructor shuts down what is
// still running; a derived manager whose players need more than that (a device
// to close) shuts down in its own destructor, before the thread could reach a
// half-destroyed object.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "media/AudioCommand.h"
#include "platform/Clock.h"

namespace GCore {

class AudioPlayer;

class AudioManager {
 public:
  static constexpr int32_t kChannelCount = 20;
  static constexpr int32_t kReservedCount = 6;  // channels 0 to 5 are asked for by number
  // A player keeps three buffers of 52 ms queued, of which the oldest may be
  // all but played when a turn comes: at 100 ms between turns the rest ran
  // out whenever a turn came 5 ms late, and the sound broke off for a moment.
  static constexpr uint32_t kThreadPeriodMs = 50;
  static constexpr int32_t kHandOverFadeMs = 1000;
  static constexpr uint32_t kInitialSoundBytes = 0x80000;
  static constexpr uint32_t kLargestSoundBytes = 0x1400000;

  // The period is the audio thread's sleep between turns.
  explicit AudioManager(uint32_t periodMs = kThreadPeriodMs);
  virtual ~AudioManager();
  AudioManager(const AudioManager&) = delete;
  AudioManager& operator=(const AudioManager&) = delete;

  // Main thread. Play reads the whole sound file, then queues it; false when
  // the manager has not started or the file cannot be read. The others are
  // false for a channel number the manager does not have.
  virtual bool Play(uint32_t id, uint32_t folder, float volume, int32_t fadeMs, bool loop, uint32_t channel);
  bool Pause(uint32_t channel);
  bool Continue(uint32_t channel);
  bool Stop(uint32_t channel, int32_t fadeMs);
  void SetGlobalVolume(float volume);
  virtual bool Start();
  virtual void Shutdown();
  bool IsRunning() const { return channelCount_ > 0; }

  // Any thread: 0 for a channel the manager does not have.
  virtual int32_t GetChannelState(uint32_t channel) const;

  // Audio thread.
  virtual void Update();
  // Gives the channel its player if it has none.
  virtual bool CreateChannel(uint32_t channel);
  virtual bool StartChannel(AudioCommand command);
  uint32_t PickChannel();
  bool StopChannel(AudioCommand command);

 protected:
  // Sets the channel counts and creates every channel's player.
  void StartChannels();
  // One turn of the audio thread: every queued command, then Update.
  void RunTurn();
  AudioPlayer* Player(uint32_t channel) const;

  std::vector<std::unique_ptr<AudioPlayer>> channels_;

 private:
  bool Post(AudioCommand command);
  // False for a channel the manager does not have.
  bool PostToChannel(AudioCommandType type, uint32_t channel, int32_t fadeMs);
  void Apply(AudioCommand command);
  void ThreadMain();

  int32_t channelCount_ = 0;
  int32_t reservedCount_ = 0;
  const uint32_t periodMs_;
  std::thread thread_;
  std::mutex queueMutex_;
  std::atomic<bool> quit_{false};
  SleepWaker stop_;  // ends the thread's sleep between turns when it is to quit
  std::deque<AudioCommand> queue_;
};

}  // namespace GCore
