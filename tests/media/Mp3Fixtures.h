#pragma once
// MP3 fixtures for the sound tests, made by lame from PCM written here, and
// the few signal measures the tests need.
#include <cstdint>
#include <string>
#include <vector>

namespace mp3 {

struct Tone {
  double frequency = 1000;  // Hz; 0 is silence
  double seconds = 1;
};

struct Encoding {
  int channels = 2;
  int bitRate = 128;  // kbit/s, constant
  int sampleRate = 44100;
  // lame's options in place of the constant bit rate, e.g. {"-V", "2"}.
  std::vector<std::string> options{};
};

// Writes a 16-bit WAV of the tones played one after the other at the given
// amplitude (0 to 1), then encodes it with lame into `mp3Path`. False when
// lame failed.
bool MakeTones(const std::string& mp3Path, const std::vector<Tone>& tones, double amplitude = 0.5,
               const Encoding& encoding = {});

// Encodes one second of a 1000 Hz sine at `sampleRate` with ffmpeg's lame
// encoder at variable bit rate, with ffmpeg's ID3v2 tag and Xing frame.
bool MakeFfmpegTone(const std::string& mp3Path, int sampleRate);

// Runs a program found on the PATH with its output discarded; true when it exited 0.
bool RunQuietly(std::vector<std::string> command);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Bytes from a fixed-seed generator, the same on every run.
std::string RandomBytes(size_t count, uint32_t seed = 12345);

// Interleaved stereo samples to one channel.
std::vector<float> Channel(const std::vector<int16_t>& stereo, int channel);

// The frequency in [low, high] Hz with the most energy, to a tenth of a hertz.
double PeakFrequency(const std::vector<float>& samples, int rate, double low, double high);

// Amplitude of the frequency's component in samples [begin, end).
double ToneLevel(const std::vector<float>& samples, size_t begin, size_t end, int rate, double frequency);

// Root mean square of samples [begin, end).
double Rms(const std::vector<float>& samples, size_t begin, size_t end);

}  // namespace mp3
