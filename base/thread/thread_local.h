// Thread-local pointer slots and the process-wide lazily allocated slot that
// the message loop and the framework threads keep their per-thread state in.
// A slot may be used from any thread; each thread sees its own pointer.
#ifndef BASE_THREAD_THREAD_LOCAL_H_
#define BASE_THREAD_THREAD_LOCAL_H_

#include <windows.h>

#include <atomic>

namespace base {

class ThreadLocalSlot {
 public:
  ThreadLocalSlot();
  ~ThreadLocalSlot();
  ThreadLocalSlot(const ThreadLocalSlot&) = delete;
  ThreadLocalSlot& operator=(const ThreadLocalSlot&) = delete;
  void* Get() const;
  void Set(void* value);

 private:
  DWORD slot_;
};

// Allocated by the first caller (state 0 -> 1 by compare-and-exchange, then 2
// once published); concurrent first callers yield until it is ready. Never
// freed: it lives until the process ends.
template <typename T>
class LazyThreadLocalPointer {
 public:
  constexpr LazyThreadLocalPointer() = default;
  T* Get() { return static_cast<T*>(Slot()->Get()); }
  void Set(T* value) { Slot()->Set(value); }
  ThreadLocalSlot* Pointer() { return Slot(); }

 private:
  ThreadLocalSlot* Slot() {
    if (state_.load(std::memory_order_acquire) == 2) return slot_;
    int expected = 0;
    if (state_.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
      slot_ = new ThreadLocalSlot();  // intentionally leaked: no at-exit order to respect
      state_.store(2, std::memory_order_release);
      return slot_;
    }
    while (state_.load(std::memory_order_acquire) != 2) ::Sleep(0);
    return slot_;
  }

  std::atomic<int> state_{0};
  ThreadLocalSlot* slot_ = nullptr;
};

}  // namespace base

#endif  // BASE_THREAD_THREAD_LOCAL_H_
