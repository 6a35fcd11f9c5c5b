#include "base/framework/message_loop_proxy.h"

namespace base {

std::shared_ptr<MessageLoopProxy> MessageLoopProxy::Create(MessageLoop* target) {
  return std::shared_ptr<MessageLoopProxy>(new MessageLoopProxy(target),
                                           [](MessageLoopProxy* p) { p->DeleteLater(); });
}

MessageLoopProxy::~MessageLoopProxy() {
  if (destruction_callback_) destruction_callback_();
}

bool MessageLoopProxy::Post(Closure task) {
  ScopedLock hold(lock_);
  if (!target_loop_) return false;
  target_loop_->Post(std::move(task));
  return true;
}

bool MessageLoopProxy::PostAfter(Closure task, Duration delay) {
  if (delay == Duration()) return Post(std::move(task));
  ScopedLock hold(lock_);
  if (!target_loop_) return false;
  target_loop_->PostAfter(std::move(task), delay);
  return true;
}

bool MessageLoopProxy::PostHeld(Closure task) {
  ScopedLock hold(lock_);
  if (!target_loop_) return false;
  target_loop_->PostHeld(std::move(task));
  return true;
}

bool MessageLoopProxy::PostHeldAfter(Closure task, Duration delay) {
  if (delay == Duration()) return PostHeld(std::move(task));
  ScopedLock hold(lock_);
  if (!target_loop_) return false;
  target_loop_->PostHeldAfter(std::move(task), delay);
  return true;
}

bool MessageLoopProxy::IsOnLoopThread() const {
  ScopedLock hold(lock_);
  return target_loop_ != nullptr && target_loop_ == MessageLoop::current();
}

void MessageLoopProxy::OnLoopDestroyed() {
  ScopedLock hold(lock_);
  target_loop_ = nullptr;
}

void MessageLoopProxy::DeleteLater() {
  {
    ScopedLock hold(lock_);
    if (target_loop_ && target_loop_ != MessageLoop::current()) {
      PostDeletion();
      return;
    }
  }
  delete this;
}

void MessageLoopProxy::PostDeletion() {
  // The task owns the proxy: whether it runs or the loop discards it, the
  // proxy is deleted on the loop's thread and never leaks. The deleter
  // waits for this lock first, since the loop may finish the task before
  // this thread has let go of it.
  std::shared_ptr<MessageLoopProxy> owner(this, [](MessageLoopProxy* proxy) {
    { ScopedLock wait(proxy->lock_); }
    delete proxy;
  });
  target_loop_->PostHeld([owner = std::move(owner)] {});
}

}  // namespace base
