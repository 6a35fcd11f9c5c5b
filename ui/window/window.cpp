#include "ui/window/window.h"

#include <algorithm>
#include <iterator>

#include "ui/box/box.h"
#include "ui/control/control.h"

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
  pending_release_.clear();
  root_.reset();
}

bool Window::SetAttribute(const std::wstring& /*name*/, const std::wstring& /*value*/) { return false; }

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

void Window::SetCapture(Control* control) { capture_ = control; }

void Window::ReleaseCapture() { capture_ = nullptr; }

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
