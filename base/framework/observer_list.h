// A list of observers that tolerates additions and removals while it is
// notifying: removed entries become null and are squeezed out once the
// outermost notification ends. Single-threaded: the owner's thread only.
#ifndef BASE_FRAMEWORK_OBSERVER_LIST_H_
#define BASE_FRAMEWORK_OBSERVER_LIST_H_

#include <algorithm>
#include <vector>

#include "base/check.h"

namespace base {

template <typename T>
class ObserverList {
 public:
  ObserverList() = default;
  virtual ~ObserverList() = default;
  ObserverList(const ObserverList&) = delete;
  ObserverList& operator=(const ObserverList&) = delete;

  void AddObserver(T* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
      observers_.push_back(observer);
  }

  void RemoveObserver(T* observer) {
    auto it = std::find(observers_.begin(), observers_.end(), observer);
    if (it == observers_.end()) return;
    if (lazy_erase_ > 0)
      *it = nullptr;
    else
      observers_.erase(it);
  }

  bool HasObserver(T* observer) const {
    return std::find(observers_.begin(), observers_.end(), observer) != observers_.end();
  }

  size_t size() const { return observers_.size(); }

  // Calls |fn| on every live observer, including ones added meanwhile.
  template <typename Fn>
  void Notify(Fn fn) {
    if (observers_.empty()) return;  // the common case, once per task
    ++lazy_erase_;
    for (size_t i = 0; i < observers_.size(); ++i) {
      if (observers_[i]) fn(observers_[i]);
    }
    BASE_CHECK(lazy_erase_ > 0);
    if (--lazy_erase_ == 0) Compact();
  }

 protected:
  virtual void Compact() {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), nullptr), observers_.end());
  }

 private:
  std::vector<T*> observers_;
  int lazy_erase_ = 0;
};

}  // namespace base

#endif  // BASE_FRAMEWORK_OBSERVER_LIST_H_
