#include "base/framework/win_message_pump.h"

#include <cmath>

#include "base/check.h"

namespace base {
namespace {

const wchar_t kWindowClass[] = L"TessivoMessagePumpWindow";

HINSTANCE ModuleInstance() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
  return module;
}

}  // namespace

// ---- WinMessagePump ----

void WinMessagePump::RunWithHook(Delegate* delegate, MessageHook* hook) {
  BASE_CHECK(delegate);
  RunState state;
  state.run_depth = state_ ? state_->run_depth + 1 : 1;
  state.quit_flag = false;
  state.delegate = delegate;
  state.message_hook = hook;
  RunState* previous = state_;
  state_ = &state;
  PumpLoop();
  state_ = previous;
}

void WinMessagePump::Quit() {
  BASE_CHECK(state_);
  state_->quit_flag = true;
}

int64_t WinMessagePump::MillisecondsUntilWake() const {
  if (wake_time_.IsNull()) return -1;
  double ms = std::ceil((wake_time_ - TickClock::Now()).ToMicroseconds() / 1000.0);
  return ms < 0 ? 0 : static_cast<int64_t>(ms);
}

DWORD WinMessagePump::ToWaitTime(int64_t milliseconds) {
  if (milliseconds < 0) return INFINITE;
  if (milliseconds > 0xFFFFFFFE) return 0xFFFFFFFE;
  return static_cast<DWORD>(milliseconds);
}

// ---- WinUIMessagePump ----

namespace {

// Registered on first use and never unregistered: with a class per pump, one
// thread's pump could unregister it between another's failed registration
// and its CreateWindowExW.
ATOM PumpWindowClass(WNDPROC proc) {
  static const ATOM atom = [proc] {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = ModuleInstance();
    wc.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&wc);
  }();
  return atom;
}

}  // namespace

WinUIMessagePump::WinUIMessagePump() {
  const ATOM atom = PumpWindowClass(&WndProc);
  BASE_CHECK(atom && "pump window class");
  window_ = ::CreateWindowExW(0, MAKEINTATOM(atom), nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              ModuleInstance(), nullptr);
  BASE_CHECK(window_ && "pump window");
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WinUIMessagePump::~WinUIMessagePump() {
  if (window_) ::DestroyWindow(window_);
}

void WinUIMessagePump::Wake() {
  if (wake_posted_.exchange(1) != 0) return;
  if (!::PostMessageW(window_, kWakeMessage, reinterpret_cast<WPARAM>(this), 0)) {
    // The queue is full or the window is gone: allow the next Wake to retry.
    wake_posted_.store(0);
  }
}

void WinUIMessagePump::WakeAt(const TickClock& due) {
  wake_time_ = due;
  ArmDelayedWorkTimer();
}

void WinUIMessagePump::ArmDelayedWorkTimer() {
  int64_t delay = MillisecondsUntilWake();
  // The system timer is coarse anyway; SleepUntilWork's own wait is exact.
  if (delay < 10) delay = 10;
  if (delay > 0xFFFFFFFE) delay = 0xFFFFFFFE;
  ::SetTimer(window_, kDelayedWorkTimer, static_cast<UINT>(delay), nullptr);
  delayed_timer_armed_ = true;
}

void WinUIMessagePump::DisarmDelayedWorkTimer() {
  if (!delayed_timer_armed_) return;
  ::KillTimer(window_, kDelayedWorkTimer);
  delayed_timer_armed_ = false;
}

LRESULT CALLBACK WinUIMessagePump::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* pump = reinterpret_cast<WinUIMessagePump*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (pump && message == WM_TIMER && wparam == kDelayedWorkTimer) {
    pump->OnDelayedWorkTimer();
    return 0;
  }
  if (pump && message == WM_TIMER && wparam == kReadyWorkTimer) {
    ::KillTimer(hwnd, kReadyWorkTimer);
    pump->OnWakeFromOtherLoop();
    return 0;
  }
  if (pump && message == kWakeMessage) {
    pump->wake_posted_.store(0);
    pump->OnWakeFromOtherLoop();
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

// Reached when a loop runs that is not this pump's own (a modal dialog, a
// window drag), or from this pump's own dispatch.
void WinUIMessagePump::OnDelayedWorkTimer() {
  // A timer is periodic: stop it, and arm it again for the next due task.
  ::KillTimer(window_, kDelayedWorkTimer);
  delayed_timer_armed_ = false;
  if (!state_) return;  // not running yet: PumpLoop arms it when it starts
  state_->delegate->RunDueWork(&wake_time_);
  if (!wake_time_.IsNull()) ArmDelayedWorkTimer();
}

// Another loop dispatched the wake-up: run ready work and nothing else. Its
// messages are its own (a dialog handles Tab, Enter and Esc itself), so none
// is taken from the queue here. Work left over wakes the pump again; while
// input waits, through a timer, since the queue hands out posted messages
// before input and a stream of wake-ups would starve the dialog.
void WinUIMessagePump::OnWakeFromOtherLoop() {
  if (!state_) return;
  if (!RunReadySlice()) return;
  if (HIWORD(::GetQueueStatus(QS_INPUT)) != 0)
    ::SetTimer(window_, kReadyWorkTimer, USER_TIMER_MINIMUM, nullptr);
  else
    Wake();
}

void WinUIMessagePump::PumpLoop() {
  // As in the default pump: a due task that still did not run is held back
  // (the loop is nested inside a task), and only messages or posts can help.
  bool due_but_held = false;
  for (;;) {
    bool more_work = PumpOneMessage();
    if (state_->quit_flag) break;
    more_work |= RunReadySlice();
    if (state_->quit_flag) break;
    more_work |= state_->delegate->RunDueWork(&wake_time_);
    // Keep the timer armed whenever delayed tasks wait, for the modal loops
    // that window messages may enter; it may have been stopped while a task
    // ran one, or before this loop started.
    if (wake_time_.IsNull())
      DisarmDelayedWorkTimer();
    else if (!delayed_timer_armed_)
      ArmDelayedWorkTimer();
    if (state_->quit_flag) break;
    if (more_work) {
      due_but_held = false;
      continue;
    }
    more_work = state_->delegate->RunIdleWork();
    if (state_->quit_flag) break;
    if (more_work) {
      due_but_held = false;
      continue;
    }
    const bool due = !wake_time_.IsNull() && MillisecondsUntilWake() == 0;
    if (!due) {
      due_but_held = false;
    } else if (!due_but_held) {
      due_but_held = true;  // it may have come due just now: one more look
      continue;
    }
    SleepUntilWork(due_but_held);
  }
}

bool WinUIMessagePump::RunReadySlice() {
  // Every message peek is a round trip to the window system (about 100 us
  // under Wine), so ready tasks run in slices of up to 2 ms between peeks
  // rather than one per peek. Messages still get through every slice.
  constexpr int64_t kSliceMicroseconds = 2000;
  TickClock start = TickClock::Now();
  bool did_work = false;
  for (int ran = 1; state_->delegate->RunReadyWork(); ++ran) {
    did_work = true;
    if (state_->quit_flag) break;
    if ((ran & 15) == 0 && (TickClock::Now() - start).ToMicroseconds() >= kSliceMicroseconds) break;
  }
  return did_work;
}

bool WinUIMessagePump::PumpOneMessage() {
  DWORD queue_status = ::GetQueueStatus(QS_SENDMESSAGE);
  MSG msg;
  if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return HandleOneMessage(msg);
  return (HIWORD(queue_status) & QS_SENDMESSAGE) != 0;
}

bool WinUIMessagePump::HandleOneMessage(const MSG& msg) {
  if (msg.message == WM_QUIT) {
    state_->quit_flag = true;
    // Outer loops of this thread end too.
    ::PostQuitMessage(static_cast<int>(msg.wParam));
    return false;
  }
  if (msg.message == kWakeMessage && msg.hwnd == window_) return ReplaceWakeMessage();
  MSG copy = msg;
  if (::CallMsgFilterW(&copy, 0x5001)) return true;
  BeforeMessage(msg);
  if (!state_->message_hook) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  } else if (!state_->message_hook->HandleHookedMessage(msg)) {
    state_->quit_flag = true;
  }
  AfterMessage(msg);
  return true;
}

bool WinUIMessagePump::ReplaceWakeMessage() {
  MSG msg;
  bool have_message = ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE;
  wake_posted_.store(0);
  if (!have_message) return false;
  // Keep a wake-up queued behind the message just taken, so tasks are not
  // starved by a stream of messages.
  Wake();
  return HandleOneMessage(msg);
}

void WinUIMessagePump::SleepUntilWork(bool due_but_held) {
  DWORD wait = due_but_held ? INFINITE : ToWaitTime(MillisecondsUntilWake());
  DWORD result = ::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (result == WAIT_OBJECT_0) {
    MSG msg;
    DWORD status = ::GetQueueStatus(QS_MOUSE);
    if (HIWORD(status) & QS_MOUSE &&
        !::PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE)) {
      // Mouse input meant for another thread's window: don't spin on it.
      ::WaitMessage();
    } else if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      // Input the queue reports but no peek can take: under Wine a paint
      // flag stays set with no window left to paint, and waiting for input
      // that is merely available spun this thread at a third of a core. Wait
      // for new input, or the wake time, instead.
      ::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, 0);
    }
  }
}

void WinUIMessagePump::BeforeMessage(const MSG& msg) {
  observers_.Notify([&msg](UIObserver* o) { o->WillProcessMessage(msg); });
}

void WinUIMessagePump::AfterMessage(const MSG& msg) {
  observers_.Notify([&msg](UIObserver* o) { o->DidProcessMessage(msg); });
}

// ---- WinIOMessagePump ----

WinIOMessagePump::WinIOMessagePump()
    : port_(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)) {
  BASE_CHECK(port_.Valid());
}

void WinIOMessagePump::Wake() {
  if (wake_posted_.exchange(1) != 0) return;
  BOOL posted = ::PostQueuedCompletionStatus(port_.Get(), 0, reinterpret_cast<ULONG_PTR>(this),
                                             reinterpret_cast<LPOVERLAPPED>(this));
  BASE_CHECK(posted && "PostQueuedCompletionStatus");
}

void WinIOMessagePump::WakeAt(const TickClock& due) { wake_time_ = due; }

bool WinIOMessagePump::RegisterIOHandler(HANDLE file, IOHandler* handler) {
  HANDLE port = ::CreateIoCompletionPort(file, port_.Get(), reinterpret_cast<ULONG_PTR>(handler), 1);
  return port != nullptr;
}

void WinIOMessagePump::PumpLoop() {
  for (;;) {
    bool more_work = state_->delegate->RunReadyWork();
    if (state_->quit_flag) break;
    more_work |= WaitForCompletion(0, nullptr);
    if (state_->quit_flag) break;
    more_work |= state_->delegate->RunDueWork(&wake_time_);
    if (state_->quit_flag) break;
    if (more_work) continue;
    more_work = state_->delegate->RunIdleWork();
    if (state_->quit_flag) break;
    if (more_work) continue;
    BASE_CHECK(state_->run_depth == 1);
    WaitForCompletion(ToWaitTime(MillisecondsUntilWake()), nullptr);
  }
}

bool WinIOMessagePump::WaitForCompletion(DWORD timeout, IOHandler* filter) {
  IOItem item = {};
  bool found = false;
  for (auto it = completion_list_.begin(); it != completion_list_.end(); ++it) {
    if (!filter || it->handler == filter) {
      item = *it;
      completion_list_.erase(it);
      found = true;
      break;
    }
  }
  if (!found) {
    if (!GetIOItem(timeout, &item)) return false;
    if (ProcessInternalIOItem(item)) return true;
  }
  if (!item.context->handler) {
    // The handler went away while the operation was in flight.
    delete item.context;
    return true;
  }
  if (filter && item.handler != filter) {
    completion_list_.push_back(item);
    return true;
  }
  BASE_CHECK(item.context->handler == item.handler);
  observers_.Notify([](IOObserver* o) { o->WillProcessIOEvent(); });
  item.handler->OnIOCompleted(item.context, item.bytes_transfered, item.error);
  observers_.Notify([](IOObserver* o) { o->DidProcessIOEvent(); });
  return true;
}

bool WinIOMessagePump::GetIOItem(DWORD timeout, IOItem* item) {
  DWORD bytes = 0;
  ULONG_PTR key = 0;
  OVERLAPPED* overlapped = nullptr;
  item->error = 0;
  if (!::GetQueuedCompletionStatus(port_.Get(), &bytes, &key, &overlapped, timeout)) {
    if (!overlapped) return false;  // timed out, no packet
    item->error = ::GetLastError();
    bytes = 0;
  }
  item->handler = reinterpret_cast<IOHandler*>(key);
  item->context = reinterpret_cast<IOContext*>(overlapped);
  item->bytes_transfered = bytes;
  return true;
}

bool WinIOMessagePump::ProcessInternalIOItem(const IOItem& item) {
  if (reinterpret_cast<void*>(item.handler) == this && reinterpret_cast<void*>(item.context) == this) {
    BASE_CHECK(!item.bytes_transfered);
    wake_posted_.store(0);
    return true;
  }
  return false;
}

}  // namespace base
