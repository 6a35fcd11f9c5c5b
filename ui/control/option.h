// OptionTemplate is a check box in a group: the options of one window that
// share a group name have at most one selected. A click selects, never
// unselects. The group table lives in the window; an option joins it when
// it gets a window (or a group) and leaves it when it moves to another
// window, is detached or is destroyed, so the table never holds a pointer
// to an option that is gone. Option is the leaf, OptionBox the container.
// UI thread only.
#ifndef UI_CONTROL_OPTION_H_
#define UI_CONTROL_OPTION_H_

#include <string>

#include "ui/control/check_box.h"

namespace ui {

template <typename T>
class OptionTemplate : public CheckBoxTemplate<T> {
 public:
  OptionTemplate() = default;
  ~OptionTemplate() override;

  std::wstring GetType() const override;
  void SetWindow(Window* window) override;
  void SetWindow(Window* window, Control* parent, bool init) override;
  // Stores the state even when unchanged. Attached to a window: selecting
  // unselects the other members of the group (with |trigger_events| passed
  // on), then "select" when asked; unselecting always sends "unselect".
  void SetSelected(bool selected, bool trigger_events) override;
  // The click, then selected (with events).
  void Activate() override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;

  const std::wstring& GetGroup() const { return group_; }
  // Leaves the old group, joins the new one (an empty name joins none) and
  // applies the current state again with events.
  void SetGroup(const std::wstring& group);

 private:
  // After the window changed from |old_window|: the group follows.
  void FollowWindow(Window* old_window);

  std::wstring group_;
};

extern template class OptionTemplate<Control>;
extern template class OptionTemplate<Box>;

using Option = OptionTemplate<Control>;
using OptionBox = OptionTemplate<Box>;

}  // namespace ui

#endif  // UI_CONTROL_OPTION_H_
