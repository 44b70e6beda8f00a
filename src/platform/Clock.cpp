#include "platform/Clock.h"

#include <cerrno>
#include <chrono>
#include <ctime>

namespace GCore {
namespace {

class SystemClock : public Clock {
 public:
  uint32_t NowMs() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u +
                        static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
  }

  void SleepMs(uint32_t milliseconds) override {
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000L};
    // A signal cuts nanosleep short; carry on with what is left.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
  }

  void SleepMsUnlessWoken(uint32_t milliseconds, SleepWaker& waker) override { WaitForWaker(milliseconds, waker); }
};

SystemClock g_systemClock;
std::atomic<Clock*> g_clock{&g_systemClock};

}  // namespace

void SleepWaker::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  changed_.notify_all();
}

void SleepWaker::Rearm() {
  std::lock_guard lock(mutex_);
  woken_ = false;
}

bool SleepWaker::Woken() const {
  std::lock_guard lock(mutex_);
  return woken_;
}

void Clock::SleepMsUnlessWoken(uint32_t milliseconds, SleepWaker& waker) {
  if (!waker.Woken()) SleepMs(milliseconds);
}

void Clock::WaitForWaker(uint32_t milliseconds, SleepWaker& waker) {
  // A steady clock: a change of the wall clock neither ends nor stretches it.
  std::unique_lock lock(waker.mutex_);
  waker.changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return waker.woken_; });
}

uint32_t timeGetTime() { return g_clock.load()->NowMs(); }

void Sleep(uint32_t milliseconds) { g_clock.load()->SleepMs(milliseconds); }

bool SleepUnlessWoken(uint32_t milliseconds, SleepWaker& waker) {
  g_clock.load()->SleepMsUnlessWoken(milliseconds, waker);
  return waker.Woken();
}

void SetClock(Clock* clock) { g_clock.store(clock ? clock : &g_systemClock); }

}  // namespace GCore
