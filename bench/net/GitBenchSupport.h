#pragma once
// What the git benchmarks share: the git command line through the shell, a
// console command run on the calling thread, and the best time of a few runs.
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "net/GitConsole.h"
#include "net/GitWorker.h"

inline bool Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The console command on this thread; false (with its output printed) when it
// reported an error.
inline bool Console(const std::string& repository, std::vector<std::string> args) {
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  GCore::RunGitConsoleCommand(repository.c_str(), static_cast<int>(args.size()), argv.data());
  const std::string output = GCore::TakeGitOutput();
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
