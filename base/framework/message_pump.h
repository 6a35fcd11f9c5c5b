// The waiting half of a message loop. A pump runs on its loop's thread and
// drives a Delegate (the loop); only Wake() may be called from other threads.
#ifndef BASE_FRAMEWORK_MESSAGE_PUMP_H_
#define BASE_FRAMEWORK_MESSAGE_PUMP_H_

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

// Default pump: an auto-reset event. Wake-ups coalesce in the event.
class DefaultMessagePump : public MessagePump {
 public:
  DefaultMessagePump();
  ~DefaultMessagePump() override;
  void Run(Delegate* delegate) override;
  void Quit() override;
  void Wake() override;
  void WakeAt(const TickClock& due) override;

 private:
  WaitableEvent event_{false, false};
  bool should_quit_ = false;
  TickClock wake_time_;
};

}  // namespace base

#endif  // BASE_FRAMEWORK_MESSAGE_PUMP_H_
