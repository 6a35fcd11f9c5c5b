// A named thread that owns one message loop, and the registry that gives
// framework threads well-known integer ids. Start(), Stop() and the
// destructor are called by the controlling thread; Init() and Cleanup() run on
// the thread itself, around its loop. Subclasses must not be destroyed while
// their thread runs: the destructor stops and joins it.
#ifndef BASE_FRAMEWORK_FRAMEWORK_THREAD_H_
#define BASE_FRAMEWORK_FRAMEWORK_THREAD_H_

#include <atomic>
#include <memory>
#include <string>

#include "base/callback/weak_callback.h"
#include "base/framework/message_loop.h"
#include "base/framework/win_message_pump.h"
#include "base/synchronization/lock.h"
#include "base/synchronization/waitable_event.h"
#include "base/thread/thread.h"

namespace base {

constexpr int kUiThreadId = 0;
constexpr int kMiscThreadId = 1;

class FrameworkThread : public Thread, public virtual SupportWeakCallback {
 public:
  class LoopMaker {
   public:
    virtual ~LoopMaker() = default;
    virtual std::unique_ptr<MessageLoop> CreateLoop() = 0;
  };

  explicit FrameworkThread(const char* name);
  ~FrameworkThread() override;

  void Run() override;
  // Runs on the thread before its loop pumps / after it stopped.
  virtual void Init() {}
  virtual void Cleanup() {}
  // Runs on the thread right after its loop exists, before Init; no
  // subclass in the installer needs it.
  virtual void OnLoopCreated() {}

  // Starts a thread with a default loop; returns once the loop exists and
  // Init has run. False when already running or the thread cannot be made.
  bool Start();
  // The same with another loop kind (UI loops on worker threads in tests).
  bool StartWithLoop(LoopKind kind);
  bool StartWithLoopMaker(std::shared_ptr<LoopMaker> maker);
  // Runs the thread body on the calling thread until its loop quits.
  void RunOnCallingThread(LoopKind kind, MessageHook* dispatcher);
  // Lets queued work finish, quits the loop and joins. Idempotent.
  void Stop();

  // Records on the calling framework thread whether it quit as intended.
  static void MarkQuitCleanly(bool clean);
  // The calling framework thread's own object, or null.
  static FrameworkThread* Current();
  // Whether the calling thread quit cleanly (false off framework threads).
  static bool QuitCleanly();

  MessageLoop* message_loop() const { return message_loop_.load(); }
  const std::string& name() const { return name_; }
  bool running() const { return running_.load(); }

 private:
  bool StartInternal(LoopKind kind, std::shared_ptr<LoopMaker> maker);
  void QuitOnThread();

  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  LoopKind loop_kind_ = kLoopPlain;
  Lock loop_lock_;  // Held while Stop posts, so the loop cannot die under it.
  std::atomic<MessageLoop*> message_loop_{nullptr};
  std::shared_ptr<LoopMaker> custom_loop_maker_;
  MessageHook* message_hook_ = nullptr;
  WaitableEvent event_{false, false};
  std::string name_;
};

// Well-known ids for framework threads. Callable on framework threads only.
class ThreadRegistry {
 public:
  static bool RegisterCurrentThread(int id);
  static bool UnregisterCurrentThread();
  // The thread registered under |id|, or null.
  static FrameworkThread* FindThread(int id);
  // The id the calling thread is registered under, or -1.
  static int CurrentThreadId();
};

}  // namespace base

#endif  // BASE_FRAMEWORK_FRAMEWORK_THREAD_H_
