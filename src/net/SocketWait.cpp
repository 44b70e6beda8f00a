#include "net/SocketWait.h"

#include "platform/TerminationSignals.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace GCore {

Deadline Deadline::In(int64_t ms) {
  Deadline deadline;
  if (ms < 0) return deadline;
  deadline.limited_ = true;
  deadline.end_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  return deadline;
}

bool Deadline::Passed() const { return limited_ && std::chrono::steady_clock::now() >= end_; }

int Deadline::LeftMs(int limitMs) const {
  if (!limited_) return limitMs < 0 ? -1 : limitMs;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
  // Rounded up, so that a wait never ends before the deadline it reports.
  int64_t ms = std::max<int64_t>(0, left.count() + 1);
  if (limitMs >= 0) ms = std::min<int64_t>(ms, limitMs);
  return static_cast<int>(std::min<int64_t>(ms, INT_MAX));
}

WaitCancel::WaitCancel() : descriptor_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WaitCancel::~WaitCancel() {
  if (descriptor_ >= 0) close(descriptor_);
}

void WaitCancel::Raise() {
  const uint64_t one = 1;
  // The counter only grows: readable from now on, for every waiter.
  while (write(descriptor_, &one, sizeof(one)) < 0 && errno == EINTR) {
  }
}

bool WaitCancel::Raised() const {
  pollfd entry{descriptor_, POLLIN, 0};
  return poll(&entry, 1, 0) > 0;
}

bool WaitBounds::Over() const { return deadline.Passed() || (cancel && cancel->Raised()); }

WaitResult WaitForSocket(int socket, short events, const WaitBounds& bounds) {
  const Deadline own = Deadline::In(bounds.waitMs);
  for (;;) {
    // Whichever of the two ends comes first.
    const int ownLeft = own.LeftMs();
    const int waitMs = bounds.deadline.LeftMs(ownLeft);
    // Once the program is asked to close, no wait holds it: the wake-up
    // descriptor stays readable from the first termination signal on.
    pollfd entries[3] = {{socket, events, 0}, {TerminationWakeDescriptor(), POLLIN, 0}, {-1, POLLIN, 0}};
    if (bounds.cancel) entries[2].fd = bounds.cancel->Descriptor();
    const int ready = poll(entries, 3, waitMs);
    if (ready < 0) {
      if (errno != EINTR) return WaitResult::kFailed;
      if (!RetryInterruptedCall() || (bounds.interrupted && bounds.interrupted())) return WaitResult::kCancelled;
      continue;
    }
    if (entries[1].revents || entries[2].revents) return WaitResult::kCancelled;
    if (ready > 0) return WaitResult::kReady;
    if (own.Passed() || bounds.deadline.Passed()) return WaitResult::kTimedOut;
  }
}

}  // namespace GCore
