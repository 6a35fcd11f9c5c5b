// TabBox shows one child at a time: the selected one is on (shown, mouse
// input, alpha 255), every other child is turned off. UI thread only.
#ifndef UI_BOX_TAB_BOX_H_
#define UI_BOX_TAB_BOX_H_

#include <functional>

#include "ui/box/box.h"

namespace ui {

class TabBox : public Box {
 public:
  TabBox();
  std::wstring GetType() const override { return L"TabBox"; }

  bool AddAt(Control* control, size_t index) override;
  bool Remove(Control* control) override;
  void RemoveAll() override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;

  int GetCurSel() const { return selected_; }
  // False for an index out of range; selecting the current child does
  // nothing more. Sends "select" (wParam new, lParam old index).
  bool SelectItem(int index);
  bool IsFadeSwitch() const { return fade_switch_; }

 private:
  void TurnOn(Control* control);
  void TurnOff(Control* control);
  // With fade switching: the new child slides in from one box width away,
  // the old one out the other way and is turned off at the end.
  void SlideSwitch(int old, int index);
  void Slide(Control* child, int start, int end, std::function<void()> done);

  static constexpr double kTabSlideSpeedUpFactor = 0.015;

  int selected_ = -1;
  bool fade_switch_ = false;
};

}  // namespace ui

#endif  // UI_BOX_TAB_BOX_H_
