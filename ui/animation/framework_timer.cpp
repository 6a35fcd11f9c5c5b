#include "ui/animation/framework_timer.h"

#include <mmsystem.h>

#include <algorithm>
#include <mutex>
#include <utility>

#include "base/log/log.h"

namespace ui {
namespace {

HINSTANCE ModuleInstance() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
  return module;
}

// The process's instance. The lock only makes a call from a wrong thread
// safe to refuse; the instance itself is used on its own thread alone.
std::mutex& SlotLock() {
  static std::mutex lock;
  return lock;
}
std::unique_ptr<FrameworkTimer>& Slot() {
  static std::unique_ptr<FrameworkTimer> slot;
  return slot;
}

}  // namespace

FrameworkTimer* FrameworkTimer::GetInstance() {
  std::lock_guard<std::mutex> hold(SlotLock());
  std::unique_ptr<FrameworkTimer>& slot = Slot();
  if (slot) {
    if (slot->owner_thread_ != ::GetCurrentThreadId()) {
      QLOG_ERR(L"framework timer asked for on thread {0}, it belongs to thread {1}")
          << ::GetCurrentThreadId() << slot->owner_thread_;
      return nullptr;
    }
    return slot.get();
  }
  std::unique_ptr<FrameworkTimer> timer(new FrameworkTimer());  // private constructor
  if (!timer->Create()) return nullptr;
  slot = std::move(timer);
  return slot.get();
}

bool FrameworkTimer::Shutdown() {
  std::unique_ptr<FrameworkTimer> doomed;
  {
    std::lock_guard<std::mutex> hold(SlotLock());
    std::unique_ptr<FrameworkTimer>& slot = Slot();
    if (!slot) return true;
    if (slot->owner_thread_ != ::GetCurrentThreadId()) {
      QLOG_ERR(L"framework timer shut down from thread {0}, it belongs to thread {1}")
          << ::GetCurrentThreadId() << slot->owner_thread_;
      return false;
    }
    if (slot->poll_depth_ > 0) {
      QLOG_ERR(L"framework timer shut down from inside a timer callback: refused");
      return false;
    }
    doomed = std::move(slot);
  }
  // Outside the lock: dropping the callbacks may run destructors that ask
  // for the (now absent) instance.
  doomed.reset();
  return true;
}

bool FrameworkTimer::Create() {
  owner_thread_ = ::GetCurrentThreadId();
  LARGE_INTEGER frequency;
  if (::QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) frequency_ = frequency.QuadPart;
  TIMECAPS caps;
  if (::timeGetDevCaps(&caps, sizeof(caps)) == TIMERR_NOERROR && caps.wPeriodMax > 0) {
    max_delay_ms_ = caps.wPeriodMax;
  }

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &WndProc;
  wc.hInstance = ModuleInstance();
  wc.lpszClassName = kWindowClass;
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    QLOG_ERR(L"framework timer window class not registered, error:{0}") << ::GetLastError();
    return false;
  }
  window_.Reset(::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ModuleInstance(), nullptr));
  if (!window_.Valid()) {
    QLOG_ERR(L"framework timer window not created, error:{0}") << ::GetLastError();
    ::UnregisterClassW(kWindowClass, ModuleInstance());
    return false;
  }
  ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  post_target_.store(window_.Get());
  return true;
}

FrameworkTimer::~FrameworkTimer() {
  // Killed synchronously: no tick callback runs after this, so the
  // multimedia thread never sees the object or the window go.
  StopMultimediaTimer();
  post_target_.store(nullptr);
  std::multimap<int64_t, Entry> dropped;
  dropped.swap(queue_);
  dropped.clear();
  if (window_.Valid()) {
    ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
    window_.Reset();
    ::UnregisterClassW(kWindowClass, ModuleInstance());
  }
}

bool FrameworkTimer::AddTimer(const std::weak_ptr<base::WeakFlag>& owner, Callback callback,
                              int interval_ms, int repeat_count) {
  if (!callback || owner.expired()) {
    QLOG_ERR(L"timer refused: no callback or its owner is gone");
    return false;
  }
  if (interval_ms < 0 || repeat_count == 0 || repeat_count < -1) {
    QLOG_ERR(L"timer refused: interval {0} ms, repeat count {1}") << interval_ms << repeat_count;
    return false;
  }
  DropExpired();
  // At least one counter tick: a repeating timer re-queued at the same "now"
  // would otherwise be due again within the same poll, for ever.
  const int64_t interval = std::max<int64_t>(1, static_cast<int64_t>(interval_ms) * frequency_ / 1000);
  queue_.emplace(Now() + interval, Entry{owner, std::move(callback), interval, repeat_count});
  if (!fast_mode()) StartFast();
  return true;
}

void FrameworkTimer::Poll() {
  ++poll_depth_;
  const int64_t now = Now();
  while (!queue_.empty() && queue_.begin()->first <= now) {
    // Taken out before it runs: the callback may add, cancel or pump
    // messages (and so poll again) without disturbing this loop.
    auto node = queue_.extract(queue_.begin());
    Entry& entry = node.mapped();
    if (entry.owner.expired()) continue;
    entry.callback();
    if (entry.owner.expired()) continue;  // cancelled by its own run
    if (entry.repeat_count == -1 || entry.repeat_count >= 2) {
      if (entry.repeat_count > 0) --entry.repeat_count;
      node.key() = now + entry.interval;
      queue_.insert(std::move(node));
    }
  }
  DropExpired();
  --poll_depth_;
  Reschedule(Now());
}

void FrameworkTimer::DropExpired() {
  for (auto it = queue_.begin(); it != queue_.end();) {
    it = it->second.owner.expired() ? queue_.erase(it) : std::next(it);
  }
}

void FrameworkTimer::Reschedule(int64_t now) {
  if (queue_.empty()) {
    StopMultimediaTimer();
    return;
  }
  const int64_t remaining = queue_.begin()->first - now;
  if (remaining >= frequency_) {
    StartSlow(remaining * 1000 / frequency_ + 2);
  } else if (!fast_mode()) {
    StartFast();
  }
}

void FrameworkTimer::StartFast() {
  StopMultimediaTimer();
  mm_timer_ = ::timeSetEvent(kFastPeriodMs, 1, &OnMultimediaTick, reinterpret_cast<DWORD_PTR>(this),
                             TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
  fast_mode_ = mm_timer_ != 0;
  if (!mm_timer_) QLOG_ERR(L"multimedia timer of {0} ms not started") << kFastPeriodMs;
}

void FrameworkTimer::StartSlow(int64_t delay_ms) {
  StopMultimediaTimer();
  // A delay beyond the device's limit fires early; the poll then finds
  // nothing due and sets the timer again.
  const UINT delay = static_cast<UINT>(std::clamp<int64_t>(delay_ms, 1, max_delay_ms_));
  mm_timer_ = ::timeSetEvent(delay, 1, &OnMultimediaTick, reinterpret_cast<DWORD_PTR>(this),
                             TIME_ONESHOT | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
  fast_mode_ = false;
  if (!mm_timer_) QLOG_ERR(L"multimedia timer of {0} ms not started") << delay;
}

void FrameworkTimer::StopMultimediaTimer() {
  // A one-shot timer that already fired answers an error here; harmless.
  if (mm_timer_) ::timeKillEvent(mm_timer_);
  mm_timer_ = 0;
  fast_mode_ = false;
}

int64_t FrameworkTimer::Now() const {
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

LRESULT CALLBACK FrameworkTimer::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kTickMessage) {
    auto* self = reinterpret_cast<FrameworkTimer*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) {
      self->tick_posted_.store(false);
      self->Poll();
    }
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

// On the multimedia timer's thread: post, nothing else. While one tick still
// waits in the queue no other is posted, so a busy UI thread is not flooded.
void CALLBACK FrameworkTimer::OnMultimediaTick(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* self = reinterpret_cast<FrameworkTimer*>(user);
  if (self->tick_posted_.exchange(true)) return;
  HWND target = self->post_target_.load();
  if (!target || !::PostMessageW(target, kTickMessage, 0, 0)) self->tick_posted_.store(false);
}

}  // namespace ui
