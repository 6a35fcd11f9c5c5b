#include "base/framework/message_loop.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "base/framework/framework_thread.h"
#include "base/framework/message_loop_proxy.h"
#include "base/synchronization/waitable_event.h"

namespace base {
namespace {

// Runs |body| on a fresh framework thread with a loop of |kind|, from the
// thread's Init, so that |body| may run the loop at depth 1 itself. Every UI
// test gets a thread of its own: WM_QUIT stays posted once a UI loop ends.
class LoopThread : public FrameworkThread {
 public:
  LoopThread() : FrameworkThread("test loop") {}
  ~LoopThread() override { Stop(); }
  void Init() override {
    if (init) init();
  }
  void Cleanup() override {
    if (cleanup) cleanup();
  }
  std::function<void()> init, cleanup;
};

void RunOnLoop(LoopKind kind, const std::function<void()>& body) {
  LoopThread thread;
  thread.init = body;
  ASSERT_TRUE(thread.StartWithLoop(kind));  // returns once Init is done
  thread.Stop();
}

class CountingPump : public DefaultMessagePump {
 public:
  void Wake() override {
    ++wakes;
    DefaultMessagePump::Wake();
  }
  std::atomic<int> wakes{0};
};

class CountingLoop : public MessageLoop {
 public:
  explicit CountingLoop(std::shared_ptr<CountingPump> pump) : MessageLoop(kLoopCustom, pump), pump_(pump) {}
  std::shared_ptr<CountingPump> pump_;
};

class CountingMaker : public FrameworkThread::LoopMaker {
 public:
  std::unique_ptr<MessageLoop> CreateLoop() override {
    pump = std::make_shared<CountingPump>();
    return std::make_unique<CountingLoop>(pump);
  }
  std::shared_ptr<CountingPump> pump;
};

// Tasks from another thread run in posting order; posting onto a non-empty
// inbox does not wake the pump a second time.
TEST(MessageLoopTest, CrossThreadPostsKeepOrderAndCoalesceWakeups) {
  auto maker = std::make_shared<CountingMaker>();
  LoopThread thread;
  ASSERT_TRUE(thread.StartWithLoopMaker(maker));
  MessageLoop* loop = thread.message_loop();

  WaitableEvent blocker(true, false), running(true, false), done(true, false);
  std::vector<int> order;
  loop->Post([&] {
    running.Signal();
    blocker.Wait();
  });
  running.Wait();
  int wakes_before = maker->pump->wakes;
  for (int i = 0; i < 5; ++i) loop->Post([&order, i] { order.push_back(i); });
  EXPECT_EQ(wakes_before + 1, maker->pump->wakes.load());
  blocker.Signal();
  loop->Post([&] { done.Signal(); });
  done.Wait();
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), order);
  thread.Stop();
}

// Delayed tasks run by due time; equal due times keep their queue order, and
// all delayed tasks wait for their time.
TEST(MessageLoopTest, DelayedTasksByDueTimeThenQueueOrder) {
  std::vector<std::string> order;
  RunOnLoop(kLoopPlain, [&] {
    MessageLoop* loop = MessageLoop::current();
    loop->PostAfter([&] { order.push_back("late"); }, Duration::FromMilliseconds(40));
    loop->PostAfter([&] { order.push_back("early"); }, Duration::FromMilliseconds(5));
    loop->Post([&] { order.push_back("now"); });
    // Same due time for two tasks: give both the same TickClock by posting
    // them from inside one task with identical delays.
    loop->PostAfter([&] { order.push_back("tie-a"); }, Duration::FromMilliseconds(20));
    loop->PostAfter([&] { order.push_back("tie-b"); }, Duration::FromMilliseconds(20));
    loop->PostAfter([loop] { loop->Quit(); }, Duration::FromMilliseconds(60));
    loop->Run();
  });
  EXPECT_EQ((std::vector<std::string>{"now", "early", "tie-a", "tie-b", "late"}), order);
}

// Quit takes effect at the first idle point: tasks already queued still run.
TEST(MessageLoopTest, QuitLetsPendingWorkFinish) {
  std::vector<int> ran;
  RunOnLoop(kLoopUi, [&] {
    MessageLoop* loop = MessageLoop::current();
    loop->Post([&] {
      loop->Quit();
      ran.push_back(1);
    });
    loop->Post([&] { ran.push_back(2); });
    loop->Post([&] {
      ran.push_back(3);
      loop->Post([&] { ran.push_back(4); });
    });
    loop->Run();
  });
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), ran);
}

struct NestState {
  std::vector<std::string> order;
};

LRESULT CALLBACK NestingWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_APP) {
    auto* state = reinterpret_cast<NestState*>(lparam);
    MessageLoop* loop = MessageLoop::current();
    loop->PostHeld([state] { state->order.push_back("held"); });
    loop->Post([state, loop] {
      state->order.push_back("nestable");
      loop->Quit();
    });
    state->order.push_back("enter nested");
    loop->Run();  // a nested loop entered from a window message, not a task
    state->order.push_back("left nested");
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

// A non-nestable task posted while a nested loop runs waits until the nested
// loop has returned; nestable tasks run inside it.
TEST(MessageLoopTest, HeldTaskWaitsForNestedLoop) {
  NestState state;
  RunOnLoop(kLoopUi, [&] {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &NestingWndProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"NestingTestWindow";
    ::RegisterClassW(&wc);
    HWND hwnd = ::CreateWindowW(L"NestingTestWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_NE(nullptr, hwnd);
    MessageLoop* loop = MessageLoop::current();
    ::PostMessageW(hwnd, WM_APP, 0, reinterpret_cast<LPARAM>(&state));
    // The message is handled by the outer Run below; quit once idle after it.
    loop->PostAfter([loop, &state] {
      state.order.push_back("outer quit");
      loop->Quit();
    }, Duration::FromMilliseconds(50));
    loop->Run();
    ::DestroyWindow(hwnd);
  });
  EXPECT_EQ((std::vector<std::string>{"enter nested", "nestable", "left nested", "held", "outer quit"}),
            state.order);
}

// WM_QUIT in a nested loop ends it and, re-posted, the outer loop too.
TEST(MessageLoopTest, QuitMessageEndsOuterLoops) {
  std::vector<std::string> order;
  RunOnLoop(kLoopUi, [&] {
    MessageLoop* loop = MessageLoop::current();
    loop->Post([&, loop] {
      ::PostQuitMessage(3);
      order.push_back("enter nested");
      loop->Run();  // a modal-style nested loop inside a task
      order.push_back("nested returned");
    });
    loop->PostAfter([&] { order.push_back("never"); }, Duration::FromSeconds(30));
    loop->Run();
    order.push_back("outer returned");
    MSG msg;
    EXPECT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(3, static_cast<int>(msg.wParam));
  });
  EXPECT_EQ((std::vector<std::string>{"enter nested", "nested returned", "outer returned"}), order);
}

double NowMs() {
  LARGE_INTEGER f, c;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&c);
  return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// The 10 ms system timer is only a backstop: a task due in 3 ms runs from
// the pump's own timed wait, not from the timer's message. Counted rather
// than timed: a pump that slept until the timer ran every such task inside
// its WM_TIMER; on a loaded machine a few may still land there, not all.
TEST(MessageLoopTest, ShortDelayOnIdleUiLoopIsNotRoundedToTimer) {
  struct TimerWatch : WinUIMessagePump::UIObserver {
    void WillProcessMessage(const MSG& msg) override { in_timer = msg.message == WM_TIMER; }
    void DidProcessMessage(const MSG&) override { in_timer = false; }
    bool in_timer = false;
  } watch;
  int runs = 0, from_timer = 0;
  double shortest = 1e9;
  RunOnLoop(kLoopUi, [&] {
    MessageLoop* loop = MessageLoop::current();
    UIMessageLoop::current()->ui_pump()->AddObserver(&watch);
    for (int i = 0; i < 7; ++i) {
      const double start = NowMs();
      loop->PostAfter([&, loop, start] {
        ++runs;
        from_timer += watch.in_timer;
        shortest = std::min(shortest, NowMs() - start);
        loop->Quit();
      }, Duration::FromMilliseconds(3));
      loop->Run();
    }
    UIMessageLoop::current()->ui_pump()->RemoveObserver(&watch);
  });
  EXPECT_EQ(runs, 7);
  EXPECT_GE(shortest, 2.0) << "a task ran before it was due";
  EXPECT_LT(from_timer, runs) << "every task waited for the 10 ms timer";
}

struct DestructionProbe {
  explicit DestructionProbe(std::vector<std::string>* log, std::string name) : log(log), name(std::move(name)) {}
  ~DestructionProbe() { log->push_back("destroyed " + name); }
  std::vector<std::string>* log;
  std::string name;
};

// Destroying a loop destroys queued closures of every kind without running
// them; the proxy refuses posts afterwards.
TEST(MessageLoopTest, DestructionDiscardsQueuedTasks) {
  std::vector<std::string> log;
  std::shared_ptr<MessageLoopProxy> proxy;
  {
    LoopThread thread;
    // Cleanup runs after the loop stopped and before it is destroyed.
    thread.cleanup = [&] {
      MessageLoop* loop = MessageLoop::current();
      auto immediate = std::make_shared<DestructionProbe>(&log, "immediate");
      auto held = std::make_shared<DestructionProbe>(&log, "held");
      auto delayed = std::make_shared<DestructionProbe>(&log, "delayed");
      loop->Post([immediate, &log] { log.push_back("ran immediate"); });
      loop->PostHeld([held, &log] { log.push_back("ran held"); });
      loop->PostAfter([delayed, &log] { log.push_back("ran delayed"); }, Duration::FromSeconds(60));
      proxy = loop->proxy();
    };
    ASSERT_TRUE(thread.Start());
    thread.Stop();
  }
  std::sort(log.begin(), log.end());
  EXPECT_EQ((std::vector<std::string>{"destroyed delayed", "destroyed held", "destroyed immediate"}), log);
  ASSERT_TRUE(proxy);
  EXPECT_FALSE(proxy->Post([] {}));
  EXPECT_FALSE(proxy->PostAfter([] {}, Duration::FromMilliseconds(1)));
}

// Only a loop makes a proxy of itself: a second one would never hear of the
// loop's end.
template <typename T, typename = void>
struct CanMakeProxy : std::false_type {};
template <typename T>
struct CanMakeProxy<T, std::void_t<decltype(T::Create(static_cast<MessageLoop*>(nullptr)))>>
    : std::true_type {};
static_assert(!CanMakeProxy<MessageLoopProxy>::value, "proxies are made by their loop alone");

// The loop's proxy, held on another thread past the loop's end, refuses
// posts and is deleted by its last holder, there and then.
TEST(MessageLoopProxyTest, OutlivesItsLoopSafely) {
  std::shared_ptr<MessageLoopProxy> proxy;
  {
    LoopThread thread;
    ASSERT_TRUE(thread.Start());
    proxy = thread.message_loop()->proxy();
    EXPECT_FALSE(proxy->IsOnLoopThread());
    thread.Stop();
  }
  bool ran = false;
  EXPECT_FALSE(proxy->Post([&ran] { ran = true; }));
  EXPECT_FALSE(proxy->PostHeldAfter([&ran] { ran = true; }, Duration::FromMilliseconds(1)));
  DWORD deleted_on = 0;
  proxy->set_destruction_callback([&deleted_on] { deleted_on = ::GetCurrentThreadId(); });
  proxy.reset();
  EXPECT_EQ(::GetCurrentThreadId(), deleted_on);
  EXPECT_FALSE(ran);
}

class HookedPumpLoop : public MessageLoop {
 public:
  explicit HookedPumpLoop(std::shared_ptr<DefaultMessagePump> pump)
      : MessageLoop(kLoopCustom, pump) {}
};

class HookedPumpMaker : public FrameworkThread::LoopMaker {
 public:
  std::unique_ptr<MessageLoop> CreateLoop() override {
    pump = std::make_shared<DefaultMessagePump>();
    return std::make_unique<HookedPumpLoop>(pump);
  }
  std::shared_ptr<DefaultMessagePump> pump;
};

// A short delayed task posted just as the loop goes to sleep behind a later
// timer runs on time, not when that timer expires: the post sees no sleeper
// and wakes nobody, so the pump must measure its wait after its last look.
TEST(MessageLoopTest, DelayedPostRacingTheSleepRunsOnTime) {
  auto maker = std::make_shared<HookedPumpMaker>();
  LoopThread thread;
  ASSERT_TRUE(thread.StartWithLoopMaker(maker));
  MessageLoop* loop = thread.message_loop();
  WaitableEvent ran(true, false);
  std::atomic<double> posted_at{0}, ran_at{0};
  WaitableEvent hooked(true, false);
  loop->Post([&] {
    MessageLoop::current()->PostAfter([] {}, Duration::FromSeconds(3));
    bool once = true;
    maker->pump->SetBeforeSleepForTesting([&, once]() mutable {
      if (!once) return;
      once = false;
      posted_at = NowMs();
      MessageLoop::current()->PostAfter([&] {
        ran_at = NowMs();
        ran.Signal();
      }, Duration::FromMilliseconds(50));
    });
    hooked.Signal();
  });
  ASSERT_TRUE(hooked.TimedWait(Duration::FromSeconds(5)));
  ASSERT_TRUE(ran.TimedWait(Duration::FromSeconds(10)));
  const double delay = ran_at - posted_at;
  EXPECT_GE(delay, 49.0);
  EXPECT_LT(delay, 1500.0) << "the 50 ms task waited for the 3 s timer";
  loop->Post([&] { maker->pump->SetBeforeSleepForTesting(nullptr); });
  thread.Stop();
}

// The same race left to chance: delayed tasks posted from another thread
// while the loop idles behind a long timer all run close to their time.
TEST(MessageLoopTest, DelayedPostsFromAnotherThreadRunOnTime) {
  LoopThread thread;
  ASSERT_TRUE(thread.Start());
  MessageLoop* loop = thread.message_loop();
  loop->PostAfter([] {}, Duration::FromSeconds(60));
  WaitableEvent ran(false, false);
  double worst = 0;
  for (int i = 0; i < 1500; ++i) {
    // Vary the moment of the post relative to the loop's way to sleep.
    for (int spin = 0; spin < (i * 37) % 2000; ++spin) YieldProcessor();
    const double start = NowMs();
    loop->PostAfter([&ran] { ran.Signal(); }, Duration::FromMilliseconds(1));
    ASSERT_TRUE(ran.TimedWait(Duration::FromSeconds(5))) << "try " << i;
    worst = std::max(worst, NowMs() - start);
  }
  // Far below the 60 s timer a missed wake-up would wait for.
  EXPECT_LT(worst, 2000.0);
  thread.Stop();
}

}  // namespace
}  // namespace base
