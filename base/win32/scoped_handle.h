// RAII owners for Windows handles. ScopedGeneric owns one value of any handle
// kind described by a traits type; ScopedHandle is the CloseHandle flavour.
// An owner belongs to whoever holds it; it is not shared between threads.
#ifndef BASE_WIN32_SCOPED_HANDLE_H_
#define BASE_WIN32_SCOPED_HANDLE_H_

#include <windows.h>

#include <utility>

namespace base {
namespace win32 {

template <typename T, typename Traits>
class ScopedGeneric {
 public:
  ScopedGeneric() : value_(Traits::InvalidValue()) {}
  explicit ScopedGeneric(T value) : value_(value) {}
  ~ScopedGeneric() { Reset(); }
  ScopedGeneric(ScopedGeneric&& other) noexcept : value_(other.Release()) {}
  ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ScopedGeneric(const ScopedGeneric&) = delete;
  ScopedGeneric& operator=(const ScopedGeneric&) = delete;

  T Get() const { return value_; }
  bool Valid() const { return value_ != Traits::InvalidValue(); }
  explicit operator bool() const { return Valid(); }
  void Reset(T value = Traits::InvalidValue()) {
    if (Valid()) Traits::Free(value_);
    value_ = value;
  }
  T Release() { return std::exchange(value_, Traits::InvalidValue()); }
  // For out-parameters: frees the current value first.
  T* Receive() {
    Reset();
    return &value_;
  }

 private:
  T value_;
};

struct HandleTraits {
  // CreateFile reports failure with INVALID_HANDLE_VALUE, most others with
  // null; both count as "no handle" on construction (see ScopedHandle).
  static HANDLE InvalidValue() { return nullptr; }
  static void Free(HANDLE h) { ::CloseHandle(h); }
};

class ScopedHandle : public ScopedGeneric<HANDLE, HandleTraits> {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE h) : ScopedGeneric(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  void Reset(HANDLE h = nullptr) {
    ScopedGeneric::Reset(h == INVALID_HANDLE_VALUE ? nullptr : h);
  }
};

struct ModuleTraits {
  static HMODULE InvalidValue() { return nullptr; }
  static void Free(HMODULE h) { ::FreeLibrary(h); }
};
using ScopedLibrary = ScopedGeneric<HMODULE, ModuleTraits>;

// Owner of a COM interface pointer (Release on reset).
template <typename T>
class ScopedComPtr {
 public:
  ScopedComPtr() = default;
  ~ScopedComPtr() { Reset(); }
  ScopedComPtr(const ScopedComPtr&) = delete;
  ScopedComPtr& operator=(const ScopedComPtr&) = delete;
  T* Get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  void Reset() {
    if (ptr_) ptr_->Release();
    ptr_ = nullptr;
  }
  T** Receive() {
    Reset();
    return &ptr_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

 private:
  T* ptr_ = nullptr;
};

}  // namespace win32
}  // namespace base

#endif  // BASE_WIN32_SCOPED_HANDLE_H_
