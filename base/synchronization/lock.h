// A mutual-exclusion lock and its scoped holder. On Windows a critical
// section with a spin count of 2000; elsewhere (the native parser builds) a
// std::mutex. Any thread may use a lock; it is not recursive by contract.
#ifndef BASE_SYNCHRONIZATION_LOCK_H_
#define BASE_SYNCHRONIZATION_LOCK_H_

#ifdef _WIN32
#include <windows.h>
#else
#include <mutex>
#endif

namespace base {

class Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void Acquire();
  void Release();

 private:
#ifdef _WIN32
  CRITICAL_SECTION section_;
#else
  std::mutex mutex_;
#endif
};

class ScopedLock {
 public:
  explicit ScopedLock(Lock* lock);
  explicit ScopedLock(Lock& lock) : ScopedLock(&lock) {}
  ~ScopedLock();
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  Lock* lock_;
};

}  // namespace base

#endif  // BASE_SYNCHRONIZATION_LOCK_H_
