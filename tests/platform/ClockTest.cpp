#include <gtest/gtest.h>

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

}  // namespace
