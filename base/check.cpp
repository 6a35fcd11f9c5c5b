#include "base/check.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace base {
namespace internal {

void CheckFailed(const char* expression, const char* file, int line) {
  char text[1024];
  std::snprintf(text, sizeof(text), "Check failed: %s (%s:%d)\n", expression, file, line);
#ifdef _WIN32
  ::OutputDebugStringA(text);
#endif
  std::fputs(text, stderr);
  std::fflush(stderr);
  std::abort();
}

}  // namespace internal
}  // namespace base
