#include "platform/Clock.h"

#include <cerrno>
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
};

SystemClock g_systemClock;
std::atomic<Clock*> g_clock{&g_systemClock};

}  // namespace

uint32_t timeGetTime() { return g_clock.load()->NowMs(); }

void Sleep(uint32_t milliseconds) { g_clock.load()->SleepMs(milliseconds); }

void SetClock(Clock* clock) { g_clock.store(clock ? clock : &g_systemClock); }

}  // namespace GCore
