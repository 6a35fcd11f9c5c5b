// ListBox is a scrollable box of selectable items: its ListContainerElement
// children know the list (as their IListOwner) and their index in it, and a
// click, the keys or the wheel select one of them at a time. The layout
// decides the kind: free ("ListBox"), horizontal ("HListBox"), vertical
// ("VListBox") or tiles ("TileListBox"). Indices follow every insertion,
// removal and move, and so does the selection. UI thread only.
#ifndef UI_BOX_LIST_BOX_H_
#define UI_BOX_LIST_BOX_H_

#include <memory>
#include <string>

#include "ui/box/scrollable_box.h"
#include "ui/control/option.h"

namespace ui {

// What a list element asks of the list that holds it.
class IListOwner {
 public:
  virtual int GetCurSel() const = 0;
  virtual bool SelectItem(int index, bool take_focus = false, bool trigger = true) = 0;
  // Events the element passes on to the list.
  virtual bool DeliverEvent(EventArgs* args) = 0;
  virtual void EnsureVisible(const RECT& rect) = 0;
  virtual void StopScroll() = 0;

 protected:
  ~IListOwner() = default;
};

class ListBox : public ScrollableBox, public IListOwner {
 public:
  explicit ListBox(std::unique_ptr<Layout> layout = nullptr);
  ~ListBox() override;

  std::wstring GetType() const override { return L"ListBox"; }

  // Box: insertions and removals renumber the elements and move the
  // selection with its item; removing the selected item selects none.
  bool AddAt(Control* control, size_t index) override;
  bool Remove(Control* control) override;
  void RemoveAll() override;
  bool SetItemIndex(Control* control, size_t index) override;
  // Only visible, enabled list elements are selectable.
  int NearestSelectable(int index, bool forward) const override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void HandleMessage(EventArgs* args) override;

  // IListOwner
  int GetCurSel() const override { return cur_sel_; }
  // The old item is unselected and gets "unselect"; a negative index stops
  // there (false). The new one must be a visible, enabled element: it is
  // marked, scrolled into view, focused when asked and, with |trigger|, the
  // list sends "select" (wParam new index, lParam old index).
  bool SelectItem(int index, bool take_focus = false, bool trigger = true) override;
  bool DeliverEvent(EventArgs* args) override;
  // Scrolls by the overlap of |rect| (content coordinates) with the view;
  // an item already in view passes the request to an enclosing list.
  void EnsureVisible(const RECT& rect) override;
  void StopScroll() override { StopScrollAnimation(); }

  // Scrolls the direct child named |name| (exact, ignoring case) to the
  // top of the view; false when there is none.
  bool ScrollItemToTop(const std::wstring& name);
  // The first item in the flow whose rectangle reaches below the top of
  // the view, or null.
  Control* GetTopItem() const;
  bool IsScrollSelect() const { return scroll_select_; }
  void SetScrollSelect(bool on) { scroll_select_ = on; }

 private:
  // Indices of the elements from |from| on, owner set.
  void Renumber(size_t from);
  void SelectNearest(int index, bool forward);

  int cur_sel_ = -1;
  bool scroll_select_ = false;
};

// One item of a list: an option box that selects itself through its owner.
class ListContainerElement : public OptionTemplate<Box> {
 public:
  ListContainerElement();
  ~ListContainerElement() override;

  std::wstring GetType() const override { return L"ListContainerElement"; }

  // The click, then selected through the owner (with events).
  void Activate() override;
  void HandleMessage(EventArgs* args) override;

  IListOwner* GetOwner() const { return owner_; }
  void SetOwner(IListOwner* owner) { owner_ = owner; }
  int GetIndex() const { return index_; }
  void SetIndex(int index) { index_ = index; }
  // Sets the selected state without the option's group and events: the
  // list is the group and sends the events itself.
  void MarkSelected(bool selected);

 private:
  IListOwner* owner_ = nullptr;
  int index_ = -1;
};

}  // namespace ui

#endif  // UI_BOX_LIST_BOX_H_
