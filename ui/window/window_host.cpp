// The native half of Window: registration, creation, message routing to
// the control tree, tooltips and painting.
#include <windowsx.h>

#include <algorithm>
#include <cwchar>

#include "base/log/log.h"
#include "base/win32/windows_version.h"
#include "ui/animation/animation_player.h"
#include "ui/animation/framework_timer.h"
#include "ui/box/box.h"
#include "ui/control/control.h"
#include "ui/core/global_resources.h"
#include "ui/render/render_interface.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/window/window.h"

#include <commctrl.h>

namespace ui {

namespace {

constexpr UINT kReflectBase = 0x2000;  // reflected notifications: message + this
constexpr int kFadeInMs = 250;
constexpr int kCloseDelayMs = 300;

// Set by benchmarks before any window exists; read on the UI thread.
Window::FramePresentedHook frame_presented_hook = nullptr;

Control* HitVisitor(Control* control, void* /*data*/) { return control; }

struct TabSearch {
  Control* current;
  bool passed;
  Control* first;
  Control* last_before;
  Control* next;
  Control* last;
};

bool TakesFocus(Control* control) {
  return control->IsVisibleInTree() && control->IsEnabled() && !control->IsNoFocus() &&
         control->IsKeyboardEnabled() && (control->ControlFlags() & 1) != 0;
}

// Walks in tree order recording the controls around the focused one.
Control* TabVisitor(Control* control, void* data) {
  auto* search = static_cast<TabSearch*>(data);
  if (control == search->current) {
    search->passed = true;
    return nullptr;
  }
  if (!TakesFocus(control)) return nullptr;
  if (!search->first) search->first = control;
  search->last = control;
  if (!search->passed) {
    search->last_before = control;
  } else if (!search->next) {
    search->next = control;
  }
  return nullptr;
}

POINT ClientPointFromScreen(HWND hwnd, LPARAM lparam) {
  POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  ::ScreenToClient(hwnd, &point);
  return point;
}

}  // namespace

bool Window::RegisterWindowClass() {
  const std::wstring class_name = WindowClassName();
  if (class_name.empty()) return false;
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  const std::wstring super = SuperclassName();
  if (!super.empty()) {
    if (!::GetClassInfoExW(nullptr, super.c_str(), &wc) && !::GetClassInfoExW(instance, super.c_str(), &wc)) {
      QLOG_ERR(L"window class to superclass not found: {0}") << super;
      return false;
    }
    original_proc_ = wc.lpfnWndProc;
    wc.cbSize = sizeof(wc);
  } else {
    wc.style = WindowClassStyle();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  }
  wc.lpfnWndProc = &Window::WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = class_name.c_str();
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    QLOG_ERR(L"window class registration failed: {0}") << class_name;
    return false;
  }
  return true;
}

HWND Window::Create(HWND parent, const std::wstring& name, DWORD style, DWORD ex_style, bool layered,
                    const RECT& rect) {
  if (hwnd_ || !RegisterWindowClass()) return nullptr;
  layered_ = layered;
  if (layered) ex_style |= WS_EX_LAYERED;
  HWND hwnd = ::CreateWindowExW(ex_style, WindowClassName().c_str(), name.c_str(), style, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                                ::GetModuleHandleW(nullptr), this);
  if (!hwnd) return nullptr;
  const LONG_PTR current = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
  if (current & WS_CAPTION) ::SetWindowLongPtrW(hwnd, GWL_STYLE, current & ~WS_CAPTION);
  return hwnd;
}

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    const LRESULT result = self->CallOriginalProc(message, wparam, lparam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (self->paint_dc_) ::ReleaseDC(hwnd, self->paint_dc_);
    self->paint_dc_ = nullptr;
    self->tooltip_ = nullptr;  // owned by the window: destroyed with it
    self->hwnd_ = nullptr;
    self->close_timer_.Cancel();
    GlobalResources::UnregisterWindow(hwnd);
    self->DispatchWindowEvent(kEventWindowClose);
    // Last: a skinned window deletes itself here.
    self->OnFinalMessage(hwnd);
    return result;
  }
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT Window::CallOriginalProc(UINT message, WPARAM wparam, LPARAM lparam) {
  return ::CallWindowProcW(original_proc_, hwnd_, message, wparam, lparam);
}

void Window::OnFinalMessage(HWND /*hwnd*/) {}

void Window::AttachNativeWindow(HWND hwnd) {
  hwnd_ = hwnd;
  if (!paint_dc_) paint_dc_ = ::GetDC(hwnd);
  if (!render_ && GlobalResources::GetRenderFactory())
    render_ = GlobalResources::GetRenderFactory()->CreateRenderContext();
}

void Window::ShowWindow(bool show, bool take_focus) {
  if (!hwnd_) return;
  ::ShowWindow(hwnd_, show ? (take_focus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

void Window::CenterWindow() {
  if (!hwnd_) return;
  RECT window;
  ::GetWindowRect(hwnd_, &window);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &info);
  const RECT area = info.rcWork;
  const int width = window.right - window.left, height = window.bottom - window.top;
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  x = std::max<int>(area.left, std::min<int>(x, area.right - width));
  y = std::max<int>(area.top, std::min<int>(y, area.bottom - height));
  ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::Close(UINT code) {
  if (!hwnd_) return;
  const HWND owner = ::GetWindow(hwnd_, GW_OWNER);
  if (owner && !::IsWindowEnabled(owner)) {
    // A modal window gives its owner back before it goes.
    ::EnableWindow(owner, TRUE);
    ::SetFocus(owner);
  }
  Box* root = GetRoot();
  FrameworkTimer* timer = FrameworkTimer::GetInstance();
  if (!root || !timer || !base::win32::IsVistaOrNewer()) {
    ::PostMessageW(hwnd_, WM_CLOSE, code, 0);
    return;
  }
  if (layered_) {
    // The window's own alpha carries the fade: no repaint per step.
    auto player = std::make_shared<AnimationPlayer>();
    window_fade_ = player;
    player->SetStartValue(window_alpha_);
    player->SetEndValue(0);
    player->SetTotalMillSeconds(kFadeInMs);
    player->SetCallback([this](int value) { SetWindowAlpha(value); });
    player->Start();
  } else {
    root->SetVisibleWithFade(false);
  }
  const HWND hwnd = hwnd_;
  timer->AddTimer(
      close_timer_.AliveFlag(), [hwnd, code] { ::PostMessageW(hwnd, WM_CLOSE, code, 0); }, kCloseDelayMs, 1);
}

void Window::OnLayoutReady() {
  Box* root = GetRoot();
  if (!root || !base::win32::IsVistaOrNewer()) return;
  if (layered_) {
    auto player = std::make_shared<AnimationPlayer>();
    window_fade_ = player;
    player->SetStartValue(0);
    player->SetEndValue(255);
    player->SetTotalMillSeconds(kFadeInMs);
    player->SetAcceleration(0.3);
    player->SetDeceleration(0.7);
    player->SetCallback([this](int value) { SetWindowAlpha(value); });
    window_alpha_ = 0;
    player->Start();
  } else {
    root->SetFade(kFadeAlpha, true);
    if (AnimationPlayer* player = root->Animations()->PlayerFor(kFadeAlpha)) {
      player->SetTotalMillSeconds(kFadeInMs);
      player->SetAcceleration(0.3);
      player->SetDeceleration(0.7);
    }
    root->SetVisibleWithFade(true);
  }
}

void Window::PresentLayered(POINT position, SIZE size, const RECT& dirty, BLENDFUNCTION blend) {
  // Only the dirty part is copied to the screen where the system can say
  // so (Vista on): a hover repaints a button, not the whole window.
  using UpdateIndirect = BOOL(WINAPI*)(HWND, const UPDATELAYEREDWINDOWINFO*);
  static const auto update_indirect = reinterpret_cast<UpdateIndirect>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "UpdateLayeredWindowIndirect")));
  POINT origin{0, 0};
  if (update_indirect) {
    UPDATELAYEREDWINDOWINFO info{};
    info.cbSize = sizeof(info);
    info.pptDst = &position;
    info.psize = &size;
    info.hdcSrc = render_->GetDC();
    info.pptSrc = &origin;
    info.pblend = &blend;
    info.dwFlags = ULW_ALPHA;
    info.prcDirty = &dirty;
    if (update_indirect(hwnd_, &info)) return;
  }
  ::UpdateLayeredWindow(hwnd_, nullptr, &position, &size, render_->GetDC(), &origin, 0, &blend, ULW_ALPHA);
}

void Window::SetWindowAlpha(int alpha) {
  window_alpha_ = static_cast<BYTE>(std::max(0, std::min(alpha, 255)));
  if (!hwnd_ || !layered_ || !render_ || render_->GetWidth() == 0) return;
  // The bitmap is unchanged: present it again with the new alpha.
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, window_alpha_, AC_SRC_ALPHA};
  POINT origin{0, 0};
  ::UpdateLayeredWindow(hwnd_, nullptr, nullptr, nullptr, render_->GetDC(), &origin, 0, &blend, ULW_ALPHA);
  if (frame_presented_hook) frame_presented_hook(hwnd_, paint_count_, window_alpha_);
}

void Window::SubscribeWindowEvent(int type, EventHandler handler) {
  window_handlers_[type].push_back(std::move(handler));
}

bool Window::DispatchWindowEvent(int type, WPARAM wparam, LPARAM lparam) {
  EventArgs args;
  args.type = type;
  args.timestamp = ::GetTickCount();
  args.wparam = wparam;
  args.lparam = lparam;
  for (int list : {type, static_cast<int>(kEventAll)}) {
    auto it = window_handlers_.find(list);
    if (it == window_handlers_.end()) continue;
    const std::vector<EventHandler> handlers = it->second;  // a handler may subscribe more
    for (const EventHandler& handler : handlers) {
      if (handler && !handler(&args)) return false;
    }
  }
  return true;
}

void Window::AddMessageFilter(IUIMessageFilter* filter) {
  if (filter && std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) filters_.push_back(filter);
}

void Window::RemoveMessageFilter(IUIMessageFilter* filter) {
  filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

Control* Window::FindControlAt(POINT point) const {
  Box* root = GetRoot();
  if (!root) return nullptr;
  Control* found = root->FindControl(&HitVisitor, &point, kFindVisible | kFindHitTest | kFindTopFirst);
  return found && found->GetWindow() == this ? found : nullptr;
}

void Window::SendTo(Control* control, int type, POINT point, WPARAM wparam, LPARAM lparam, wchar_t key) {
  if (!control) return;
  EventArgs args;
  args.type = type;
  args.sender = control;
  args.timestamp = ::GetTickCount();
  args.mouse_point = point;
  args.wparam = wparam;
  args.lparam = lparam;
  args.key = key;
  control->DeliverEvent(&args);
}

void Window::SetNextTabControl(bool forward) {
  Box* root = GetRoot();
  if (!root) return;
  TabSearch search{GetFocus(), GetFocus() == nullptr, nullptr, nullptr, nullptr, nullptr};
  root->FindControl(&TabVisitor, &search, 0);
  Control* target = nullptr;
  if (forward) {
    target = search.next ? search.next : search.first;
  } else {
    target = search.last_before ? search.last_before : search.last;
  }
  if (target) SetFocus(target);
}

void Window::OnMouseMove(POINT point) {
  if (!mouse_tracking_) {
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = hwnd_;
    track.dwHoverTime = tooltip_ ? static_cast<DWORD>(::SendMessageW(tooltip_, TTM_GETDELAYTIME, TTDT_INITIAL, 0))
                                 : 400;
    mouse_tracking_ = ::TrackMouseEvent(&track) != FALSE;
  }
  SetLastMousePos(point);
  Control* now = FindControlAt(point);
  Control* before = GetHoverControl();
  if (now != before) {
    if (tooltip_control_ && tooltip_control_ != now) HideTooltip();
    SetHoverControl(now);
    std::weak_ptr<base::WeakFlag> now_alive = now ? now->AliveFlag() : std::weak_ptr<base::WeakFlag>();
    if (before) SendTo(before, kEventMouseLeave, point);
    // A leave handler may have destroyed the new control.
    if (now && !now_alive.expired() && GetHoverControl() == now) SendTo(now, kEventMouseEnter, point);
  }
  if (Control* target = clicked_ ? clicked_ : GetHoverControl()) SendTo(target, kEventMouseMove, point);
}

void Window::OnButtonDown(POINT point, int event_type) {
  ::SetFocus(hwnd_);
  SetLastMousePos(point);
  Control* control = FindControlAt(point);
  if (!control) return;
  clicked_ = control;
  ::SetCapture(hwnd_);
  SendTo(control, event_type, point);
}

void Window::OnButtonUp(POINT point, int event_type) {
  SetLastMousePos(point);
  Control* control = clicked_;
  clicked_ = nullptr;
  if (::GetCapture() == hwnd_) {
    releasing_capture_ = true;
    ::ReleaseCapture();
    releasing_capture_ = false;
  }
  if (control) SendTo(control, event_type, point);
}

void Window::CancelPress() {
  Control* control = clicked_;
  clicked_ = nullptr;
  if (::GetCapture() == hwnd_) {
    releasing_capture_ = true;
    ::ReleaseCapture();
    releasing_capture_ = false;
  }
  if (Control* held = GetCaptureControl()) {
    Window::ReleaseCapture();
    if (held != control) held->CancelPress();
  }
  if (control) control->CancelPress();
}

void Window::ShowTooltip(Control* control) {
  if (!control || control->GetWindow() != this) return;
  const std::wstring text = control->TooltipText();
  if (text.empty()) return;
  if (!tooltip_) {
    tooltip_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (!tooltip_) return;
  }
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  if (tooltip_control_) ::SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  // The tool record points into this string for as long as it is shown.
  tooltip_text_ = text;
  tool.lpszText = &tooltip_text_[0];
  tool.rect = control->GetPos();
  ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, std::max(0, control->TooltipWidth()));
  POINT at{tool.rect.left, tool.rect.bottom};
  ::ClientToScreen(hwnd_, &at);
  ::SendMessageW(tooltip_, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  tooltip_control_ = control;
}

void Window::HideTooltip() {
  if (!tooltip_ || !tooltip_control_) return;
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  ::SendMessageW(tooltip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  tooltip_control_ = nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (!filters_.empty()) {
    const std::vector<IUIMessageFilter*> filters = filters_;  // a filter may remove itself
    for (IUIMessageFilter* filter : filters) {
      bool handled = false;
      const LRESULT result = filter->FilterMessage(message, wparam, lparam, &handled);
      if (handled && message != WM_MOUSEMOVE) return result;
    }
  }
  switch (message) {
    case kMessageReleasePending:
      ReleasePending();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_WINDOWPOSCHANGED:
      // A hidden window's paint requests are dropped; a layered one gets no
      // paint of its own when it shows, since nothing of it is invalid yet.
      if (reinterpret_cast<const WINDOWPOS*>(lparam)->flags & SWP_SHOWWINDOW)
        ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT);
      break;
    case WM_SIZE: {
      if (Control* focus = GetFocus()) focus->SendEvent(kEventWindowSize);
      if (Box* root = GetRoot()) root->Arrange();
      SetArrangePending(true);
      if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
      break;
    }
    case WM_CAPTURECHANGED:
      // Someone else took the mouse while a control was held: no click.
      if (!releasing_capture_ && reinterpret_cast<HWND>(lparam) != hwnd_ && (clicked_ || GetCaptureControl()))
        CancelPress();
      break;
    case WM_KILLFOCUS:
      if (clicked_ || GetCaptureControl()) CancelPress();
      break;
    case WM_CLOSE: {
      HideTooltip();
      if (Control* hover = GetHoverControl()) {
        SetHoverControl(nullptr);
        SendTo(hover, kEventMouseLeave, GetLastMousePos());
      }
      CancelPress();
      SetFocus(nullptr);
      if (HWND owner = ::GetWindow(hwnd_, GW_OWNER)) ::SetFocus(owner);
      break;
    }
    case WM_SETCURSOR: {
      if (LOWORD(lparam) != HTCLIENT || clicked_) break;
      POINT point;
      ::GetCursorPos(&point);
      ::ScreenToClient(hwnd_, &point);
      Control* control = FindControlAt(point);
      if (!control) break;
      SendTo(control, kEventSetCursor, point, wparam, lparam);
      return TRUE;
    }
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      // Only a real child window gets the reflection: a menu's command has
      // no window, and a notification names its sender in the header.
      HWND child = nullptr;
      if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        child = header ? header->hwndFrom : nullptr;
      } else {
        child = reinterpret_cast<HWND>(lparam);
      }
      if (child && ::IsWindow(child) && ::IsChild(hwnd_, child))
        return ::SendMessageW(child, message + kReflectBase, wparam, lparam);
      break;
    }
    case WM_CONTEXTMENU: {
      Control* target = nullptr;
      POINT point = GetLastMousePos();
      if (GET_X_LPARAM(lparam) == -1 && GET_Y_LPARAM(lparam) == -1) {
        target = GetFocus();  // from the keyboard
      } else {
        point = ClientPointFromScreen(hwnd_, lparam);
        target = clicked_ ? clicked_ : FindControlAt(point);
      }
      if (clicked_) {
        clicked_ = nullptr;
        if (::GetCapture() == hwnd_) ::ReleaseCapture();
      }
      if (!target) break;
      SendTo(target, kEventInternalMenu, point, 0, MAKELPARAM(point.x, point.y));
      return 0;
    }
    case WM_KEYDOWN: {
      if (wparam == VK_TAB && !(GetFocus() && GetFocus()->WantsTab())) {
        if (first_layout_) {
          if (Box* root = GetRoot()) root->Invalidate();
          return 0;
        }
        SetNextTabControl(::GetKeyState(VK_SHIFT) >= 0);
        return 0;
      }
      Control* focus = GetFocus();
      if (!focus) break;
      key_pressed_ = focus;
      SendTo(focus, kEventKeyDown, GetLastMousePos(), wparam, lparam, static_cast<wchar_t>(wparam));
      return 0;
    }
    case WM_KEYUP: {
      Control* control = key_pressed_;
      key_pressed_ = nullptr;
      if (!control) break;
      SendTo(control, kEventKeyUp, GetLastMousePos(), wparam, lparam, static_cast<wchar_t>(wparam));
      return 0;
    }
    case WM_CHAR: {
      Control* focus = GetFocus();
      if (!focus) break;
      SendTo(focus, kEventChar, GetLastMousePos(), wparam, lparam, static_cast<wchar_t>(wparam));
      return 0;
    }
    case WM_MOUSEMOVE:
      OnMouseMove(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
      return 0;
    case WM_LBUTTONDOWN:
      OnButtonDown(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}, kEventMouseButtonDown);
      return 0;
    case WM_LBUTTONDBLCLK:
      OnButtonDown(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}, kEventInternalDoubleClick);
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}, kEventMouseButtonUp);
      return 0;
    case WM_RBUTTONDOWN:
      OnButtonDown(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}, kEventMouseRightButtonDown);
      return 0;
    case WM_RBUTTONUP:
      OnButtonUp(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}, kEventMouseRightButtonUp);
      break;  // the default procedure turns it into WM_CONTEXTMENU
    case WM_MOUSEWHEEL: {
      const POINT point = ClientPointFromScreen(hwnd_, lparam);
      Control* control = FindControlAt(point);
      if (!control) break;
      SendTo(control, kEventMouseScrollWheel, point, wparam, lparam);
      return 0;
    }
    case WM_MOUSEHOVER: {
      mouse_tracking_ = false;
      Control* hover = GetHoverControl();
      if (!hover) break;
      SendTo(hover, kEventMouseHover, GetLastMousePos(), wparam, lparam);
      ShowTooltip(GetHoverControl());
      return 0;
    }
    case WM_MOUSELEAVE:
      HideTooltip();
      if (mouse_tracking_) ::PostMessageW(hwnd_, WM_MOUSEMOVE, 0, MAKELPARAM(-1, -1));
      mouse_tracking_ = false;
      break;
    default:
      break;
  }
  return CallOriginalProc(message, wparam, lparam);
}

void Window::SizeToRoot() {
  Box* root = GetRoot();
  if (!root || !hwnd_) return;
  SIZE size = root->MeasureSize(SIZE{99999, 99999});
  size.cx = std::max(size.cx, static_cast<LONG>(std::max(0, root->GetMinWidth())));
  size.cy = std::max(size.cy, static_cast<LONG>(std::max(0, root->GetMinHeight())));
  size.cx = std::min(size.cx, static_cast<LONG>(root->GetMaxWidth()));
  size.cy = std::min(size.cy, static_cast<LONG>(root->GetMaxHeight()));
  if (size.cx <= 0 || size.cy <= 0) return;
  RECT client;
  ::GetClientRect(hwnd_, &client);
  if (client.right == size.cx && client.bottom == size.cy) return;
  ::SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::Paint() {
  Box* root = GetRoot();
  if (::IsIconic(hwnd_) || !root || !render_) {
    ::ValidateRect(hwnd_, nullptr);
    ClearInvalidRect();
    return;
  }
  if (IsArrangePending() && root->NeedsArrange() && root->IsAutoSized()) SizeToRoot();

  RECT client;
  ::GetClientRect(hwnd_, &client);
  RECT update{0, 0, 0, 0};
  ::GetUpdateRect(hwnd_, &update, FALSE);
  const RECT pending = GetInvalidRect();
  ::UnionRect(&update, &update, &pending);
  ClearInvalidRect();
  PAINTSTRUCT ps;
  ::BeginPaint(hwnd_, &ps);
  ::EndPaint(hwnd_, &ps);

  if (::IsRectEmpty(&update) && !IsArrangePending()) return;
  if (layered_) {
    // Parts off the virtual screen are never painted by invalidation; take
    // them whole, since the surface is presented in full.
    RECT window;
    ::GetWindowRect(hwnd_, &window);
    const RECT screen{::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN),
                      ::GetSystemMetrics(SM_XVIRTUALSCREEN) + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
                      ::GetSystemMetrics(SM_YVIRTUALSCREEN) + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    if (window.left < screen.left) update.left = client.left;
    if (window.top < screen.top) update.top = client.top;
    if (window.right > screen.right) update.right = client.right;
    if (window.bottom > screen.bottom) update.bottom = client.bottom;
  }
  if (IsArrangePending()) {
    ArrangeRoot(client);
    const RECT moved = GetInvalidRect();
    ::UnionRect(&update, &update, &moved);
    ClearInvalidRect();
    if (first_layout_) {
      first_layout_ = false;
      OnLayoutReady();
    }
  }
  if (render_->Resize(client.right, client.bottom)) update = client;
  ::IntersectRect(&update, &update, &client);
  if (::IsRectEmpty(&update)) return;
  last_paint_rect_ = update;
  ++paint_count_;

  if (layered_) render_->ZeroAlpha(update, 0);
  {
    AutoClip clip(render_.get(), update);
    PaintRoot(render_.get(), update);
  }
  if (layered_) {
    const RECT padding = root->GetLayout() ? root->GetLayout()->GetPadding() : RECT{0, 0, 0, 0};
    RECT body = root->GetPos();
    body.left += padding.left;
    body.top += padding.top;
    body.right -= padding.right;
    body.bottom -= padding.bottom;
    const POINT offset = root->GetRenderOffset();
    if (shadow_attached_ && offset.x == 0 && offset.y == 0) {
      // The body's corner pixels keep their own alpha: that is where the
      // round corner meets the shadow.
      RECT fix;
      if (::IntersectRect(&fix, &body, &update)) {
        const bool corner = fix.left == body.left || fix.top == body.top || fix.right == body.right ||
                            fix.bottom == body.bottom;
        if (corner)
          render_->RepairAlpha(body, RECT{1, 1, 1, 1});
        else
          render_->RepairAlpha(fix, RECT{0, 0, 0, 0});
      }
    } else if (alpha_fix_.left > 0 || alpha_fix_.top > 0 || alpha_fix_.right > 0 || alpha_fix_.bottom > 0) {
      body.left += alpha_fix_.left;
      body.top += alpha_fix_.top;
      body.right -= alpha_fix_.right;
      body.bottom -= alpha_fix_.bottom;
      RECT fix;
      if (::IntersectRect(&fix, &body, &update)) render_->RepairAlpha(fix, RECT{0, 0, 0, 0});
    }
    RECT window;
    ::GetWindowRect(hwnd_, &window);
    POINT position{window.left, window.top};
    SIZE size{client.right, client.bottom};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, window_alpha_, AC_SRC_ALPHA};
    PresentLayered(position, size, update, blend);
  } else {
    ::BitBlt(paint_dc_, update.left, update.top, update.right - update.left, update.bottom - update.top,
             render_->GetDC(), update.left, update.top, SRCCOPY);
  }
  if (frame_presented_hook) frame_presented_hook(hwnd_, paint_count_, window_alpha_);
}

void Window::SetFramePresentedHook(FramePresentedHook hook) { frame_presented_hook = hook; }

}  // namespace ui
