// Posts one million tasks from another thread to a plain loop and to a UI
// loop, and to a naive mutex-plus-condition-variable queue that pops one task
// at a time; prints tasks per second and pump wake-ups per task for each.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/framework/framework_thread.h"
#include "base/framework/message_loop.h"
#include "base/framework/win_message_pump.h"
#include "base/synchronization/waitable_event.h"

namespace {

constexpr int kTasks = 1000000;

double NowSeconds() {
  LARGE_INTEGER f, c;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

std::atomic<long> g_wakes{0};

class CountingDefaultPump : public base::DefaultMessagePump {
 public:
  void Wake() override {
    ++g_wakes;
    DefaultMessagePump::Wake();
  }
};

class CountingUiPump : public base::WinUIMessagePump {
 public:
  void Wake() override {
    ++g_wakes;
    WinUIMessagePump::Wake();
  }
};

class BenchLoop : public base::MessageLoop {
 public:
  BenchLoop(base::LoopKind kind, std::shared_ptr<base::MessagePump> pump) : MessageLoop(kind, std::move(pump)) {}
};

class Maker : public base::FrameworkThread::LoopMaker {
 public:
  explicit Maker(bool ui) : ui_(ui) {}
  std::unique_ptr<base::MessageLoop> CreateLoop() override {
    if (ui_) return std::make_unique<BenchLoop>(base::kLoopUi, std::make_shared<CountingUiPump>());
    return std::make_unique<BenchLoop>(base::kLoopPlain, std::make_shared<CountingDefaultPump>());
  }

 private:
  bool ui_;
};

class BenchThread : public base::FrameworkThread {
 public:
  BenchThread() : FrameworkThread("bench") {}
  ~BenchThread() override { Stop(); }
};

double BenchLoopKind(const char* name, bool ui) {
  BenchThread thread;
  thread.StartWithLoopMaker(std::make_shared<Maker>(ui));
  base::MessageLoop* loop = thread.message_loop();
  std::atomic<int> ran{0};
  base::WaitableEvent done(true, false);
  g_wakes = 0;
  double start = NowSeconds();
  for (int i = 0; i < kTasks; ++i) {
    loop->Post([&ran, &done] {
      if (++ran == kTasks) done.Signal();
    });
  }
  done.Wait();
  double seconds = NowSeconds() - start;
  std::printf("%-28s %10.0f tasks/s  %.5f wake-ups/task\n", name, kTasks / seconds,
              static_cast<double>(g_wakes.load()) / kTasks);
  thread.Stop();
  return kTasks / seconds;
}

double BenchNaiveQueue() {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<std::function<void()>> queue;
  bool quit = false;
  long wakes = 0;
  std::atomic<int> ran{0};
  std::thread consumer([&] {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock<std::mutex> hold(mutex);
        cv.wait(hold, [&] { return quit || !queue.empty(); });
        if (queue.empty()) return;
        task = std::move(queue.front());
        queue.pop_front();
      }
      task();
    }
  });
  base::WaitableEvent done(true, false);
  double start = NowSeconds();
  for (int i = 0; i < kTasks; ++i) {
    {
      std::lock_guard<std::mutex> hold(mutex);
      queue.push_back([&ran, &done] {
        if (++ran == kTasks) done.Signal();
      });
    }
    cv.notify_one();
    ++wakes;
  }
  done.Wait();
  double seconds = NowSeconds() - start;
  {
    std::lock_guard<std::mutex> hold(mutex);
    quit = true;
  }
  cv.notify_one();
  consumer.join();
  std::printf("%-28s %10.0f tasks/s  %.5f wake-ups/task\n", "naive mutex+condvar queue", kTasks / seconds,
              static_cast<double>(wakes) / kTasks);
  return kTasks / seconds;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The consumer's side alone: a million tasks queued while the loop is held,
// then timed from release to the last task.
void BenchDrain(const char* name, bool ui) {
  BenchThread thread;
  thread.StartWithLoopMaker(std::make_shared<Maker>(ui));
  base::MessageLoop* loop = thread.message_loop();
  std::atomic<int> ran{0};
  base::WaitableEvent release(true, false), done(true, false);
  double start = 0;
  loop->Post([&] {
    release.Wait();
    start = NowSeconds();
  });
  for (int i = 0; i < kTasks; ++i) {
    loop->Post([&ran, &done] {
      if (++ran == kTasks) done.Signal();
    });
  }
  release.Signal();
  done.Wait();
  double seconds = NowSeconds() - start;
  std::printf("%-28s %10.0f tasks/s\n", name, kTasks / seconds);
  thread.Stop();
}

void BenchNaiveDrain() {
  std::mutex mutex;
  std::deque<std::function<void()>> queue;
  std::atomic<int> ran{0};
  base::WaitableEvent done(true, false);
  for (int i = 0; i < kTasks; ++i) {
    queue.push_back([&ran, &done] {
      if (++ran == kTasks) done.Signal();
    });
  }
  double start = NowSeconds();
  std::thread consumer([&] {
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard<std::mutex> hold(mutex);
        if (queue.empty()) return;
        task = std::move(queue.front());
        queue.pop_front();
      }
      task();
    }
  });
  done.Wait();
  double seconds = NowSeconds() - start;
  consumer.join();
  std::printf("%-28s %10.0f tasks/s\n", "drain: naive queue", kTasks / seconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--drain") {
    for (int round = 0; round < 3; ++round) {
      BenchNaiveDrain();
      BenchDrain("drain: plain loop", false);
      BenchDrain("drain: UI loop", true);
    }
    return 0;
  }
  // Rounds alternate the three queues so that a busy machine slows all of
  // them alike; each round's ratio to the baseline is what is compared.
  constexpr int kRounds = 7;
  std::vector<double> naive, plain, ui, plain_ratio, ui_ratio;
  for (int round = 0; round < kRounds; ++round) {
    std::printf("round %d\n", round + 1);
    naive.push_back(BenchNaiveQueue());
    plain.push_back(BenchLoopKind("plain loop (default pump)", false));
    ui.push_back(BenchLoopKind("UI loop (message pump)", true));
    plain_ratio.push_back(plain.back() / naive.back());
    ui_ratio.push_back(ui.back() / naive.back());
  }
  std::printf("median of %d rounds: naive %.1f M/s, plain %.1f M/s (%.2fx), UI %.1f M/s (%.2fx)\n",
              kRounds, Median(naive) / 1e6, Median(plain) / 1e6, Median(plain_ratio),
              Median(ui) / 1e6, Median(ui_ratio));
  return 0;
}
