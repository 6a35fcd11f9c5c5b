// Combo is a drop-down list: a box that shows the text of its current item
// and, when activated, opens a borderless pop-up window (CComboWnd) that
// holds the combo's list box. The items live in that list box, which the
// combo owns; it is not one of the combo's children and moves between the
// combo's window (closed) and the pop-up (open). Picking an item with the
// mouse, Return or Space closes the pop-up and sends the combo's "select"
// (wParam the new index, lParam -1); moving the selection with the keys in
// the open list sends nothing, and closing the list by focus loss keeps the
// moved selection without an event.
//
// Attributes: "dropbox" (an attribute list applied to the list box),
// "dropboxsize" (cx,cy: the pop-up's width, 0 for the combo's, and its
// maximum height; scaled), "popuptop" (always open above), "vscrollbar"
// (accepted, ignored: the list always has its vertical bar). UI thread only.
#ifndef UI_CONTROL_COMBO_H_
#define UI_CONTROL_COMBO_H_

#include <windows.h>

#include <memory>
#include <string>

#include "ui/box/box.h"
#include "ui/box/list_box.h"
#include "ui/window/window.h"

namespace ui {

class CComboWnd;

class Combo : public Box {
 public:
  Combo();
  ~Combo() override;

  std::wstring GetType() const override { return L"Combo"; }

  // The combo's window is the list's window while the list is closed.
  void SetWindow(Window* window) override;
  void SetWindow(Window* window, Control* parent, bool init) override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  // The current item's text over the combo's own images.
  void PaintOwnText(IRenderContext* context) override;
  // Opens the pop-up (unless it is open), then the click event.
  void Activate() override;
  // Hidden or disabled, the combo closes its open pop-up: a list left
  // floating over nothing could still pick for a control the user cannot see.
  void SetVisible(bool visible) override;
  void SetVisibleFromParent(bool visible) override;
  void SetEnabled(bool enabled) override;

  // The items: these act on the list box and re-read the current index
  // from its selection afterwards.
  bool Add(Control* control) override;
  bool AddAt(Control* control, size_t index) override;
  bool Remove(Control* control) override;
  bool RemoveAt(size_t index) override;
  void RemoveAll() override;
  size_t GetCount() const override;
  Control* GetItemAt(size_t index) const override;

  // The current item's text; empty when there is none.
  std::wstring GetText() const;
  int GetCurSel() const { return cur_sel_; }
  // False for an index out of range or equal to the current one (nothing
  // changes); else the list selects it without focus and without events.
  bool SelectItem(int index);

  // Opens the pop-up; true when one is open afterwards. Needs the combo's
  // window to have its native window.
  bool DropDown();
  // The rectangle (screen pixels) the pop-up takes for a combo at
  // |combo_screen| on a monitor with |work_area|: below, or above when it
  // would pass the work area's bottom or "popuptop" is set.
  RECT DropRect(const RECT& combo_screen, const RECT& work_area) const;

  ListBox* GetListBox() const { return list_.get(); }
  CComboWnd* GetDropWindow() const { return drop_; }
  SIZE GetDropBoxSize() const { return drop_size_; }
  const std::wstring& GetDropBoxAttributes() const { return drop_attributes_; }
  bool IsPopupTop() const { return popup_top_; }

 private:
  friend class CComboWnd;

  // The list's "select": a pick (the pop-up closes) that the combo reports.
  void OnListSelect();
  // The pop-up's native window is gone.
  void OnDropClosed(CComboWnd* drop);
  void CloseDrop();
  // Where the list came back after the pop-up gave it up.
  void TakeListBack();

  CComboWnd* drop_ = nullptr;  // deletes itself after its final message
  std::unique_ptr<ListBox> list_;
  int cur_sel_ = -1;
  SIZE drop_size_;
  std::wstring drop_attributes_;
  bool popup_top_ = false;
};

// The combo's pop-up: a layered tool window owned by the combo's window
// whose root holds the combo's list box while it is open. It closes when it
// loses the focus (or the list reports a pick) and always hands the list
// back to the combo before it goes, whatever message routing does with
// other messages. It deletes itself after its final message.
class CComboWnd : public Window {
 public:
  explicit CComboWnd(Combo* owner);
  ~CComboWnd() override;

  std::wstring WindowClassName() const override { return L"ComboWnd"; }
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnFinalMessage(HWND hwnd) override;

  bool IsClosing() const { return closing_; }
  // The combo goes away while open: the list returns now, the pop-up
  // closes on its own.
  void DetachOwner();

 private:
  LRESULT OnCreate();
  // Moves the list out of this window's root back to the combo (once).
  void ReturnList();

  Combo* owner_;
  bool closing_ = false;
  bool created_ = false;  // WM_CREATE ran: the object owns itself
};

}  // namespace ui

#endif  // UI_CONTROL_COMBO_H_
