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
  if (fade_switch_) {
    SlideSwitch(old, index);
  } else {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (static_cast<int>(i) == index)
        TurnOn(items_[i]);
      else
        TurnOff(items_[i]);
    }
  }
  Arrange();
  std::weak_ptr<base::WeakFlag> alive = AliveFlag();
  if (window_) window_->CheckFocus();
  if (alive.expired()) return true;
  SendEvent(kEventSelect, static_cast<WPARAM>(index), static_cast<LPARAM>(old));
  return true;
}

void TabBox::SlideSwitch(int old, int index) {
  // Every child but the two that slide is off at once.
  Control* from = (old >= 0 && old < static_cast<int>(items_.size())) ? items_[old] : nullptr;
  Control* to = items_[index];
  for (Control* child : items_) {
    if (child != from && child != to) TurnOff(child);
  }
  TurnOn(to);
  const LONG width = item_rect_.right - item_rect_.left;
  // A positive render offset draws to the left: the new child comes in
  // from the right when it lies after the old one, from the left before.
  const bool forward = old < index;
  Slide(to, forward ? -width : width, 0, nullptr);
  if (from) {
    std::weak_ptr<base::WeakFlag> box_alive = AliveFlag();
    std::weak_ptr<base::WeakFlag> from_alive = from->AliveFlag();
    Slide(from, 0, forward ? width : -width, [this, from, box_alive, from_alive] {
      if (box_alive.expired() || from_alive.expired()) return;
      // Still a child, and not selected again meanwhile.
      const int at = GetItemIndex(from);
      if (at < 0 || at == selected_) return;
      TurnOff(from);
      from->SetRenderOffset(POINT{0, 0});
    });
  }
}

void TabBox::Slide(Control* child, int start, int end, std::function<void()> done) {
  child->SetFade(kFadeInoutXFromRight, true);
  AnimationPlayer* player = child->HasFade(kFadeInoutXFromRight) ? child->Animations()->PlayerFor(kFadeInoutXFromRight)
                                                                : nullptr;
  if (!player) {
    child->SetRenderOffset(POINT{end, 0});
    if (done) done();
    return;
  }
  player->SetStartValue(start);
  player->SetEndValue(end);
  player->SetSpeedUpfactor(kTabSlideSpeedUpFactor);
  player->SetCompleteCallback(std::move(done));
  child->SetRenderOffset(POINT{start, 0});
  player->Start();
}

}  // namespace ui
