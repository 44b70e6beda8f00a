// Start-up and exit of the real program on an empty scene, beside LÖVE 11
// doing the same in the same run: a 1024 x 768 window under Xvfb, every
// subsystem as it starts by default, OpenAL's null device (a machine with
// sound). Each side prints a line at the first frame its script sees after a
// frame has been shown (the engine's per-frame function is first called at
// its second frame, LÖVE's love.update counts to two), and asks to quit there.
// The figures, by the wall clock from outside: the start (process started to
// that line), the exit (that line to the process reaped) and the whole run;
// and the processor time of the whole run (every thread, user and system:
// steadier than the wall clock on a busy machine). The programs take turns,
// and each figure is the median of its runs. The heap at that first frame is
// glibc's blocks in use (mallinfo2), read inside each program: the engine's
// from its frame-benchmark build, LÖVE's through LuaJIT's FFI, with LuaJIT's
// own heap added (it does not allocate through malloc).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FrameRun.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 15;
constexpr int kHeapRuns = 3;
constexpr int kTimeLimitMs = 60000;
constexpr const char* kMarker = "first frame";

struct Timing {
  double startMs = -1;  // started to the first-frame line
  double exitMs = -1;   // that line to the process reaped
  double cpuMs = -1;     // user and system time of the whole run, all threads
  double heapBytes = -1;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Runs the command in `folder` with its standard output and error on a pipe,
// timing the marker line as it arrives and the end as the process is reaped.
// False (with what it printed) when it gave no marker, failed or ran over.
bool TimeRun(const std::vector<std::string>& command, const std::string& folder, Timing& timing,
             std::string& output) {
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
  std::vector<char*> argv;
  for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
  argv.push_back(nullptr);
  const Clock::time_point started = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    dup2(pipeEnds[1], STDERR_FILENO);
    if (chdir(folder.c_str()) != 0) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  if (child < 0) {
    close(pipeEnds[0]);
    return false;
  }
  Clock::time_point marked{};
  bool seen = false, overrun = false;
  for (;;) {
    const int left = kTimeLimitMs - static_cast<int>(Ms(Clock::now() - started));
    pollfd readable{pipeEnds[0], POLLIN, 0};
    if (left <= 0 || poll(&readable, 1, left) <= 0) {
      overrun = true;
      kill(child, SIGKILL);
      break;
    }
    char bytes[4096];
    const ssize_t count = read(pipeEnds[0], bytes, sizeof bytes);
    if (count <= 0) break;
    output.append(bytes, static_cast<size_t>(count));
    if (!seen && output.find(kMarker) != std::string::npos) {
      marked = Clock::now();
      seen = true;
    }
  }
  close(pipeEnds[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const Clock::time_point ended = Clock::now();
  if (!seen || overrun || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  timing.startMs = Ms(marked - started);
  timing.exitMs = Ms(ended - marked);
  timing.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  const size_t heap = output.find("first frame heap ");
  if (heap != std::string::npos) timing.heapBytes = std::strtod(output.c_str() + heap + 17, nullptr);
  return true;
}

// The engine's empty scene: the first frame its script sees quits.
const char* kGameStart =
    "local g = require('gcore.c')\n"
    "g.SetMainloop(function(t)\n"
    "  if t < 0 then return end\n"
    "  io.write('first frame\\n'); io.stdout:flush()\n"
    "  g.QuitGame()\n"
    "end)\n";

class Engine {
 public:
  explicit Engine(const std::string& program) : root_(program) {
    root_.Write("loader/script/gameinit.lua", "require('gcore.c').SetResourceSize(1024, 768)\n");
    root_.Write("loader/script/gamestart.lua", kGameStart);
  }
  bool Run(Timing& timing) {
    std::string output;
    if (TimeRun({root_.Path("build/bin/quarvelin")}, root_.Path(), timing, output)) return true;
    std::printf("quarvelin failed: %s\n%s\n", output.c_str(), root_.Read("build/log.txt").c_str());
    return false;
  }

 private:
  e2e::GameRoot root_;
};

// LÖVE as it starts by default (GLX, which presents through shared memory),
// or forced onto EGL as the engine is (Mesa's EGL on X11 sends each software
// frame over the X socket), so that the present's share of a difference shows.
bool RunLove(bool egl, Timing& timing) {
  std::string output;
  const std::string force = std::string("SDL_VIDEO_X11_FORCE_EGL=") + (egl ? "1" : "0");
  if (TimeRun({"env", force, "love", QUARVELIN_STARTUP_DIR}, "/tmp", timing, output)) return true;
  std::printf("love failed: %s\n", output.c_str());
  return false;
}

bool LoveInstalled() {
  struct stat info;
  return stat("/usr/games/love", &info) == 0 || stat("/usr/bin/love", &info) == 0;
}

double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Figures {
  std::vector<double> start, exit, whole, cpu, heap;
  void Add(const Timing& t) {
    start.push_back(t.startMs);
    cpu.push_back(t.cpuMs);
    exit.push_back(t.exitMs);
    whole.push_back(t.startMs + t.exitMs);
  }
};

// A program of the comparison: its runs of the real program and of its
// frame-benchmark build (for the heap), or LÖVE's.
struct Side {
  const char* name;
  std::unique_ptr<Engine> program, frameProgram;  // none for LÖVE
  bool egl = false;                               // LÖVE's
  Figures figures;
  bool Run(Timing& timing) { return program ? program->Run(timing) : RunLove(egl, timing); }
};

void PrintTable(const std::vector<Side>& sides) {
  std::printf("%-18s %10s %10s %10s %10s %10s\n", "program", "start ms", "exit ms", "whole ms", "cpu ms", "heap MiB");
  for (const Side& side : sides) {
    const Figures& f = side.figures;
    std::printf("%-18s %10.1f %10.1f %10.1f %10.1f %10.2f\n", side.name, Median(f.start), Median(f.exit),
                Median(f.whole), Median(f.cpu), Median(f.heap) / (1 << 20));
  }
  for (const Side& peer : sides) {
    if (peer.program || peer.figures.start.empty()) continue;
    const Figures& love = peer.figures;
    std::printf("ratio to %s (above 1: more time or memory than LÖVE)\n", peer.name);
    for (const Side& side : sides) {
      if (!side.program) continue;
      const Figures& f = side.figures;
      std::printf("%-18s %10.2f %10.2f %10.2f %10.2f %10.2f\n", side.name, Median(f.start) / Median(love.start),
                  Median(f.exit) / Median(love.exit), Median(f.whole) / Median(love.whole),
                  Median(f.cpu) / Median(love.cpu), Median(f.heap) / Median(love.heap));
    }
  }
}

}  // namespace

// An optional argument names the folder of an earlier build (its quarvelin
// and quarvelin_frame_bench), measured in the same run for a before and after.
int main(int argc, char** argv) {
  if (!e2e::EnsureDisplay("1024x768x24")) {
    std::printf("no Xvfb: nothing measured (%s)\n", e2e::DisplayError().c_str());
    return 1;
  }
  setenv("QUARVELIN_NO_DIALOGS", "1", 1);
  setenv("ALSOFT_DRIVERS", "null", 1);
  std::vector<Side> sides;
  if (argc > 1) {
    const std::string earlier = argv[1];
    sides.push_back({"quarvelin earlier", std::make_unique<Engine>(earlier + "/quarvelin"),
                     std::make_unique<Engine>(earlier + "/quarvelin_frame_bench"), false, {}});
  }
  sides.push_back({"quarvelin", std::make_unique<Engine>(QUARVELIN_BINARY),
                   std::make_unique<Engine>(QUARVELIN_FRAME_PROGRAM), false, {}});
  if (LoveInstalled()) {
    sides.push_back({"love GLX", nullptr, nullptr, false, {}});
    sides.push_back({"love EGL", nullptr, nullptr, true, {}});
  } else {
    std::printf("love not installed: no peer figures\n");
  }
  // One untimed run each first: the files are then in the page cache for all.
  for (Side& side : sides) {
    Timing unused;
    if (!side.Run(unused)) return 1;
  }
  for (int round = 0; round < kRounds; ++round) {
    for (Side& side : sides) {
      Timing timing;
      if (!side.Run(timing)) continue;
      side.figures.Add(timing);
      if (!side.program) side.figures.heap.push_back(timing.heapBytes);
    }
  }
  for (Side& side : sides) {
    for (int run = 0; side.frameProgram && run < kHeapRuns; ++run) {
      Timing timing;
      if (side.frameProgram->Run(timing) && timing.heapBytes > 0) side.figures.heap.push_back(timing.heapBytes);
    }
  }
  std::printf("empty scene, 1024x768 window, OpenAL null device: medians of %d runs, taking turns; the heap\n"
              "in use after the first frame\n", kRounds);
  PrintTable(sides);
  return 0;
}
