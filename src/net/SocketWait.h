#pragma once
// Bounded waits on one socket, shared by the HTTP client and the WebSocket
// client. A wait ends at the first of: the socket is ready, its own limit
// passes, the overall deadline of the operation passes, or the operation's
// cancel is raised from another thread. A signal that interrupts the wait
// does not end it (the time already spent still counts), unless the caller's
// `interrupted` test says the signal asks to stop. Any thread.
#include <chrono>

namespace GCore {

// The end of a whole operation (a fetch, an opening handshake).
class Deadline {
 public:
  // No end.
  Deadline() = default;
  // `ms` from now; negative is no end.
  static Deadline In(int64_t ms);
  bool Passed() const;
  // Milliseconds left, capped at `limitMs` (negative: no cap); -1 for no end.
  int LeftMs(int limitMs = -1) const;

 private:
  bool limited_ = false;
  std::chrono::steady_clock::time_point end_{};
};

// Raised from any thread to end every wait that watches it, at once and for
// good. Made of an event descriptor that the waits poll beside their socket.
class WaitCancel {
 public:
  WaitCancel();
  ~WaitCancel();
  WaitCancel(const WaitCancel&) = delete;
  WaitCancel& operator=(const WaitCancel&) = delete;

  void Raise();
  bool Raised() const;
  int Descriptor() const { return descriptor_; }

 private:
  int descriptor_;
};

enum class WaitResult { kReady, kTimedOut, kCancelled, kFailed };

struct WaitBounds {
  int waitMs = -1;                     // this wait's own limit, negative for none
  Deadline deadline;                   // the operation's end
  const WaitCancel* cancel = nullptr;  // none when null
  bool (*interrupted)() = nullptr;     // asked after a signal; true ends the wait

  // True once the deadline has passed or the cancel was raised.
  bool Over() const;
};

// Waits until `socket` is ready for `events` (poll's POLLIN, POLLOUT).
WaitResult WaitForSocket(int socket, short events, const WaitBounds& bounds);

}  // namespace GCore
