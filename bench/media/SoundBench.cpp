// MP3 decoding time (and speed as a multiple of real time), beside ffmpeg
// decoding the same file in the same run less its start, and the audio
// thread's share of one core while eight channels play on OpenAL's null device.
#include <dirent.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "PeerFigures.h"
#include "core/LuaManager.h"
#include "core/ScriptVM.h"
#include "core/TempRoot.h"
#include "game/GameIF.h"
#include "media/ALAudioManager.h"
#include "media/AudioPlayer.h"
#include "media/Mp3Fixtures.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSoundSeconds = 30;
constexpr int kRuns = 3;
// Copies of the sound that the decoding figures are taken over.
constexpr int kCopies = 16;

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// Decodes the whole file once; the seconds of sound it gave.
double DecodeOnce(const std::string& bytes) {
  GCore::AudioCommand command;
  command.type = GCore::AudioCommandType::Play;
  command.size = static_cast<uint32_t>(bytes.size());
  command.data.assign(std::max<size_t>(bytes.size(), GCore::AudioManager::kInitialSoundBytes), 0);
  std::copy(bytes.begin(), bytes.end(), command.data.begin());
  GCore::AudioPlayer player;
  player.PlayAtPosition(1.0f);
  player.Load(command);
  uint32_t bytesOut = 0;
  double seconds = 0;
  while (player.Decode(bytesOut)) seconds += bytesOut / 4.0 / player.OutputRate();
  return seconds;
}

void DecodeSpeed(const std::string& path, const std::string& shortPath) {
  // MP3 frames join end to end: copies of the file make a sound long enough
  // that ffmpeg's start-up (a few hundred ms on a loaded machine) does not
  // swamp its decoding time.
  const std::string once = mp3::ReadFile(path);
  std::string bytes;
  for (int copy = 0; copy < kCopies; ++copy) bytes += once;
  const std::string longPath = path + ".long.mp3";
  mp3::WriteFile(longPath, bytes);

  double best = 1e9;
  double sound = 0;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    sound = DecodeOnce(bytes);
    best = std::min(best, Seconds(Clock::now() - start));
  }
  std::printf("mp3 decode (engine, libmad + dither + gain): %.0f s of sound in %.1f ms: %.0fx real time\n", sound,
              best * 1000, sound / best);

  // ffmpeg's start-up is measured on a tenth of a second of sound and taken
  // off, so that both figures are decoding alone.
  auto ffmpeg = [](const std::string& file) {
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
      const auto start = Clock::now();
      if (!mp3::RunQuietly({"ffmpeg", "-nostdin", "-threads", "1", "-i", file, "-f", "null", "-"})) return -1.0;
      best = std::min(best, Seconds(Clock::now() - start));
    }
    return best;
  };
  const double whole = ffmpeg(longPath);
  const double startUp = ffmpeg(shortPath);
  if (whole < 0 || startUp < 0) {
    std::printf("mp3 decode (ffmpeg): not available\n");
    return;
  }
  PrintPeerFiguresLessStart("mp3 decode", best * 1000, "ffmpeg -threads 1", whole * 1000, startUp * 1000);
}

// CPU seconds of this process's thread named `name` (the scheduler's own
// count, in nanoseconds), or -1.
double ThreadSeconds(const char* name) {
  DIR* tasks = opendir("/proc/self/task");
  if (!tasks) return -1;
  double seconds = -1;
  while (dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    const std::string task = std::string("/proc/self/task/") + entry->d_name;
    std::string comm;
    std::getline(std::ifstream(task + "/comm"), comm);
    if (comm != name) continue;
    unsigned long long nanoseconds = 0;
    if (std::ifstream(task + "/schedstat") >> nanoseconds) seconds = nanoseconds / 1e9;
  }
  closedir(tasks);
  return seconds;
}

double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

void EightChannels(const TempRoot& root) {
  setenv("ALSOFT_DRIVERS", "null", 1);
  GCore::GameIF game("loader", root.Path());
  GCore::g_game = &game;
  game.CreateScriptVM();
  game.CreateLuaManager()->LoadProj("loader");
  GCore::ALAudioManager audio;
  if (!audio.Start()) {
    std::printf("audio thread: no OpenAL null device\n");
    return;
  }
  for (uint32_t channel : {0u, 1u, 2u, 3u, 4u, 5u, 0xFFFFFFFFu, 0xFFFFFFFFu}) {
    audio.Play(0x20010001, 0, 1.0f, 0, true, channel);
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const double threadBefore = ThreadSeconds("audio");
  const double processBefore = ProcessSeconds();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(5));
  const double wall = Seconds(Clock::now() - start);
  const double thread = ThreadSeconds("audio") - threadBefore;
  const double process = ProcessSeconds() - processBefore;
  int busy = 0;
  for (uint32_t n = 0; n < 20; ++n) busy += GCore::IsBusy(static_cast<GCore::AudioChannelState>(audio.GetChannelState(n)));
  audio.Shutdown();
  GCore::g_game = nullptr;
  game.GetLuaManager()->CloseAll();
  std::printf("audio thread with %d channels playing: %.2f%% of a core; whole process with OpenAL's mixer: %.2f%%\n",
              busy, 100.0 * thread / wall, 100.0 * process / wall);
}

}  // namespace

int main() {
  TempRoot root;
  root.Write("loader/script/gameinit.lua", "g_dir = {[0x10000] = 'sound'} g_ext = {[0x20000000] = '.mp3'}");
  root.Write("loader/sound/.keep", "");
  const std::string path = root.Path("loader/sound/0001.mp3");
  if (!mp3::MakeTones(path, {{440, kSoundSeconds / 2}, {880, kSoundSeconds / 2}})) {
    std::printf("sound benchmark: lame is not available\n");
    return 1;
  }
  const std::string shortPath = root.Path("short.mp3");
  if (!mp3::MakeTones(shortPath, {{440, 0.1}})) return 1;
  DecodeSpeed(path, shortPath);
  EightChannels(root);
  return 0;
}
