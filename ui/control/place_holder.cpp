#include "ui/control/place_holder.h"

#include <algorithm>

#include "ui/control/control.h"
#include "ui/window/window.h"

namespace ui {

PlaceHolder::PlaceHolder() = default;
PlaceHolder::~PlaceHolder() = default;

void PlaceHolder::SetWindow(Window* window, Control* parent, bool init) {
  window_ = window;
  parent_ = parent;
  if (init && parent_) Init();
}

void PlaceHolder::Init() {
  if (initialized_) return;
  initialized_ = true;
  OnFirstInit();
}

SIZE PlaceHolder::MeasureSize(SIZE /*available*/) { return SIZE{fixed_width_, fixed_height_}; }

RECT PlaceHolder::GetPos(bool /*include_shadow*/) const { return item_rect_; }

void PlaceHolder::SetPos(RECT rect) {
  if (rect.right < rect.left) rect.right = rect.left;
  if (rect.bottom < rect.top) rect.bottom = rect.top;
  if (::EqualRect(&rect, &item_rect_)) {
    needs_arrange_ = false;
    return;
  }
  RECT old = item_rect_;
  item_rect_ = rect;
  needs_arrange_ = false;
  {
    std::weak_ptr<base::WeakFlag> alive = AliveFlag();
    OnPositionChanged();
    if (alive.expired()) return;
  }
  if (!window_) return;
  RECT repaint;
  ::UnionRect(&repaint, &old, &item_rect_);
  // Shifted into the window by scrolling ancestors and cut by every
  // ancestor's rectangle: only what can be seen is repainted.
  for (Control* p = parent_; p; p = p->GetParent()) {
    SIZE offset = p->GetScrollOffset();
    ::OffsetRect(&repaint, -offset.cx, -offset.cy);
    RECT clip = p->GetPos();
    if (!::IntersectRect(&repaint, &repaint, &clip)) return;
  }
  window_->Invalidate(repaint);
}

void PlaceHolder::Arrange() {
  if (IsAutoSized())
    RelayoutUpward();
  else
    RelayoutSelf();
}

void PlaceHolder::RelayoutUpward() {
  needs_arrange_ = true;
  reestimate_ = true;
  PlaceHolder* top = this;
  for (PlaceHolder* p = parent_; p; p = p->parent_) {
    p->needs_arrange_ = true;
    p->reestimate_ = true;
    if (!p->IsAutoSized()) {
      p->RelayoutSelf();
      return;
    }
    top = p;
  }
  // The top is auto-sized too: arranging it through Arrange would come
  // straight back here.
  top->RelayoutSelf();
}

void PlaceHolder::Invalidate() {
  if (!IsVisible()) return;
  cache_dirty_ = true;
  if (!window_) return;
  RECT rect = item_rect_;
  for (Control* p = parent_; p; p = p->GetParent()) {
    SIZE offset = p->GetScrollOffset();
    ::OffsetRect(&rect, -offset.cx, -offset.cy);
  }
  window_->Invalidate(rect);
}

void PlaceHolder::RelayoutSelf() {
  if (!IsVisible()) return;
  needs_arrange_ = true;
  reestimate_ = true;
  Invalidate();
  NotifyArrangePending();
}

void PlaceHolder::NotifyArrangePending() {
  if (window_) window_->SetArrangePending(true);
}

void PlaceHolder::ArrangeAncestor() {
  reestimate_ = true;
  if (parent_)
    parent_->Arrange();
  else
    Arrange();
}

void PlaceHolder::SetFixedWidth(int width, bool arrange) {
  if (width < 0 && width != kStretch && width != kAuto) return;
  width = std::min(width, kDefaultMaxSize);
  if (width == fixed_width_) return;
  fixed_width_ = width;
  reestimate_ = true;
  if (arrange) ArrangeAncestor();
}

void PlaceHolder::SetFixedHeight(int height, bool arrange) {
  if (height < 0 && height != kStretch && height != kAuto) return;
  height = std::min(height, kDefaultMaxSize);
  if (height == fixed_height_) return;
  fixed_height_ = height;
  reestimate_ = true;
  if (arrange) ArrangeAncestor();
}

void PlaceHolder::SetMinWidth(int v) {
  if (v < 0 || v == min_width_) return;
  min_width_ = std::min(v, kDefaultMaxSize);
  ArrangeAncestor();
}

void PlaceHolder::SetMinHeight(int v) {
  if (v < 0 || v == min_height_) return;
  min_height_ = std::min(v, kDefaultMaxSize);
  ArrangeAncestor();
}

void PlaceHolder::SetMaxWidth(int v) {
  v = std::min(v, kDefaultMaxSize);
  if (v == max_width_) return;
  max_width_ = v;
  ArrangeAncestor();
}

void PlaceHolder::SetMaxHeight(int v) {
  v = std::min(v, kDefaultMaxSize);
  if (v == max_height_) return;
  max_height_ = v;
  ArrangeAncestor();
}

void PlaceHolder::SetHorAlign(HorAlign a) {
  if (a == halign_) return;
  halign_ = a;
  ArrangeAncestor();
}

void PlaceHolder::SetVerAlign(VerAlign a) {
  if (a == valign_) return;
  valign_ = a;
  ArrangeAncestor();
}

void PlaceHolder::SetFloat(bool f) {
  if (f == float_) return;
  float_ = f;
  ArrangeAncestor();
}

void PlaceHolder::SetInternalVisible(bool visible) { internal_visible_ = visible; }

void PlaceHolder::SetUseCache(bool cache) {
  use_cache_ = cache;
  cache_dirty_ = true;
  Invalidate();
}

}  // namespace ui
