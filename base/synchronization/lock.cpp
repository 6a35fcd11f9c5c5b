#include "base/synchronization/lock.h"

#include "base/check.h"

namespace base {

#ifdef _WIN32
Lock::Lock() { ::InitializeCriticalSectionAndSpinCount(&section_, 2000); }
Lock::~Lock() { ::DeleteCriticalSection(&section_); }
void Lock::Acquire() { ::EnterCriticalSection(&section_); }
void Lock::Release() { ::LeaveCriticalSection(&section_); }
#else
Lock::Lock() = default;
Lock::~Lock() = default;
void Lock::Acquire() { mutex_.lock(); }
void Lock::Release() { mutex_.unlock(); }
#endif

ScopedLock::ScopedLock(Lock* lock) : lock_(lock) {
  BASE_CHECK(lock);
  lock_->Acquire();
}

ScopedLock::~ScopedLock() { lock_->Release(); }

}  // namespace base
