#include "ui/box/box.h"

#include <algorithm>
#include <cwchar>

#include "ui/window/window.h"

namespace ui {

namespace {

Control* NameVisitor(Control* control, void* data) {
  const std::wstring& name = *static_cast<const std::wstring*>(data);
  const std::wstring& own = control->GetName();
  if (!own.empty() && _wcsicmp(own.c_str(), name.c_str()) == 0) return control;
  return nullptr;
}

}  // namespace

Box::Box(std::unique_ptr<Layout> layout) : layout_(layout ? std::move(layout) : std::make_unique<Layout>()) {
  layout_->SetOwner(this);
}

Box::~Box() {
  // Out of the list first: a child's destructor must not find itself there.
  std::vector<Control*> items;
  items.swap(items_);
  for (Control* child : items) std::unique_ptr<Control> owned(child);
}

void Box::SetWindow(Window* window) {
  Control::SetWindow(window);
  for (Control* child : items_) child->SetWindow(window);
}

void Box::SetWindow(Window* window, Control* parent, bool init) {
  Control::SetWindow(window, parent, init);
  for (Control* child : items_) child->SetWindow(window, this, init);
}

SIZE Box::MeasureSize(SIZE available) {
  if (fixed_width_ != kAuto && fixed_height_ != kAuto) return SIZE{fixed_width_, fixed_height_};
  if (!reestimate_) return estimate_;
  const RECT pad = layout_->GetPadding();
  SIZE inner{std::max<LONG>(0, available.cx - pad.left - pad.right),
             std::max<LONG>(0, available.cy - pad.top - pad.bottom)};
  const SIZE fit = layout_->FitToChildren(items_, inner);
  SIZE size{fixed_width_, fixed_height_};
  if (fixed_width_ == kAuto) size.cx = fit.cx;
  if (fixed_height_ == kAuto) size.cy = fit.cy;
  bool keep = false;
  for (Control* child : items_) {
    if (child->IsVisible() && child->IsAutoSized() && child->NeedsReestimate()) keep = true;
  }
  reestimate_ = keep;
  estimate_ = size;
  return size;
}

void Box::SetPos(RECT rect) {
  Control::SetPos(rect);
  if (!items_.empty()) layout_->PlaceChildren(items_, ContentRect());
}

RECT Box::ContentRect() const {
  const RECT pad = layout_->GetPadding();
  RECT r{item_rect_.left + pad.left, item_rect_.top + pad.top, item_rect_.right - pad.right,
         item_rect_.bottom - pad.bottom};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

void Box::SetVisible(bool visible) {
  Control::SetVisible(visible);
  const bool shown = IsVisible();
  for (Control* child : items_) child->SetVisibleFromParent(shown);
}

void Box::SetVisibleFromParent(bool visible) {
  Control::SetVisibleFromParent(visible);
  const bool shown = IsVisible();
  for (Control* child : items_) child->SetVisibleFromParent(shown);
}

Control* Box::FindControl(FindVisitor visitor, void* data, UINT flags) {
  if ((flags & kFindVisible) && !IsVisible()) return nullptr;
  if ((flags & kFindEnabled) && !IsEnabled()) return nullptr;
  POINT point{0, 0};
  if (flags & kFindHitTest) {
    point = *static_cast<const POINT*>(data);
    if (!::PtInRect(&item_rect_, point)) return nullptr;
    if (!mouse_child_) return Control::FindControl(visitor, data, flags);
  }
  if (flags & kFindMeFirst) {
    if (Control* found = Control::FindControl(visitor, data, flags)) return found;
  }
  const RECT padded = ContentRect();
  POINT shifted = point;
  const SIZE offset = GetScrollOffset();
  shifted.x += offset.cx;
  shifted.y += offset.cy;
  // A child may remove siblings from a visitor: walk a copy.
  const std::vector<Control*> items = items_;
  const size_t count = items.size();
  for (size_t k = 0; k < count; ++k) {
    Control* child = (flags & kFindTopFirst) ? items[count - 1 - k] : items[k];
    Control* found = nullptr;
    if (flags & kFindHitTest) {
      if (!child->IsFloat() && !::PtInRect(&padded, point)) continue;
      found = child->FindControl(visitor, &shifted, flags);
    } else {
      found = child->FindControl(visitor, data, flags);
    }
    if (found) return found;
  }
  if (flags & kFindMeFirst) return nullptr;
  return Control::FindControl(visitor, data, flags);
}

bool Box::DeliverEvent(EventArgs* args) {
  if (args->type >= kEventInternalDoubleClick && args->type <= kEventInternalKillFocus) {
    HandleMessage(args);
    return true;
  }
  std::weak_ptr<base::WeakFlag> alive = AliveFlag();
  bool destroyed = false;
  if (args->sender == this && !RunOwnHandlers(args, alive, &destroyed)) return false;
  const int type = args->type;
  if (!RunHandlers(&bubbled_handlers_, type, args, alive, &destroyed)) return false;
  if (type != kEventAll && !RunHandlers(&bubbled_handlers_, kEventAll, args, alive, &destroyed)) return false;
  if (!RunHandlers(&markup_bubbled_handlers_, type, args, alive, &destroyed)) return false;
  if (type != kEventAll && !RunHandlers(&markup_bubbled_handlers_, kEventAll, args, alive, &destroyed))
    return false;
  HandleMessage(args);
  return true;
}

void Box::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (layout_->SetAttribute(name, value)) return;
  if (name == L"mousechild") {
    SetChildrenReceiveMouse(value == L"true");
    return;
  }
  Control::SetAttribute(name, value);
}

void Box::PaintChildren(IRenderContext* context, const RECT& dirty) {
  const std::vector<Control*> items = items_;
  for (Control* child : items) {
    if (child->IsVisible()) child->Paint(context, dirty);
  }
}

int Box::NearestSelectable(int index, bool forward) const {
  const int count = static_cast<int>(items_.size());
  if (count == 0) return -1;
  index = std::clamp(index, 0, count - 1);
  for (int i = index; i >= 0 && i < count; i += forward ? 1 : -1) {
    if (items_[i]->IsVisible() && items_[i]->IsEnabled()) return i;
  }
  return -1;
}

Control* Box::GetItemAt(size_t index) const { return index < items_.size() ? items_[index] : nullptr; }

int Box::GetItemIndex(const Control* control) const {
  auto it = std::find(items_.begin(), items_.end(), control);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

bool Box::SetItemIndex(Control* control, size_t index) {
  const int from = GetItemIndex(control);
  if (from < 0 || index >= items_.size()) return false;
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + index, control);
  Arrange();
  return true;
}

bool Box::Add(Control* control) { return AddAt(control, items_.size()); }

bool Box::AddAt(Control* control, size_t index) {
  if (!control || index > items_.size()) return false;
  if (window_)
    window_->InitControl(control, this);
  else
    control->SetParent(this);
  if (IsVisible())
    Arrange();
  else
    control->SetInternalVisible(false);
  items_.insert(items_.begin() + index, control);
  return true;
}

void Box::DisposeChild(Control* control) {
  if (!auto_destroy_) {
    control->SetParent(nullptr);
    return;
  }
  std::unique_ptr<Control> owned(control);
  if (delay_destroy_ && window_) window_->ReleaseLater(std::move(owned));
}

bool Box::Remove(Control* control) {
  auto it = std::find(items_.begin(), items_.end(), control);
  if (it == items_.end()) return false;
  Arrange();
  items_.erase(it);
  DisposeChild(control);
  return true;
}

bool Box::RemoveAt(size_t index) {
  if (index >= items_.size()) return false;
  return Remove(items_[index]);
}

void Box::RemoveAll() {
  std::vector<Control*> items;
  items.swap(items_);
  for (Control* child : items) DisposeChild(child);
  Arrange();
}

void Box::ReplaceLayout(std::unique_ptr<Layout> layout) {
  if (!layout) return;
  layout_ = std::move(layout);
  layout_->SetOwner(this);
  Arrange();
}

Control* Box::FindDescendant(const std::wstring& name) {
  std::wstring key = name;
  return FindControl(&NameVisitor, &key, 0);
}

void Box::SubscribeBubbled(int type, EventHandler handler) { bubbled_handlers_[type].push_back(std::move(handler)); }

void Box::AddMarkupBubbledHandler(int type, EventHandler handler) {
  markup_bubbled_handlers_[type].push_back(std::move(handler));
}

HBox::HBox() : Box(std::make_unique<HLayout>()) {}
VBox::VBox() : Box(std::make_unique<VLayout>()) {}
TileBox::TileBox() : Box(std::make_unique<TileLayout>()) {}

}  // namespace ui
