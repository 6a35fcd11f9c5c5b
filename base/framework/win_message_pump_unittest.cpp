// The UI pump under modal loops that are not its own: dialogs opened from a
// task and from a window message, while other threads post.
#include "base/framework/win_message_pump.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/framework/framework_thread.h"
#include "base/framework/message_loop.h"
#include "base/synchronization/waitable_event.h"

namespace base {
namespace {

double NowMs() {
  LARGE_INTEGER f, c;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&c);
  return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

class UiLoopThread : public FrameworkThread {
 public:
  UiLoopThread() : FrameworkThread("pump test") {}
  ~UiLoopThread() override { Stop(); }
  void Init() override { body(); }
  std::function<void()> body;
};

// Runs |body| on a thread of its own with a UI loop (WM_QUIT stays posted
// once a UI loop ends, so no thread serves two tests).
void RunOnUiLoop(const std::function<void()>& body) {
  UiLoopThread thread;
  thread.body = body;
  ASSERT_TRUE(thread.StartWithLoop(kLoopUi));
  thread.Stop();
}

// A modal dialog built in memory: two push buttons, OK (default) and Cancel.
// |on_init| runs in WM_INITDIALOG; the dialog's own timer 1, when set,
// ends it with -1.
struct TestDialog {
  std::function<void(HWND)> on_init;
  std::function<void(HWND, UINT, WPARAM)> on_message;
  HWND hwnd = nullptr;

  INT_PTR Run() {
    alignas(4) BYTE buffer[512] = {};
    BYTE* p = buffer;
    auto* dlg = reinterpret_cast<DLGTEMPLATE*>(p);
    dlg->style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | WS_VISIBLE;
    dlg->cdit = 2;
    dlg->cx = 160;
    dlg->cy = 60;
    p += sizeof(DLGTEMPLATE) + 3 * sizeof(WORD);  // no menu, default class, no title
    auto add_button = [&p, &buffer](int id, DWORD style, short x) {
      p = buffer + ((p - buffer + 3) & ~3);
      auto* item = reinterpret_cast<DLGITEMTEMPLATE*>(p);
      item->style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | style;
      item->x = x;
      item->y = 20;
      item->cx = 60;
      item->cy = 14;
      item->id = static_cast<WORD>(id);
      p += sizeof(DLGITEMTEMPLATE);
      auto* words = reinterpret_cast<WORD*>(p);
      *words++ = 0xFFFF;
      *words++ = 0x0080;  // button class
      *words++ = 0;       // no text
      *words++ = 0;       // no creation data
      p = reinterpret_cast<BYTE*>(words);
    };
    add_button(IDOK, BS_DEFPUSHBUTTON, 10);
    add_button(IDCANCEL, BS_PUSHBUTTON, 90);
    return ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), dlg, nullptr, &Proc,
                                     reinterpret_cast<LPARAM>(this));
  }

  static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
      ::SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
      auto* self = reinterpret_cast<TestDialog*>(lparam);
      self->hwnd = hwnd;
      if (self->on_init) self->on_init(hwnd);
      return TRUE;
    }
    auto* self = reinterpret_cast<TestDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (self->on_message) self->on_message(hwnd, message, wparam);
    if (message == WM_TIMER && wparam == 1) {
      ::EndDialog(hwnd, -1);
      return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
      ::EndDialog(hwnd, LOWORD(wparam));
      return TRUE;
    }
    return FALSE;
  }
};

// A message-only window that runs |on_app| when it receives WM_APP: the way
// a click handler opens a message box.
struct MessageWindow {
  std::function<void()> on_app;
  HWND hwnd = nullptr;

  MessageWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PumpTestMessageWindow";
    ::RegisterClassW(&wc);
    hwnd = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           wc.hInstance, nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~MessageWindow() { ::DestroyWindow(hwnd); }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<MessageWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == WM_APP) {
      self->on_app();
      return 0;
    }
    return ::DefWindowProcW(hwnd, message, wparam, lparam);
  }
};

// The pump's timer survives a modal loop that a task entered, where no task
// may run: a later modal loop entered from a window message (a message box
// from a click handler) still runs a delayed task on time.
//
// Hiding a dialog under Wine without a window manager waits two seconds for
// the window's withdrawal, so the second dialog opens only after about 2 s
// and the task is due well after that.
TEST(WinUIMessagePumpTest, DelayedTaskRunsOnTimeInModalLoopAfterOneInATask) {
  constexpr double kDue = 3500;
  double start = 0, ran_at = 0, second_closed_at = 0;
  INT_PTR first_result = 0, second_result = 0;
  RunOnUiLoop([&] {
    MessageLoop* loop = MessageLoop::current();
    MessageWindow window;
    TestDialog first, second;
    first.on_init = [](HWND hwnd) { ::SetTimer(hwnd, 1, 50, nullptr); };
    second.on_init = [](HWND hwnd) { ::SetTimer(hwnd, 1, 8000, nullptr); };  // the backstop
    window.on_app = [&] {
      second_result = second.Run();
      second_closed_at = NowMs();
      loop->Quit();
    };
    start = NowMs();
    // Due while the first dialog's loop runs inside a task: its WM_TIMER
    // reaches the pump there, where the task cannot run.
    loop->PostAfter([] {}, Duration::FromMilliseconds(30));
    loop->PostAfter([&] {
      ran_at = NowMs();
      if (second.hwnd) ::EndDialog(second.hwnd, 7);
    }, Duration::FromMilliseconds(kDue));
    loop->Post([&] {
      first_result = first.Run();
      ::PostMessageW(window.hwnd, WM_APP, 0, 0);
    });
    loop->Run();
  });
  EXPECT_EQ(-1, first_result);
  EXPECT_EQ(7, second_result) << "the delayed task did not end the second dialog";
  EXPECT_GE(ran_at - start, kDue - 10);
  EXPECT_LT(ran_at - start, kDue + 2000) << "ran at " << ran_at - start;
  EXPECT_LT(second_closed_at - start, 8000.0) << "the second dialog waited for its backstop";
}

// While another thread posts tasks, a dialog's own loop dispatches the
// pump's wake-ups; its keys must still go through the dialog's handling
// (Tab moves the focus and never reaches the button), and the tasks run.
TEST(WinUIMessagePumpTest, WakeUpsLeaveDialogInputToTheDialog) {
  constexpr int kKeys = 100;
  std::atomic<int> tabs_reaching_buttons{0}, focus_moves{0}, tasks_run{0};
  INT_PTR result = 0;
  RunOnUiLoop([&] {
    MessageLoop* loop = MessageLoop::current();
    MessageWindow window;
    TestDialog dialog;
    std::thread poster;
    static std::atomic<int>* tab_counter;
    static std::atomic<int>* focus_counter;
    static WNDPROC button_proc;
    tab_counter = &tabs_reaching_buttons;
    focus_counter = &focus_moves;
    dialog.on_init = [&](HWND hwnd) {
      HWND ok = ::GetDlgItem(hwnd, IDOK);
      HWND cancel = ::GetDlgItem(hwnd, IDCANCEL);
      auto counting = [](HWND button, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
        if (message == WM_KEYDOWN && wparam == VK_TAB) ++*tab_counter;
        if (message == WM_SETFOCUS) ++*focus_counter;
        return ::CallWindowProcW(button_proc, button, message, wparam, lparam);
      };
      button_proc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
          ok, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+counting)));
      ::SetWindowLongPtrW(cancel, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+counting));
      ::SetTimer(hwnd, 1, 20000, nullptr);  // the backstop
      poster = std::thread([loop, ok, hwnd, &tasks_run] {
        for (int key = 0; key < kKeys; ++key) {
          for (int i = 0; i < 20; ++i) loop->Post([&tasks_run] { ++tasks_run; });
          ::PostMessageW(ok, WM_KEYDOWN, VK_TAB, 0x000F0001);
          ::PostMessageW(ok, WM_KEYUP, VK_TAB, 0xC00F0001);
          ::Sleep(1);
        }
        ::PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
      });
    };
    window.on_app = [&] {
      result = dialog.Run();
      poster.join();
      loop->Quit();
    };
    ::PostMessageW(window.hwnd, WM_APP, 0, 0);
    loop->Run();
  });
  EXPECT_EQ(IDCANCEL, result);
  EXPECT_EQ(0, tabs_reaching_buttons.load()) << "keys dispatched behind the dialog's back";
  EXPECT_GE(focus_moves.load(), kKeys);
  EXPECT_GT(tasks_run.load(), 0) << "no task ran inside the dialog";
}

// The pump window's class stays registered once pumps are gone, so pumps
// made and destroyed on several threads at once never lose it.
TEST(WinUIMessagePumpTest, WindowClassOutlivesPumps) {
  std::atomic<int> made{0};
  auto churn = [&made] {
    for (int i = 0; i < 150; ++i) {
      UIMessageLoop loop;
      ASSERT_NE(nullptr, loop.ui_pump()->window());
      ++made;
    }
  };
  std::thread a(churn), b(churn);
  a.join();
  b.join();
  EXPECT_EQ(300, made.load());
  WNDCLASSEXW info = {};
  info.cbSize = sizeof(info);
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&NowMs), &module);
  EXPECT_TRUE(::GetClassInfoExW(module, L"TessivoMessagePumpWindow", &info));
}

}  // namespace
}  // namespace base
