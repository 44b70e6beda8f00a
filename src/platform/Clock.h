#pragma once
// The engine's one clock: milliseconds from a monotonic source, wrapping at
// 32 bits like the Windows multimedia timer, and a sleep. Every frame-time and
// game-time computation reads this clock, never clock() (CPU time on Linux) or
// the wall clock. Safe from any thread.
//
// Tests may install a clock of their own (ManualClock) before any thread that
// reads time starts; production code never replaces the system clock.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace GCore {

// Ends a worker thread's sleeps early: once woken, the sleep under way and
// every later one return at once, until Rearm. This is how a stop reaches a
// thread that sleeps between turns, so that joining it does not wait for the
// rest of a period. Any thread.
class SleepWaker {
 public:
  void Wake();
  void Rearm();
  bool Woken() const;

 private:
  friend class Clock;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool woken_ = false;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t NowMs() = 0;
  virtual void SleepMs(uint32_t milliseconds) = 0;
  // The system clock waits on the waker; a clock of a test sleeps its own
  // way, asking the waker before and after.
  virtual void SleepMsUnlessWoken(uint32_t milliseconds, SleepWaker& waker);

 protected:
  // Waits on the waker for at most the given milliseconds of real time.
  static void WaitForWaker(uint32_t milliseconds, SleepWaker& waker);
};

// Milliseconds since an arbitrary start; differences are meaningful modulo 2^32.
uint32_t timeGetTime();

// Suspends the calling thread for at least the given milliseconds.
void Sleep(uint32_t milliseconds);

// As Sleep, but returns as soon as the waker is woken (at once when it was
// before); true when the waker has been woken.
bool SleepUnlessWoken(uint32_t milliseconds, SleepWaker& waker);

// Replaces the clock behind timeGetTime and Sleep; null restores the system clock.
void SetClock(Clock* clock);

// A clock that moves only when told to; sleeping advances it.
class ManualClock : public Clock {
 public:
  explicit ManualClock(uint32_t start = 0) : now_(start) {}
  uint32_t NowMs() override { return now_.load(); }
  void SleepMs(uint32_t milliseconds) override { now_ += milliseconds; }
  void Advance(uint32_t milliseconds) { now_ += milliseconds; }

 private:
  std::atomic<uint32_t> now_;
};

}  // namespace GCore
