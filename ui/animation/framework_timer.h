// The UI framework's one timer service. Fades, slides and animated images all
// step from it, so the process keeps a single multimedia timer however many
// animations run.
//
// Threads: the instance belongs to the UI thread that first asked for it;
// every method is called there and every callback runs there. The multimedia
// timer's own thread does nothing but post one tick message to the hidden
// message-only window (class "UI_ANIMATION_TIMERMANAGER_H_"); it reads only
// the atomic window handle and the atomic "tick posted" flag below.
#ifndef UI_ANIMATION_FRAMEWORK_TIMER_H_
#define UI_ANIMATION_FRAMEWORK_TIMER_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "base/callback/weak_callback.h"
#include "base/win32/scoped_handle.h"

namespace ui {

struct WindowTraits {
  static HWND InvalidValue() { return nullptr; }
  static void Free(HWND hwnd) { ::DestroyWindow(hwnd); }
};
// Destroyed by its owner on the thread that created it.
using ScopedWindow = base::win32::ScopedGeneric<HWND, WindowTraits>;

class FrameworkTimer {
 public:
  using Callback = std::function<void()>;

  static constexpr wchar_t kWindowClass[] = L"UI_ANIMATION_TIMERMANAGER_H_";
  static constexpr UINT kTickMessage = WM_USER + 1;
  // Period of the multimedia timer while something is due within a second.
  static constexpr UINT kFastPeriodMs = 16;

  // The service, created on first use. Null (with a log line) when its window
  // cannot be made, or when asked from another thread than the one that
  // created it.
  static FrameworkTimer* GetInstance();
  // Ends the service: the multimedia timer stops, pending timers are dropped
  // and the window is destroyed. A later GetInstance() starts afresh. Call it
  // on the owning thread, not from inside a timer callback (refused there).
  static bool Shutdown();

  ~FrameworkTimer();
  FrameworkTimer(const FrameworkTimer&) = delete;
  FrameworkTimer& operator=(const FrameworkTimer&) = delete;

  // Runs |callback| every |interval_ms| (0 means at every tick), |repeat_count|
  // times, or for ever with -1. The timer ends when |owner| expires: drop the
  // owner, or Cancel() a base::WeakCallbackFlag that served as the owner.
  // False with a log line for a dead owner, an empty callback, a negative
  // interval or a repeat count of 0 or below -1.
  bool AddTimer(const std::weak_ptr<base::WeakFlag>& owner, Callback callback, int interval_ms,
                int repeat_count);

  // Timers in the queue (expired ones leave it at the next add or tick).
  size_t pending_count() const { return queue_.size(); }
  // Whether a multimedia timer is set, and whether it is the 16 ms one.
  bool ticking() const { return mm_timer_ != 0; }
  bool fast_mode() const { return mm_timer_ != 0 && fast_mode_; }
  HWND window() const { return window_.Get(); }

 private:
  struct Entry {
    std::weak_ptr<base::WeakFlag> owner;
    Callback callback;
    int64_t interval;  // counter ticks, at least 1
    int repeat_count;  // -1: for ever
  };

  FrameworkTimer() = default;
  bool Create();
  void Poll();
  void DropExpired();
  void Reschedule(int64_t now);
  void StartFast();
  void StartSlow(int64_t delay_ms);
  void StopMultimediaTimer();
  int64_t Now() const;

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static void CALLBACK OnMultimediaTick(UINT id, UINT reserved, DWORD_PTR user, DWORD_PTR, DWORD_PTR);

  DWORD owner_thread_ = 0;
  ScopedWindow window_;
  std::atomic<HWND> post_target_{nullptr};  // read by the multimedia thread
  std::atomic<bool> tick_posted_{false};    // at most one tick waits in the queue
  int64_t frequency_ = 1;                   // counter ticks per second
  // Ordered by due time; equal due times keep their order of insertion.
  std::multimap<int64_t, Entry> queue_;
  UINT mm_timer_ = 0;
  bool fast_mode_ = false;
  UINT max_delay_ms_ = 1000000;
  int poll_depth_ = 0;
};

}  // namespace ui

#endif  // UI_ANIMATION_FRAMEWORK_TIMER_H_
