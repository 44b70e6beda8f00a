#pragma once
// The git worker: one background thread, one per process, that runs git
// console commands one at a time. Scripts queue a command (a repository path,
// a command name and up to six arguments) through "git.c", poll the state
// word each frame and take the console's gathered output as text. The worker
// never calls a script: it shares with the main thread only the state word,
// the message text and the argument buffers, all under one mutex.
//
// The message text is a run of records, each '1' (normal output) or '0'
// (error output) followed by the formatted text; the texts carry their own
// line ends.
//
// State word: -10 exit (for the rest of the process once set), -3 a command
// has finished and its last output waits, -2 a command runs, -1 idle, n >= 1
// a queued command of n arguments (the command name counts, the path not).
//
// The worker keeps libgit2 initialised (core/GitLibrary.h) from its first
// command until it ends.
//
// Threads: QueueGitCommand, TakeGitMessages, StartGitWorker and StopGitWorker
// on the main thread; GitPrintOut and GitPrintErr on the thread that runs a
// command; GitWorkerState and GitWorkerStopping anywhere.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace GCore {

enum GitWorkerStateWord : int32_t {
  kGitExit = -10,
  kGitFinish = -3,
  kGitProc = -2,
  kGitIdle = -1,
};

// The repository path, the command name and at most six arguments, each
// below kGitArgSize bytes.
constexpr int kGitMaxArgs = 8;
constexpr size_t kGitArgSize = 256;

// Starts the worker thread, unless one is still running (then it serves).
void StartGitWorker();
// Sets the exit state and waits a bounded time for the worker to end; a
// command that is still running then is left to end on its own.
void StopGitWorker();

// The state word, read without the lock.
int32_t GitWorkerState();
// True once StopGitWorker has been called: long transfers end early.
bool GitWorkerStopping();

// Queues a command while the worker is idle; true when the worker is idle
// after the call (an empty call changes nothing). A call that breaks the
// limits (one argument, more than kGitMaxArgs, an argument of kGitArgSize
// bytes or more) is refused with false and copies nothing.
bool QueueGitCommand(std::span<const std::string_view> args);

// While a command runs or has finished: moves the gathered text into `text`
// and returns true; a finished command leaves the worker idle.
bool TakeGitMessages(std::string& text);

// Moves out the gathered text whatever the state: for callers that run
// console commands on their own thread (benchmarks, tests).
std::string TakeGitOutput();

// Console output, printf-style: one record each. A format that is exactly
// "\n" prints nothing through GitPrintOut. The stream of GitPrintErr is not
// used (the console passes the standard error stream).
void GitPrintOut(const char* format, ...) __attribute__((format(printf, 1, 2)));
void GitPrintErr(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
// One normal-output record of exactly these bytes, zero bytes included.
void GitWriteOut(std::string_view text);

}  // namespace GCore
