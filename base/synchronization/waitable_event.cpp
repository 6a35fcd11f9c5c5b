#include "base/synchronization/waitable_event.h"

#include <cmath>

#include "base/check.h"

namespace base {

WaitableEvent::WaitableEvent(bool manual_reset, bool initially_signaled)
    : handle_(::CreateEventW(nullptr, manual_reset, initially_signaled, nullptr)) {}

void WaitableEvent::Signal() {
  BASE_CHECK(handle_.Valid() && "handle_");
  ::SetEvent(handle_.Get());
}

void WaitableEvent::Reset() {
  BASE_CHECK(handle_.Valid() && "handle_");
  ::ResetEvent(handle_.Get());
}

bool WaitableEvent::Wait() {
  BASE_CHECK(handle_.Valid() && "handle_");
  return ::WaitForSingleObject(handle_.Get(), INFINITE) == WAIT_OBJECT_0;
}

bool WaitableEvent::TimedWait(Duration timeout) {
  BASE_CHECK(handle_.Valid() && "handle_");
  BASE_CHECK(timeout.ToMillisecondsF() >= 0.0);
  double ms = std::ceil(timeout.ToMillisecondsF());
  DWORD wait = ms >= 4294967294.0 ? 0xFFFFFFFEu : static_cast<DWORD>(ms);
  return ::WaitForSingleObject(handle_.Get(), wait) == WAIT_OBJECT_0;
}

}  // namespace base
