#include "base/framework/framework_thread.h"

#include <atomic>
#include <vector>

#include <gtest/gtest.h>

#include "base/synchronization/waitable_event.h"

namespace base {
namespace {

class RegisteringThread : public FrameworkThread {
 public:
  RegisteringThread(const char* name, int id) : FrameworkThread(name), id_(id) {}
  ~RegisteringThread() override { Stop(); }
  void Init() override { registered = ThreadRegistry::RegisterCurrentThread(id_); }
  void Cleanup() override {
    if (registered) ThreadRegistry::UnregisterCurrentThread();
  }
  std::atomic<bool> registered{false};

 private:
  int id_;
};

// One id per thread: the first holder keeps it, negative ids are refused,
// and the id frees up when its holder unregisters.
TEST(ThreadRegistryTest, Rules) {
  EXPECT_FALSE(ThreadRegistry::RegisterCurrentThread(5)) << "not a framework thread";
  RegisteringThread first("first", 7), second("second", 7);
  ASSERT_TRUE(first.Start());
  ASSERT_TRUE(second.Start());
  EXPECT_TRUE(first.registered);
  EXPECT_FALSE(second.registered);
  EXPECT_EQ(&first, ThreadRegistry::FindThread(7));

  RegisteringThread negative("negative", -1);
  ASSERT_TRUE(negative.Start());
  EXPECT_FALSE(negative.registered);

  first.Stop();
  EXPECT_EQ(nullptr, ThreadRegistry::FindThread(7));
  RegisteringThread third("third", 7);
  ASSERT_TRUE(third.Start());
  EXPECT_TRUE(third.registered);
}

// Registering again under the same id only counts; it takes as many
// unregistrations to free the id.
TEST(ThreadRegistryTest, RepeatedRegistrationCounts) {
  RegisteringThread thread("counting", 11);
  ASSERT_TRUE(thread.Start());
  WaitableEvent done(true, false);
  std::vector<bool> results;
  thread.message_loop()->Post([&] {
    results.push_back(ThreadRegistry::RegisterCurrentThread(11));
    results.push_back(ThreadRegistry::UnregisterCurrentThread());
    results.push_back(ThreadRegistry::FindThread(11) != nullptr);
    done.Signal();
  });
  done.Wait();
  EXPECT_EQ((std::vector<bool>{true, true, true}), results);
}

// Stop runs everything queued before it, and what those tasks post, then
// joins; a second Start is refused while running; Stop is idempotent.
TEST(FrameworkThreadTest, StopDrainsQueuedWork) {
  RegisteringThread thread("drain", 20);
  ASSERT_TRUE(thread.Start());
  EXPECT_FALSE(thread.Start());
  std::atomic<int> ran{0};
  MessageLoop* loop = thread.message_loop();
  for (int i = 0; i < 100; ++i) {
    loop->Post([&ran, loop] {
      ++ran;
      loop->Post([&ran] { ++ran; });
    });
  }
  thread.Stop();
  EXPECT_EQ(200, ran.load());
  EXPECT_EQ(nullptr, thread.message_loop());
  thread.Stop();
}

class QuitProbe : public FrameworkThread {
 public:
  QuitProbe() : FrameworkThread("probe") {}
  ~QuitProbe() override { Stop(); }
  void Cleanup() override { quit_cleanly = QuitCleanly(); }
  std::atomic<bool> quit_cleanly{false};
};

// The stop task marks the thread as having quit cleanly before Cleanup.
TEST(FrameworkThreadTest, StopMarksCleanQuit) {
  QuitProbe thread;
  ASSERT_TRUE(thread.Start());
  thread.Stop();
  EXPECT_TRUE(thread.quit_cleanly);
}

}  // namespace
}  // namespace base
