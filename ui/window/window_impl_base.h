// WindowImplBase is the skinned top-level window: built from a markup file
// of its skin folder, without a native frame, dragged by its caption area,
// sized by its size-box borders, with an optional drop shadow around the
// root, and one overridable hook per native message (a hook that leaves
// |*handled| false lets the message go on to Window's routing).
//
// Ownership: once Create succeeded the object owns itself and deletes
// itself after its final message. When Create fails (no class, or a skin
// that does not build) it returns null and the object stays its caller's.
// UI thread only.
#ifndef UI_WINDOW_WINDOW_IMPL_BASE_H_
#define UI_WINDOW_WINDOW_IMPL_BASE_H_

#include <string>

#include "ui/core/global_resources.h"
#include "ui/window/window.h"

namespace ui {

class ShadowBox;

class WindowImplBase : public Window, public IUIMessageFilter, public IWindowRefresh {
 public:
  WindowImplBase();
  ~WindowImplBase() override;

  std::wstring WindowClassName() const override = 0;
  UINT WindowClassStyle() const override { return CS_DBLCLKS; }
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnFinalMessage(HWND hwnd) override;

  // The root is attached (the wizard fills its pages here).
  virtual void OnSkinLoaded() {}
  // The style set at creation: the current one without a caption.
  virtual LONG WindowStyle() const;
  virtual std::wstring QueryName() const { return std::wstring(); }
  // Builds element names the framework does not know; null by default.
  virtual Control* CreateControl(const std::wstring& class_name);

  virtual LRESULT OnClose(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnDestroy(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnNcActivate(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnNcCalcSize(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnWindowPosChanging(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnNcPaint(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnNcLButtonDblClk(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnNcHitTest(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnGetMinMaxInfo(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnMouseWheel(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnMouseHover(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnDpiChanged(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnSize(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnChar(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnSysCommand(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnKeyDown(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnKillFocus(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnSetFocus(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnLButtonDown(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnLButtonUp(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);
  virtual LRESULT OnMouseMove(UINT message, WPARAM wparam, LPARAM lparam, bool* handled);

  // Restores, shows and brings the window to the foreground.
  void ActivateWindow();
  void SetWindowText(const std::wstring& text);
  virtual std::wstring SkinFolder() const = 0;
  virtual std::wstring SkinFile() const = 0;

  // IUIMessageFilter: sees everything first and claims nothing.
  LRESULT FilterMessage(UINT message, WPARAM wparam, LPARAM lparam, bool* handled) override;
  // IWindowRefresh: fonts were recreated (a language of the other
  // direction); every text measures and paints anew.
  void RefreshForLayoutChange() override;

 protected:
  LRESULT OnCreate();
  // Wires "closebtn", "minbtn", "maxbtn" and "restorebtn".
  void WireTitleButtons();

 private:
  ShadowBox* shadow_box_ = nullptr;
  bool created_ = false;
};

}  // namespace ui

#endif  // UI_WINDOW_WINDOW_IMPL_BASE_H_
