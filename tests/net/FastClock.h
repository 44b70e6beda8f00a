#pragma once
// A clock for the network tests: every wait passes in a millisecond of real
// time and is counted, so that the updater's and the analytics thread's
// seconds of waiting cost a test nothing.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/Clock.h"

namespace nettest {

class FastClock : public GCore::Clock {
 public:
  uint32_t NowMs() override { return now_; }
  void SleepMs(uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    now_ += milliseconds;
    ++sleeps;
  }
  std::atomic<int> sleeps{0};

 private:
  std::atomic<uint32_t> now_{0};
};

}  // namespace nettest
