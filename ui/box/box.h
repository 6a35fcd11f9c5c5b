// Box is a control that owns an ordered list of children and a layout that
// measures and places them. HBox, VBox and TileBox differ only in their
// layout. A box owns its children: removing one destroys it (at once, or
// through the window's deferred release), and destroying the box destroys
// them all. UI thread only.
#ifndef UI_BOX_BOX_H_
#define UI_BOX_BOX_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/box/layout.h"
#include "ui/control/control.h"

namespace ui {

class Box : public Control {
 public:
  explicit Box(std::unique_ptr<Layout> layout = nullptr);
  ~Box() override;

  std::wstring GetType() const override { return L"Box"; }

  // PlaceHolder / Control
  void SetWindow(Window* window) override;
  void SetWindow(Window* window, Control* parent, bool init) override;
  SIZE MeasureSize(SIZE available) override;
  void SetPos(RECT rect) override;
  void SetVisible(bool visible) override;
  void SetVisibleFromParent(bool visible) override;
  Control* FindControl(FindVisitor visitor, void* data, UINT flags) override;
  bool DeliverEvent(EventArgs* args) override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void PaintChildren(IRenderContext* context, const RECT& dirty) override;

  // The nearest visible and enabled child from |index| on (backward when
  // not |forward|), or -1.
  virtual int NearestSelectable(int index, bool forward) const;
  virtual Control* GetItemAt(size_t index) const;
  virtual int GetItemIndex(const Control* control) const;
  virtual bool SetItemIndex(Control* control, size_t index);
  virtual size_t GetCount() const { return items_.size(); }
  // The box takes |control|; false (and nothing taken) for null or an
  // index beyond the end.
  virtual bool Add(Control* control);
  virtual bool AddAt(Control* control, size_t index);
  // False, and nothing destroyed, when |control| is not a child.
  virtual bool Remove(Control* control);
  virtual bool RemoveAt(size_t index);
  virtual void RemoveAll();
  virtual bool OwnsChildren() const { return auto_destroy_; }
  virtual void SetOwnsChildren(bool owns) { auto_destroy_ = owns; }
  virtual bool DefersDeletion() const { return delay_destroy_; }
  virtual void SetDefersDeletion(bool defer) { delay_destroy_ = defer; }
  virtual bool ChildrenReceiveMouse() const { return mouse_child_; }
  virtual void SetChildrenReceiveMouse(bool receive) { mouse_child_ = receive; }
  virtual Layout* GetLayout() const { return layout_.get(); }
  virtual void ReplaceLayout(std::unique_ptr<Layout> layout);
  // The item rectangle less the padding.
  virtual RECT ContentRect() const;

  // The first control of the subtree (depth first, the box last) whose
  // name equals |name| ignoring case.
  Control* FindDescendant(const std::wstring& name);
  // Handlers that see events bubbling up from descendants (and the box's own).
  void SubscribeBubbled(int type, EventHandler handler);
  void AddMarkupBubbledHandler(int type, EventHandler handler);

 protected:
  // Destroys (or queues for release) a child already out of the list.
  void DisposeChild(Control* control);

  std::vector<Control*> items_;  // owned
  std::unique_ptr<Layout> layout_;
  bool auto_destroy_ = true;
  bool delay_destroy_ = true;
  bool mouse_child_ = true;
  std::map<int, std::vector<EventHandler>> bubbled_handlers_;
  std::map<int, std::vector<EventHandler>> markup_bubbled_handlers_;
};

class HBox : public Box {
 public:
  HBox();
  std::wstring GetType() const override { return L"HBox"; }
};

class VBox : public Box {
 public:
  VBox();
  std::wstring GetType() const override { return L"VBox"; }
};

class TileBox : public Box {
 public:
  TileBox();
  std::wstring GetType() const override { return L"TileBox"; }
};

}  // namespace ui

#endif  // UI_BOX_BOX_H_
