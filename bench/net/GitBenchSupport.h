#pragma once
// What the git benchmarks share: the git command line through the shell, a
// console command run on the git worker as a script's is, and the best time
// of a few runs.
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/GitWorker.h"

inline bool Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The console command queued to the git worker (started on the first call)
// and waited for, its records gathered as "git.c" gathers them: the worker
// keeps the library set up from its first command, as in a game. The wait
// spins rather than waiting for a frame. False (with the output printed) when
// the command reported an error or was not taken.
inline bool Console(const std::string& repository, const std::vector<std::string>& args) {
  GCore::StartGitWorker();
  std::vector<std::string_view> queued = {repository};
  queued.insert(queued.end(), args.begin(), args.end());
  GCore::QueueGitCommand(queued);
  if (const int32_t state = GCore::GitWorkerState(); state == GCore::kGitIdle || state == GCore::kGitExit) {
    std::printf("  console %s: not taken by the worker\n", args[0].c_str());
    return false;
  }
  // Taking the text of a finished command leaves the worker idle.
  std::string output;
  while (GCore::GitWorkerState() != GCore::kGitIdle) {
    std::string part;
    if (GCore::TakeGitMessages(part)) {
      output += part;
    } else {
      std::this_thread::yield();
    }
  }
  const bool failed = output.find("\n0") != std::string::npos || output.rfind('0', 0) == 0;
  if (failed) std::printf("  console %s: %s", args[0].c_str(), output.c_str());
  return !failed;
}

// Best time in milliseconds of `runs` runs: prepare (not timed), then the
// step; -1 when a step fails.
inline double BestMs(int runs, const std::function<void()>& prepare, const std::function<bool()>& step) {
  using Clock = std::chrono::steady_clock;
  double best = 1e30;
  for (int run = 0; run < runs; ++run) {
    prepare();
    const Clock::time_point start = Clock::now();
    if (!step()) return -1;
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}
