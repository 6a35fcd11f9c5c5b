#include "ui/control/scroll_bar.h"

#include <algorithm>
#include <cwchar>

#include "ui/animation/framework_timer.h"
#include "ui/box/scrollable_box.h"
#include "ui/control/attribute_values.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/window/window.h"

namespace ui {

namespace {

int Scale(int value) { return DpiScaler::GetInstance().ScaleLength(value); }

bool IsTrue(const std::wstring& value) { return value == L"true"; }

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// A state without an image of its own shows the one it falls back to.
ControlState WithImage(const Image* images, ControlState state) {
  auto has = [images](ControlState s) { return !images[s].attributes().image_name.empty(); };
  if (state == kStatePushed && !has(kStatePushed)) state = kStateHot;
  if (state == kStateHot && !has(kStateHot)) state = kStateNormal;
  if (state == kStateDisabled && !has(kStateDisabled)) state = kStateNormal;
  return state;
}

}  // namespace

ScrollBar::ScrollBar() : line_size_(Scale(8)), thumb_min_length_(Scale(30)) {
  float_ = true;
  no_focus_ = true;
  fixed_width_ = Scale(kDefaultThickness);
}

ScrollBar::~ScrollBar() { repeat_timer_.Cancel(); }

int ScrollBar::Thickness() const {
  const int fixed = horizontal_ ? fixed_height_ : fixed_width_;
  return fixed >= 0 ? fixed : Scale(kDefaultThickness);
}

void ScrollBar::SetPos(RECT rect) {
  Control::SetPos(rect);
  ComputeGeometry();
  Invalidate();
}

SIZE ScrollBar::AncestorScroll() const {
  SIZE total{0, 0};
  for (Control* p = parent_; p; p = p->GetParent()) {
    if (p == parent_ && static_cast<Control*>(owner_) == p) continue;
    const SIZE offset = p->GetScrollOffset();
    total.cx += offset.cx;
    total.cy += offset.cy;
  }
  return total;
}

void ScrollBar::Invalidate() {
  if (!IsVisible()) return;
  cache_dirty_ = true;
  if (!window_) return;
  RECT rect = item_rect_;
  const SIZE offset = AncestorScroll();
  ::OffsetRect(&rect, -offset.cx, -offset.cy);
  window_->Invalidate(rect);
}

bool ScrollBar::HitTestScrolled(POINT point) const {
  const SIZE offset = AncestorScroll();
  point.x += offset.cx;
  point.y += offset.cy;
  return ::PtInRect(&item_rect_, point) != FALSE;
}

void ScrollBar::ComputeGeometry() {
  button1_rect_ = button2_rect_ = thumb_rect_ = rail_rect_ = RECT{0, 0, 0, 0};
  const RECT& r = item_rect_;
  const int64_t start = horizontal_ ? r.left : r.top;
  const int64_t end = horizontal_ ? r.right : r.bottom;
  const int64_t length = end - start;                                        // H
  const int64_t button = horizontal_ ? int64_t(r.bottom) - r.top : int64_t(r.right) - r.left;  // b
  auto span = [&](int64_t from, int64_t to) {
    const LONG a = static_cast<LONG>(ClampLength(from));
    const LONG b = static_cast<LONG>(ClampLength(to));
    return horizontal_ ? RECT{a, r.top, b, r.bottom} : RECT{r.left, a, r.right, b};
  };
  const int64_t rail = length - (show_button1_ ? button : 0) - (show_button2_ ? button : 0);  // L
  if (button >= rail) {
    // Too short for buttons and a thumb: the buttons share the length.
    const int64_t half = length / 2;
    if (show_button1_) button1_rect_ = span(start, start + half);
    if (show_button2_) button2_rect_ = span(end - half, end);
    return;
  }
  if (show_button1_) button1_rect_ = span(start, start + button);
  if (show_button2_) button2_rect_ = span(end - button, end);
  const int64_t rail_begin = start + (show_button1_ ? button : 0);
  const int64_t rail_end = rail_begin + rail;
  rail_rect_ = span(rail_begin, rail_end);
  if (range_ == 0) {
    thumb_rect_ = rail_rect_;
    return;
  }
  // In doubles: a 64-bit range times a length may not fit in 64 bits.
  int64_t thumb = static_cast<int64_t>(static_cast<double>(rail) * static_cast<double>(length) /
                                       (static_cast<double>(length) + static_cast<double>(range_)));
  thumb = std::max<int64_t>(thumb, thumb_min_length_);
  // The minimum length must not push the thumb past the rail: the free
  // length would go negative and the drag arithmetic divide by it.
  thumb = std::min(thumb, rail);
  int64_t top = rail_begin + static_cast<int64_t>(static_cast<double>(rail - thumb) * static_cast<double>(pos_) /
                                                  static_cast<double>(range_));
  if (top + thumb > rail_end) top = rail_end - thumb;
  thumb_rect_ = span(top, top + thumb);
}

int64_t ScrollBar::FreeRailLength() const {
  if (IsEmpty(thumb_rect_) || IsEmpty(rail_rect_)) return 0;
  const int64_t rail = horizontal_ ? rail_rect_.right - rail_rect_.left : rail_rect_.bottom - rail_rect_.top;
  const int64_t thumb = horizontal_ ? thumb_rect_.right - thumb_rect_.left : thumb_rect_.bottom - thumb_rect_.top;
  return std::max<int64_t>(0, rail - thumb);
}

void ScrollBar::SetScrollRange(int64_t range) {
  range = std::max<int64_t>(0, range);
  range_ = range;
  pos_ = std::clamp<int64_t>(pos_, 0, range_);
  if (range_ == 0) {
    SetVisible(false);
  } else if (!auto_hide_ && !IsVisible()) {
    SetVisibleWithFade(true);
  }
  ComputeGeometry();
  Invalidate();
}

void ScrollBar::SetScrollPos(int64_t pos) {
  pos = std::clamp<int64_t>(pos, 0, range_);
  if (pos == pos_) return;
  pos_ = pos;
  ComputeGeometry();
  Invalidate();
}

void ScrollBar::SetHorizontal(bool horizontal) {
  if (horizontal == horizontal_) return;
  horizontal_ = horizontal;
  const int thickness = Scale(kDefaultThickness);
  // The thickness of the old direction, when it was only the default,
  // becomes the length of the new one, which stretches.
  if (horizontal) {
    if (fixed_width_ == thickness) fixed_width_ = kStretch;
    if (fixed_height_ < 0) fixed_height_ = thickness;
  } else {
    if (fixed_height_ == thickness) fixed_height_ = kStretch;
    if (fixed_width_ < 0) fixed_width_ = thickness;
  }
  reestimate_ = true;
  if (owner_)
    owner_->Arrange();
  else
    Arrange();
}

void ScrollBar::SetLineSize(int size) { line_size_ = std::max(0, Scale(size)); }

void ScrollBar::SetThumbMinLength(int length) {
  thumb_min_length_ = std::max(0, Scale(length));
  ComputeGeometry();
  Invalidate();
}

void ScrollBar::SetShowButton1(bool show) {
  show_button1_ = show;
  ComputeGeometry();
  Invalidate();
}

void ScrollBar::SetShowButton2(bool show) {
  show_button2_ = show;
  ComputeGeometry();
  Invalidate();
}

void ScrollBar::SetVisible(bool visible) {
  if (!owner_ || parent_ != static_cast<Control*>(owner_)) {
    Control::SetVisible(visible);
    return;
  }
  if (visible == visible_) return;
  if (!visible) {
    CancelPress();
    Invalidate();  // the area it leaves
  }
  visible_ = visible;
  if (visible) Invalidate();
}

void ScrollBar::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  if (!enabled) CancelPress();
  Control::SetEnabled(enabled);
  button1_state_ = button2_state_ = thumb_state_ = kStateNormal;
}

Image* ScrollBar::PartImages(const std::wstring& name, ControlState* state) {
  static const struct {
    const wchar_t* suffix;
    ControlState state;
  } kSuffixes[] = {{L"normalimage", kStateNormal},
                   {L"hotimage", kStateHot},
                   {L"pushedimage", kStatePushed},
                   {L"disabledimage", kStateDisabled}};
  const struct {
    const wchar_t* prefix;
    Image* images;
  } parts[] = {{L"button1", button1_images_},
               {L"button2", button2_images_},
               {L"thumb", thumb_images_},
               {L"rail", rail_images_},
               {L"bk", bk_images_}};
  for (const auto& part : parts) {
    const size_t prefix = std::wcslen(part.prefix);
    if (name.compare(0, prefix, part.prefix) != 0) continue;
    for (const auto& suffix : kSuffixes) {
      if (name.compare(prefix, std::wstring::npos, suffix.suffix) == 0) {
        *state = suffix.state;
        return part.images;
      }
    }
  }
  return nullptr;
}

void ScrollBar::SetAttribute(const std::wstring& name, const std::wstring& value) {
  ControlState state = kStateNormal;
  if (Image* images = PartImages(name, &state)) {
    images[state].SetImageDescriptor(value);
    Invalidate();
  } else if (name == L"hor") {
    SetHorizontal(IsTrue(value));
  } else if (name == L"linesize") {
    SetLineSize(ParseLength(value));
  } else if (name == L"thumbminlength") {
    SetThumbMinLength(ParseLength(value));
  } else if (name == L"range") {
    SetScrollRange(ParseLength(value));
  } else if (name == L"value") {
    SetScrollPos(ParseLength(value));
  } else if (name == L"showbutton1") {
    SetShowButton1(IsTrue(value));
  } else if (name == L"showbutton2") {
    SetShowButton2(IsTrue(value));
  } else if (name == L"autohidescroll") {
    SetAutoHide(IsTrue(value));
  } else {
    Control::SetAttribute(name, value);
  }
}

ScrollBar::Part ScrollBar::PartAt(POINT point) const {
  const SIZE offset = AncestorScroll();
  point.x += offset.cx;
  point.y += offset.cy;
  if (::PtInRect(&button1_rect_, point)) return kPartButton1;
  if (::PtInRect(&button2_rect_, point)) return kPartButton2;
  if (::PtInRect(&thumb_rect_, point)) return kPartThumb;
  if (!::PtInRect(&rail_rect_, point) || IsEmpty(thumb_rect_)) return kPartNone;
  const LONG at = Along(point);
  return at < (horizontal_ ? thumb_rect_.left : thumb_rect_.top) ? kPartRailBefore : kPartRailAfter;
}

void ScrollBar::MoveTo(int64_t pos) {
  if (owner_) {
    if (horizontal_)
      owner_->SetScrollPosX(pos);
    else
      owner_->SetScrollPosY(pos);
    return;
  }
  const int64_t old = pos_;
  SetScrollPos(pos);
  if (pos_ != old) SendEvent(kEventScrollChange);
}

void ScrollBar::StepLine(bool forward) {
  if (!owner_) {
    MoveTo(forward ? pos_ + line_size_ : pos_ - line_size_);
  } else if (horizontal_) {
    forward ? owner_->LineRight(-1) : owner_->LineLeft(-1);
  } else {
    forward ? owner_->LineDown(-1, false) : owner_->LineUp(-1, false);
  }
}

void ScrollBar::StepPage(bool forward) {
  if (!owner_) {
    // The bar's own length is what a thumb length stands for in position
    // units (the thumb is to the rail what the view is to the content).
    const int64_t page = horizontal_ ? item_rect_.right - item_rect_.left : item_rect_.bottom - item_rect_.top;
    MoveTo(forward ? pos_ + page : pos_ - page);
  } else if (horizontal_) {
    forward ? owner_->PageRight() : owner_->PageLeft();
  } else {
    forward ? owner_->PageDown() : owner_->PageUp();
  }
}

void ScrollBar::StartRepeat() {
  repeat_timer_.Cancel();
  repeat_ticks_ = 0;
  if (FrameworkTimer* timer = FrameworkTimer::GetInstance())
    timer->AddTimer(repeat_timer_.AliveFlag(), [this] { OnRepeatTimer(); }, kRepeatIntervalMs, -1);
}

void ScrollBar::StopRepeat() {
  repeat_timer_.Cancel();
  repeat_ticks_ = 0;
}

void ScrollBar::OnRepeatTimer() {
  ++repeat_ticks_;
  const bool waited = repeat_ticks_ > kRepeatDelayTicks;
  switch (held_) {
    case kPartThumb:
      if (has_pending_offset_) {
        has_pending_offset_ = false;
        MoveTo(drag_start_pos_ + pending_offset_);
      }
      break;
    case kPartButton1:
    case kPartButton2:
      if (waited) StepLine(held_ == kPartButton2);
      break;
    case kPartRailBefore:
    case kPartRailAfter:
      // Paging goes on while the pointer stays beyond the thumb.
      if (waited && PartAt(last_point_) == held_) StepPage(held_ == kPartRailAfter);
      break;
    default:
      break;
  }
}

void ScrollBar::HandleMessage(EventArgs* args) {
  const int type = args->type;
  if (!mouse_enabled_ && type >= kEventMouseMove && type <= kEventMouseScrollWheel) {
    PassToParent(args);
    return;
  }
  const bool down = type == kEventMouseButtonDown || type == kEventInternalDoubleClick ||
                    (type == kEventPointerDown && receive_pointer_);
  const bool up = type == kEventMouseButtonUp || (type == kEventPointerUp && receive_pointer_);
  const bool move = type == kEventMouseMove || (type == kEventPointerMove && receive_pointer_);
  if (down) {
    if (!enabled_) return;
    std::weak_ptr<base::WeakFlag> alive = AliveFlag();
    const POINT point = args->mouse_point;
    last_point_ = point;
    held_ = PartAt(point);
    has_pending_offset_ = false;
    StartRepeat();
    switch (held_) {
      case kPartButton1:
        button1_state_ = kStatePushed;
        StepLine(false);
        break;
      case kPartButton2:
        button2_state_ = kStatePushed;
        StepLine(true);
        break;
      case kPartThumb:
        thumb_state_ = kStatePushed;
        drag_start_ = point;
        drag_start_pos_ = pos_;
        if (window_) window_->SetCapture(this);
        break;
      case kPartRailBefore:
        StepPage(false);
        break;
      case kPartRailAfter:
        StepPage(true);
        break;
      default:
        break;
    }
    if (alive.expired()) return;
    ButtonDown(args);
    return;
  }
  if (move) {
    last_point_ = args->mouse_point;
    if (held_ == kPartThumb) {
      const int64_t free = FreeRailLength();
      const int64_t moved = Along(args->mouse_point) - Along(drag_start_);
      // A thumb that fills its rail has nowhere to go.
      if (free > 0 && range_ > 0) {
        pending_offset_ = static_cast<int64_t>(static_cast<double>(moved) * static_cast<double>(range_) /
                                               static_cast<double>(free));
        has_pending_offset_ = true;
      }
      return;
    }
  } else if (up) {
    const POINT point = args->mouse_point;
    has_pending_offset_ = false;
    pending_offset_ = 0;
    StopRepeat();
    if (held_ == kPartThumb) {
      thumb_state_ = PartAt(point) == kPartThumb ? kStateHot : kStateNormal;
      if (window_ && window_->GetCaptureControl() == this) window_->ReleaseCapture();
    }
    if (button1_state_ == kStatePushed) button1_state_ = kStateNormal;
    if (button2_state_ == kStatePushed) button2_state_ = kStateNormal;
    held_ = kPartNone;
    std::weak_ptr<base::WeakFlag> alive = AliveFlag();
    ButtonUp(args);
    if (alive.expired()) return;
    if (auto_hide_ && owner_ && !owner_->HitTestScrolled(point)) SetVisibleWithFade(false);
    return;
  } else if (type == kEventSetCursor) {
    ::SetCursor(::LoadCursorW(nullptr, cursor_ == kCursorHand ? IDC_HAND : IDC_ARROW));
    return;
  }
  Control::HandleMessage(args);
}

void ScrollBar::CancelPress() {
  StopRepeat();
  has_pending_offset_ = false;
  if (held_ == kPartThumb && window_ && window_->GetCaptureControl() == this) window_->ReleaseCapture();
  held_ = kPartNone;
  button1_state_ = button2_state_ = thumb_state_ = kStateNormal;
  Control::CancelPress();
}

void ScrollBar::MouseEnter(EventArgs* args) {
  if (enabled_) {
    for (ControlState* s : {&button1_state_, &button2_state_, &thumb_state_}) {
      if (*s != kStatePushed) *s = kStateHot;
    }
  }
  Control::MouseEnter(args);
  Invalidate();
}

void ScrollBar::MouseLeave(EventArgs* args) {
  if (enabled_) {
    for (ControlState* s : {&button1_state_, &button2_state_, &thumb_state_}) {
      if (*s != kStatePushed) *s = kStateNormal;
    }
  }
  Control::MouseLeave(args);
  Invalidate();
}

void ScrollBar::PaintPart(IRenderContext* context, Image* images, ControlState state, const RECT& part) {
  if (IsEmpty(part)) return;
  Image& image = images[WithImage(images, enabled_ ? state : kStateDisabled)];
  if (image.attributes().image_name.empty()) return;
  wchar_t modifier[128];
  std::swprintf(modifier, 128, L"destscale='false' dest='%ld,%ld,%ld,%ld'", part.left - item_rect_.left,
                part.top - item_rect_.top, part.right - item_rect_.left, part.bottom - item_rect_.top);
  DrawImage(context, image, modifier);
}

void ScrollBar::PaintBackgroundImage(IRenderContext* context) {
  Control::PaintBackgroundImage(context);
  PaintPart(context, bk_images_, state_, item_rect_);
}

void ScrollBar::PaintStateImage(IRenderContext* context) {
  Control::PaintStateImage(context);
  PaintPart(context, button1_images_, button1_state_, button1_rect_);
  PaintPart(context, button2_images_, button2_state_, button2_rect_);
  PaintPart(context, rail_images_, state_, rail_rect_);
  PaintPart(context, thumb_images_, thumb_state_, thumb_rect_);
}

void ScrollBar::ReleaseAllImages() {
  Control::ReleaseAllImages();
  for (Image* images : {bk_images_, button1_images_, button2_images_, thumb_images_, rail_images_}) {
    for (int i = 0; i < 4; ++i) images[i].ReleaseImage();
  }
}

}  // namespace ui
