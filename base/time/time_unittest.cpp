#include "base/time/time.h"

#include <windows.h>

#include <atomic>

#include <gtest/gtest.h>

namespace base {
namespace {

std::atomic<uint32_t> g_counter{0};
uint32_t FakeCounter() { return g_counter.load(); }

class TickClockWrapTest : public ::testing::Test {
 protected:
  void TearDown() override { TickClock::SetCounterForTesting(nullptr); }
};

// The 32-bit millisecond counter wraps after 49.7 days; the clock must not.
TEST_F(TickClockWrapTest, KeepsIncreasingAcrossWrap) {
  TickClock::SetCounterForTesting(&FakeCounter);
  g_counter = 0xFFFFFFF0u;
  TickClock before = TickClock::Now();
  g_counter = 0x10u;
  TickClock after = TickClock::Now();
  EXPECT_EQ(0x20 * 1000, (after - before).ToMicroseconds());
  g_counter = 0x20u;
  EXPECT_EQ(0x30 * 1000, (TickClock::Now() - before).ToMicroseconds());
}

// UTC calendar matches the system's UTC date; local matches local time.
TEST(WallClockTest, CalendarMatchesSystem) {
  WallClock now = WallClock::Now();
  SYSTEMTIME utc, local;
  ::GetSystemTime(&utc);
  ::GetLocalTime(&local);
  WallClock::Calendar u = now.ToCalendar(false);
  WallClock::Calendar l = now.ToCalendar(true);
  EXPECT_EQ(utc.wYear, u.year);
  EXPECT_EQ(utc.wMonth, u.month);
  EXPECT_EQ(utc.wDay, u.day_of_month);
  EXPECT_EQ(utc.wDayOfWeek, u.day_of_week);
  EXPECT_EQ(local.wDay, l.day_of_month);
  EXPECT_EQ(local.wHour, l.hour);
}

TEST(DurationTest, Conversions) {
  EXPECT_DOUBLE_EQ(0.4, Duration::FromMicroseconds(400).ToMillisecondsF());
  EXPECT_EQ(1500, Duration::FromSeconds(1).ToMilliseconds() + 500);
  EXPECT_EQ(-3000, (TickClock::FromMicroseconds(1000) - TickClock::FromMicroseconds(4000)).ToMicroseconds());
}

}  // namespace
}  // namespace base
