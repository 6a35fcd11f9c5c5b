#include "ui/box/list_box.h"

#include <cwchar>

#include "ui/window/window.h"

namespace ui {

namespace {

ListContainerElement* AsElement(Control* control) { return dynamic_cast<ListContainerElement*>(control); }

}  // namespace

ListBox::ListBox(std::unique_ptr<Layout> layout) : ScrollableBox(std::move(layout)) {}

ListBox::~ListBox() {
  // Elements outlive the list in the window's release queue: let none of
  // them keep a pointer to it.
  for (Control* item : items_) {
    if (ListContainerElement* element = AsElement(item)) element->SetOwner(nullptr);
  }
}

void ListBox::Renumber(size_t from) {
  for (size_t i = from; i < items_.size(); ++i) {
    if (ListContainerElement* element = AsElement(items_[i])) {
      element->SetOwner(this);
      element->SetIndex(static_cast<int>(i));
    }
  }
}

bool ListBox::AddAt(Control* control, size_t index) {
  if (!ScrollableBox::AddAt(control, index)) return false;
  if (cur_sel_ >= static_cast<int>(index)) ++cur_sel_;
  Renumber(index);
  return true;
}

bool ListBox::Remove(Control* control) {
  const int index = GetItemIndex(control);
  if (index < 0) return false;
  if (ListContainerElement* element = AsElement(control)) {
    element->SetOwner(nullptr);
    element->SetIndex(-1);
  }
  if (index == cur_sel_)
    cur_sel_ = -1;
  else if (index < cur_sel_)
    --cur_sel_;
  ScrollableBox::Remove(control);
  Renumber(static_cast<size_t>(index));
  return true;
}

void ListBox::RemoveAll() {
  for (Control* item : items_) {
    if (ListContainerElement* element = AsElement(item)) {
      element->SetOwner(nullptr);
      element->SetIndex(-1);
    }
  }
  cur_sel_ = -1;
  ScrollableBox::RemoveAll();
}

bool ListBox::SetItemIndex(Control* control, size_t index) {
  Control* selected = cur_sel_ >= 0 ? GetItemAt(static_cast<size_t>(cur_sel_)) : nullptr;
  if (!ScrollableBox::SetItemIndex(control, index)) return false;
  Renumber(0);
  if (selected) cur_sel_ = GetItemIndex(selected);
  return true;
}

int ListBox::NearestSelectable(int index, bool forward) const {
  const int count = static_cast<int>(items_.size());
  for (int i = index; i >= 0 && i < count; i += forward ? 1 : -1) {
    Control* item = items_[i];
    if (AsElement(item) && item->IsVisible() && item->IsEnabled()) return i;
  }
  return -1;
}

void ListBox::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"scrollselect")
    SetScrollSelect(value == L"true");
  else
    ScrollableBox::SetAttribute(name, value);
}

bool ListBox::DeliverEvent(EventArgs* args) { return ScrollableBox::DeliverEvent(args); }

bool ListBox::SelectItem(int index, bool take_focus, bool trigger) {
  std::weak_ptr<base::WeakFlag> alive = AliveFlag();
  const int old = cur_sel_;
  if (old >= 0) {
    cur_sel_ = -1;
    if (Control* item = GetItemAt(static_cast<size_t>(old))) {
      if (ListContainerElement* element = AsElement(item)) element->MarkSelected(false);
      std::weak_ptr<base::WeakFlag> item_alive = item->AliveFlag();
      item->SendEvent(kEventUnSelect);
      if (alive.expired()) return false;
      if (!item_alive.expired()) item->Invalidate();
    }
  }
  if (index < 0) return false;
  Control* item = GetItemAt(static_cast<size_t>(index));
  ListContainerElement* element = AsElement(item);
  if (!element || !item->IsVisible() || !item->IsEnabled()) return false;
  cur_sel_ = index;
  element->MarkSelected(true);
  EnsureVisible(item->GetPos());
  if (take_focus) {
    item->SetFocus();
    if (alive.expired()) return true;
  }
  if (window_ && trigger) SendEvent(kEventSelect, static_cast<WPARAM>(index), static_cast<LPARAM>(old));
  return true;
}

void ListBox::EnsureVisible(const RECT& rect) {
  RECT view = ContentRect();
  if (hbar_ && hbar_->IsVisible()) view.bottom -= hbar_->Thickness();
  const SIZE offset = GetScrollOffset();
  ::OffsetRect(&view, offset.cx, offset.cy);
  // Right or bottom first: an item larger than the view shows its end.
  LONG dx = 0;
  LONG dy = 0;
  if (rect.right > view.right)
    dx = rect.right - view.right;
  else if (rect.left < view.left)
    dx = rect.left - view.left;
  if (rect.bottom > view.bottom)
    dy = rect.bottom - view.bottom;
  else if (rect.top < view.top)
    dy = rect.top - view.top;
  if (dx != 0 || dy != 0) {
    StopScrollAnimation();
    SetScrollPos(int64_t(offset.cx) + dx, int64_t(offset.cy) + dy);
    return;
  }
  // In this view already; a list inside an element of another list (a
  // tree) may still lie outside the outer one's view.
  for (Control* p = parent_; p; p = p->GetParent()) {
    ListContainerElement* element = AsElement(p);
    if (!element) continue;
    if (IListOwner* owner = element->GetOwner()) {
      RECT outer = rect;
      ::OffsetRect(&outer, -offset.cx, -offset.cy);
      owner->EnsureVisible(outer);
    }
    return;
  }
}

bool ListBox::ScrollItemToTop(const std::wstring& name) {
  if (name.empty()) return false;
  for (Control* item : items_) {
    if (_wcsicmp(item->GetName().c_str(), name.c_str()) != 0) continue;
    StopScrollAnimation();
    SetScrollPosY(int64_t(item->GetPos().top) - ContentRect().top);
    return true;
  }
  return false;
}

Control* ListBox::GetTopItem() const {
  const LONG top = ContentRect().top + GetScrollOffset().cy;
  for (Control* item : items_) {
    if (!item->IsVisible() || item->IsFloat()) continue;
    if (item->GetPos().bottom > top) return item;
  }
  return nullptr;
}

void ListBox::SelectNearest(int index, bool forward) {
  const int found = NearestSelectable(index, forward);
  if (found >= 0) SelectItem(found, true, true);
}

void ListBox::HandleMessage(EventArgs* args) {
  const int type = args->type;
  // The keys and the scroll-select wheel move the selection; a list with
  // nothing to select scrolls with them instead.
  const bool selects = NearestSelectable(0, true) >= 0;
  if (type == kEventKeyDown && selects) {
    switch (args->key) {
      case VK_HOME:
        SelectNearest(0, true);
        return;
      case VK_END:
        SelectNearest(static_cast<int>(items_.size()) - 1, false);
        return;
      case VK_UP:
        if (cur_sel_ > 0) SelectNearest(cur_sel_ - 1, false);
        return;
      case VK_DOWN:
        SelectNearest(cur_sel_ + 1, true);
        return;
      default:
        break;
    }
  } else if (type == kEventMouseScrollWheel && scroll_select_ && selects && mouse_enabled_) {
    if (GET_WHEEL_DELTA_WPARAM(args->wparam) > 0) {
      if (cur_sel_ > 0) SelectNearest(cur_sel_ - 1, false);
    } else {
      SelectNearest(cur_sel_ + 1, true);
    }
    return;
  }
  ScrollableBox::HandleMessage(args);
}

// ---- ListContainerElement ----

ListContainerElement::ListContainerElement() = default;
ListContainerElement::~ListContainerElement() = default;

void ListContainerElement::MarkSelected(bool selected) {
  selected_ = selected;
  Invalidate();
}

void ListContainerElement::Activate() {
  if (!owner_) {
    OptionTemplate<Box>::Activate();
    return;
  }
  if (!CanActivate()) return;
  std::weak_ptr<base::WeakFlag> alive = AliveFlag();
  SendEvent(kEventClick);
  if (alive.expired() || !owner_) return;
  owner_->SelectItem(index_, true, true);
}

void ListContainerElement::HandleMessage(EventArgs* args) {
  const int type = args->type;
  if (!mouse_enabled_ && type >= kEventMouseMove && type <= kEventMouseScrollWheel && owner_) {
    owner_->DeliverEvent(args);
    return;
  }
  std::weak_ptr<base::WeakFlag> alive = AliveFlag();
  switch (type) {
    case kEventInternalDoubleClick:
      if (enabled_) SendEvent(kEventMouseDoubleClick);
      return;
    case kEventKeyDown:
      if (args->key == VK_RETURN && enabled_) {
        SendEvent(kEventReturn);
        if (alive.expired()) return;
        if (keyboard_enabled_) Activate();
        return;
      }
      if (args->key == VK_SPACE && keyboard_enabled_) {
        Activate();
        return;
      }
      break;
    case kEventInternalMenu:
      if (!enabled_) break;
      if (owner_) owner_->SelectItem(index_, true, true);
      if (alive.expired()) return;
      {
        // The request's point (not the last mouse move) goes with the event.
        EventArgs menu = *args;
        menu.type = kEventMouseMenu;
        menu.sender = this;
        menu.timestamp = ::GetTickCount();
        DeliverEvent(&menu);
      }
      return;
    default:
      break;
  }
  OptionTemplate<Box>::HandleMessage(args);
}

}  // namespace ui
