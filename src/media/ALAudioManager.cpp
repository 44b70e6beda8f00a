#include "media/ALAudioManager.h"

#include <AL/alc.h>

#include "base/Log.h"
#include "media/ALPlayer.h"

namespace GCore {
namespace {

ALCdevice* g_device = nullptr;
ALCcontext* g_context = nullptr;

}  // namespace

ALAudioManager::~ALAudioManager() { ALAudioManager::Shutdown(); }

bool ALAudioManager::Start() {
  g_device = alcOpenDevice(nullptr);
  if (!g_device) {
    LogWrite("alcOpenDevice failed!\n");
    return false;
  }
  g_context = alcCreateContext(g_device, nullptr);
  if (!g_context || !alcMakeContextCurrent(g_context)) {
    LogWrite("alcMakeContextCurrent failed!\n");
    return false;
  }
  return AudioManager::Start();
}

void ALAudioManager::Shutdown() {
  AudioManager::Shutdown();
  if (g_context) {
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(g_context);
    g_context = nullptr;
  }
  if (g_device) {
    alcCloseDevice(g_device);
    g_device = nullptr;
  }
}

bool ALAudioManager::CreateChannel(uint32_t channel) {
  if (channel < channels_.size() && !channels_[channel]) {
    auto player = std::make_unique<ALPlayer>();
    player->Init(channel);
    channels_[channel] = std::move(player);
  }
  return true;
}

}  // namespace GCore
