// A handle for posting to a message loop from any thread, which may outlive
// the loop: once the loop is gone every post returns false. The loop owns its
// proxy through a shared pointer whose deleter is DeleteLater, so the last
// holder on another thread has the proxy deleted on the loop's own thread.
#ifndef BASE_FRAMEWORK_MESSAGE_LOOP_PROXY_H_
#define BASE_FRAMEWORK_MESSAGE_LOOP_PROXY_H_

#include <memory>

#include "base/callback/weak_callback.h"
#include "base/framework/message_loop.h"
#include "base/synchronization/lock.h"

namespace base {

class MessageLoopProxy : public SupportWeakCallback {
 public:
  ~MessageLoopProxy() override;

  virtual bool Post(Closure task);
  virtual bool PostAfter(Closure task, Duration delay);
  virtual bool PostHeld(Closure task);
  virtual bool PostHeldAfter(Closure task, Duration delay);
  virtual bool IsOnLoopThread() const;
  // Called by the loop as it is destroyed.
  virtual void OnLoopDestroyed();
  virtual void DeleteLater();

  // Test seam: called on destruction.
  void set_destruction_callback(std::function<void()> callback) {
    destruction_callback_ = std::move(callback);
  }

 protected:
  explicit MessageLoopProxy(MessageLoop* target) : target_loop_(target) {}

 private:
  // Only a loop makes its proxy, and it tells only that one of its end: a
  // second proxy of the same loop would keep a dangling pointer. The shared
  // pointer's deleter is DeleteLater.
  friend class MessageLoop;
  static std::shared_ptr<MessageLoopProxy> Create(MessageLoop* target);

  // Called with |lock_| held.
  void PostDeletion();

  mutable Lock lock_;          // Protects |target_loop_|.
  MessageLoop* target_loop_;
  std::function<void()> destruction_callback_;
};

}  // namespace base

#endif  // BASE_FRAMEWORK_MESSAGE_LOOP_PROXY_H_
