// The two Windows pumps. WinUIMessagePump waits on the thread's message queue
// and wakes through a message-only window, whose class is registered once per
// process and kept; WinIOMessagePump waits on an I/O
// completion port. Both belong to their loop's thread; only Wake() is called
// from other threads, and at most one wake-up is in flight at a time.
#ifndef BASE_FRAMEWORK_WIN_MESSAGE_PUMP_H_
#define BASE_FRAMEWORK_WIN_MESSAGE_PUMP_H_

#include <windows.h>

#include <atomic>
#include <list>

#include "base/framework/message_pump.h"
#include "base/framework/observer_list.h"
#include "base/win32/scoped_handle.h"

namespace base {

// When a UI loop runs with a dispatcher, every message goes to it instead of
// being translated and dispatched; false ends the loop.
class MessageHook {
 public:
  virtual ~MessageHook() = default;
  virtual bool HandleHookedMessage(const MSG& msg) = 0;
};

class WinMessagePump : public MessagePump {
 public:
  void Run(Delegate* delegate) override { RunWithHook(delegate, nullptr); }
  void RunWithHook(Delegate* delegate, MessageHook* hook);
  void Quit() override;

  // Milliseconds until the next delayed task: -1 for none, 0 when overdue.
  int64_t MillisecondsUntilWake() const;

 protected:
  struct RunState {
    int run_depth;
    bool quit_flag;
    Delegate* delegate;
    MessageHook* message_hook;
  };

  virtual void PumpLoop() = 0;
  static DWORD ToWaitTime(int64_t milliseconds);

  TickClock wake_time_;
  std::atomic<long> wake_posted_{0};
  RunState* state_ = nullptr;
};

class WinUIMessagePump : public WinMessagePump {
 public:
  static constexpr UINT kWakeMessage = WM_USER + 1;

  class UIObserver {
   public:
    virtual ~UIObserver() = default;
    virtual void WillProcessMessage(const MSG& msg) = 0;
    virtual void DidProcessMessage(const MSG& msg) = 0;
  };

  WinUIMessagePump();
  ~WinUIMessagePump() override;

  void Wake() override;
  void WakeAt(const TickClock& due) override;

  void AddObserver(UIObserver* o) { observers_.AddObserver(o); }
  void RemoveObserver(UIObserver* o) { observers_.RemoveObserver(o); }

  HWND window() const { return window_; }

 protected:
  void PumpLoop() override;
  virtual void BeforeMessage(const MSG& msg);
  virtual void AfterMessage(const MSG& msg);

 private:
  // Timers of the pump window: the earliest delayed task, and ready work
  // left over by a wake-up that another loop dispatched while input waited.
  static constexpr UINT_PTR kDelayedWorkTimer = 1;
  static constexpr UINT_PTR kReadyWorkTimer = 2;

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void OnDelayedWorkTimer();
  void OnWakeFromOtherLoop();
  void ArmDelayedWorkTimer();
  void DisarmDelayedWorkTimer();
  bool RunReadySlice();
  bool PumpOneMessage();
  bool HandleOneMessage(const MSG& msg);
  bool ReplaceWakeMessage();
  void SleepUntilWork(bool due_but_held);

  HWND window_ = nullptr;
  bool delayed_timer_armed_ = false;
  ObserverList<UIObserver> observers_;
};

class WinIOMessagePump : public WinMessagePump {
 public:
  class IOHandler;

  // Passed to overlapped calls; its first member is the OVERLAPPED.
  struct IOContext {
    OVERLAPPED overlapped;
    IOHandler* handler;
  };

  class IOHandler {
   public:
    virtual ~IOHandler() = default;
    virtual void OnIOCompleted(IOContext* context, DWORD bytes_transfered, DWORD error) = 0;
  };

  class IOObserver {
   public:
    virtual ~IOObserver() = default;
    virtual void WillProcessIOEvent() = 0;
    virtual void DidProcessIOEvent() = 0;
  };

  WinIOMessagePump();

  void Wake() override;
  void WakeAt(const TickClock& due) override;

  // Associates |file| with the port; completions go to |handler|.
  bool RegisterIOHandler(HANDLE file, IOHandler* handler);
  // Waits for one completion for |filter| (null: any handler).
  bool WaitForIOCompletion(DWORD timeout, IOHandler* filter) { return WaitForCompletion(timeout, filter); }

  void AddObserver(IOObserver* o) { observers_.AddObserver(o); }
  void RemoveObserver(IOObserver* o) { observers_.RemoveObserver(o); }

 protected:
  void PumpLoop() override;

 private:
  struct IOItem {
    IOHandler* handler;
    IOContext* context;
    DWORD bytes_transfered;
    DWORD error;
  };

  bool WaitForCompletion(DWORD timeout, IOHandler* filter);
  bool GetIOItem(DWORD timeout, IOItem* item);
  bool ProcessInternalIOItem(const IOItem& item);

  win32::ScopedHandle port_;
  std::list<IOItem> completion_list_;
  ObserverList<IOObserver> observers_;
};

}  // namespace base

#endif  // BASE_FRAMEWORK_WIN_MESSAGE_PUMP_H_
