#include "base/thread/thread_local.h"

#include "base/check.h"

namespace base {

ThreadLocalSlot::ThreadLocalSlot() : slot_(::TlsAlloc()) {
  BASE_CHECK(slot_ != TLS_OUT_OF_INDEXES && "slot != TLS_OUT_OF_INDEXES");
}

ThreadLocalSlot::~ThreadLocalSlot() {
  BOOL freed = ::TlsFree(slot_);
  BASE_CHECK(freed && "TlsFree");
}

void* ThreadLocalSlot::Get() const { return ::TlsGetValue(slot_); }

void ThreadLocalSlot::Set(void* value) {
  BOOL stored = ::TlsSetValue(slot_, value);
  BASE_CHECK(stored && "TlsSetValue");
}

}  // namespace base
