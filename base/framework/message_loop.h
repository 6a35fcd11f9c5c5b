// A thread's task queue: immediate, delayed and non-nestable ("held") tasks,
// run by a pump that also waits for work. A loop belongs to the thread that
// created it; only posting (here or through its MessageLoopProxy) is allowed
// from other threads. One thread has at most one loop (MessageLoop::current()).
#ifndef BASE_FRAMEWORK_MESSAGE_LOOP_H_
#define BASE_FRAMEWORK_MESSAGE_LOOP_H_

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <queue>
#include <vector>

#include "base/framework/message_pump.h"
#include "base/framework/observer_list.h"
#include "base/synchronization/lock.h"
#include "base/time/time.h"

namespace base {

class MessageLoopProxy;
class MessageHook;
class WinUIMessagePump;
class WinIOMessagePump;

using Closure = std::function<void()>;

enum LoopKind {
  kLoopPlain = 0,
  kLoopUi = 1,
  kLoopIo = 2,
  kLoopCustom = 3,
};

struct QueuedTask {
  TickClock due_time;  // zero for an immediate task
  int sequence = 0;    // order among equal due times
  bool may_nest = true;
  Closure task;
};

class MessageLoop : public MessagePump::Delegate {
 public:
  class TaskObserver {
   public:
    virtual ~TaskObserver() = default;
    virtual void WillRunTask() = 0;
    virtual void DidRunTask() = 0;
  };
  class DestructionObserver {
   public:
    virtual ~DestructionObserver() = default;
    virtual void WillDestroyCurrentLoop() = 0;
  };

  MessageLoop();
  ~MessageLoop() override;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  static MessageLoop* current();

  // Loop thread only; nestable.
  void Run();
  void RunWithHook(MessageHook* hook);
  // Loop thread only: the innermost Run returns once it runs out of ready work.
  void Quit();

  // Any thread.
  void Post(Closure task);
  void PostAfter(Closure task, Duration delay);
  void PostHeld(Closure task);
  void PostHeldAfter(Closure task, Duration delay);

  std::shared_ptr<MessageLoopProxy> proxy() const { return proxy_; }
  LoopKind kind() const { return kind_; }
  bool IsNested() const;

  void AddTaskObserver(TaskObserver* o) { task_observers_.AddObserver(o); }
  void RemoveTaskObserver(TaskObserver* o) { task_observers_.RemoveObserver(o); }
  void AddDestructionObserver(DestructionObserver* o) { destruction_observers_.AddObserver(o); }
  void RemoveDestructionObserver(DestructionObserver* o) { destruction_observers_.RemoveObserver(o); }

 protected:
  MessageLoop(LoopKind kind, std::shared_ptr<MessagePump> pump);

  bool RunReadyWork() override;
  bool RunDueWork(TickClock* next_due) override;
  bool RunIdleWork() override;
  virtual void AddToInbox(QueuedTask task);

  MessagePump* pump() const { return pump_.get(); }

 private:
  struct RunRecord {
    int run_depth = 1;
    bool quit_requested = false;
    MessageHook* message_hook = nullptr;
  };

  struct LaterFirst {
    bool operator()(const QueuedTask& a, const QueuedTask& b) const {
      if (a.due_time != b.due_time) return a.due_time > b.due_time;
      return a.sequence > b.sequence;
    }
  };

  void PostTask(Closure task, Duration delay, bool may_nest);
  static constexpr size_t kKeptQueueCapacity = 4096;
  static constexpr size_t kCacheLine = 64;

  bool ReadyQueueEmpty() const;
  QueuedTask TakeReadyTask();
  void RefillReadyQueue();
  void ExecuteTask(const QueuedTask& task);
  bool DiscardQueuedTasks();
  void CheckOnLoopThread() const;

  LoopKind kind_;
  RunRecord* state_ = nullptr;
  std::shared_ptr<MessagePump> pump_;
  bool nestable_tasks_allowed_ = true;

  // Vectors, not deques: the two swap places on every refill and keep their
  // capacity, so a steady stream of posts allocates nothing per task.
  // Posters write the inbox, the loop thread spins on the flag and writes its
  // own queues: each group has a cache line of its own, or every post and
  // every task would pull the other thread's line away.
  alignas(kCacheLine) Lock inbox_lock_;  // Protects |inbox_|.
  std::vector<QueuedTask> inbox_;
  // Whether |inbox_| holds tasks: written under the lock, read without it, so
  // that a loop looking for work does not fight posters for the lock.
  alignas(kCacheLine) std::atomic<bool> inbox_filled_{false};

  alignas(kCacheLine) std::vector<QueuedTask> ready_queue_;  // runs from |ready_next_| on
  size_t ready_next_ = 0;
  std::deque<QueuedTask> held_queue_;
  std::priority_queue<QueuedTask, std::vector<QueuedTask>, LaterFirst> timed_queue_;
  int next_sequence_ = 0;
  TickClock cached_now_;

  ObserverList<TaskObserver> task_observers_;
  ObserverList<DestructionObserver> destruction_observers_;

  std::shared_ptr<MessageLoopProxy> proxy_;
};

// Loop driven by the Windows message queue; required for windows and dialogs.
class UIMessageLoop : public MessageLoop {
 public:
  UIMessageLoop();
  static UIMessageLoop* current();
  WinUIMessagePump* ui_pump() const;
};

// Loop driven by an I/O completion port.
class IOMessageLoop : public MessageLoop {
 public:
  IOMessageLoop();
  static IOMessageLoop* current();
  WinIOMessagePump* io_pump() const;
};

}  // namespace base

#endif  // BASE_FRAMEWORK_MESSAGE_LOOP_H_
