#pragma once
// A player over one OpenAL source, fed through a ring of four buffers: at most
// three are queued, the fourth is the spare filled next. Buffers queued on one
// source must share their rate: a buffer at a new rate (another sound, or a
// stream whose rate changes) waits in the spare until the queue has played out. The OpenAL context
// that ALAudioManager makes current must stay current from Init to the
// destructor.
#include <array>
#include <cstdint>

#include "media/AudioPlayer.h"

namespace GCore {

class ALPlayer : public AudioPlayer {
 public:
  ALPlayer() = default;
  ~ALPlayer() override;

  void Init(uint32_t channel) override;
  bool Load(AudioCommand& command) override;
  // Refills every buffer the source has played; 0 when it stopped early.
  int32_t Update() override;

 private:
  static constexpr uint32_t kRingSize = 4;
  // Restarted: queued on a source whose old queue had played out and was
  // taken off, so the ring's counts must be read again.
  enum class Queued { Yes, Restarted, Waits, Stopped };

  // Queues the spare, filled at `rate`, and makes the next buffer the spare.
  Queued QueueSpare(uint32_t rate);
  // Refills every buffer the source has played; Stopped when it stopped early
  // (nothing played, nothing decoded, or an OpenAL error).
  Queued Refill();

  uint32_t source_ = 0;
  std::array<uint32_t, kRingSize> buffers_{};
  uint32_t ring_ = 0;  // the spare: the buffer filled next
  uint32_t queuedRate_ = 0;  // rate of the buffers in the source's queue
  uint32_t waitingRate_ = 0;  // non-zero while the spare waits to be queued
};

}  // namespace GCore
