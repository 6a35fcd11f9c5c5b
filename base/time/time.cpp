#include "base/time/time.h"

#include <windows.h>
#include <mmsystem.h>

#include "base/synchronization/lock.h"

namespace base {
namespace {

uint32_t SystemCounter() { return ::timeGetTime(); }

struct TickState {
  Lock lock;
  TickClock::CounterFunction counter = &SystemCounter;
  uint32_t last = 0;
  int64_t rollover = 0;
};

TickState& GetTickState() {
  static TickState state;
  return state;
}

}  // namespace

WallClock WallClock::Now() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER value;
  value.LowPart = ft.dwLowDateTime;
  value.HighPart = ft.dwHighDateTime;
  return WallClock(static_cast<int64_t>(value.QuadPart / 10));
}

WallClock::Calendar WallClock::ToCalendar(bool local) const {
  Calendar result = {};
  ULARGE_INTEGER value;
  value.QuadPart = static_cast<uint64_t>(us_) * 10;
  FILETIME ft = {value.LowPart, value.HighPart};
  FILETIME converted = ft;
  if (local && !::FileTimeToLocalFileTime(&ft, &converted)) return result;
  SYSTEMTIME st;
  if (!::FileTimeToSystemTime(&converted, &st)) return result;
  result.year = st.wYear;
  result.month = st.wMonth;
  result.day_of_week = st.wDayOfWeek;
  result.day_of_month = st.wDay;
  result.hour = st.wHour;
  result.minute = st.wMinute;
  result.second = st.wSecond;
  result.millisecond = st.wMilliseconds;
  return result;
}

TickClock TickClock::Now() {
  TickState& state = GetTickState();
  ScopedLock hold(state.lock);
  uint32_t reading = state.counter();
  if (reading < state.last) state.rollover += int64_t{1} << 32;
  state.last = reading;
  return TickClock((static_cast<int64_t>(reading) + state.rollover) * 1000);
}

void TickClock::SetCounterForTesting(CounterFunction counter) {
  TickState& state = GetTickState();
  ScopedLock hold(state.lock);
  state.counter = counter ? counter : &SystemCounter;
  state.last = 0;
  state.rollover = 0;
}

}  // namespace base
