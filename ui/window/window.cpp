#include "ui/window/window.h"

#include <algorithm>
#include <iterator>

#include <cwchar>

#include "ui/box/box.h"
#include "ui/control/attribute_values.h"
#include "ui/control/control.h"
#include "ui/core/string_table.h"
#include "ui/render/render_interface.h"
#include "ui/utils/dpi_scaler.h"

namespace ui {

namespace {

Control* RegisterVisitor(Control* control, void* data) {
  static_cast<Window*>(data)->RegisterName(control);
  return nullptr;
}

struct ForgetData {
  Window* window;
};

Control* ForgetVisitor(Control* control, void* data) {
  static_cast<ForgetData*>(data)->window->OnControlGone(control);
  return nullptr;
}

}  // namespace

Window::Window() = default;

Window::~Window() {
  if (hwnd_) {
    // Destroyed before its native window: let no message reach this object.
    const HWND hwnd = hwnd_;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (paint_dc_) ::ReleaseDC(hwnd, paint_dc_);
    hwnd_ = nullptr;
    ::DestroyWindow(hwnd);
  }
  pending_release_.clear();
  root_.reset();
}

bool Window::SetAttribute(const std::wstring& name, const std::wstring& value) {
  DpiScaler& dpi = DpiScaler::GetInstance();
  int v[4] = {0, 0, 0, 0};
  if (name == L"size") {
    if (!ParseIntList(value, v, 2)) return true;
    SetInitSize(dpi.ScaleLength(v[0]), dpi.ScaleLength(v[1]));
  } else if (name == L"heightpercent") {
    height_percent_ = std::wcstod(value.c_str(), nullptr);
    if (!hwnd_ || !(height_percent_ > 0.0) || height_percent_ > 100.0) return true;
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &info);
    int height = static_cast<int>((info.rcWork.bottom - info.rcWork.top) * height_percent_);
    if (min_info_.cy != 0) height = std::max<int>(height, min_info_.cy);
    if (max_info_.cy != 0) height = std::min<int>(height, max_info_.cy);
    RECT window;
    ::GetWindowRect(hwnd_, &window);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, window.right - window.left, height,
                   SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  } else if (name == L"sizebox") {
    if (ParseIntList(value, v, 4)) size_box_ = RECT{v[0], v[1], v[2], v[3]};
  } else if (name == L"caption") {
    if (ParseIntList(value, v, 4)) caption_ = dpi.ScaleRectangle(RECT{v[0], v[1], v[2], v[3]});
  } else if (name == L"textid") {
    if (hwnd_) ::SetWindowTextW(hwnd_, StringTable::GetText(value).c_str());
  } else if (name == L"roundcorner") {
    if (ParseIntList(value, v, 2)) round_corner_ = dpi.ScaleExtent(SIZE{v[0], v[1]});
  } else if (name == L"mininfo" || name == L"maxinfo") {
    if (!ParseIntList(value, v, 2)) return true;
    const RECT pad = GetShadowPadding();
    SIZE size{dpi.ScaleLength(v[0]), dpi.ScaleLength(v[1])};
    if (size.cx != 0) size.cx += pad.left + pad.right;
    if (size.cy != 0) size.cy += pad.top + pad.bottom;
    (name == L"mininfo" ? min_info_ : max_info_) = size;
  } else if (name == L"shadowattached") {
    shadow_attached_ = value == L"true";
  } else if (name == L"shadowimage") {
    shadow_image_ = value;
    shadow_default_image_ = false;
  } else if (name == L"shadowcorner") {
    if (!ParseIntList(value, v, 4)) return true;
    shadow_corner_original_ = RECT{v[0], v[1], v[2], v[3]};
    shadow_corner_ = dpi.ScaleRectangle(shadow_corner_original_);
  } else if (name == L"alphafixcorner" || name == L"custom_shadow") {
    if (ParseIntList(value, v, 4)) alpha_fix_ = dpi.ScaleRectangle(RECT{v[0], v[1], v[2], v[3]});
  } else {
    return false;
  }
  return true;
}

void Window::SetInitSize(int cx, int cy) {
  const RECT pad = GetShadowPadding();
  init_size_ = SIZE{cx + pad.left + pad.right, cy + pad.top + pad.bottom};
  if (hwnd_ && !GetRoot())
    ::SetWindowPos(hwnd_, nullptr, 0, 0, init_size_.cx, init_size_.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

RECT Window::GetShadowPadding() const {
  if (!shadow_attached_ || (hwnd_ && ::IsZoomed(hwnd_))) return RECT{0, 0, 0, 0};
  return shadow_corner_;
}

void Window::SetArrangePending(bool pending) {
  arrange_pending_ = pending;
  // A paint message with nothing invalid still comes, and arranges.
  if (pending && hwnd_) ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INTERNALPAINT);
}

void Window::SetCapture(Control* control) {
  capture_ = control;
  if (hwnd_ && control && ::GetCapture() != hwnd_) ::SetCapture(hwnd_);
}

void Window::ReleaseCapture() {
  capture_ = nullptr;
  if (hwnd_ && ::GetCapture() == hwnd_ && !clicked_) {
    releasing_capture_ = true;
    ::ReleaseCapture();
    releasing_capture_ = false;
  }
}

void Window::AttachRoot(std::unique_ptr<Box> root) {
  root_.reset();
  root_ = std::move(root);
  if (root_) {
    InitControl(root_.get(), nullptr);
    root_->Init();
    arrange_pending_ = true;
  }
}

std::unique_ptr<Box> Window::DetachRoot() {
  if (root_) ForgetSubtree(root_.get());
  return std::move(root_);
}

void Window::InitControl(Control* control, Control* parent) {
  if (!control) return;
  control->SetWindow(this, parent, true);
  control->FindControl(&RegisterVisitor, this, 0);
}

Control* Window::FindControl(const std::wstring& name) const {
  auto it = names_.find(name);
  return it == names_.end() ? nullptr : it->second;
}

void Window::RegisterName(Control* control) {
  if (control && !control->GetName().empty()) names_.emplace(control->GetName(), control);
}

void Window::OnControlGone(Control* control) {
  for (auto it = names_.begin(); it != names_.end();) {
    if (it->second == control)
      it = names_.erase(it);
    else
      ++it;
  }
  if (focus_ == control) focus_ = nullptr;
  if (hover_ == control) hover_ = nullptr;
  if (clicked_ == control) clicked_ = nullptr;
  if (key_pressed_ == control) key_pressed_ = nullptr;
  if (tooltip_control_ == control) HideTooltip();
  if (capture_ == control) capture_ = nullptr;
  for (auto group = option_groups_.begin(); group != option_groups_.end();) {
    auto& members = group->second;
    members.erase(std::remove(members.begin(), members.end(), control), members.end());
    group = members.empty() ? option_groups_.erase(group) : std::next(group);
  }
}

void Window::AddOptionGroup(const std::wstring& group, Control* control) {
  if (group.empty() || !control) return;
  auto& members = option_groups_[group];
  if (std::find(members.begin(), members.end(), control) == members.end()) members.push_back(control);
}

void Window::RemoveOptionGroup(const std::wstring& group, Control* control) {
  auto it = option_groups_.find(group);
  if (it == option_groups_.end()) return;
  auto& members = it->second;
  members.erase(std::remove(members.begin(), members.end(), control), members.end());
  if (members.empty()) option_groups_.erase(it);
}

const std::vector<Control*>* Window::GetOptionGroup(const std::wstring& group) const {
  auto it = option_groups_.find(group);
  return it == option_groups_.end() ? nullptr : &it->second;
}



void Window::ForgetSubtree(Control* control) {
  if (!control) return;
  ForgetData data{this};
  control->FindControl(&ForgetVisitor, &data, 0);
}

void Window::AddClass(const std::wstring& name, const std::wstring& attributes) { classes_[name] = attributes; }

std::wstring Window::GetClassAttributes(const std::wstring& name) const {
  auto it = classes_.find(name);
  return it == classes_.end() ? std::wstring() : it->second;
}

void Window::SetFocus(Control* control) {
  if (control == focus_) return;
  if (control && (control->GetWindow() != this || !control->IsVisibleInTree() || !control->IsEnabled()))
    return;
  if (control && hwnd_ && ::GetFocus() != hwnd_) ::SetFocus(hwnd_);
  if (Control* old = focus_) {
    focus_ = nullptr;
    std::weak_ptr<base::WeakFlag> alive = control ? control->AliveFlag() : std::weak_ptr<base::WeakFlag>();
    old->SendEvent(kEventInternalKillFocus);
    old->SendEvent(kEventKillFocus);
    // A kill-focus handler may have destroyed the next holder.
    if (control && alive.expired()) return;
  }
  focus_ = control;
  if (control) {
    control->SendEvent(kEventInternalSetFocus);
    if (focus_ == control) control->SendEvent(kEventSetFocus);
  }
}

void Window::CheckFocus() {
  if (focus_ && (!focus_->IsVisibleInTree() || !focus_->IsEnabled())) SetFocus(nullptr);
}

void Window::Invalidate(const RECT& rect) {
  if (::IsRectEmpty(&rect)) return;
  if (::IsRectEmpty(&invalid_))
    invalid_ = rect;
  else
    ::UnionRect(&invalid_, &invalid_, &rect);
  if (hwnd_) ::InvalidateRect(hwnd_, &rect, FALSE);
}

void Window::ArrangeRoot(const RECT& client) {
  arrange_pending_ = false;
  if (root_) root_->SetPos(client);
}

void Window::PaintRoot(IRenderContext* context, const RECT& dirty) {
  if (root_) root_->Paint(context, dirty);
}

void Window::ReleaseLater(std::unique_ptr<Control> control) {
  if (!control) return;
  ForgetSubtree(control.get());
  control->SetParent(nullptr);
  pending_release_.push_back(std::move(control));
  if (hwnd_) ::PostMessageW(hwnd_, kMessageReleasePending, 0, 0);
}

void Window::ReleasePending() {
  // Destroying may queue more; take the list first.
  while (!pending_release_.empty()) {
    std::vector<std::unique_ptr<Control>> batch;
    batch.swap(pending_release_);
    batch.clear();
  }
}

void Window::SetResourcePath(const std::wstring& path) {
  resource_path_ = path;
  if (!resource_path_.empty() && resource_path_.back() != L'\\' && resource_path_.back() != L'/')
    resource_path_ += L'\\';
}

}  // namespace ui
