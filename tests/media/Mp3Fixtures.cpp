#include "Mp3Fixtures.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numbers>

extern char** environ;

namespace mp3 {
namespace {

void PutLittle(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string Wav(const std::vector<int16_t>& samples, int channels, int rate) {
  const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  PutLittle(out, 36 + dataBytes, 4);
  out += "WAVEfmt ";
  PutLittle(out, 16, 4);
  PutLittle(out, 1, 2);
  PutLittle(out, static_cast<uint32_t>(channels), 2);
  PutLittle(out, static_cast<uint32_t>(rate), 4);
  PutLittle(out, static_cast<uint32_t>(rate * channels * 2), 4);
  PutLittle(out, static_cast<uint32_t>(channels * 2), 2);
  PutLittle(out, 16, 2);
  out += "data";
  PutLittle(out, dataBytes, 4);
  for (int16_t sample : samples) PutLittle(out, static_cast<uint16_t>(sample), 2);
  return out;
}

}  // namespace

bool MakeTones(const std::string& mp3Path, const std::vector<Tone>& tones, double amplitude,
               const Encoding& encoding) {
  const int rate = encoding.sampleRate;
  std::vector<int16_t> samples;
  double phase = 0;
  for (const Tone& tone : tones) {
    const auto count = static_cast<size_t>(tone.seconds * rate);
    for (size_t i = 0; i < count; ++i) {
      const auto value = static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::sin(phase)));
      for (int c = 0; c < encoding.channels; ++c) samples.push_back(value);
      phase += 2 * std::numbers::pi * tone.frequency / rate;
    }
  }
  const std::string wavPath = mp3Path + ".wav";
  WriteFile(wavPath, Wav(samples, encoding.channels, rate));
  std::vector<std::string> command = {"lame", "--quiet", "--noreplaygain"};
  if (encoding.options.empty()) {
    command.insert(command.end(), {"--cbr", "-b", std::to_string(encoding.bitRate)});
  } else {
    command.insert(command.end(), encoding.options.begin(), encoding.options.end());
  }
  command.insert(command.end(), {wavPath, mp3Path});
  const bool encoded = RunQuietly(command);
  std::remove(wavPath.c_str());
  return encoded;
}

bool MakeFfmpegTone(const std::string& mp3Path, int sampleRate) {
  return RunQuietly({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i",
                     "sine=frequency=1000:duration=1:sample_rate=" + std::to_string(sampleRate), "-c:a",
                     "libmp3lame", "-q:a", "4", mp3Path});
}

bool RunQuietly(std::vector<std::string> command) {
  std::vector<char*> argv;
  for (std::string& part : command) argv.push_back(part.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string RandomBytes(size_t count, uint32_t seed) {
  std::string bytes(count, '\0');
  uint32_t state = seed;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

std::vector<float> Channel(const std::vector<int16_t>& stereo, int channel) {
  std::vector<float> out;
  out.reserve(stereo.size() / 2);
  for (size_t i = static_cast<size_t>(channel); i < stereo.size(); i += 2) out.push_back(stereo[i]);
  return out;
}

namespace {

// Energy at one frequency over a Hann-windowed block (Goertzel).
double Power(const std::vector<float>& block, const std::vector<float>& window, int rate, double frequency) {
  const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / rate);
  double s1 = 0;
  double s2 = 0;
  for (size_t i = 0; i < block.size(); ++i) {
    const double s0 = block[i] * window[i] + coefficient * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

}  // namespace

double PeakFrequency(const std::vector<float>& samples, int rate, double low, double high) {
  const std::vector<float> block(samples.begin(),
                                 samples.begin() + static_cast<ptrdiff_t>(std::min<size_t>(samples.size(), 16384)));
  std::vector<float> window(block.size());
  for (size_t i = 0; i < window.size(); ++i) {
    window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (window.size() - 1)));
  }
  double best = low;
  double bestPower = -1;
  auto scan = [&](double from, double to, double step) {
    for (double f = from; f <= to; f += step) {
      const double power = Power(block, window, rate, f);
      if (power > bestPower) {
        bestPower = power;
        best = f;
      }
    }
  };
  scan(low, high, 2.0);
  const double coarse = best;
  scan(coarse - 2.0, coarse + 2.0, 0.1);
  return best;
}

double ToneLevel(const std::vector<float>& samples, size_t begin, size_t end, int rate, double frequency) {
  end = std::min(end, samples.size());
  if (begin >= end) return 0;
  const std::vector<float> block(samples.begin() + static_cast<ptrdiff_t>(begin),
                                 samples.begin() + static_cast<ptrdiff_t>(end));
  std::vector<float> window(block.size());
  for (size_t i = 0; i < window.size(); ++i) {
    window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (window.size() - 1)));
  }
  // A Hann window passes half of a sine's amplitude.
  return 4 * std::sqrt(std::max(0.0, Power(block, window, rate, frequency))) / static_cast<double>(block.size());
}

double Rms(const std::vector<float>& samples, size_t begin, size_t end) {
  end = std::min(end, samples.size());
  if (begin >= end) return 0;
  double sum = 0;
  for (size_t i = begin; i < end; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return std::sqrt(sum / static_cast<double>(end - begin));
}

}  // namespace mp3
