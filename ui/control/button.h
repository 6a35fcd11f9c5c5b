// ButtonTemplate is a label that clicks: a mouse release inside it, or
// Space or Return while it has the focus, sends the click event; it takes
// the focus from the tab key, sends "menu" for a context-menu request when
// its menu is on, and hands its mouse events to its parent while its own
// mouse input is off. Button is the leaf, ButtonBox the container. UI
// thread only.
#ifndef UI_CONTROL_BUTTON_H_
#define UI_CONTROL_BUTTON_H_

#include <string>

#include "ui/control/label.h"

namespace ui {

template <typename T>
class ButtonTemplate : public LabelTemplate<T> {
 public:
  // A button's words sit in its middle; a check box's beside its mark.
  ButtonTemplate() { this->text_style_ = DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS | DT_NOCLIP | DT_SINGLELINE; }

  std::wstring GetType() const override;
  bool IsButton() const override { return true; }
  UINT ControlFlags() const override { return 1; }
  // The click event, when the control may be activated (visible and
  // enabled). The click may destroy the control.
  void Activate() override;
  void HandleMessage(EventArgs* args) override;
};

extern template class ButtonTemplate<Control>;
extern template class ButtonTemplate<Box>;

using Button = ButtonTemplate<Control>;
using ButtonBox = ButtonTemplate<Box>;

}  // namespace ui

#endif  // UI_CONTROL_BUTTON_H_
