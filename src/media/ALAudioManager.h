#pragma once
// The audio manager over OpenAL: Start opens the default device and makes a
// context current, then gives every channel an ALPlayer. The device and the
// context are process-wide, so one manager runs at a time. Which device opens
// is OpenAL Soft's choice (ALSOFT_DRIVERS, ALSOFT_CONF): tests use its null
// back end or its wave writer. Without a device Start fails and the game runs
// silent.
#include "media/AudioManager.h"

namespace GCore {

class ALAudioManager : public AudioManager {
 public:
  using AudioManager::AudioManager;
  ~ALAudioManager() override;

  bool Start() override;
  // Deletes the players, then closes the context and the device.
  void Shutdown() override;
  bool CreateChannel(uint32_t channel) override;
};

}  // namespace GCore
