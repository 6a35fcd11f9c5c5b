#include "base/framework/message_loop.h"

#include "base/check.h"
#include "base/framework/message_loop_proxy.h"
#include "base/framework/win_message_pump.h"
#include "base/thread/thread_local.h"

namespace base {
namespace {

LazyThreadLocalPointer<MessageLoop> g_lazy_ptr;

}  // namespace

MessageLoop::MessageLoop() : MessageLoop(kLoopPlain, std::make_shared<DefaultMessagePump>()) {}

MessageLoop::MessageLoop(LoopKind kind, std::shared_ptr<MessagePump> pump)
    : kind_(kind), pump_(std::move(pump)) {
  BASE_CHECK(g_lazy_ptr.Pointer()->Get() == NULL);
  g_lazy_ptr.Set(this);
  proxy_ = MessageLoopProxy::Create(this);
}

MessageLoop::~MessageLoop() {
  CheckOnLoopThread();
  bool has_work = false;
  for (int pass = 0; pass < 100; ++pass) {
    DiscardQueuedTasks();
    RefillReadyQueue();
    has_work = DiscardQueuedTasks();
    if (!has_work) break;
  }
  BASE_CHECK(!has_work);
  destruction_observers_.Notify([](DestructionObserver* o) { o->WillDestroyCurrentLoop(); });
  proxy_->OnLoopDestroyed();
  proxy_.reset();
  g_lazy_ptr.Set(nullptr);
}

MessageLoop* MessageLoop::current() { return g_lazy_ptr.Get(); }

void MessageLoop::CheckOnLoopThread() const { BASE_CHECK(this == current()); }

bool MessageLoop::IsNested() const { return state_ && state_->run_depth > 1; }

void MessageLoop::Run() { RunWithHook(nullptr); }

void MessageLoop::RunWithHook(MessageHook* hook) {
  CheckOnLoopThread();
  RunRecord record;
  record.run_depth = state_ ? state_->run_depth + 1 : 1;
  record.message_hook = hook;
  RunRecord* previous = state_;
  state_ = &record;
  if (hook && kind_ == kLoopUi)
    static_cast<WinUIMessagePump*>(pump_.get())->RunWithHook(this, hook);
  else
    pump_->Run(this);
  state_ = previous;
}

void MessageLoop::Quit() {
  CheckOnLoopThread();
  if (state_) state_->quit_requested = true;
}

void MessageLoop::Post(Closure task) { PostTask(std::move(task), Duration(), true); }

void MessageLoop::PostAfter(Closure task, Duration delay) {
  PostTask(std::move(task), delay, true);
}

void MessageLoop::PostHeld(Closure task) { PostTask(std::move(task), Duration(), false); }

void MessageLoop::PostHeldAfter(Closure task, Duration delay) {
  PostTask(std::move(task), delay, false);
}

void MessageLoop::PostTask(Closure task, Duration delay, bool may_nest) {
  QueuedTask queued;
  if (delay > Duration()) queued.due_time = TickClock::Now() + delay;
  queued.may_nest = may_nest;
  queued.task = std::move(task);
  AddToInbox(std::move(queued));
}

void MessageLoop::AddToInbox(QueuedTask task) {
  {
    ScopedLock hold(inbox_lock_);
    bool was_empty = inbox_.empty();
    inbox_.push_back(std::move(task));
    if (!was_empty) return;  // a wake-up is already on its way
    inbox_filled_.store(true);
  }
  // The pump lives as long as the loop, and posting to a loop that is being
  // destroyed is only allowed through its proxy, which holds it off.
  pump_->Wake();
}

bool MessageLoop::ReadyQueueEmpty() const { return ready_next_ == ready_queue_.size(); }

QueuedTask MessageLoop::TakeReadyTask() {
  QueuedTask task = std::move(ready_queue_[ready_next_++]);
  return task;
}

void MessageLoop::RefillReadyQueue() {
  if (!ReadyQueueEmpty()) return;
  ready_queue_.clear();
  ready_next_ = 0;
  // A burst may have grown the queue far beyond the usual; give that back.
  // The posters get this vector next, so it keeps a working capacity.
  if (ready_queue_.capacity() > kKeptQueueCapacity) {
    std::vector<QueuedTask>().swap(ready_queue_);
    ready_queue_.reserve(kKeptQueueCapacity);
  }
  // Sequentially consistent, like the pump's sleeping flag: a post either
  // shows here or sees the pump asleep and wakes it.
  if (!inbox_filled_.load()) return;
  ScopedLock hold(inbox_lock_);
  ready_queue_.swap(inbox_);
  inbox_filled_.store(false);
}

bool MessageLoop::RunReadyWork() {
  if (!nestable_tasks_allowed_) return false;
  RefillReadyQueue();
  if (ReadyQueueEmpty()) return false;
  for (;;) {
    QueuedTask task = TakeReadyTask();
    if (!task.due_time.IsNull()) {
      task.sequence = next_sequence_++;
      TickClock due = task.due_time;
      int sequence = task.sequence;
      timed_queue_.push(std::move(task));
      if (timed_queue_.top().sequence == sequence) pump_->WakeAt(due);
    } else if (task.may_nest || state_->run_depth == 1) {
      ExecuteTask(task);
      return true;
    } else {
      held_queue_.push_back(std::move(task));
    }
    if (ReadyQueueEmpty()) {
      RefillReadyQueue();
      if (ReadyQueueEmpty()) return false;
    }
  }
}

bool MessageLoop::RunDueWork(TickClock* next_due) {
  if (timed_queue_.empty()) {
    cached_now_ = TickClock();
    *next_due = TickClock();
    return false;
  }
  TickClock due = timed_queue_.top().due_time;
  // Inside a task nothing runs, but the pump must keep its timer for the
  // tasks still queued, or a later modal loop would never see them due.
  if (!nestable_tasks_allowed_) {
    *next_due = due;
    return false;
  }
  if (due > cached_now_) {
    cached_now_ = TickClock::Now();
    if (due > cached_now_) {
      *next_due = due;
      return false;
    }
  }
  QueuedTask task = timed_queue_.top();
  timed_queue_.pop();
  *next_due = timed_queue_.empty() ? TickClock() : timed_queue_.top().due_time;
  if (task.may_nest || state_->run_depth == 1) {
    ExecuteTask(task);
    return true;
  }
  held_queue_.push_back(std::move(task));
  return false;
}

bool MessageLoop::RunIdleWork() {
  if (state_->run_depth == 1 && !held_queue_.empty()) {
    QueuedTask task = std::move(held_queue_.front());
    held_queue_.pop_front();
    ExecuteTask(task);
    return true;
  }
  if (state_->quit_requested) pump_->Quit();
  return false;
}

void MessageLoop::ExecuteTask(const QueuedTask& task) {
  BASE_CHECK(nestable_tasks_allowed_);
  BASE_CHECK(task.task && "empty closure");
  nestable_tasks_allowed_ = false;
  task_observers_.Notify([](TaskObserver* o) { o->WillRunTask(); });
  task.task();
  task_observers_.Notify([](TaskObserver* o) { o->DidRunTask(); });
  nestable_tasks_allowed_ = true;
}

bool MessageLoop::DiscardQueuedTasks() {
  while (!ReadyQueueEmpty()) {
    QueuedTask task = TakeReadyTask();
    if (!task.due_time.IsNull()) {
      task.sequence = next_sequence_++;
      timed_queue_.push(std::move(task));
    }
    // Otherwise the closure is destroyed here, unrun.
  }
  held_queue_.clear();
  bool had_delayed = !timed_queue_.empty();
  while (!timed_queue_.empty()) timed_queue_.pop();
  return had_delayed;
}

UIMessageLoop::UIMessageLoop() : MessageLoop(kLoopUi, std::make_shared<WinUIMessagePump>()) {}

UIMessageLoop* UIMessageLoop::current() {
  MessageLoop* loop = MessageLoop::current();
  return loop && loop->kind() == kLoopUi ? static_cast<UIMessageLoop*>(loop) : nullptr;
}

WinUIMessagePump* UIMessageLoop::ui_pump() const { return static_cast<WinUIMessagePump*>(pump()); }

IOMessageLoop::IOMessageLoop() : MessageLoop(kLoopIo, std::make_shared<WinIOMessagePump>()) {}

IOMessageLoop* IOMessageLoop::current() {
  MessageLoop* loop = MessageLoop::current();
  return loop && loop->kind() == kLoopIo ? static_cast<IOMessageLoop*>(loop) : nullptr;
}

WinIOMessagePump* IOMessageLoop::io_pump() const { return static_cast<WinIOMessagePump*>(pump()); }

}  // namespace base
