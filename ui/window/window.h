// Window hosts a control tree in one native top-level window. The tree
// half: the root, the name table, the window's own classes, focus, the
// pending-arrangement flag with the accumulated invalid rectangle, option
// groups, capture, the deferred-release queue, and the last mouse position
// with the control under the mouse. The native half (window_host.cpp):
// class registration and Create, message routing to controls as events,
// tooltips, painting (layered with per-pixel alpha when asked) and Close
// with its fade. Without a native window (HasNativeWindow false) a tree can
// still be built, laid out, painted off screen and driven by synthetic
// events. UI thread only; other threads only post messages to the handle.
#ifndef UI_WINDOW_WINDOW_H_
#define UI_WINDOW_WINDOW_H_

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/callback/weak_callback.h"
#include "ui/control/event_args.h"

namespace ui {

class AnimationPlayer;
class Box;
class Control;
class IRenderContext;

// Sees every message of a window before the window routes it; setting
// |*handled| claims it.
class IUIMessageFilter {
 public:
  virtual ~IUIMessageFilter() = default;
  virtual LRESULT FilterMessage(UINT message, WPARAM wparam, LPARAM lparam, bool* handled) = 0;
};

// Posted to itself when a control is queued for deferred release.
constexpr UINT kMessageReleasePending = WM_APP + 1;

class Window : public virtual base::SupportWeakCallback {
 public:
  Window();
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // An attribute of the markup's Window root ("size", "caption", ...).
  // Answers whether it was taken.
  virtual bool SetAttribute(const std::wstring& name, const std::wstring& value);
  // Whether the native window exists (the builder then applies the Window
  // root's attributes and classes).
  virtual bool HasNativeWindow() const { return hwnd_ != nullptr; }

  // The native window.
  virtual std::wstring WindowClassName() const { return std::wstring(); }
  virtual std::wstring SuperclassName() const { return std::wstring(); }
  virtual UINT WindowClassStyle() const { return 0; }
  // Registers the class and creates the window; null on failure.
  virtual HWND Create(HWND parent, const std::wstring& name, DWORD style, DWORD ex_style, bool layered,
                      const RECT& rect);
  // Fades the root out, then posts WM_CLOSE with |code| as wParam.
  virtual void Close(UINT code = 0);
  virtual void ShowWindow(bool show = true, bool take_focus = true);
  // After WM_NCDESTROY; the handle is already gone.
  virtual void OnFinalMessage(HWND hwnd);
  // The routing of native messages to the tree.
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // The first paint laid the tree out: the fade-in.
  virtual void OnLayoutReady();

  HWND GetHWND() const { return hwnd_; }
  // The alpha the layered window is presented with (fades).
  void SetWindowAlpha(int alpha);
  BYTE GetWindowAlpha() const { return window_alpha_; }
  // What the last paint drew, and how many paints drew something.
  RECT GetLastPaintRect() const { return last_paint_rect_; }
  int GetPaintCount() const { return paint_count_; }
  // Told of every frame put on the screen, with the window's paint count and
  // alpha; for benchmarks that time the first frame. UI thread only.
  using FramePresentedHook = void (*)(HWND hwnd, int paint_count, BYTE alpha);
  static void SetFramePresentedHook(FramePresentedHook hook);
  bool IsLayered() const { return layered_; }
  IRenderContext* GetRenderContext() const { return render_.get(); }
  void CenterWindow();
  // The window's own handlers ("windowclose", "all").
  void SubscribeWindowEvent(int type, EventHandler handler);
  void AddMessageFilter(IUIMessageFilter* filter);
  void RemoveMessageFilter(IUIMessageFilter* filter);
  // The control under |point| (client coordinates) that takes the mouse.
  Control* FindControlAt(POINT point) const;
  // Moves focus to the next (or previous) control that takes it.
  void SetNextTabControl(bool forward = true);
  void KillFocus() { SetFocus(nullptr); }

  // The Window element's settings.
  SIZE GetInitSize() const { return init_size_; }
  void SetInitSize(int cx, int cy);
  SIZE GetMinInfo() const { return min_info_; }
  SIZE GetMaxInfo() const { return max_info_; }
  RECT GetSizeBox() const { return size_box_; }
  RECT GetCaptionRect() const { return caption_; }
  SIZE GetRoundCorner() const { return round_corner_; }
  RECT GetAlphaFixCorner() const { return alpha_fix_; }
  bool IsShadowAttached() const { return shadow_attached_; }
  bool UsesDefaultShadowImage() const { return shadow_default_image_; }
  const std::wstring& GetShadowImage() const { return shadow_image_; }
  RECT GetShadowCorner() const { return shadow_corner_; }
  // The shadow's width on each side now: none when detached or maximised.
  RECT GetShadowPadding() const;

  // The root, owned by the window; replaces (and destroys) any previous one.
  void AttachRoot(std::unique_ptr<Box> root);
  std::unique_ptr<Box> DetachRoot();
  Box* GetRoot() const { return root_.get(); }

  // Makes |control| (and its subtree) belong here as a child of |parent|:
  // window and parent set, names registered, Init run.
  void InitControl(Control* control, Control* parent);
  // Exact names; the first control registered under a name keeps it.
  Control* FindControl(const std::wstring& name) const;
  void RegisterName(Control* control);
  // Forgets every pointer to |control| (name, focus, hover, ...); called
  // when it is destroyed or released.
  void OnControlGone(Control* control);
  // Forgets the names of |control| and of its subtree.
  void ForgetSubtree(Control* control);

  // The window's Class table (under a Window root).
  void AddClass(const std::wstring& name, const std::wstring& attributes);
  std::wstring GetClassAttributes(const std::wstring& name) const;

  Control* GetFocus() const { return focus_; }
  // Moves the focus, sending the internal kill and set focus events.
  void SetFocus(Control* control);
  // Drops the focus when its holder can no longer take it (hidden,
  // disabled, switched away by a tab).
  void CheckFocus();

  // Pending arrangement asks the native window for a paint.
  void SetArrangePending(bool pending);
  bool IsArrangePending() const { return arrange_pending_; }
  // Accumulates the rectangles to repaint.
  void Invalidate(const RECT& rect);
  RECT GetInvalidRect() const { return invalid_; }
  void ClearInvalidRect() { invalid_ = RECT{0, 0, 0, 0}; }

  // Lays the root out on |client| (the host's client area).
  void ArrangeRoot(const RECT& client);
  // Paints the root's part within |dirty| into |context|.
  void PaintRoot(IRenderContext* context, const RECT& dirty);

  // Takes |control| (already out of its box) and destroys it later (the
  // host posts itself kMessageReleasePending).
  void ReleaseLater(std::unique_ptr<Control> control);
  size_t PendingReleaseCount() const { return pending_release_.size(); }
  // Destroys what ReleaseLater queued; the host runs it from its message.
  void ReleasePending();

  // Option groups: the options of this window that share a group name
  // (at most one of them selected). Null when the group has no member.
  void AddOptionGroup(const std::wstring& group, Control* control);
  void RemoveOptionGroup(const std::wstring& group, Control* control);
  const std::vector<Control*>* GetOptionGroup(const std::wstring& group) const;

  // The control that gets every mouse event until released (a held thumb,
  // a pressed button). The host also captures the native mouse.
  virtual void SetCapture(Control* control);
  virtual void ReleaseCapture();
  Control* GetCaptureControl() const { return capture_; }

  POINT GetLastMousePos() const { return last_mouse_; }
  void SetLastMousePos(POINT point) { last_mouse_ = point; }
  Control* GetHoverControl() const { return hover_; }
  void SetHoverControl(Control* control) { hover_ = control; }

  // The folder of the window's markup, for relative image names.
  const std::wstring& GetResourcePath() const { return resource_path_; }
  void SetResourcePath(const std::wstring& path);

 protected:
  // Native message handling shared with the skinned window.
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT CallOriginalProc(UINT message, WPARAM wparam, LPARAM lparam);
  bool RegisterWindowClass();
  // Keeps the handle and its DC and makes the render context.
  void AttachNativeWindow(HWND hwnd);
  void Paint();
  // Hands the surface to a layered window, copying |dirty| at least.
  void PresentLayered(POINT position, SIZE size, const RECT& dirty, BLENDFUNCTION blend);
  // Resizes the window to an auto-sized root's estimate.
  void SizeToRoot();
  // Mouse routing.
  void OnMouseMove(POINT point);
  void OnButtonDown(POINT point, int event_type);
  void OnButtonUp(POINT point, int event_type);
  // Ends a press without a click (capture lost, window closing).
  void CancelPress();
  void ShowTooltip(Control* control);
  void HideTooltip();
  bool DispatchWindowEvent(int type, WPARAM wparam = 0, LPARAM lparam = 0);
  // Sends |type| to |control| at the last mouse position.
  static void SendTo(Control* control, int type, POINT point, WPARAM wparam = 0, LPARAM lparam = 0,
                     wchar_t key = 0);

  HWND hwnd_ = nullptr;
  WNDPROC original_proc_ = ::DefWindowProcW;
  HDC paint_dc_ = nullptr;
  std::unique_ptr<IRenderContext> render_;
  std::map<int, std::vector<EventHandler>> window_handlers_;
  std::vector<IUIMessageFilter*> filters_;
  Control* clicked_ = nullptr;
  Control* key_pressed_ = nullptr;
  bool layered_ = false;
  bool first_layout_ = true;
  bool mouse_tracking_ = false;
  BYTE window_alpha_ = 255;
  HWND tooltip_ = nullptr;
  Control* tooltip_control_ = nullptr;
  std::wstring tooltip_text_;  // what the tool record points at
  SIZE init_size_{0, 0};
  SIZE min_info_{0, 0};
  SIZE max_info_{0, 0};
  RECT size_box_{0, 0, 0, 0};
  RECT caption_{0, 0, 0, 0};
  SIZE round_corner_{0, 0};
  RECT alpha_fix_{0, 0, 0, 0};
  double height_percent_ = 0.0;
  bool shadow_attached_ = true;
  bool shadow_default_image_ = true;
  std::wstring shadow_image_;
  RECT shadow_corner_{14, 14, 14, 14};
  RECT shadow_corner_original_{14, 14, 14, 14};
  base::WeakCallbackFlag close_timer_;
  std::shared_ptr<AnimationPlayer> window_fade_;
  bool releasing_capture_ = false;
  RECT last_paint_rect_{0, 0, 0, 0};
  int paint_count_ = 0;

 private:
  std::unique_ptr<Box> root_;
  std::map<std::wstring, Control*> names_;
  std::map<std::wstring, std::wstring> classes_;
  Control* focus_ = nullptr;
  Control* hover_ = nullptr;
  Control* capture_ = nullptr;
  std::map<std::wstring, std::vector<Control*>> option_groups_;
  bool arrange_pending_ = false;
  RECT invalid_{0, 0, 0, 0};
  std::vector<std::unique_ptr<Control>> pending_release_;
  POINT last_mouse_{0, 0};
  std::wstring resource_path_;
};

}  // namespace ui

#endif  // UI_WINDOW_WINDOW_H_
