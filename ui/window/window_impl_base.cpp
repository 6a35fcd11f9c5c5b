#include "ui/window/window_impl_base.h"

#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <memory>

#include "base/log/log.h"
#include "ui/box/box.h"
#include "ui/control/control.h"
#include "ui/control/rich_edit.h"
#include "ui/core/markup_builder.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/window/shadow_box.h"

namespace ui {

namespace {

constexpr wchar_t kDefaultShadowImage[] = L"file='../public/bk/bk_shadow.png' corner='30,30,30,30'";
constexpr size_t kMaxReportedPath = 260;

Control* MarkReestimate(Control* control, void* /*data*/) {
  control->SetReestimate(true);
  return nullptr;
}

}  // namespace

WindowImplBase::WindowImplBase() { shadow_image_ = kDefaultShadowImage; }

WindowImplBase::~WindowImplBase() = default;

LONG WindowImplBase::WindowStyle() const {
  return static_cast<LONG>(::GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_CAPTION));
}

Control* WindowImplBase::CreateControl(const std::wstring& /*class_name*/) { return nullptr; }

LRESULT WindowImplBase::FilterMessage(UINT /*message*/, WPARAM /*wparam*/, LPARAM /*lparam*/, bool* /*handled*/) {
  return 0;
}

void WindowImplBase::OnFinalMessage(HWND /*hwnd*/) {
  // A window that never came to be stays with whoever made it.
  if (!created_) return;
  DetachRoot().reset();
  delete this;
}

LRESULT WindowImplBase::OnCreate() {
  ::SetWindowLongPtrW(hwnd_, GWL_STYLE, WindowStyle());
  AttachNativeWindow(hwnd_);
  SetResourcePath(SkinFolder());
  const std::wstring skin = GetResourcePath() + SkinFile();
  MarkupBuilder builder([this](const std::wstring& name) { return CreateControl(name); });
  std::unique_ptr<Control> built = builder.CreateRoot(skin, this);
  std::unique_ptr<Box> root(dynamic_cast<Box*>(built.get()));
  if (root) built.release();
  built.reset();
  if (!root) {
    const std::wstring shown = skin.substr(0, kMaxReportedPath);
    wchar_t text[kMaxReportedPath + 64];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"Failed to load xml file %ls", shown.c_str());
    QLOG_ERR(L"{0}") << text;
    ::MessageBoxW(nullptr, text, L"UI", MB_OK | MB_ICONERROR);
    return -1;
  }
  if (shadow_attached_) {
    auto shadow = std::make_unique<ShadowBox>(shadow_corner_, shadow_image_);
    if (root->GetFixedWidth() >= 0)
      shadow->SetFixedWidth(root->GetFixedWidth() + shadow_corner_.left + shadow_corner_.right, false);
    if (root->GetFixedHeight() >= 0)
      shadow->SetFixedHeight(root->GetFixedHeight() + shadow_corner_.top + shadow_corner_.bottom, false);
    if (root->GetFixedWidth() == kAuto) shadow->SetFixedWidth(kAuto, false);
    if (root->GetFixedHeight() == kAuto) shadow->SetFixedHeight(kAuto, false);
    if (shadow_default_image_) root->SetAttribute(L"borderround", L"3,3");
    shadow_box_ = shadow.get();
    shadow->Add(root.release());
    AttachRoot(std::move(shadow));
  } else {
    AttachRoot(std::move(root));
  }
  AddMessageFilter(this);
  GlobalResources::RegisterWindow(hwnd_, this);
  OnSkinLoaded();
  if (GetRoot() && GetRoot()->IsAutoSized()) SizeToRoot();
  WireTitleButtons();
  created_ = true;
  return 0;
}

void WindowImplBase::WireTitleButtons() {
  struct Wiring {
    const wchar_t* name;
    int action;
  };
  static const Wiring kButtons[] = {{L"closebtn", 0}, {L"minbtn", 1}, {L"maxbtn", 2}, {L"restorebtn", 3}};
  for (const Wiring& wiring : kButtons) {
    Control* button = FindControl(wiring.name);
    if (!button || !button->IsButton()) continue;
    const int action = wiring.action;
    button->Subscribe(kEventClick, WeakHandler(this, [this, action](EventArgs*) {
                        Control* max = FindControl(L"maxbtn");
                        Control* restore = FindControl(L"restorebtn");
                        switch (action) {
                          case 0:
                            Close(1);
                            break;
                          case 1:
                            ::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
                            break;
                          case 2:
                            if (max) max->SetVisible(false);
                            if (restore) restore->SetVisible(true);
                            ::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
                            break;
                          default:
                            if (max) max->SetVisible(true);
                            if (restore) restore->SetVisible(false);
                            ::SendMessageW(hwnd_, WM_SYSCOMMAND, SC_RESTORE, 0);
                            break;
                        }
                        return true;
                      }));
  }
}

void WindowImplBase::RefreshForLayoutChange() {
  Box* root = GetRoot();
  if (!root) return;
  root->FindControl(&MarkReestimate, nullptr, 0);
  root->Arrange();
  root->Invalidate();
}

LRESULT WindowImplBase::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) return OnCreate();
  bool handled = false;
  LRESULT result = 0;
  switch (message) {
    case WM_CLOSE: result = OnClose(message, wparam, lparam, &handled); break;
    case WM_DESTROY: result = OnDestroy(message, wparam, lparam, &handled); break;
    case WM_NCACTIVATE: result = OnNcActivate(message, wparam, lparam, &handled); break;
    case WM_NCCALCSIZE: result = OnNcCalcSize(message, wparam, lparam, &handled); break;
    case WM_WINDOWPOSCHANGING: result = OnWindowPosChanging(message, wparam, lparam, &handled); break;
    case WM_NCPAINT: result = OnNcPaint(message, wparam, lparam, &handled); break;
    case WM_NCLBUTTONDBLCLK: result = OnNcLButtonDblClk(message, wparam, lparam, &handled); break;
    case WM_NCHITTEST: result = OnNcHitTest(message, wparam, lparam, &handled); break;
    case WM_GETMINMAXINFO: result = OnGetMinMaxInfo(message, wparam, lparam, &handled); break;
    case WM_MOUSEWHEEL: result = OnMouseWheel(message, wparam, lparam, &handled); break;
    case WM_MOUSEHOVER: result = OnMouseHover(message, wparam, lparam, &handled); break;
    case WM_DPICHANGED: result = OnDpiChanged(message, wparam, lparam, &handled); break;
    case WM_SIZE: result = OnSize(message, wparam, lparam, &handled); break;
    case WM_CHAR: result = OnChar(message, wparam, lparam, &handled); break;
    case WM_SYSCOMMAND: result = OnSysCommand(message, wparam, lparam, &handled); break;
    case WM_KEYDOWN: result = OnKeyDown(message, wparam, lparam, &handled); break;
    case WM_KILLFOCUS: result = OnKillFocus(message, wparam, lparam, &handled); break;
    case WM_SETFOCUS: result = OnSetFocus(message, wparam, lparam, &handled); break;
    case WM_LBUTTONDOWN: result = OnLButtonDown(message, wparam, lparam, &handled); break;
    case WM_LBUTTONUP: result = OnLButtonUp(message, wparam, lparam, &handled); break;
    case WM_MOUSEMOVE: result = OnMouseMove(message, wparam, lparam, &handled); break;
    default: break;
  }
  if (handled) return result;
  return Window::HandleMessage(message, wparam, lparam);
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, bool*) { return 0; }
LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, bool*) { return 0; }

LRESULT WindowImplBase::OnNcActivate(UINT, WPARAM wparam, LPARAM, bool* handled) {
  if (::IsIconic(hwnd_)) return 0;
  *handled = true;
  return wparam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT, WPARAM, LPARAM, bool* handled) {
  *handled = true;
  return 0;
}

LRESULT WindowImplBase::OnWindowPosChanging(UINT, WPARAM, LPARAM lparam, bool*) {
  auto* pos = reinterpret_cast<WINDOWPOS*>(lparam);
  if (!pos || !::IsZoomed(hwnd_) || !(pos->flags & SWP_FRAMECHANGED)) return 0;
  HMONITOR monitor = ::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetMonitorInfoW(monitor, &info) || (info.dwFlags & MONITORINFOF_PRIMARY)) return 0;
  pos->x = info.rcWork.left;
  pos->y = info.rcWork.top;
  pos->cx = info.rcWork.right - info.rcWork.left;
  pos->cy = info.rcWork.bottom - info.rcWork.top;
  return 0;
}

LRESULT WindowImplBase::OnNcPaint(UINT, WPARAM, LPARAM, bool* handled) {
  *handled = true;
  return 0;
}

LRESULT WindowImplBase::OnNcLButtonDblClk(UINT, WPARAM, LPARAM, bool* handled) {
  *handled = true;
  return 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lparam, bool* handled) {
  *handled = true;
  POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  ::ScreenToClient(hwnd_, &point);
  RECT rect;
  ::GetClientRect(hwnd_, &rect);
  const RECT pad = GetShadowPadding();
  rect.left += pad.left;
  rect.top += pad.top;
  rect.right -= pad.right;
  rect.bottom -= pad.bottom;
  const RECT box = size_box_;
  if (!::IsZoomed(hwnd_)) {
    if (point.y < rect.top + box.top) {
      if (point.y < rect.top) return HTCLIENT;  // the shadow
      if (point.x < rect.left + box.left) return HTTOPLEFT;
      if (point.x > rect.right - box.right) return HTTOPRIGHT;
      return HTTOP;
    }
    if (point.y > rect.bottom - box.bottom) {
      if (point.y > rect.bottom) return HTCLIENT;
      if (point.x < rect.left + box.left) return HTBOTTOMLEFT;
      if (point.x > rect.right - box.right) return HTBOTTOMRIGHT;
      return HTBOTTOM;
    }
    if (point.x < rect.left + box.left) return point.x < rect.left ? HTCLIENT : HTLEFT;
    if (point.x > rect.right - box.right) return point.x > rect.right ? HTCLIENT : HTRIGHT;
  }
  const RECT caption = caption_;
  if (point.x < rect.left + caption.left || point.x >= rect.right - caption.right ||
      point.y < rect.top + caption.top || point.y >= rect.top + caption.bottom)
    return HTCLIENT;
  Control* control = FindControlAt(point);
  if (!control) return HTCLIENT;
  // Text input of either kind takes its own presses (selection, links).
  if (control->IsButton() || dynamic_cast<RichEdit*>(control)) return HTCLIENT;
  return HTCAPTION;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lparam, bool*) {
  auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
  if (!info) return 0;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) {
    info->ptMaxPosition.x = monitor.rcWork.left - monitor.rcMonitor.left;
    info->ptMaxPosition.y = monitor.rcWork.top - monitor.rcMonitor.top;
    info->ptMaxSize.x = monitor.rcWork.right - monitor.rcWork.left;
    info->ptMaxSize.y = monitor.rcWork.bottom - monitor.rcWork.top;
  }
  if (max_info_.cx != 0) info->ptMaxTrackSize.x = max_info_.cx;
  if (max_info_.cy != 0) info->ptMaxTrackSize.y = max_info_.cy;
  if (min_info_.cx != 0) info->ptMinTrackSize.x = min_info_.cx;
  if (min_info_.cy != 0) info->ptMinTrackSize.y = min_info_.cy;
  return 0;
}

LRESULT WindowImplBase::OnMouseWheel(UINT, WPARAM, LPARAM, bool*) { return 0; }
LRESULT WindowImplBase::OnMouseHover(UINT, WPARAM, LPARAM, bool*) { return 0; }

LRESULT WindowImplBase::OnDpiChanged(UINT, WPARAM wparam, LPARAM lparam, bool* handled) {
  DpiScaler::GetInstance().SetDpi(LOWORD(wparam));
  shadow_corner_ = DpiScaler::GetInstance().ScaleRectangle(shadow_corner_original_);
  if (shadow_box_) shadow_box_->SetShadowPadding(GetShadowPadding());
  if (const RECT* suggested = reinterpret_cast<const RECT*>(lparam)) {
    ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  *handled = true;
  return 0;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM wparam, LPARAM lparam, bool*) {
  const int width = LOWORD(lparam), height = HIWORD(lparam);
  if (wparam != SIZE_MINIMIZED && (round_corner_.cx != 0 || round_corner_.cy != 0)) {
    HRGN region = ::CreateRoundRectRgn(0, 0, width + 1, height + 1, round_corner_.cx, round_corner_.cy);
    // The window owns the region once set.
    if (region && !::SetWindowRgn(hwnd_, region, TRUE)) ::DeleteObject(region);
  }
  if (shadow_box_ && wparam == SIZE_MAXIMIZED) shadow_box_->SetShadowPadding(RECT{0, 0, 0, 0});
  if (shadow_box_ && wparam == SIZE_RESTORED) shadow_box_->SetShadowPadding(shadow_corner_);
  return 0;
}

LRESULT WindowImplBase::OnChar(UINT, WPARAM, LPARAM, bool*) { return 0; }

LRESULT WindowImplBase::OnSysCommand(UINT, WPARAM wparam, LPARAM, bool* handled) {
  if ((wparam & 0xFFF0) == SC_CLOSE) {
    ::SendMessageW(hwnd_, WM_CLOSE, 0, 0);
    *handled = true;
  }
  return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, bool*) { return 0; }
LRESULT WindowImplBase::OnKillFocus(UINT, WPARAM, LPARAM, bool*) { return 0; }
LRESULT WindowImplBase::OnSetFocus(UINT, WPARAM, LPARAM, bool*) { return 0; }
LRESULT WindowImplBase::OnLButtonDown(UINT, WPARAM, LPARAM, bool*) { return 0; }
LRESULT WindowImplBase::OnLButtonUp(UINT, WPARAM, LPARAM, bool*) { return 0; }
LRESULT WindowImplBase::OnMouseMove(UINT, WPARAM, LPARAM, bool*) { return 0; }

void WindowImplBase::ActivateWindow() {
  if (!hwnd_) return;
  if (::IsIconic(hwnd_)) ::ShowWindow(hwnd_, SW_RESTORE);
  if (!::IsWindowVisible(hwnd_)) ::ShowWindow(hwnd_, SW_SHOW);
  ::SetForegroundWindow(hwnd_);
}

void WindowImplBase::SetWindowText(const std::wstring& text) {
  if (hwnd_) ::SetWindowTextW(hwnd_, text.c_str());
}

}  // namespace ui
