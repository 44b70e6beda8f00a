#pragma once
// Reads the 16-bit mono WAV that OpenAL Soft's wave writer leaves behind. Its
// format chunk is WAVE_FORMAT_EXTENSIBLE, so the chunks are walked by hand.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace audio_test {

struct WaveFile {
  bool ok = false;
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint16_t bits = 0;
  std::vector<float> samples;  // of the first channel
};

inline uint32_t LittleEndian(const std::string& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

inline WaveFile ParseWave(const std::string& bytes) {
  WaveFile wave;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return wave;
  bool haveFormat = false;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    size_t size = LittleEndian(bytes, at + 4, 4);
    const size_t body = at + 8;
    // The writer fills in the sizes when it closes; an open file has none yet.
    if (body + size > bytes.size()) size = bytes.size() - body;
    if (id == "fmt " && size >= 16) {
      const uint32_t tag = LittleEndian(bytes, body, 2);
      if (tag != 1 && tag != 0xFFFE) return wave;
      wave.channels = static_cast<uint16_t>(LittleEndian(bytes, body + 2, 2));
      wave.rate = LittleEndian(bytes, body + 4, 4);
      wave.bits = static_cast<uint16_t>(LittleEndian(bytes, body + 14, 2));
      haveFormat = wave.channels > 0 && wave.bits == 16;
    } else if (id == "data" && haveFormat) {
      const size_t frame = 2u * wave.channels;
      for (size_t i = body; i + frame <= body + size; i += frame) {
        wave.samples.push_back(static_cast<int16_t>(LittleEndian(bytes, i, 2)));
      }
      wave.ok = true;
      return wave;
    }
    at = body + size + (size & 1);
  }
  return wave;
}

}  // namespace audio_test
