#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/synchronization/lock.h"
#include "base/synchronization/waitable_event.h"
#include "base/thread/thread.h"

namespace base {
namespace {

double NowMs() {
  LARGE_INTEGER f, c;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&c);
  return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// A sub-millisecond wait is rounded up, not down to a busy zero.
TEST(WaitableEventTest, TimedWaitRoundsUp) {
  WaitableEvent event(false, false);
  double start = NowMs();
  EXPECT_FALSE(event.TimedWait(Duration::FromMicroseconds(400)));
  EXPECT_GE(NowMs() - start, 0.9);
}

// Auto-reset events release one wait per signal; manual ones stay set.
TEST(WaitableEventTest, ResetKinds) {
  WaitableEvent automatic(false, true);
  EXPECT_TRUE(automatic.TimedWait(Duration()));
  EXPECT_FALSE(automatic.TimedWait(Duration()));
  WaitableEvent manual(true, false);
  manual.Signal();
  EXPECT_TRUE(manual.Wait());
  EXPECT_TRUE(manual.TimedWait(Duration()));
}

// Increments under the lock from several threads are not lost.
TEST(LockTest, SerialisesThreads) {
  Lock lock;
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        ScopedLock hold(lock);
        ++counter;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(80000, counter);
}

class RecordingThread : public Thread {
 public:
  void Run() override { ran_on = ::GetCurrentThreadId(); }
  std::atomic<DWORD> ran_on{0};
};

// Run executes on a new thread; Close joins and clears the handle.
TEST(ThreadTest, CreateRunsBodyAndCloseJoins) {
  RecordingThread thread;
  ASSERT_TRUE(thread.Create());
  EXPECT_NE(nullptr, thread.thread_handle());
  DWORD id = thread.thread_id();
  thread.Close();
  EXPECT_EQ(id, thread.ran_on.load());
  EXPECT_NE(::GetCurrentThreadId(), thread.ran_on.load());
  EXPECT_EQ(nullptr, thread.thread_handle());
  EXPECT_EQ(0u, thread.thread_id());
}

}  // namespace
}  // namespace base
