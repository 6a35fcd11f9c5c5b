#include "base/thread/thread.h"

#include <process.h>

#include "base/check.h"

namespace base {

Thread::~Thread() { Close(); }

unsigned __stdcall Thread::ThreadMain(void* arg) {
  Thread* the_thread = static_cast<Thread*>(arg);
  BASE_CHECK(the_thread);
  the_thread->Run();
  _endthreadex(0);
  return 0;
}

bool Thread::Create() {
  unsigned id = 0;
  uintptr_t handle = _beginthreadex(nullptr, 0, &ThreadMain, this, 0, &id);
  if (handle == 0 || handle == 1) {
    thread_handle_ = nullptr;
    thread_id_ = 0;
    return false;
  }
  thread_handle_ = reinterpret_cast<HANDLE>(handle);
  // The new thread may already have stored its id; both writes agree.
  thread_id_ = id;
  if (priority_ > 0) ::SetThreadPriority(thread_handle_, priority_);
  return true;
}

void Thread::Close() {
  if (!thread_handle_) return;
  if (::WaitForSingleObject(thread_handle_, INFINITE) != WAIT_OBJECT_0)
    ::TerminateThread(thread_handle_, 0);
  ::CloseHandle(thread_handle_);
  thread_handle_ = nullptr;
  thread_id_ = 0;
}

}  // namespace base
