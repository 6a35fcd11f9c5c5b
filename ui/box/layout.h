// Layouts measure and place the children of a box. Layout itself is the
// free layout (each child placed by its own alignment and margins); HLayout
// and VLayout flow the children along one axis and share what is left
// among stretch children; TileLayout fills a grid. A layout belongs to its
// box. Arithmetic runs in 64 bits and is clamped, so sizes read from skins
// cannot overflow it. UI thread only.
#ifndef UI_BOX_LAYOUT_H_
#define UI_BOX_LAYOUT_H_

#include <windows.h>

#include <string>
#include <vector>

namespace ui {

class Box;
class Control;

class Layout {
 public:
  Layout();
  virtual ~Layout();
  Layout(const Layout&) = delete;
  Layout& operator=(const Layout&) = delete;

  // "padding" and "childmargin"; false for other names.
  virtual bool SetAttribute(const std::wstring& name, const std::wstring& value);
  // Places |items| inside |rect| (the box's rectangle less padding);
  // answers the size used.
  virtual SIZE PlaceChildren(const std::vector<Control*>& items, RECT rect);
  // The size the children ask for within |available| (less padding),
  // padding included.
  virtual SIZE FitToChildren(const std::vector<Control*>& items, SIZE available);
  virtual RECT GetPadding() const { return padding_; }
  virtual void SetPadding(RECT padding, bool dpi_scale = true);
  virtual int GetChildMargin() const { return child_margin_; }
  virtual void SetChildMargin(int margin);

  void SetOwner(Box* owner) { owner_ = owner; }

  // The float rule: |control| placed by its margins and alignment inside
  // |rect|; answers its size (0 when hidden).
  static SIZE PlaceFloat(Control* control, RECT rect);

 protected:
  void RearrangeOwner();

  RECT padding_{0, 0, 0, 0};
  int child_margin_ = 0;
  Box* owner_ = nullptr;
};

// Children side by side; stretch widths share what fixed ones leave.
class HLayout : public Layout {
 public:
  SIZE PlaceChildren(const std::vector<Control*>& items, RECT rect) override;
  SIZE FitToChildren(const std::vector<Control*>& items, SIZE available) override;
};

// Children stacked; stretch heights share what fixed ones leave.
class VLayout : public Layout {
 public:
  SIZE PlaceChildren(const std::vector<Control*>& items, RECT rect) override;
  SIZE FitToChildren(const std::vector<Control*>& items, SIZE available) override;
};

// A grid: "itemsize" cx,cy and "columns".
class TileLayout : public Layout {
 public:
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;
  SIZE PlaceChildren(const std::vector<Control*>& items, RECT rect) override;
  SIZE FitToChildren(const std::vector<Control*>& items, SIZE available) override;

  SIZE GetItemSize() const { return item_size_; }
  void SetItemSize(SIZE size, bool dpi_scale = true);
  int GetColumns() const { return columns_; }
  void SetColumns(int columns);

 private:
  int ColumnsFor(int width) const;

  SIZE item_size_{0, 0};
  int columns_ = 1;
};

}  // namespace ui

#endif  // UI_BOX_LAYOUT_H_
