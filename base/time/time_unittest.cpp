#include "base/time/time.h"

#include <windows.h>

#include <atomic>
#include <vector>

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

// Instants whose calendar is known: the epoch, a leap day's last
// millisecond, an hour's start at the year's end, a century's March.
TEST(WallClockTest, CalendarOfKnownInstants) {
  const struct {
    int64_t us;
    WallClock::Calendar utc;  // year, month, day of week, day, hour, minute, second, millisecond
  } cases[] = {
      {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
      {11644473600000000, {1970, 1, 4, 1, 0, 0, 0, 0}},
      {13353724799999000, {2024, 2, 4, 29, 23, 59, 59, 999}},
      {13443231600000000, {2026, 12, 4, 31, 23, 0, 0, 0}},
      {15752061296007000, {2100, 3, 1, 1, 12, 34, 56, 7}},
  };
  for (const auto& c : cases) {
    const WallClock::Calendar got = WallClock::FromMicroseconds(c.us).ToCalendar(false);
    const WallClock::Calendar& want = c.utc;
    EXPECT_EQ(std::vector<int32_t>({want.year, want.month, want.day_of_week, want.day_of_month, want.hour,
                                    want.minute, want.second, want.millisecond}),
              std::vector<int32_t>({got.year, got.month, got.day_of_week, got.day_of_month, got.hour, got.minute,
                                    got.second, got.millisecond}))
        << c.us;
  }
}

// Now() lies between two readings of the system clock, and its local
// calendar is the system's local time of that very instant.
TEST(WallClockTest, NowAndLocalTimeOfOneInstant) {
  auto system_us = [] {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    return static_cast<int64_t>(((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10);
  };
  const int64_t before = system_us();
  const WallClock now = WallClock::Now();
  const int64_t after = system_us();
  EXPECT_LE(before, now.ToMicroseconds());
  EXPECT_LE(now.ToMicroseconds(), after);

  const WallClock::Calendar utc = now.ToCalendar(false);
  SYSTEMTIME utc_time = {static_cast<WORD>(utc.year), static_cast<WORD>(utc.month), static_cast<WORD>(utc.day_of_week),
                         static_cast<WORD>(utc.day_of_month), static_cast<WORD>(utc.hour), static_cast<WORD>(utc.minute),
                         static_cast<WORD>(utc.second), static_cast<WORD>(utc.millisecond)};
  SYSTEMTIME local_time = {};
  ASSERT_TRUE(::SystemTimeToTzSpecificLocalTime(nullptr, &utc_time, &local_time));
  const WallClock::Calendar local = now.ToCalendar(true);
  EXPECT_EQ(std::vector<int32_t>({local_time.wYear, local_time.wMonth, local_time.wDay, local_time.wHour,
                                  local_time.wMinute, local_time.wSecond, local_time.wMilliseconds}),
            std::vector<int32_t>({local.year, local.month, local.day_of_month, local.hour, local.minute, local.second,
                                  local.millisecond}));
}

TEST(DurationTest, Conversions) {
  EXPECT_DOUBLE_EQ(0.4, Duration::FromMicroseconds(400).ToMillisecondsF());
  EXPECT_EQ(1500, Duration::FromSeconds(1).ToMilliseconds() + 500);
  EXPECT_EQ(-3000, (TickClock::FromMicroseconds(1000) - TickClock::FromMicroseconds(4000)).ToMicroseconds());
}

}  // namespace
}  // namespace base
