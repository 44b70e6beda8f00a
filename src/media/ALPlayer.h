#pragma once
// A player over one OpenAL source, fed through a ring of four buffers: at most
// three are queued, the fourth is the spare filled next. The OpenAL context
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
  // Refills every buffer the source has played; 0 when it stopped early.
  int32_t Update() override;

 private:
  static constexpr uint32_t kRingSize = 4;

  uint32_t source_ = 0;
  std::array<uint32_t, kRingSize> buffers_{};
  uint32_t ring_ = 0;  // the spare: the buffer filled next
};

}  // namespace GCore
