// Weak callbacks: a callable bound to an object that silently does nothing
// once the object is gone. The object derives from SupportWeakCallback and
// holds the only strong reference to its flag; callbacks hold weak ones.
//
//   auto task = MakeWeak([this] { OnTimer(); });  // skipped after ~Owner()
//
// Checking and calling are not atomic against the owner's destruction: an
// owner must not be destroyed on one thread while its callback runs on another.
#ifndef BASE_CALLBACK_WEAK_CALLBACK_H_
#define BASE_CALLBACK_WEAK_CALLBACK_H_

#include <memory>
#include <type_traits>
#include <utility>

namespace base {

struct WeakFlag {};

template <typename F>
class WeakCallback {
 public:
  WeakCallback(std::weak_ptr<WeakFlag> flag, F f) : flag_(std::move(flag)), f_(std::move(f)) {}

  template <typename... Args>
  auto operator()(Args&&... args) const -> decltype(std::declval<const F&>()(std::forward<Args>(args)...)) {
    using Result = decltype(f_(std::forward<Args>(args)...));
    if (flag_.expired()) {
      if constexpr (std::is_void_v<Result>) {
        return;
      } else {
        return Result();
      }
    }
    return f_(std::forward<Args>(args)...);
  }

  bool Expired() const { return flag_.expired(); }

 private:
  std::weak_ptr<WeakFlag> flag_;
  F f_;
};

class SupportWeakCallback {
 public:
  SupportWeakCallback() = default;
  virtual ~SupportWeakCallback() = default;
  // Copies get flags of their own: callbacks follow the object they were made from.
  SupportWeakCallback(const SupportWeakCallback&) {}
  SupportWeakCallback& operator=(const SupportWeakCallback&) { return *this; }

  std::weak_ptr<WeakFlag> AliveFlag() {
    if (!flag_) flag_ = std::make_shared<WeakFlag>();
    return flag_;
  }

  template <typename F>
  WeakCallback<std::decay_t<F>> MakeWeak(F&& f) {
    return WeakCallback<std::decay_t<F>>(AliveFlag(), std::forward<F>(f));
  }

 protected:
  void DropFlag() { flag_.reset(); }
  // Whether a flag exists, without making one as AliveFlag() would.
  bool HasFlag() const { return flag_ != nullptr; }

 private:
  std::shared_ptr<WeakFlag> flag_;
};

// A stand-alone cancel token: Cancel() kills every callback made so far, and
// the next MakeWeak starts a new generation.
class WeakCallbackFlag final : public SupportWeakCallback {
 public:
  void Cancel() { DropFlag(); }
  // Whether callbacks were made since construction or the last Cancel().
  bool HasUsed() const { return HasFlag(); }
};

}  // namespace base

#endif  // BASE_CALLBACK_WEAK_CALLBACK_H_
