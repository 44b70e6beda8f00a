#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/Clock.h"

namespace {

TEST(Clock, SleepLastsAtLeastTheTimeAsked) {
  // nanosleep guarantees the lower bound; a unit mistake (micro- for
  // milliseconds) would break it.
  const uint32_t before = GCore::timeGetTime();
  GCore::Sleep(30);
  const uint32_t elapsed = GCore::timeGetTime() - before;
  EXPECT_GE(elapsed, 29u);  // both ends are truncated to whole milliseconds
}

TEST(Clock, ReplacementClockDrivesTimeAndSleep) {
  GCore::ManualClock manual(0xFFFFFFF0u);
  GCore::SetClock(&manual);
  const uint32_t start = GCore::timeGetTime();
  GCore::Sleep(20);
  manual.Advance(5);
  const uint32_t end = GCore::timeGetTime();
  GCore::SetClock(nullptr);
  EXPECT_EQ(start, 0xFFFFFFF0u);
  EXPECT_EQ(end, 9u);  // wrapped past 2^32
  EXPECT_EQ(end - start, 25u);
}

// A stop must reach a worker in its sleep: joining it then waits for no
// period. The sleeps here would last an hour if the waker were not heard; a
// sleep still running after a minute fails the test rather than the run.
constexpr uint32_t kHourMs = 3600000;
constexpr auto kHangLimit = std::chrono::minutes(1);

TEST(SleepWaker, EndsTheSleepUnderWayAndEveryLaterOneUntilRearmed) {
  enum class Wake { kBefore, kDuring };
  for (const Wake when : {Wake::kBefore, Wake::kDuring}) {
    SCOPED_TRACE(when == Wake::kBefore ? "woken before the sleep" : "woken during the sleep");
    GCore::SleepWaker waker;
    if (when == Wake::kBefore) waker.Wake();
    auto sleep = std::async(std::launch::async, [&] { return GCore::SleepUnlessWoken(kHourMs, waker); });
    if (when == Wake::kDuring) {
      // Most likely asleep by now; woken earlier, it must return all the same.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      waker.Wake();
    }
    ASSERT_EQ(sleep.wait_for(kHangLimit), std::future_status::ready) << "the sleep did not hear the waker";
    EXPECT_TRUE(sleep.get());
    EXPECT_TRUE(GCore::SleepUnlessWoken(kHourMs, waker)) << "a later sleep returns at once too";
    waker.Rearm();
    EXPECT_FALSE(waker.Woken());
    const uint32_t before = GCore::timeGetTime();
    EXPECT_FALSE(GCore::SleepUnlessWoken(30, waker)) << "rearmed, it sleeps again";
    EXPECT_GE(GCore::timeGetTime() - before, 29u);
  }
}

TEST(SleepWaker, AReplacementClockSleepsItsOwnWayUnlessWoken) {
  GCore::ManualClock manual(100);
  GCore::SetClock(&manual);
  GCore::SleepWaker waker;
  EXPECT_FALSE(GCore::SleepUnlessWoken(50, waker));
  const uint32_t slept = GCore::timeGetTime();
  waker.Wake();
  EXPECT_TRUE(GCore::SleepUnlessWoken(50, waker));
  const uint32_t woken = GCore::timeGetTime();
  GCore::SetClock(nullptr);
  EXPECT_EQ(slept, 150u);
  EXPECT_EQ(woken, 150u) << "a woken sleep does not move the clock";
}

}  // namespace
