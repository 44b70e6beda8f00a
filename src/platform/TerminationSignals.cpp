#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace GCore {
namespace {

volatile sig_atomic_t g_requested = 0;
// Read by waits on any thread; lock-free, so the handler may set it.
std::atomic<bool> g_signalled{false};
static_assert(std::atomic<bool>::is_always_lock_free);
// The wake-up pipe: the handler writes a byte and nothing ever reads it.
int g_wake[2] = {-1, -1};

void OnTerminationSignal(int signal) {
  if (g_requested) {
    // The first request has not been taken: the program is stuck. Let the
    // signal do what it does by default.
    ::signal(signal, SIG_DFL);
    raise(signal);
    return;
  }
  g_requested = 1;
  g_signalled = true;
  if (g_wake[1] >= 0) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_wake[1], &byte, 1);
    errno = saved;
  }
}

}  // namespace

void InstallTerminationHandlers() {
  if (g_wake[0] < 0 && pipe2(g_wake, O_NONBLOCK | O_CLOEXEC) != 0) g_wake[0] = g_wake[1] = -1;
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a receive, connect or sleep that blocks the main thread
  // must return to its caller, which then sees the request.
  action.sa_flags = 0;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool TakeTerminationRequest() {
  if (!g_requested) return false;
  g_requested = 0;
  return true;
}

bool TerminationRequested() { return g_requested != 0; }

bool TerminationSignalled() { return g_signalled; }

int TerminationWakeDescriptor() { return g_wake[0]; }

bool RetryInterruptedCall() { return errno == EINTR && !g_signalled; }

}  // namespace GCore
