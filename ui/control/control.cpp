#include "ui/control/control.h"

#include <algorithm>
#include <cwchar>

#include "base/log/log.h"
#include "base/util/string_util.h"
#include "ui/animation/framework_timer.h"
#include "ui/control/attribute_values.h"
#include "ui/core/global_resources.h"
#include "ui/core/string_table.h"
#include "ui/render/render_interface.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/window/window.h"

namespace ui {

namespace {

// Classes naming classes: a chain deeper than this is a mistake in the
// skin, and one that names itself would never end.
constexpr size_t kMaxClassDepth = 16;

int Scale(int value) { return DpiScaler::GetInstance().ScaleLength(value); }

bool IsTrue(const std::wstring& value) { return value == L"true"; }

RECT ToRect(const ImageRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

DWORD ColorOf(const std::wstring& name) { return name.empty() ? 0 : GlobalResources::GetTextColor(name); }

// Names of the classes being expanded, innermost last (UI thread only).
std::vector<std::wstring>& ExpandingClasses() {
  static std::vector<std::wstring> names;
  return names;
}

}  // namespace

EventHandler WeakHandler(base::SupportWeakCallback* owner, EventHandler handler) {
  std::weak_ptr<base::WeakFlag> alive = owner->AliveFlag();
  return [alive, handler](EventArgs* args) { return alive.expired() ? true : handler(args); };
}

Control::Control() = default;

Control::~Control() {
  image_timer_.Cancel();
  animations_.reset();
  if (window_) window_->OnControlGone(this);
}

SIZE Control::MeasureSize(SIZE available) {
  if (fixed_width_ != kAuto && fixed_height_ != kAuto) return SIZE{fixed_width_, fixed_height_};
  if (!reestimate_) return estimate_;
  SIZE size{fixed_width_, fixed_height_};
  if (Image* image = AutoSizeImage()) {
    if (image->attributes().dest.IsSet()) {
      // The destination decides the size for good.
      const ImageRect& d = image->attributes().dest;
      fixed_width_ = std::max(0, d.right - d.left);
      fixed_height_ = std::max(0, d.bottom - d.top);
      reestimate_ = false;
      estimate_ = SIZE{fixed_width_, fixed_height_};
      return estimate_;
    }
    if (image->EnsureLoaded(ResourceFolder())) {
      if (fixed_width_ == kAuto) size.cx = Scale(image->info()->width());
      if (fixed_height_ == kAuto) size.cy = Scale(image->info()->height());
    }
  }
  SIZE text = MeasureLabelText(available);
  if (fixed_width_ == kAuto) size.cx = std::max<LONG>(size.cx == kAuto ? 0 : size.cx, text.cx);
  if (fixed_height_ == kAuto) size.cy = std::max<LONG>(size.cy == kAuto ? 0 : size.cy, text.cy);
  reestimate_ = false;
  estimate_ = size;
  return size;
}

void Control::OnPositionChanged() {
  // A handler that moves the control again would come back here.
  if (in_resize_event_) return;
  in_resize_event_ = true;
  std::weak_ptr<base::WeakFlag> alive = AliveFlag();
  SendEvent(kEventResize);
  if (!alive.expired()) in_resize_event_ = false;
}

Image* Control::AutoSizeImage() {
  if (!bk_image_.attributes().image_name.empty()) return &bk_image_;
  if (!state_images_[kStateNormal].attributes().image_name.empty()) return &state_images_[kStateNormal];
  return nullptr;
}

std::wstring Control::TooltipText() const {
  if (tooltip_text_.empty() && !tooltip_text_id_.empty()) return StringTable::GetText(tooltip_text_id_);
  return tooltip_text_;
}

std::string Control::TooltipTextUtf8() const { return base::WideToUtf8(TooltipText()); }

void Control::SetTooltipText(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, L"<n>") == 0) {
      out += L"\r\n";
      i += 2;
    } else {
      out += text[i];
    }
  }
  tooltip_text_ = out;
  Invalidate();
}

void Control::SetTooltipTextUtf8(const std::string& text) { SetTooltipText(base::Utf8ToWide(text)); }
void Control::SetTooltipTextId(const std::wstring& id) { tooltip_text_id_ = id; }
void Control::SetTooltipTextIdUtf8(const std::string& id) { SetTooltipTextId(base::Utf8ToWide(id)); }
void Control::SetTooltipWidth(int width) { tooltip_width_ = Scale(std::max(0, width)); }
std::string Control::DataIdUtf8() const { return base::WideToUtf8(data_id_); }
void Control::SetDataIdUtf8(const std::string& id) { data_id_ = base::Utf8ToWide(id); }

void Control::SetVisibleWithFade(bool visible) {
  if (!animations_) {
    SetVisible(visible);
    return;
  }
  // The manager shows at once and fades in, or fades out and then hides
  // (at once when no fade is present).
  if (visible)
    animations_->AnimateIn();
  else
    animations_->AnimateOut();
}

void Control::SetVisibleFromParent(bool visible) {
  internal_visible_ = visible;
  if (!visible && window_ && window_->GetFocus() == this) window_->SetFocus(nullptr);
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  const bool was_visible = IsVisible();
  visible_ = visible;
  if (focused_) focused_ = false;
  if (!visible) {
    bk_image_.Stop();
    image_timer_.Cancel();
    if (window_ && window_->GetFocus() == this) window_->SetFocus(nullptr);
  }
  if (IsVisible() != was_visible) ArrangeAncestor();
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled) {
    state_ = kStateNormal;
    hot_alpha_ = 0;
  } else {
    state_ = kStateDisabled;
  }
  Invalidate();
}

void Control::SetFocus() {
  if (no_focus_ || !window_) return;
  window_->SetFocus(this);
}

Control* Control::FindControl(FindVisitor visitor, void* data, UINT flags) {
  if ((flags & kFindVisible) && !IsVisible()) return nullptr;
  if ((flags & kFindEnabled) && !IsEnabled()) return nullptr;
  if (flags & kFindHitTest) {
    if (!mouse_enabled_) return nullptr;
    const POINT* point = static_cast<const POINT*>(data);
    if (!::PtInRect(&item_rect_, *point)) return nullptr;
  }
  return visitor(this, data);
}

void Control::SetMargin(RECT margin, bool dpi_scale) {
  if (dpi_scale) {
    margin = RECT{Scale(margin.left), Scale(margin.top), Scale(margin.right), Scale(margin.bottom)};
  }
  margin.left = ClampLength(margin.left);
  margin.top = ClampLength(margin.top);
  margin.right = ClampLength(margin.right);
  margin.bottom = ClampLength(margin.bottom);
  if (::EqualRect(&margin, &margin_)) return;
  margin_ = margin;
  ArrangeAncestor();
}

bool Control::HitTestScrolled(POINT point) const {
  for (Control* p = parent_; p; p = p->GetParent()) {
    SIZE offset = p->GetScrollOffset();
    point.x += offset.cx;
    point.y += offset.cy;
  }
  return ::PtInRect(&item_rect_, point) != FALSE;
}

bool Control::RunHandlers(std::map<int, std::vector<EventHandler>>* lists, int type, EventArgs* args,
                          const std::weak_ptr<base::WeakFlag>& alive, bool* destroyed) {
  // The list is looked up again on every step: a handler may subscribe
  // more, or destroy the control and the list with it.
  for (size_t i = 0;; ++i) {
    auto it = lists->find(type);
    if (it == lists->end() || i >= it->second.size()) return true;
    EventHandler handler = it->second[i];
    const bool go_on = handler(args);
    if (alive.expired()) {
      *destroyed = true;
      return false;
    }
    if (!go_on) return false;
  }
}

bool Control::RunOwnHandlers(EventArgs* args, const std::weak_ptr<base::WeakFlag>& alive, bool* destroyed) {
  if (!RunHandlers(&handlers_, args->type, args, alive, destroyed)) return false;
  if (args->type != kEventAll && !RunHandlers(&handlers_, kEventAll, args, alive, destroyed)) return false;
  if (!RunHandlers(&markup_handlers_, args->type, args, alive, destroyed)) return false;
  if (args->type != kEventAll && !RunHandlers(&markup_handlers_, kEventAll, args, alive, destroyed))
    return false;
  return true;
}

bool Control::DeliverEvent(EventArgs* args) {
  if (args->type >= kEventInternalDoubleClick && args->type <= kEventInternalKillFocus) {
    HandleMessage(args);
    return true;
  }
  std::weak_ptr<base::WeakFlag> alive = AliveFlag();
  bool destroyed = false;
  if (args->sender == this && !RunOwnHandlers(args, alive, &destroyed)) return false;
  HandleMessage(args);
  return true;
}

bool Control::TracksHover() const {
  return !state_colors_[kStateHot].empty() || !state_images_[kStateHot].attributes().image_name.empty() ||
         !fore_state_images_[kStateHot].attributes().image_name.empty();
}

void Control::PassToParent(EventArgs* args) {
  // The root has nobody to pass to: the event ends here.
  if (parent_) parent_->DeliverEvent(args);
}

void Control::HandleMessage(EventArgs* args) {
  const int type = args->type;
  if (!mouse_enabled_ && type >= kEventMouseMove && type <= kEventMouseScrollWheel) {
    PassToParent(args);
    return;
  }
  switch (type) {
    case kEventInternalMenu:
      if (enabled_ && context_menu_) SendEvent(kEventMouseMenu, args->wparam, args->lparam);
      return;
    case kEventInternalDoubleClick:
    case kEventMouseButtonDown:
      ButtonDown(args);
      return;
    case kEventMouseButtonUp:
      ButtonUp(args);
      return;
    case kEventPointerDown:
      if (receive_pointer_) {
        ButtonDown(args);
        return;
      }
      break;
    case kEventPointerUp:
      if (receive_pointer_) {
        ButtonUp(args);
        return;
      }
      break;
    case kEventMouseEnter:
      if (args->sender != this && window_) {
        Control* hover = window_->GetHoverControl();
        if (!IsAncestorOf(hover)) return;
      }
      MouseEnter(args);
      break;
    case kEventMouseLeave:
      if (args->sender != this && window_) {
        Control* hover = window_->GetHoverControl();
        if (IsAncestorOf(hover)) return;
      }
      MouseLeave(args);
      break;
    case kEventInternalSetFocus:
      focused_ = true;
      hot_alpha_ = 255;
      state_ = kStateHot;
      Invalidate();
      return;
    case kEventInternalKillFocus:
      focused_ = false;
      hot_alpha_ = 0;
      state_ = kStateNormal;
      Invalidate();
      return;
    case kEventSetCursor: {
      LPCWSTR cursor = IDC_ARROW;
      if (cursor_ == kCursorHand) cursor = enabled_ ? IDC_HAND : IDC_ARROW;
      if (cursor_ == kCursorIBeam) cursor = IDC_IBEAM;
      ::SetCursor(::LoadCursorW(nullptr, cursor));
      return;
    }
    default:
      break;
  }
  PassToParent(args);
}

void Control::MouseEnter(EventArgs* /*args*/) {
  if (!enabled_ || state_ != kStateNormal) return;
  state_ = kStateHot;
  if (TracksHover() && HasFade(kFadeHot)) animations_->MouseEnter();
  Invalidate();
}

void Control::MouseLeave(EventArgs* /*args*/) {
  if (!enabled_ || state_ != kStateHot) return;
  state_ = kStateNormal;
  if (HasFade(kFadeHot)) animations_->MouseLeave();
  Invalidate();
}

void Control::ButtonDown(EventArgs* /*args*/) {
  if (!enabled_) return;
  state_ = kStatePushed;
  mouse_focused_ = true;
  Invalidate();
}

void Control::CancelPress() {
  if (!mouse_focused_) return;
  mouse_focused_ = false;
  if (animations_) animations_->StopHot();
  state_ = kStateNormal;
  hot_alpha_ = 0;
  Invalidate();
}

void Control::ButtonUp(EventArgs* args) {
  if (!mouse_focused_) return;
  mouse_focused_ = false;
  if (animations_) animations_->StopHot();
  Invalidate();
  if (HitTestScrolled(args->mouse_point)) {
    if (args->type == kEventPointerUp) {
      state_ = kStateNormal;
      hot_alpha_ = 0;
    } else {
      state_ = kStateHot;
      hot_alpha_ = 255;
    }
    // Last: a click may destroy this control.
    Activate();
  } else {
    state_ = kStateNormal;
    hot_alpha_ = 0;
  }
}

void Control::Subscribe(int type, EventHandler handler) { handlers_[type].push_back(std::move(handler)); }

void Control::AddMarkupHandler(int type, EventHandler handler) {
  markup_handlers_[type].push_back(std::move(handler));
}

bool Control::SendEvent(int type, WPARAM wparam, LPARAM lparam, wchar_t key) {
  EventArgs args;
  args.type = type;
  args.sender = this;
  args.timestamp = ::GetTickCount();
  if (window_) args.mouse_point = window_->GetLastMousePos();
  args.key = key;
  args.wparam = wparam;
  args.lparam = lparam;
  return DeliverEvent(&args);
}

void Control::ApplyAttributeList(const std::wstring& list) {
  for (const AttributePair& pair : ParseAttributeList(list)) SetAttribute(pair.first, pair.second);
}

bool Control::IsVisibleInTree() const {
  for (const Control* c = this; c; c = c->GetParent()) {
    if (!c->IsVisible()) return false;
  }
  return true;
}

bool Control::IsAncestorOf(const Control* control) const {
  for (const Control* c = control; c; c = c->GetParent()) {
    if (c == this) return true;
  }
  return false;
}

bool Control::HasFade(FadeKind kind) const { return animations_ && animations_->PlayerFor(kind) != nullptr; }

AnimationManager* Control::Animations() {
  if (!animations_) animations_ = std::make_unique<AnimationManager>(this);
  return animations_.get();
}

void Control::SetFade(FadeKind kind, bool on) {
  if (!on && !animations_) return;
  AnimationManager* manager = Animations();
  switch (kind) {
    case kFadeAlpha: manager->SetFadeAlpha(on); break;
    case kFadeHot: manager->SetFadeHot(on); break;
    case kFadeWidth: manager->SetFadeWidth(on); break;
    case kFadeHeight: manager->SetFadeHeight(on); break;
    case kFadeInoutXFromLeft: manager->SetFadeInOutX(on, false); break;
    case kFadeInoutXFromRight: manager->SetFadeInOutX(on, true); break;
    case kFadeInoutYFromTop: manager->SetFadeInOutY(on, false); break;
    case kFadeInoutYFromBottom: manager->SetFadeInOutY(on, true); break;
    default: break;
  }
}

void Control::SetState(ControlState state) {
  state_ = state;
  Invalidate();
}

void Control::SetAlpha(int alpha) {
  alpha = std::clamp(alpha, 0, 255);
  if (alpha == alpha_) return;
  alpha_ = alpha;
  Invalidate();
}

void Control::SetHotAlpha(int alpha) {
  hot_alpha_ = std::clamp(alpha, 0, 255);
  Invalidate();
}

void Control::SetRenderOffset(POINT offset) {
  render_offset_ = offset;
  Invalidate();
}

void Control::SetBkColor(const std::wstring& name) {
  size_t start = 0;
  while (start < name.size() && iswspace(name[start])) ++start;
  std::wstring trimmed = name.substr(start);
  if (trimmed == bk_color_) return;
  bk_color_ = trimmed;
  Invalidate();
}

void Control::SetStateColor(ControlState state, const std::wstring& name) {
  state_colors_[state] = name;
  if (state == kStateHot) SetFade(kFadeHot, true);
  Invalidate();
}

void Control::SetBkImage(const std::wstring& descriptor) {
  bk_image_.SetImageDescriptor(descriptor);
  if (IsAutoSized())
    ArrangeAncestor();
  else
    Invalidate();
}

void Control::SetStateImage(ControlState state, const std::wstring& descriptor) {
  state_images_[state].SetImageDescriptor(descriptor);
  if (state == kStateHot) SetFade(kFadeHot, true);
  if (state == kStateNormal && IsAutoSized() && bk_image_.attributes().image_name.empty())
    ArrangeAncestor();
  else
    Invalidate();
}

void Control::SetForeStateImage(ControlState state, const std::wstring& descriptor) {
  fore_state_images_[state].SetImageDescriptor(descriptor);
  if (state == kStateHot) SetFade(kFadeHot, true);
  Invalidate();
}

std::wstring Control::ResourceFolder() const { return window_ ? window_->GetResourcePath() : std::wstring(); }

void Control::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"class") {
    std::vector<std::wstring>& expanding = ExpandingClasses();
    size_t pos = 0;
    while (pos <= value.size()) {
      size_t end = value.find(L' ', pos);
      if (end == std::wstring::npos) end = value.size();
      const std::wstring cls = value.substr(pos, end - pos);
      pos = end + 1;
      if (cls.empty()) continue;
      if (std::find(expanding.begin(), expanding.end(), cls) != expanding.end() ||
          expanding.size() >= kMaxClassDepth) {
        QLOG_WAR(L"class {0}: refers back to itself or nests too deep; not expanded") << cls;
        continue;
      }
      std::wstring list = GlobalResources::GetClassAttributes(cls);
      if (list.empty() && window_) list = window_->GetClassAttributes(cls);
      if (list.empty()) continue;
      expanding.push_back(cls);
      ApplyAttributeList(list);
      expanding.pop_back();
    }
  } else if (name == L"halign") {
    if (value == L"left") SetHorAlign(kHorAlignLeft);
    else if (value == L"center") SetHorAlign(kHorAlignCenter);
    else if (value == L"right") SetHorAlign(kHorAlignRight);
  } else if (name == L"valign") {
    if (value == L"top") SetVerAlign(kVerAlignTop);
    else if (value == L"center") SetVerAlign(kVerAlignCenter);
    else if (value == L"bottom") SetVerAlign(kVerAlignBottom);
  } else if (name == L"margin") {
    int v[4];
    if (ParseIntList(value, v, 4)) SetMargin(RECT{v[0], v[1], v[2], v[3]}, true);
  } else if (name == L"bkcolor" || name == L"bkcolor1") {
    SetBkColor(value);
  } else if (name == L"bordersize") {
    if (value.find(L',') == std::wstring::npos) {
      border_size_ = std::max(0, Scale(ParseLength(value)));
      border_sides_ = RECT{0, 0, 0, 0};
    } else {
      int v[4];
      if (ParseIntList(value, v, 4)) {
        border_sides_ = RECT{std::max(0, Scale(v[0])), std::max(0, Scale(v[1])), std::max(0, Scale(v[2])),
                             std::max(0, Scale(v[3]))};
      }
    }
    Invalidate();
  } else if (name == L"borderround") {
    int v[2];
    if (ParseIntList(value, v, 2)) border_round_ = SIZE{std::max(0, Scale(v[0])), std::max(0, Scale(v[1]))};
  } else if (name == L"width" || name == L"height") {
    int v;
    if (value == L"stretch") v = kStretch;
    else if (value == L"auto") v = kAuto;
    else {
      v = ParseLength(value);
      if (v < 0 && v != kStretch && v != kAuto) return;
      if (v >= 0) v = ClampLength(Scale(v));
    }
    if (name == L"width") SetFixedWidth(v);
    else SetFixedHeight(v);
  } else if (name == L"maxwidth" || name == L"maxheight") {
    int v = value == L"stretch" ? kStretch : value == L"auto" ? kAuto : ParseLength(value);
    if (v >= 0) v = ClampLength(Scale(v));
    if (name == L"maxwidth") SetMaxWidth(v);
    else SetMaxHeight(v);
  } else if (name == L"minwidth" || name == L"minheight") {
    int v = ParseLength(value);
    if (v < 0) return;
    v = ClampLength(Scale(v));
    if (name == L"minwidth") SetMinWidth(v);
    else SetMinHeight(v);
  } else if (name == L"state") {
    if (value == L"normal") {
      state_ = kStateNormal;
      hot_alpha_ = 0;
    } else if (value == L"hot") {
      state_ = kStateHot;
      hot_alpha_ = 255;
    } else if (value == L"pushed") {
      state_ = kStatePushed;
    } else if (value == L"disabled") {
      state_ = kStateDisabled;
    }
    Invalidate();
  } else if (name == L"cursortype") {
    if (value == L"arrow") cursor_ = kCursorArrow;
    else if (value == L"hand") cursor_ = kCursorHand;
    else if (value == L"ibeam") cursor_ = kCursorIBeam;
  } else if (name == L"renderoffset") {
    int v[2];
    if (ParseIntList(value, v, 2)) SetRenderOffset(POINT{Scale(v[0]), Scale(v[1])});
  } else if (name == L"normalcolor") {
    SetStateColor(kStateNormal, value);
  } else if (name == L"hotcolor") {
    SetStateColor(kStateHot, value);
  } else if (name == L"pushedcolor") {
    SetStateColor(kStatePushed, value);
  } else if (name == L"disabledcolor") {
    SetStateColor(kStateDisabled, value);
  } else if (name == L"bordercolor") {
    border_color_ = value;
    Invalidate();
  } else if (name == L"leftbordersize") {
    border_sides_.left = std::max(0, Scale(ParseLength(value)));
  } else if (name == L"topbordersize") {
    border_sides_.top = std::max(0, Scale(ParseLength(value)));
  } else if (name == L"rightbordersize") {
    border_sides_.right = std::max(0, Scale(ParseLength(value)));
  } else if (name == L"bottombordersize") {
    border_sides_.bottom = std::max(0, Scale(ParseLength(value)));
  } else if (name == L"bkimage") {
    SetBkImage(value);
  } else if (name == L"name") {
    SetName(value);
  } else if (name == L"tooltiptext") {
    SetTooltipText(value);
  } else if (name == L"tooltiptextid") {
    SetTooltipTextId(value);
  } else if (name == L"dataid") {
    SetDataId(value);
  } else if (name == L"enabled") {
    SetEnabled(IsTrue(value));
  } else if (name == L"mouse") {
    SetMouseEnabled(IsTrue(value));
  } else if (name == L"keyboard") {
    SetKeyboardEnabled(IsTrue(value));
  } else if (name == L"visible") {
    SetVisible(IsTrue(value));
  } else if (name == L"fadevisible") {
    SetVisibleWithFade(IsTrue(value));
  } else if (name == L"menu") {
    SetWantsContextMenu(IsTrue(value));
  } else if (name == L"float") {
    SetFloat(IsTrue(value));
  } else if (name == L"cache") {
    SetUseCache(IsTrue(value));
  } else if (name == L"nofocus") {
    no_focus_ = true;
  } else if (name == L"alpha") {
    SetAlpha(ParseLength(value));
  } else if (name == L"normalimage") {
    SetStateImage(kStateNormal, value);
  } else if (name == L"hotimage") {
    SetStateImage(kStateHot, value);
  } else if (name == L"pushedimage") {
    SetStateImage(kStatePushed, value);
  } else if (name == L"disabledimage") {
    SetStateImage(kStateDisabled, value);
  } else if (name == L"forenormalimage") {
    SetForeStateImage(kStateNormal, value);
  } else if (name == L"forehotimage") {
    SetForeStateImage(kStateHot, value);
  } else if (name == L"forepushedimage") {
    SetForeStateImage(kStatePushed, value);
  } else if (name == L"foredisabledimage") {
    SetForeStateImage(kStateDisabled, value);
  } else if (name == L"fadealpha") {
    SetFade(kFadeAlpha, IsTrue(value));
  } else if (name == L"fadehot") {
    SetFade(kFadeHot, IsTrue(value));
  } else if (name == L"fadewidth") {
    SetFade(kFadeWidth, IsTrue(value));
  } else if (name == L"fadeheight") {
    SetFade(kFadeHeight, IsTrue(value));
  } else if (name == L"fadeinoutxfromleft") {
    SetFade(kFadeInoutXFromLeft, IsTrue(value));
  } else if (name == L"fadeinoutxfromright") {
    SetFade(kFadeInoutXFromRight, IsTrue(value));
  } else if (name == L"fadeinoutyfromtop") {
    SetFade(kFadeInoutYFromTop, IsTrue(value));
  } else if (name == L"fadeinoutyfrombottom") {
    SetFade(kFadeInoutYFromBottom, IsTrue(value));
  } else if (name == L"receivepointer") {
    receive_pointer_ = IsTrue(value);
  }
}

void Control::Paint(IRenderContext* context, const RECT& dirty) {
  if (alpha_ == 0) return;
  RECT visible;
  if (!::IntersectRect(&visible, &dirty, &item_rect_)) return;
  IRenderFactory* factory = GlobalResources::GetRenderFactory();
  const bool layered = (alpha_ < 255 || use_cache_) && factory;
  if (!layered) {
    const bool round = border_round_.cx > 0 && border_round_.cy > 0;
    AutoClip clip = round ? AutoClip(context, item_rect_, border_round_, clip_) : AutoClip(context, item_rect_, clip_);
    POINT old = context->OffsetWindowOrg(render_offset_);
    PaintLayers(context, dirty);
    PaintChildren(context, dirty);
    context->SetWindowOrg(old);
    return;
  }
  const int width = item_rect_.right - item_rect_.left;
  const int height = item_rect_.bottom - item_rect_.top;
  if (width <= 0 || height <= 0) return;
  if (!cache_surface_) cache_surface_ = factory->CreateRenderContext();
  if (cache_surface_->Resize(width, height)) cache_dirty_ = true;
  if (cache_dirty_) {
    cache_surface_->Clear();
    POINT old = cache_surface_->SetWindowOrg(POINT{item_rect_.left, item_rect_.top});
    PaintLayers(cache_surface_.get(), item_rect_);
    cache_surface_->SetWindowOrg(old);
    cache_dirty_ = false;
  }
  AutoClip clip(context, item_rect_, clip_);
  POINT old = context->OffsetWindowOrg(render_offset_);
  context->AlphaBlend(item_rect_.left, item_rect_.top, width, height, cache_surface_->GetDC(), 0, 0, width,
                      height, static_cast<BYTE>(alpha_));
  PaintChildren(context, dirty);
  context->SetWindowOrg(old);
}

void Control::PaintLayers(IRenderContext* context, const RECT& dirty) {
  if (!::IntersectRect(&paint_rect_, &dirty, &item_rect_)) return;
  PaintBackgroundColor(context);
  PaintBackgroundImage(context);
  PaintStateColor(context);
  PaintStateImage(context);
  PaintOwnText(context);
  PaintFrame(context);
}

bool Control::LoadBackgroundImage() { return bk_image_.EnsureLoaded(ResourceFolder()); }
void Control::ReleaseBackgroundImage() { bk_image_.ReleaseImage(); }

void Control::ReleaseAllImages() {
  bk_image_.ReleaseImage();
  for (int i = 0; i < 4; ++i) {
    state_images_[i].ReleaseImage();
    fore_state_images_[i].ReleaseImage();
  }
}

void Control::PaintBackgroundColor(IRenderContext* context) {
  if (bk_color_.empty()) return;
  const DWORD argb = ColorOf(bk_color_);
  // A colour that lets the background through is laid over the whole
  // control so that repaints of a part blend the same way.
  context->FillColor((argb >> 24) < 255 ? item_rect_ : paint_rect_, argb);
}

void Control::PaintBackgroundImage(IRenderContext* context) { DrawImage(context, bk_image_); }

std::wstring Control::StateColorWithFallback(ControlState state) const {
  if (state == kStatePushed && state_colors_[kStatePushed].empty()) state = kStateHot;
  if (state == kStateHot && state_colors_[kStateHot].empty()) state = kStateNormal;
  if (state == kStateDisabled && state_colors_[kStateDisabled].empty()) state = kStateNormal;
  return state_colors_[state];
}

void Control::PaintStateColor(IRenderContext* context) {
  if (HasFade(kFadeHot) && (state_ == kStateNormal || state_ == kStateHot) &&
      !state_colors_[kStateHot].empty()) {
    if (!state_colors_[kStateNormal].empty()) context->FillColor(paint_rect_, ColorOf(state_colors_[kStateNormal]));
    if (hot_alpha_ > 0)
      context->FillColor(paint_rect_, ColorOf(state_colors_[kStateHot]), static_cast<BYTE>(hot_alpha_));
    return;
  }
  const std::wstring name = StateColorWithFallback(state_);
  if (!name.empty()) context->FillColor(paint_rect_, ColorOf(name));
}

void Control::DrawStateImages(IRenderContext* context, Image* images) {
  Image& normal = images[kStateNormal];
  Image& hot = images[kStateHot];
  if (HasFade(kFadeHot) && (state_ == kStateNormal || state_ == kStateHot) &&
      !hot.attributes().image_name.empty()) {
    if (normal.attributes().image_name == hot.attributes().image_name &&
        normal.attributes().source == hot.attributes().source) {
      DrawImage(context, normal, std::wstring(),
                BlendedStateFade(hot_alpha_, hot.attributes().fade, normal.attributes().fade));
    } else {
      DrawImage(context, normal);
      if (hot_alpha_ > 0) DrawImage(context, hot, std::wstring(), HotOverlayFade(hot_alpha_, hot.attributes().fade));
    }
    return;
  }
  ControlState state = state_;
  if (state == kStatePushed && images[kStatePushed].attributes().image_name.empty()) state = kStateHot;
  if (state == kStateHot && images[kStateHot].attributes().image_name.empty()) state = kStateNormal;
  if (state == kStateDisabled && images[kStateDisabled].attributes().image_name.empty()) state = kStateNormal;
  DrawImage(context, images[state]);
}

void Control::PaintStateImage(IRenderContext* context) {
  DrawStateImages(context, state_images_);
  DrawStateImages(context, fore_state_images_);
}

void Control::PaintFrame(IRenderContext* context) {
  if (border_color_.empty()) return;
  const DWORD argb = ColorOf(border_color_);
  const RECT& r = item_rect_;
  if (border_size_ > 0) {
    if (border_round_.cx > 0 || border_round_.cy > 0)
      context->DrawRoundRect(r, border_round_, border_size_, argb);
    else
      context->DrawRect(r, border_size_, argb);
    return;
  }
  const RECT& s = border_sides_;
  if (s.left > 0) context->FillColor(RECT{r.left, r.top, std::min(r.right, r.left + s.left), r.bottom}, argb);
  if (s.top > 0) context->FillColor(RECT{r.left, r.top, r.right, std::min(r.bottom, r.top + s.top)}, argb);
  if (s.right > 0) context->FillColor(RECT{std::max(r.left, r.right - s.right), r.top, r.right, r.bottom}, argb);
  if (s.bottom > 0)
    context->FillColor(RECT{r.left, std::max(r.top, r.bottom - s.bottom), r.right, r.bottom}, argb);
}

bool Control::DrawImage(IRenderContext* context, Image& image, const std::wstring& modifier, int fade) {
  if (image.attributes().image_name.empty()) return false;
  if (!image.EnsureLoaded(ResourceFolder())) return false;
  const ImageAttributes attributes = image.WithModifier(modifier);
  const std::shared_ptr<ImageInfo>& info = image.info();
  const ImageRect item{item_rect_.left, item_rect_.top, item_rect_.right, item_rect_.bottom};
  const RECT dest = ToRect(ImageDestination(item, attributes));
  const RECT source = ToRect(ImageSource(attributes, info->width(), info->height()));
  if (&image == &bk_image_ && info->IsAnimated() && attributes.play_count != 0 && !image.animation().playing) {
    // Playing starts instead of this draw; the first step repaints.
    const int interval = image.Start();
    if (interval > 0) {
      StartImageTimer(interval);
      return true;
    }
  }
  HBITMAP frame = image.CurrentFrame();
  if (!frame) return false;
  const int alpha = std::clamp(fade >= 0 ? fade : attributes.fade, 0, 255);
  context->DrawImage(paint_rect_, frame, info->has_alpha(), dest, source, ToRect(attributes.corner),
                     static_cast<BYTE>(alpha), attributes.xtiled, attributes.ytiled);
  return true;
}

void Control::StartImageTimer(int interval_ms) {
  image_timer_.Cancel();
  bk_image_.animation().timer_interval = interval_ms;
  FrameworkTimer* timer = FrameworkTimer::GetInstance();
  if (!timer) return;
  timer->AddTimer(image_timer_.AliveFlag(), [this] { StepImage(); }, interval_ms, -1);
}

void Control::StepImage() {
  const AnimationStep step = bk_image_.Step();
  if (step.stop) {
    image_timer_.Cancel();
  } else if (step.restart_timer) {
    StartImageTimer(step.interval);
  }
  if (step.repaint) Invalidate();
}

void Control::SetFadeAlphaValue(int alpha) { SetAlpha(alpha); }
void Control::SetFadeHotAlphaValue(int alpha) { SetHotAlpha(alpha); }
void Control::SetFadeFixedWidth(int width) { SetFixedWidth(std::max(0, width)); }
void Control::SetFadeFixedHeight(int height) { SetFixedHeight(std::max(0, height)); }
void Control::SetFadeRenderOffset(int x, int y) { SetRenderOffset(POINT{x, y}); }

}  // namespace ui
