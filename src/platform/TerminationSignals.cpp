#include "platform/TerminationSignals.h"

#include <signal.h>

namespace GCore {
namespace {

volatile sig_atomic_t g_requested = 0;

void OnTerminationSignal(int signal) {
  if (g_requested) {
    // The first request has not been taken: the program is stuck. Let the
    // signal do what it does by default.
    ::signal(signal, SIG_DFL);
    raise(signal);
    return;
  }
  g_requested = 1;
}

}  // namespace

void InstallTerminationHandlers() {
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool TakeTerminationRequest() {
  if (!g_requested) return false;
  g_requested = 0;
  return true;
}

bool TerminationRequested() { return g_requested != 0; }

}  // namespace GCore
