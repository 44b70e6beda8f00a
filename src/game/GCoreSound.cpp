// "gcore.c": sound. Each function posts a command to the audio manager or
// reads what the audio thread publishes; without a manager (or with one that
// did not start) they answer false, 0 or the master volume as it stands.
#include <cmath>

#include "core/MissingFiles.h"
#include "core/ResourcePath.h"
#include "display/TextQuad.h"
#include "game/GCoreApi.h"
#include "game/GameIF.h"
#include "media/AudioManager.h"

namespace GCore {

DialogSound g_dialogSoundSettings;

namespace Api {
namespace {

AudioManager* Audio() { return g_game ? Game()->GetAudioManager() : nullptr; }

uint32_t ChannelArg(lua_State* L, int index) { return static_cast<uint32_t>(IntArg(L, index)); }

// The text quads' typewriter calls this as it reveals text: full volume, no
// fade, no loop.
void PlayDialogSound() {
  const DialogSound& sound = g_dialogSoundSettings;
  if (AudioManager* audio = Audio()) {
    audio->Play(sound.id, static_cast<uint32_t>(sound.project), 1.0f, 0, false, static_cast<uint32_t>(sound.number));
  }
}

}  // namespace

int Play(lua_State* L) {
  const uint32_t id = IdArg(L, 1);
  const float volume = FloatArg(L, 2);
  const bool loop = lua_toboolean(L, 3);
  const uint32_t channel = ChannelArg(L, 4);
  const int32_t fadeMs = IntArg(L, 5);
  AudioManager* audio = Audio();
  const bool played = FindResourceFile("sound", id) && audio &&
                      audio->Play(id, static_cast<uint32_t>(CurrentProjectIndex()), volume, fadeMs, loop, channel);
  lua_pushboolean(L, played);
  return 1;
}

int Pause(lua_State* L) {
  AudioManager* audio = Audio();
  lua_pushboolean(L, audio && audio->Pause(ChannelArg(L, 1)));
  return 1;
}

int Continue(lua_State* L) {
  AudioManager* audio = Audio();
  lua_pushboolean(L, audio && audio->Continue(ChannelArg(L, 1)));
  return 1;
}

int Stop(lua_State* L) {
  AudioManager* audio = Audio();
  lua_pushboolean(L, audio && audio->Stop(ChannelArg(L, 1), IntArg(L, 2)));
  return 1;
}

int SetGlobalVolume(lua_State* L) {
  const float volume = FloatArg(L, 1);
  if (AudioManager* audio = Audio()) audio->SetGlobalVolume(volume);
  return 0;
}

int GetGlobalVolume(lua_State* L) {
  lua_pushnumber(L, GlobalVolume.load());
  return 1;
}

int GetAudioState(lua_State* L) {
  AudioManager* audio = Audio();
  lua_pushinteger(L, audio ? audio->GetChannelState(ChannelArg(L, 1)) : 0);
  return 1;
}

int SetDialogSound(lua_State* L) {
  const uint32_t id = IdArg(L, 1);
  if (id == 0) return 0;
  g_dialogSoundSettings = DialogSound{id, IntArg(L, 2), CurrentProjectIndex()};
  g_dialogSound = PlayDialogSound;
  return 0;
}

}  // namespace Api
}  // namespace GCore
