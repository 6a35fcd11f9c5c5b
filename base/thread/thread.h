// The operating-system thread wrapper. Create() starts Run() on a new thread;
// Close() joins it. Owned and driven by one controlling thread; Run() itself
// executes on the new thread. Subclasses must join before they are destroyed.
#ifndef BASE_THREAD_THREAD_H_
#define BASE_THREAD_THREAD_H_

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace base {

class Thread {
 public:
  Thread() = default;
  virtual ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  virtual void Run() = 0;

  bool Create();
  // Waits for the thread without limit (terminating it if the wait fails).
  void Close();

  uint32_t thread_id() const { return thread_id_.load(); }
  HANDLE thread_handle() const { return thread_handle_; }
  void set_priority(int priority) { priority_ = priority; }

 protected:
  // The thread body stores its own id while the creator may read it.
  void set_thread_id(uint32_t id) { thread_id_.store(id); }

 private:
  static unsigned __stdcall ThreadMain(void* arg);

  std::atomic<uint32_t> thread_id_{0};
  HANDLE thread_handle_ = nullptr;
  int priority_ = 0;
};

}  // namespace base

#endif  // BASE_THREAD_THREAD_H_
