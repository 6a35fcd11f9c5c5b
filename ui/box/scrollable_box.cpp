#include "ui/box/scrollable_box.h"

#include <algorithm>

#include "ui/control/attribute_values.h"
#include "ui/render/render_interface.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/window/window.h"

namespace ui {

namespace {

int Scale(int value) { return DpiScaler::GetInstance().ScaleLength(value); }

bool IsTrue(const std::wstring& value) { return value == L"true"; }

// The glide of an animated line step: no speed-up, slowing down over the
// second half, its duration following from the distance.
constexpr double kScrollSlowDownRatio = 0.5;
constexpr double kScrollSlowDownFactor = -0.012;
constexpr int kDefaultUnit = 30;
constexpr int kZeroUnitStep = 20;

bool HasRange(const std::unique_ptr<ScrollBar>& bar) { return bar && bar->GetScrollRange() > 0; }

}  // namespace

ScrollableBox::ScrollableBox(std::unique_ptr<Layout> layout)
    : Box(std::move(layout)), vunit_(Scale(kDefaultUnit)), hunit_(Scale(kDefaultUnit)) {}

ScrollableBox::~ScrollableBox() {
  scroll_animation_.reset();
  vbar_.reset();
  hbar_.reset();
}

void ScrollableBox::SetWindow(Window* window) {
  Box::SetWindow(window);
  for (ScrollBar* bar : {vbar_.get(), hbar_.get()}) {
    if (bar) bar->SetWindow(window);
  }
}

void ScrollableBox::SetWindow(Window* window, Control* parent, bool init) {
  Box::SetWindow(window, parent, init);
  for (ScrollBar* bar : {vbar_.get(), hbar_.get()}) {
    if (bar) bar->SetWindow(window, this, init);
  }
}

void ScrollableBox::SetVisible(bool visible) {
  Box::SetVisible(visible);
  for (ScrollBar* bar : {vbar_.get(), hbar_.get()}) {
    if (bar) bar->SetVisibleFromParent(IsVisible());
  }
}

void ScrollableBox::SetVisibleFromParent(bool visible) {
  Box::SetVisibleFromParent(visible);
  for (ScrollBar* bar : {vbar_.get(), hbar_.get()}) {
    if (bar) bar->SetVisibleFromParent(IsVisible());
  }
}

std::unique_ptr<ScrollBar> ScrollableBox::MakeBar(bool horizontal) {
  auto bar = std::make_unique<ScrollBar>();
  bar->SetOwner(this);
  bar->SetWindow(window_, this, initialized_);
  bar->SetHorizontal(horizontal);
  bar->SetScrollRange(0);
  bar->SetVisibleFromParent(IsVisible());
  bar->SetAttribute(L"class", horizontal ? L"hscrollbar" : L"vscrollbar");
  return bar;
}

void ScrollableBox::DropBar(std::unique_ptr<ScrollBar>* bar) {
  if (!*bar) return;
  (*bar)->SetOwner(nullptr);
  // The bar may be the one whose event switched it off: it goes later.
  if (window_)
    window_->ReleaseLater(std::unique_ptr<Control>(bar->release()));
  else
    bar->reset();
}

void ScrollableBox::EnableScrollBar(bool vertical, bool horizontal) {
  if (vertical && !vbar_) vbar_ = MakeBar(false);
  if (!vertical) DropBar(&vbar_);
  if (horizontal && !hbar_) hbar_ = MakeBar(true);
  if (!horizontal) DropBar(&hbar_);
  Arrange();
}

void ScrollableBox::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"vscrollbar") {
    EnableScrollBar(IsTrue(value), hbar_ != nullptr);
  } else if (name == L"hscrollbar") {
    EnableScrollBar(vbar_ != nullptr, IsTrue(value));
  } else if (name == L"vscrollbarstyle") {
    EnableScrollBar(true, hbar_ != nullptr);
    vbar_->ApplyAttributeList(value);
  } else if (name == L"hscrollbarstyle") {
    EnableScrollBar(vbar_ != nullptr, true);
    hbar_->ApplyAttributeList(value);
  } else if (name == L"scrollbarpadding") {
    int v[4];
    if (ParseIntList(value, v, 4)) {
      bar_padding_ = RECT{Scale(v[0]), Scale(v[1]), Scale(v[2]), Scale(v[3])};
      Arrange();
    }
  } else if (name == L"vscrollunit") {
    vunit_ = std::max(0, Scale(ParseLength(value)));
  } else if (name == L"hscrollunit") {
    hunit_ = std::max(0, Scale(ParseLength(value)));
  } else if (name == L"scrollbarfloat") {
    bar_float_ = IsTrue(value);
    Arrange();
  } else if (name == L"defaultdisplayscrollbar") {
    default_display_bar_ = IsTrue(value);
  } else if (name == L"holdend") {
    hold_end_ = IsTrue(value);
  } else {
    Box::SetAttribute(name, value);
  }
}

RECT ScrollableBox::ViewRect() const {
  RECT view = ContentRect();
  if (!bar_float_) {
    // Bars that do not float take their room from the content.
    if (HasRange(vbar_))
      view.right = std::min<LONG>(view.right, item_rect_.right - bar_padding_.right - vbar_->Thickness());
    if (HasRange(hbar_))
      view.bottom = std::min<LONG>(view.bottom, item_rect_.bottom - bar_padding_.bottom - hbar_->Thickness());
    view.right = std::max(view.right, view.left);
    view.bottom = std::max(view.bottom, view.top);
  }
  return view;
}

void ScrollableBox::SetPos(RECT rect) {
  Control::SetPos(rect);
  LayoutContent();
}

void ScrollableBox::LayoutContent() {
  const SIZE old_pos = GetScrollPos();
  const SIZE old_range = GetScrollRange();
  const bool v_had_range = HasRange(vbar_);
  const bool h_had_range = HasRange(hbar_);
  // Placing may change which non-floating bars need room, and that room
  // changes the placing: again until it settles (three passes suffice, a
  // bar that appears never makes the other one disappear).
  for (int pass = 0; pass < 3; ++pass) {
    const bool v_shown = HasRange(vbar_);
    const bool h_shown = HasRange(hbar_);
    const RECT view = ViewRect();
    SIZE used{0, 0};
    if (!items_.empty()) used = layout_->PlaceChildren(items_, view);
    content_size_ = used;
    if (vbar_) vbar_->SetScrollRange(std::max<int64_t>(0, int64_t(used.cy) - (view.bottom - view.top)));
    if (hbar_) hbar_->SetScrollRange(std::max<int64_t>(0, int64_t(used.cx) - (view.right - view.left)));
    if (bar_float_ || (v_shown == HasRange(vbar_) && h_shown == HasRange(hbar_))) break;
  }
  // The position stays where it was, within the new range; at the end it
  // follows the end when asked to hold it.
  const SIZE range = GetScrollRange();
  int64_t y = old_pos.cy;
  int64_t x = old_pos.cx;
  if (hold_end_ && vbar_ && old_pos.cy >= old_range.cy) y = range.cy;
  if (hold_end_ && hbar_ && old_pos.cx >= old_range.cx) x = range.cx;
  if (vbar_) vbar_->SetScrollPos(std::clamp<int64_t>(y, 0, range.cy));
  if (hbar_) hbar_->SetScrollPos(std::clamp<int64_t>(x, 0, range.cx));
  if (default_display_bar_) {
    // A bar that just got a range shows once, also one that hides itself
    // until the pointer comes; it goes when the pointer leaves.
    if (HasRange(vbar_) && !v_had_range) vbar_->SetVisibleWithFade(true);
    if (HasRange(hbar_) && !h_had_range) hbar_->SetVisibleWithFade(true);
  }
  SyncVerticalBar();
  SyncHorizontalBar();
  const SIZE now = GetScrollPos();
  if (now.cx != old_pos.cx || now.cy != old_pos.cy) ScrollMoved();
}

void ScrollableBox::SyncVerticalBar() {
  if (!vbar_) return;
  const RECT pad = bar_padding_;
  const int thickness = vbar_->Thickness();
  RECT r{item_rect_.right - pad.right - thickness, item_rect_.top + pad.top, item_rect_.right - pad.right,
         item_rect_.bottom - pad.bottom};
  if (HasRange(hbar_)) r.bottom -= hbar_->Thickness();
  vbar_->SetPos(r);
}

void ScrollableBox::SyncHorizontalBar() {
  if (!hbar_) return;
  const RECT pad = bar_padding_;
  const int thickness = hbar_->Thickness();
  RECT r{item_rect_.left + pad.left, item_rect_.bottom - pad.bottom - thickness, item_rect_.right - pad.right,
         item_rect_.bottom - pad.bottom};
  if (HasRange(vbar_)) r.right -= vbar_->Thickness();
  hbar_->SetPos(r);
}

SIZE ScrollableBox::GetScrollOffset() const { return GetScrollPos(); }

SIZE ScrollableBox::GetScrollPos() const {
  return SIZE{hbar_ ? static_cast<LONG>(ClampLength(hbar_->GetScrollPos())) : 0,
              vbar_ ? static_cast<LONG>(ClampLength(vbar_->GetScrollPos())) : 0};
}

SIZE ScrollableBox::GetScrollRange() const {
  return SIZE{hbar_ ? static_cast<LONG>(ClampLength(hbar_->GetScrollRange())) : 0,
              vbar_ ? static_cast<LONG>(ClampLength(vbar_->GetScrollRange())) : 0};
}

void ScrollableBox::SetScrollPos(int64_t x, int64_t y) {
  const SIZE old = GetScrollPos();
  if (vbar_) {
    const int64_t range = vbar_->GetScrollRange();
    if (y < 0 || y > range) {
      StopScrollAnimation();
      y = std::clamp<int64_t>(y, 0, range);
    }
    vbar_->SetScrollPos(y);
  }
  if (hbar_) hbar_->SetScrollPos(std::clamp<int64_t>(x, 0, hbar_->GetScrollRange()));
  const SIZE now = GetScrollPos();
  if (now.cx != old.cx || now.cy != old.cy) ScrollMoved();
}

void ScrollableBox::SetScrollPosY(int64_t y) { SetScrollPos(GetScrollPos().cx, y); }
void ScrollableBox::SetScrollPosX(int64_t x) { SetScrollPos(x, GetScrollPos().cy); }

void ScrollableBox::ScrollMoved() {
  KeepImagesNearView();
  Invalidate();
  SendEvent(kEventScrollChange);
}

void ScrollableBox::KeepImagesNearView() {
  // Far from the view a child's decoded background is memory for nothing;
  // near it, it is decoded before it scrolls in.
  const SIZE offset = GetScrollOffset();
  RECT near_view = item_rect_;
  ::OffsetRect(&near_view, offset.cx, offset.cy);
  near_view.top -= kScrollImageKeepDistance;
  near_view.bottom += kScrollImageKeepDistance;
  const std::vector<Control*> items = items_;
  for (Control* child : items) {
    if (child->IsFloat()) continue;
    const RECT pos = child->GetPos();
    RECT meet;
    if (child->IsVisible() && ::IntersectRect(&meet, &pos, &near_view))
      child->LoadBackgroundImage();
    else
      child->ReleaseBackgroundImage();
  }
}

int ScrollableBox::StepOf(int delta, bool vertical) const {
  int unit = vertical ? vunit_ : hunit_;
  if (unit == 0) unit = kZeroUnitStep;
  return (delta < 0 || delta > unit) ? unit : delta;
}

void ScrollableBox::StopScrollAnimation() {
  if (scroll_animation_) scroll_animation_->Stop();
}

void ScrollableBox::AnimateTo(int64_t target) {
  const int64_t current = GetScrollPos().cy;
  target = std::clamp<int64_t>(target, 0, GetScrollRange().cy);
  if (!scroll_animation_) scroll_animation_ = std::make_unique<AnimationPlayer>();
  AnimationPlayer* player = scroll_animation_.get();
  player->Stop();
  scroll_target_ = target;
  if (target == current) return;
  player->SetStartValue(static_cast<int>(current));
  player->SetEndValue(static_cast<int>(target));
  player->SetTotalMillSeconds(-1);
  player->SetAcceleration(0);
  player->SetDeceleration(kScrollSlowDownRatio);
  player->SetSlowDownfactor(kScrollSlowDownFactor);
  player->SetCallback([this](int value) { SetScrollPosY(value); });
  player->Start();
}

void ScrollableBox::LineUp(int delta, bool animated) {
  if (!vbar_) return;
  const int step = StepOf(delta, true);
  if (!animated) {
    StopScrollAnimation();
    SetScrollPosY(int64_t(GetScrollPos().cy) - step);
    return;
  }
  // A step while gliding adds to where the glide goes.
  const bool gliding = scroll_animation_ && scroll_animation_->IsPlaying();
  AnimateTo((gliding ? scroll_target_ : GetScrollPos().cy) - step);
}

void ScrollableBox::LineDown(int delta, bool animated) {
  if (!vbar_) return;
  const int step = StepOf(delta, true);
  if (!animated) {
    StopScrollAnimation();
    SetScrollPosY(int64_t(GetScrollPos().cy) + step);
    return;
  }
  const bool gliding = scroll_animation_ && scroll_animation_->IsPlaying();
  AnimateTo((gliding ? scroll_target_ : GetScrollPos().cy) + step);
}

void ScrollableBox::LineLeft(int delta) { SetScrollPosX(int64_t(GetScrollPos().cx) - StepOf(delta, false)); }
void ScrollableBox::LineRight(int delta) { SetScrollPosX(int64_t(GetScrollPos().cx) + StepOf(delta, false)); }

namespace {

int64_t PageOf(const RECT& item, const RECT& pad, bool vertical, const ScrollBar* other) {
  int64_t page = vertical ? int64_t(item.bottom) - item.top - pad.top - pad.bottom
                          : int64_t(item.right) - item.left - pad.left - pad.right;
  if (other && other->GetScrollRange() > 0) page -= other->Thickness();
  return std::max<int64_t>(0, page);
}

}  // namespace

void ScrollableBox::PageUp() {
  StopScrollAnimation();
  SetScrollPosY(GetScrollPos().cy - PageOf(item_rect_, layout_->GetPadding(), true, hbar_.get()));
}

void ScrollableBox::PageDown() {
  StopScrollAnimation();
  SetScrollPosY(GetScrollPos().cy + PageOf(item_rect_, layout_->GetPadding(), true, hbar_.get()));
}

void ScrollableBox::PageLeft() {
  SetScrollPosX(GetScrollPos().cx - PageOf(item_rect_, layout_->GetPadding(), false, vbar_.get()));
}

void ScrollableBox::PageRight() {
  SetScrollPosX(GetScrollPos().cx + PageOf(item_rect_, layout_->GetPadding(), false, vbar_.get()));
}

void ScrollableBox::ScrollToTop() {
  StopScrollAnimation();
  SetScrollPosY(0);
}

void ScrollableBox::ScrollToBottom(bool arrange) {
  StopScrollAnimation();
  // Content added just now has not been placed: place it where the box is.
  if (arrange && NeedsArrange()) SetPos(item_rect_);
  SetScrollPosY(GetScrollRange().cy);
}

void ScrollableBox::ScrollToLeftEnd() { SetScrollPosX(0); }
void ScrollableBox::ScrollToRightEnd() { SetScrollPosX(GetScrollRange().cx); }

void ScrollableBox::TouchUp(int delta) {
  StopScrollAnimation();
  SetScrollPosY(int64_t(GetScrollPos().cy) - delta);
}

void ScrollableBox::TouchDown(int delta) {
  StopScrollAnimation();
  SetScrollPosY(int64_t(GetScrollPos().cy) + delta);
}

Control* ScrollableBox::FindControl(FindVisitor visitor, void* data, UINT flags) {
  if ((flags & kFindVisible) && !IsVisible()) return nullptr;
  if ((flags & kFindEnabled) && !IsEnabled()) return nullptr;
  if (flags & kFindHitTest) {
    const POINT point = *static_cast<const POINT*>(data);
    if (!::PtInRect(&item_rect_, point) || !mouse_child_) return Box::FindControl(visitor, data, flags);
  }
  // The bars lie on top of the content and do not scroll with it.
  for (ScrollBar* bar : {vbar_.get(), hbar_.get()}) {
    if (!bar) continue;
    if (Control* found = bar->FindControl(visitor, data, flags)) return found;
  }
  return Box::FindControl(visitor, data, flags);
}

void ScrollableBox::HandleMessage(EventArgs* args) {
  const int type = args->type;
  if (!mouse_enabled_ && type >= kEventMouseMove && type <= kEventMouseScrollWheel) {
    PassToParent(args);
    return;
  }
  const bool vertical = HasRange(vbar_) && vbar_->IsEnabled();
  const bool horizontal = !vertical && HasRange(hbar_) && hbar_->IsEnabled();
  if (vertical || horizontal) {
    if (type == kEventKeyDown) {
      switch (args->key) {
        case VK_PRIOR: vertical ? PageUp() : PageLeft(); return;
        case VK_NEXT: vertical ? PageDown() : PageRight(); return;
        case VK_END: vertical ? ScrollToBottom() : ScrollToRightEnd(); return;
        case VK_HOME: vertical ? ScrollToTop() : ScrollToLeftEnd(); return;
        case VK_UP: vertical ? LineUp(-1, true) : LineLeft(); return;
        case VK_DOWN: vertical ? LineDown(-1, true) : LineRight(); return;
        default: break;
      }
    } else if (type == kEventMouseScrollWheel) {
      const int delta = GET_WHEEL_DELTA_WPARAM(args->wparam);
      if (vertical) {
        delta > 0 ? LineUp(delta, true) : LineDown(-delta, true);
      } else {
        delta > 0 ? LineLeft(delta) : LineRight(-delta);
      }
      return;
    }
  }
  if (vertical) {
    switch (type) {
      case kEventTouchDown:
      case kEventPointerDown:
        touching_ = true;
        touch_point_ = args->mouse_point;
        if (window_) window_->SetCapture(this);
        return;
      case kEventTouchMove:
      case kEventPointerMove:
        if (!touching_) break;
        {
          const int moved = args->mouse_point.y - touch_point_.y;
          touch_point_ = args->mouse_point;
          if (moved > 0)
            TouchUp(moved);
          else if (moved < 0)
            TouchDown(-moved);
        }
        return;
      case kEventTouchUp:
      case kEventPointerUp:
        if (!touching_) break;
        touching_ = false;
        if (window_ && window_->GetCaptureControl() == this) window_->ReleaseCapture();
        return;
      default:
        break;
    }
  }
  Box::HandleMessage(args);
}

void ScrollableBox::FadeBars(bool in) {
  for (ScrollBar* bar : {vbar_.get(), hbar_.get()}) {
    if (!bar || bar->GetScrollRange() == 0) continue;
    if (in) {
      if (!bar->IsVisible()) bar->SetVisibleWithFade(true);
    } else if (bar->IsAutoHide() && !bar->IsMouseHeld()) {
      // A held thumb stays; its release fades it when the pointer is out.
      bar->SetVisibleWithFade(false);
    }
  }
}

void ScrollableBox::MouseEnter(EventArgs* args) {
  Control::MouseEnter(args);
  FadeBars(true);
}

void ScrollableBox::MouseLeave(EventArgs* args) {
  Control::MouseLeave(args);
  // Onto a child or a bar is not out of the box.
  if (window_ && IsAncestorOf(window_->GetHoverControl())) return;
  FadeBars(false);
}

void ScrollableBox::PaintChildren(IRenderContext* context, const RECT& dirty) {
  if (!items_.empty()) {
    // The content is drawn shifted by the position and cut at the padding.
    const SIZE offset = GetScrollOffset();
    AutoClip clip(context, ContentRect());
    const POINT old = context->OffsetWindowOrg(POINT{offset.cx, offset.cy});
    RECT shifted = dirty;
    ::OffsetRect(&shifted, offset.cx, offset.cy);
    const std::vector<Control*> items = items_;
    for (Control* child : items) {
      if (child->IsVisible()) child->Paint(context, shifted);
    }
    context->SetWindowOrg(old);
  }
  for (ScrollBar* bar : {vbar_.get(), hbar_.get()}) {
    if (bar && bar->IsVisible()) bar->Paint(context, dirty);
  }
}

}  // namespace ui
