#include "net/GitWorker.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "base/Log.h"
#include "core/GitLibrary.h"
#include "net/GitConsole.h"

namespace GCore {

namespace {

// The worker wakes at once for a queued command or a stop; the poll only
// bounds a missed wake-up.
constexpr auto kPollInterval = std::chrono::milliseconds(200);
// How long closing the projects waits for a running command. A command that
// cannot be cut short (a transfer stalled inside the library, a blocking file
// read) is left to end on its own rather than hang the program's exit.
constexpr auto kStopWait = std::chrono::seconds(3);

struct GitShared {
  std::mutex mutex;
  std::condition_variable wake;
  std::atomic<int32_t> state{kGitIdle};
  std::string messages;
  // Buffer 0 the repository path, 1 the command name, 2 to 7 the arguments.
  char args[kGitMaxArgs][kGitArgSize] = {};
};

// Never destroyed: a command left running at exit keeps its state.
GitShared& Shared() {
  static GitShared* shared = new GitShared;
  return *shared;
}

// Main thread only.
struct WorkerHolder {
  bool started = false;
  std::thread thread;
  std::future<void> ended;
};

WorkerHolder& Holder() {
  static WorkerHolder* holder = new WorkerHolder;
  return *holder;
}

void RunQueuedCommand(GitShared& shared, int argc) {
  // The buffers are written only while the worker is idle, so a running
  // command reads them without the lock.
  const char* argv[kGitMaxArgs];
  for (int i = 0; i < argc; ++i) argv[i] = shared.args[i + 1];
  argv[argc] = nullptr;
  RunGitConsoleCommand(shared.args[0], argc, argv);
}

void GitWorker() {
  GitShared& shared = Shared();
  // The library's set-up costs far more than a small command: it is made at
  // the first command (a game that never runs one never pays it) and kept
  // until the worker ends, so that each command's own use only counts.
  std::optional<GitLibraryUse> library;
  for (;;) {
    int32_t state;
    {
      std::unique_lock lock(shared.mutex);
      state = shared.state;
      if (state == kGitProc) state = kGitFinish;
      shared.state = state >= 1 ? int32_t{kGitProc} : state;
      if (state == kGitExit) return;
      if (state < 1) {
        shared.wake.wait_for(lock, kPollInterval);
        continue;
      }
    }
    if (!library || !library->ok()) library.emplace();
    RunQueuedCommand(shared, state);
  }
}

void AppendRecord(char channel, std::string_view text) {
  GitShared& shared = Shared();
  std::lock_guard lock(shared.mutex);
  shared.messages += channel;
  shared.messages += text;
}

bool Refuse(const char* why) {
  LogPrintf("git.c cmd refused: %s\n", why);
  return false;
}

}  // namespace

void StartGitWorker() {
  WorkerHolder& holder = Holder();
  if (holder.thread.joinable()) {
    if (holder.ended.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    holder.thread.join();
  }
  std::promise<void> ended;
  std::future<void> endedFuture = ended.get_future();
  try {
    holder.thread = std::thread([ended = std::move(ended)]() mutable {
      GitWorker();
      ended.set_value();
    });
  } catch (const std::system_error& error) {
    LogPrintf("cannot start the git worker: %s\n", error.what());
    Shared().state = kGitExit;
    return;
  }
  holder.ended = std::move(endedFuture);
  holder.started = true;
}

void StopGitWorker() {
  GitShared& shared = Shared();
  {
    std::lock_guard lock(shared.mutex);
    shared.state = kGitExit;
  }
  shared.wake.notify_all();
  WorkerHolder& holder = Holder();
  if (!holder.started || !holder.thread.joinable()) return;
  if (holder.ended.wait_for(kStopWait) == std::future_status::ready) {
    holder.thread.join();
    return;
  }
  LogPrintf("a git command still runs at exit: it is left to end on its own\n");
  holder.thread.detach();
}

int32_t GitWorkerState() { return Shared().state.load(std::memory_order_relaxed); }

bool GitWorkerStopping() { return GitWorkerState() == kGitExit; }

bool QueueGitCommand(std::span<const std::string_view> args) {
  GitShared& shared = Shared();
  if (args.empty()) return shared.state == kGitIdle;
  if (args.size() < 2) return Refuse("a repository path and a command name are needed");
  if (args.size() > static_cast<size_t>(kGitMaxArgs)) return Refuse("at most six arguments follow the command name");
  for (std::string_view arg : args) {
    if (arg.size() >= kGitArgSize) return Refuse("an argument is longer than 255 bytes");
    if (arg.find('\0') != std::string_view::npos) return Refuse("an argument holds a zero byte");
  }
  {
    std::lock_guard lock(shared.mutex);
    if (shared.state != kGitIdle) return false;
    for (size_t i = 0; i < args.size(); ++i) {
      std::memcpy(shared.args[i], args[i].data(), args[i].size());
      shared.args[i][args[i].size()] = '\0';
    }
    shared.state = static_cast<int32_t>(args.size() - 1);
  }
  shared.wake.notify_all();
  return false;
}

bool TakeGitMessages(std::string& text) {
  GitShared& shared = Shared();
  std::lock_guard lock(shared.mutex);
  const int32_t state = shared.state;
  if (state != kGitProc && state != kGitFinish) return false;
  text = std::exchange(shared.messages, {});
  if (state == kGitFinish) shared.state = kGitIdle;
  return true;
}

std::string TakeGitOutput() {
  GitShared& shared = Shared();
  std::lock_guard lock(shared.mutex);
  return std::exchange(shared.messages, {});
}

void GitPrintOut(const char* format, ...) {
  if (std::strcmp(format, "\n") == 0) return;
  va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  AppendRecord('1', text);
}

void GitWriteOut(std::string_view text) { AppendRecord('1', text); }

void GitPrintErr(FILE* /*stream*/, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  AppendRecord('0', text);
}

}  // namespace GCore
