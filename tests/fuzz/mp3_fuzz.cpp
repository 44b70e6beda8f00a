// Fuzz target: bytes as a sound file through a player's MP3 decoding, played
// once straight and once looping, as the audio thread would. Seeds: the sound
// tests' fixtures, written by tests/media/WriteSoundFixtures.cpp.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "media/AudioPlayer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Sound files are read up to 20 MiB; 32 KiB (two seconds) show every path
  // of the decoder.
  if (size > 32 * 1024) return 0;
  for (bool loop : {false, true}) {
    GCore::AudioCommand command;
    command.type = GCore::AudioCommandType::Play;
    command.loop = loop;
    command.size = static_cast<uint32_t>(size);
    command.data.assign(std::max<size_t>(size, GCore::kMadInputBytes), 0);
    if (size > 0) std::memcpy(command.data.data(), data, size);
    GCore::AudioPlayer player;
    player.PlayAtPosition(1.0f);
    player.Load(command);
    uint32_t bytes = 0;
    // Enough buffers to pass the end of any input once; a looping sound that
    // plays never ends by itself.
    for (int buffers = 0; buffers < 50 && player.Decode(bytes); ++buffers) {
    }
  }
  return 0;
}
