// Window is what a control tree needs from the window it lives in: the
// root, the name table, the window's own classes, the focus holder, the
// pending-arrangement flag with the accumulated invalid rectangle, the
// deferred-release queue, and the last mouse position with the control
// under the mouse. The window host derives from it and adds the native
// window; without one (HasNativeWindow false) a tree can still be built,
// laid out, painted off screen and driven by synthetic events.
// UI thread only.
#ifndef UI_WINDOW_WINDOW_H_
#define UI_WINDOW_WINDOW_H_

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/callback/weak_callback.h"

namespace ui {

class Box;
class Control;
class IRenderContext;

class Window : public virtual base::SupportWeakCallback {
 public:
  Window();
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // An attribute of the markup's Window root; the host gives it meaning.
  // Answers whether it was taken.
  virtual bool SetAttribute(const std::wstring& name, const std::wstring& value);
  // Whether the native window exists (the builder then applies the Window
  // root's attributes and classes).
  virtual bool HasNativeWindow() const { return false; }

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

  void SetArrangePending(bool pending) { arrange_pending_ = pending; }
  bool IsArrangePending() const { return arrange_pending_; }
  // Accumulates the rectangles to repaint.
  void Invalidate(const RECT& rect);
  RECT GetInvalidRect() const { return invalid_; }
  void ClearInvalidRect() { invalid_ = RECT{0, 0, 0, 0}; }

  // Lays the root out on |client| (the host's client area).
  void ArrangeRoot(const RECT& client);
  // Paints the root's part within |dirty| into |context|.
  void PaintRoot(IRenderContext* context, const RECT& dirty);

  // Takes |control| (already out of its box) and destroys it later.
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
