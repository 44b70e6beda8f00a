#pragma once
// The engine's one clock: milliseconds from a monotonic source, wrapping at
// 32 bits like the Windows multimedia timer, and a sleep. Every frame-time and
// game-time computation reads this clock, never clock() (CPU time on Linux) or
// the wall clock. Safe from any thread.
//
// Tests may install a clock of their own (ManualClock) before any thread that
// reads time starts; production code never replaces the system clock.
#include <atomic>
#include <cstdint>

namespace GCore {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t NowMs() = 0;
  virtual void SleepMs(uint32_t milliseconds) = 0;
};

// Milliseconds since an arbitrary start; differences are meaningful modulo 2^32.
uint32_t timeGetTime();

// Suspends the calling thread for at least the given milliseconds.
void Sleep(uint32_t milliseconds);

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
