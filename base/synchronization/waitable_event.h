// A Windows event object. Any thread may signal or wait; the owner destroys
// it once no thread waits on it any more.
#ifndef BASE_SYNCHRONIZATION_WAITABLE_EVENT_H_
#define BASE_SYNCHRONIZATION_WAITABLE_EVENT_H_

#include "base/time/time.h"
#include "base/win32/scoped_handle.h"

namespace base {

class WaitableEvent {
 public:
  WaitableEvent(bool manual_reset, bool initially_signaled);
  WaitableEvent(const WaitableEvent&) = delete;
  WaitableEvent& operator=(const WaitableEvent&) = delete;

  void Signal();
  void Reset();
  // True when the event was signalled.
  bool Wait();
  // Waits ceil(milliseconds) at most; the delay must not be negative.
  bool TimedWait(Duration timeout);
  HANDLE handle() const { return handle_.Get(); }

 private:
  win32::ScopedHandle handle_;
};

}  // namespace base

#endif  // BASE_SYNCHRONIZATION_WAITABLE_EVENT_H_
