// Milliseconds since this process was created, for start-up figures that
// include the loader's and the runtime's share, not only main's.
#ifndef TOOLS_BENCH_PROCESS_CLOCK_H_
#define TOOLS_BENCH_PROCESS_CLOCK_H_

#include <windows.h>

inline double MillisecondsSinceProcessStart() {
  FILETIME created, exited, kernel, user, now;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  ::GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER a, b;
  a.LowPart = created.dwLowDateTime;
  a.HighPart = created.dwHighDateTime;
  b.LowPart = now.dwLowDateTime;
  b.HighPart = now.dwHighDateTime;
  return static_cast<double>(b.QuadPart - a.QuadPart) / 10000.0;
}

#endif  // TOOLS_BENCH_PROCESS_CLOCK_H_
