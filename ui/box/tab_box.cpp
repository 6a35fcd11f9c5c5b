#include "ui/box/tab_box.h"

#include "ui/control/attribute_values.h"
#include "ui/window/window.h"

namespace ui {

TabBox::TabBox() = default;

void TabBox::TurnOn(Control* control) {
  control->SetMouseEnabled(true);
  if (Box* box = dynamic_cast<Box*>(control)) box->SetChildrenReceiveMouse(true);
  control->SetAlpha(255);
  control->SetVisibleWithFade(true);
}

void TabBox::TurnOff(Control* control) {
  if (!fade_switch_) control->SetVisibleWithFade(false);
  control->SetMouseEnabled(false);
  if (Box* box = dynamic_cast<Box*>(control)) box->SetChildrenReceiveMouse(false);
  control->SetAlpha(0);
}

bool TabBox::AddAt(Control* control, size_t index) {
  // A selection from markup ("selectedid") may name a child not added yet;
  // only a selection of an existing child moves with an insertion.
  const int before = static_cast<int>(items_.size());
  if (!Box::AddAt(control, index)) return false;
  const int at = static_cast<int>(index);
  if (selected_ >= 0 && selected_ < before && at <= selected_) ++selected_;
  if (selected_ == -1 && control->IsVisible()) selected_ = at;
  if (at == selected_)
    TurnOn(control);
  else
    TurnOff(control);
  return true;
}

bool TabBox::Remove(Control* control) {
  const int index = GetItemIndex(control);
  if (index < 0) return false;
  if (!Box::Remove(control)) return false;
  if (index == selected_) {
    if (!items_.empty()) {
      selected_ = 0;
      TurnOn(items_[0]);
      Arrange();
    } else {
      selected_ = -1;
    }
  } else if (index < selected_) {
    --selected_;
  }
  return true;
}

void TabBox::RemoveAll() {
  selected_ = -1;
  Box::RemoveAll();
}

void TabBox::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"selectedid") {
    const int index = ParseLength(value);
    if (index >= 0 && index < static_cast<int>(items_.size()))
      SelectItem(index);
    else if (index >= 0)
      selected_ = index;
  } else if (name == L"fadeswitch") {
    fade_switch_ = value == L"true";
  } else {
    Box::SetAttribute(name, value);
  }
}

bool TabBox::SelectItem(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return false;
  if (index == selected_) return true;
  const int old = selected_;
  selected_ = index;
  // wired at integration: with fade switching the new child slides in
  // from one box width away and the old one slides out, turned off at the
  // end of its slide; until then the switch is immediate. The old index
  // may be -1 (nothing shown yet) or stale.
  for (size_t i = 0; i < items_.size(); ++i) {
    if (static_cast<int>(i) == index)
      TurnOn(items_[i]);
    else
      TurnOff(items_[i]);
  }
  Arrange();
  std::weak_ptr<base::WeakFlag> alive = AliveFlag();
  if (window_) window_->CheckFocus();
  if (alive.expired()) return true;
  SendEvent(kEventSelect, static_cast<WPARAM>(index), static_cast<LPARAM>(old));
  return true;
}

}  // namespace ui
