// Wall-clock and monotonic time in microseconds, and durations. Values are
// plain numbers and may be copied between threads; TickClock::Now() is
// thread-safe (its wrap detection is serialised by a lock).
#ifndef BASE_TIME_TIME_H_
#define BASE_TIME_TIME_H_

#include <cstdint>

namespace base {

class Duration {
 public:
  constexpr Duration() = default;
  static constexpr Duration FromMicroseconds(int64_t us) { return Duration(us); }
  static constexpr Duration FromMilliseconds(int64_t ms) { return Duration(ms * 1000); }
  static constexpr Duration FromSeconds(int64_t s) { return Duration(s * 1000000); }

  constexpr int64_t ToMicroseconds() const { return us_; }
  constexpr int64_t ToMilliseconds() const { return us_ / 1000; }
  constexpr double ToMillisecondsF() const { return static_cast<double>(us_) / 1000.0; }

  constexpr Duration operator+(Duration o) const { return Duration(us_ + o.us_); }
  constexpr Duration operator-(Duration o) const { return Duration(us_ - o.us_); }
  constexpr bool operator<(Duration o) const { return us_ < o.us_; }
  constexpr bool operator>(Duration o) const { return us_ > o.us_; }
  constexpr bool operator<=(Duration o) const { return us_ <= o.us_; }
  constexpr bool operator>=(Duration o) const { return us_ >= o.us_; }
  constexpr bool operator==(Duration o) const { return us_ == o.us_; }

 private:
  constexpr explicit Duration(int64_t us) : us_(us) {}
  int64_t us_ = 0;
};

// Microseconds since 1601-01-01 00:00 UTC.
class WallClock {
 public:
  struct Calendar {
    int32_t year, month, day_of_week, day_of_month, hour, minute, second, millisecond;
  };

  constexpr WallClock() = default;
  static WallClock Now();
  static constexpr WallClock FromMicroseconds(int64_t us) { return WallClock(us); }
  constexpr int64_t ToMicroseconds() const { return us_; }
  // All fields 0 when a conversion fails.
  Calendar ToCalendar(bool local) const;

 private:
  constexpr explicit WallClock(int64_t us) : us_(us) {}
  int64_t us_ = 0;
};

// Monotonic microseconds; zero means "none".
class TickClock {
 public:
  constexpr TickClock() = default;
  static TickClock Now();
  static constexpr TickClock FromMicroseconds(int64_t us) { return TickClock(us); }
  constexpr int64_t ToMicroseconds() const { return us_; }
  constexpr bool IsNull() const { return us_ == 0; }

  constexpr TickClock operator+(Duration d) const { return TickClock(us_ + d.ToMicroseconds()); }
  constexpr Duration operator-(TickClock o) const { return Duration::FromMicroseconds(us_ - o.us_); }
  constexpr bool operator<(TickClock o) const { return us_ < o.us_; }
  constexpr bool operator>(TickClock o) const { return us_ > o.us_; }
  constexpr bool operator<=(TickClock o) const { return us_ <= o.us_; }
  constexpr bool operator>=(TickClock o) const { return us_ >= o.us_; }
  constexpr bool operator==(TickClock o) const { return us_ == o.us_; }
  constexpr bool operator!=(TickClock o) const { return us_ != o.us_; }

  // Replaces the 32-bit millisecond counter behind Now(), so a test can drive
  // it across a wrap; null restores the system counter. Resets the rollover.
  using CounterFunction = uint32_t (*)();
  static void SetCounterForTesting(CounterFunction counter);

 private:
  constexpr explicit TickClock(int64_t us) : us_(us) {}
  int64_t us_ = 0;
};

}  // namespace base

#endif  // BASE_TIME_TIME_H_
