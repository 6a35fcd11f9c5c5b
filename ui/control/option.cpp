#include "ui/control/option.h"

#include <algorithm>
#include <type_traits>
#include <vector>

#include "ui/window/window.h"

namespace ui {

namespace {

bool IsMember(const Window* window, const std::wstring& group, const Control* control) {
  const std::vector<Control*>* members = window->GetOptionGroup(group);
  return members && std::find(members->begin(), members->end(), control) != members->end();
}

}  // namespace

template <typename T>
OptionTemplate<T>::~OptionTemplate() {
  if (Window* window = this->GetWindow(); window && !group_.empty()) window->RemoveOptionGroup(group_, this);
}

template <typename T>
std::wstring OptionTemplate<T>::GetType() const {
  return std::is_base_of_v<Box, T> ? L"OptionBox" : L"Option";
}

template <typename T>
void OptionTemplate<T>::SetWindow(Window* window) {
  Window* old_window = this->GetWindow();
  CheckBoxTemplate<T>::SetWindow(window);
  FollowWindow(old_window);
}

template <typename T>
void OptionTemplate<T>::SetWindow(Window* window, Control* parent, bool init) {
  Window* old_window = this->GetWindow();
  CheckBoxTemplate<T>::SetWindow(window, parent, init);
  FollowWindow(old_window);
}

template <typename T>
void OptionTemplate<T>::FollowWindow(Window* old_window) {
  if (group_.empty()) return;
  Window* window = this->GetWindow();
  if (old_window && old_window != window) old_window->RemoveOptionGroup(group_, this);
  // Also when the window is the same: a detached tree put back was dropped
  // from the table.
  if (window) window->AddOptionGroup(group_, this);
}

template <typename T>
void OptionTemplate<T>::SetSelected(bool selected, bool trigger_events) {
  this->selected_ = selected;
  if (Window* window = this->GetWindow()) {
    std::weak_ptr<base::WeakFlag> alive = this->AliveFlag();
    const std::wstring group = group_;
    if (selected && !group.empty()) {
      if (const std::vector<Control*>* members = window->GetOptionGroup(group)) {
        // A handler of an unselected member may change the group (or
        // destroy members): walk a copy and skip who has left.
        const std::vector<Control*> others = *members;
        for (Control* other : others) {
          if (other == this || !IsMember(window, group, other)) continue;
          if (ISelectable* member = dynamic_cast<ISelectable*>(other)) member->SetSelected(false, trigger_events);
          if (alive.expired()) return;
        }
      }
    }
    if (selected) {
      if (trigger_events) this->SendEvent(kEventSelect);
    } else {
      this->SendEvent(kEventUnSelect);
    }
    if (alive.expired()) return;
  }
  this->Invalidate();
}

template <typename T>
void OptionTemplate<T>::Activate() {
  if (!this->CanActivate()) return;
  std::weak_ptr<base::WeakFlag> alive = this->AliveFlag();
  ButtonTemplate<T>::Activate();
  if (alive.expired()) return;
  SetSelected(true, true);
}

template <typename T>
void OptionTemplate<T>::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"group")
    SetGroup(value);
  else
    CheckBoxTemplate<T>::SetAttribute(name, value);
}

template <typename T>
void OptionTemplate<T>::SetGroup(const std::wstring& group) {
  if (group == group_) return;
  Window* window = this->GetWindow();
  if (window && !group_.empty()) window->RemoveOptionGroup(group_, this);
  group_ = group;
  if (window && !group_.empty()) window->AddOptionGroup(group_, this);
  SetSelected(this->selected_, true);
}

template class OptionTemplate<Control>;
template class OptionTemplate<Box>;

}  // namespace ui
