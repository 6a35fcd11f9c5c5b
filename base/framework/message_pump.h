// The waiting half of a message loop. A pump runs on its loop's thread and
// drives a Delegate (the loop); only Wake() may be called from other threads.
#ifndef BASE_FRAMEWORK_MESSAGE_PUMP_H_
#define BASE_FRAMEWORK_MESSAGE_PUMP_H_

#include <atomic>
#include <functional>

#include "base/synchronization/waitable_event.h"
#include "base/time/time.h"

namespace base {

class MessagePump {
 public:
  class Delegate {
   public:
    virtual ~Delegate() = default;
    virtual bool RunReadyWork() = 0;
    // |next_due| receives the run time of the earliest delayed task left.
    virtual bool RunDueWork(TickClock* next_due) = 0;
    virtual bool RunIdleWork() = 0;
  };

  virtual ~MessagePump() = default;
  virtual void Run(Delegate* delegate) = 0;
  virtual void Quit() = 0;
  // Any thread: make Run look for work soon.
  virtual void Wake() = 0;
  // Loop thread: the earliest delayed task is now due at |due|.
  virtual void WakeAt(const TickClock& due) = 0;
};

// Default pump: an auto-reset event. The event is set only while the loop
// thread sleeps or is about to: every SetEvent and every wait is a system call
// (a server round trip under Wine), so a busy loop must not cost posters one.
class DefaultMessagePump : public MessagePump {
 public:
  DefaultMessagePump();
  ~DefaultMessagePump() override;
  void Run(Delegate* delegate) override;
  void Quit() override;
  void Wake() override;
  void WakeAt(const TickClock& due) override;

  // Test seam: runs on the loop thread just before the pump announces that
  // it is going to sleep, where a post from another thread sees no sleeper.
  void SetBeforeSleepForTesting(std::function<void()> hook) { before_sleep_ = std::move(hook); }

 private:
  static constexpr int kSpinRounds = 16;
  static constexpr int kPausesPerRound = 256;
  static constexpr int kYieldRounds = 4;
  bool SpinForWork(Delegate* delegate);

  WaitableEvent event_{false, false};
  // True from just before the loop thread re-checks for work and sleeps
  // until a Wake or its own wake-up clears it.
  std::atomic<bool> sleeping_{false};
  bool should_quit_ = false;
  TickClock wake_time_;
  std::function<void()> before_sleep_;
};

}  // namespace base

#endif  // BASE_FRAMEWORK_MESSAGE_PUMP_H_
