#include "ui/box/layout.h"

#include <algorithm>
#include <cstdint>

#include "ui/box/box.h"
#include "ui/control/attribute_values.h"
#include "ui/control/control.h"
#include "ui/utils/dpi_scaler.h"

namespace ui {

namespace {

int Scale(int value) { return DpiScaler::GetInstance().ScaleLength(value); }

// To int for the Win32 structures, within the lengths a skin may give.
LONG ToLong(int64_t value) { return static_cast<LONG>(ClampLength(value)); }

int64_t ClampMinMax(int64_t value, int min, int max) {
  if (min >= 0 && value < min) value = min;
  if (max >= 0 && value > max) value = max;
  return value;
}

// One axis of a flow: "main" runs along the flow, "cross" across it.
struct Axis {
  bool horizontal;

  int64_t Main(SIZE s) const { return horizontal ? s.cx : s.cy; }
  int64_t Cross(SIZE s) const { return horizontal ? s.cy : s.cx; }
  int64_t MainBefore(const RECT& m) const { return horizontal ? m.left : m.top; }
  int64_t MainAfter(const RECT& m) const { return horizontal ? m.right : m.bottom; }
  int64_t CrossBefore(const RECT& m) const { return horizontal ? m.top : m.left; }
  int64_t CrossAfter(const RECT& m) const { return horizontal ? m.bottom : m.right; }
  int MinMain(const Control* c) const { return horizontal ? c->GetMinWidth() : c->GetMinHeight(); }
  int MaxMain(const Control* c) const { return horizontal ? c->GetMaxWidth() : c->GetMaxHeight(); }
  int MinCross(const Control* c) const { return horizontal ? c->GetMinHeight() : c->GetMinWidth(); }
  int MaxCross(const Control* c) const { return horizontal ? c->GetMaxHeight() : c->GetMaxWidth(); }
  SIZE Make(int64_t main, int64_t cross) const {
    return horizontal ? SIZE{ToLong(main), ToLong(cross)} : SIZE{ToLong(cross), ToLong(main)};
  }
  // Where along the cross axis the child's alignment puts it.
  int64_t AlignCross(const Control* c, int64_t lo, int64_t hi, int64_t extent) const {
    const int align = horizontal ? static_cast<int>(c->GetVerAlign()) : static_cast<int>(c->GetHorAlign());
    if (align == 2) return hi - extent;
    if (align == 1) return lo + (hi - extent - lo) / 2;
    return lo;
  }
};

bool InFlow(const Control* c) { return c->IsVisible() && !c->IsFloat(); }

SIZE FlowPlace(const Axis& axis, const std::vector<Control*>& items, RECT rect, int child_margin) {
  const int64_t main_begin = axis.horizontal ? rect.left : rect.top;
  const int64_t cross_begin = axis.horizontal ? rect.top : rect.left;
  const int64_t cross_end = axis.horizontal ? rect.bottom : rect.right;
  const int64_t main_extent = axis.horizontal ? int64_t(rect.right) - rect.left : int64_t(rect.bottom) - rect.top;
  const int64_t cross_extent = cross_end - cross_begin;
  const SIZE available{ToLong(int64_t(rect.right) - rect.left), ToLong(int64_t(rect.bottom) - rect.top)};

  // Measure: what fixed children take, and how many stretch.
  int64_t fixed = 0;
  int64_t stretch = 0;
  int64_t count = 0;
  for (Control* c : items) {
    if (!InFlow(c)) continue;
    const SIZE size = c->MeasureSize(available);
    const RECT m = c->GetMargin();
    if (axis.Main(size) == kStretch) {
      ++stretch;
      fixed += axis.MainBefore(m) + axis.MainAfter(m);
    } else {
      fixed += std::max<int64_t>(0, ClampMinMax(axis.Main(size), axis.MinMain(c), axis.MaxMain(c))) +
               axis.MainBefore(m) + axis.MainAfter(m);
    }
    ++count;
  }
  if (count > 1) fixed += (count - 1) * child_margin;

  // Share what is left; the first stretch children take the odd pixels.
  int64_t share = 0;
  int64_t leftover = 0;
  if (stretch > 0) {
    share = std::max<int64_t>(0, (main_extent - fixed) / stretch);
    leftover = main_extent - share * stretch - fixed;
  }

  int64_t cursor = main_begin;
  int64_t remaining = main_extent;
  int64_t used_main = 0;
  int64_t used_cross = 0;
  for (Control* c : items) {
    if (!c->IsVisible()) continue;
    if (c->IsFloat()) {
      Layout::PlaceFloat(c, rect);
      continue;
    }
    const RECT m = c->GetMargin();
    remaining -= axis.MainBefore(m);
    const SIZE size = c->MeasureSize(axis.Make(std::max<int64_t>(0, remaining), cross_extent));
    int64_t main = axis.Main(size);
    if (main == kStretch) {
      main = share;
      if (leftover > 0) {
        ++main;
        --leftover;
      }
    }
    main = std::max<int64_t>(0, ClampMinMax(main, axis.MinMain(c), axis.MaxMain(c)));
    int64_t cross = axis.Cross(size);
    if (cross == kStretch) cross = cross_extent - axis.CrossBefore(m) - axis.CrossAfter(m);
    cross = std::max<int64_t>(0, cross);
    cross = ClampMinMax(cross, axis.MinCross(c), axis.MaxCross(c));
    const int64_t cross_pos =
        axis.AlignCross(c, cross_begin + axis.CrossBefore(m), cross_end - axis.CrossAfter(m), cross);
    const int64_t main_pos = cursor + axis.MainBefore(m);
    if (axis.horizontal) {
      c->SetPos(RECT{ToLong(main_pos), ToLong(cross_pos), ToLong(main_pos + main), ToLong(cross_pos + cross)});
    } else {
      c->SetPos(RECT{ToLong(cross_pos), ToLong(main_pos), ToLong(cross_pos + cross), ToLong(main_pos + main)});
    }
    cursor += main + axis.MainBefore(m) + axis.MainAfter(m) + child_margin;
    remaining -= main + axis.MainAfter(m) + child_margin;
    used_main += main + axis.MainBefore(m) + axis.MainAfter(m);
    used_cross = std::max(used_cross, cross);
  }
  if (count > 1) used_main += (count - 1) * child_margin;
  return axis.Make(used_main, used_cross);
}

SIZE FlowFit(const Axis& axis, const std::vector<Control*>& items, SIZE available, int child_margin,
             const RECT& padding) {
  int64_t main_sum = 0;
  int64_t cross_max = 0;
  int64_t count = 0;
  for (Control* c : items) {
    if (!InFlow(c)) continue;
    const SIZE size = c->MeasureSize(available);
    const RECT m = c->GetMargin();
    int64_t main = axis.Main(size);
    if (main != kStretch) main = ClampMinMax(main, axis.MinMain(c), axis.MaxMain(c));
    const int64_t cross = ClampMinMax(axis.Cross(size), axis.MinCross(c), axis.MaxCross(c));
    cross_max = std::max(cross_max, cross + axis.CrossBefore(m) + axis.CrossAfter(m));
    main_sum += main + axis.MainBefore(m) + axis.MainAfter(m);
    ++count;
  }
  if (count >= 2) main_sum += (count - 1) * child_margin;
  main_sum += axis.MainBefore(padding) + axis.MainAfter(padding);
  cross_max += axis.CrossBefore(padding) + axis.CrossAfter(padding);
  return axis.Make(main_sum, cross_max);
}

}  // namespace

Layout::Layout() = default;
Layout::~Layout() = default;

bool Layout::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"padding") {
    int v[4];
    if (ParseIntList(value, v, 4)) SetPadding(RECT{v[0], v[1], v[2], v[3]}, true);
    return true;
  }
  if (name == L"childmargin") {
    SetChildMargin(Scale(ParseLength(value)));
    return true;
  }
  return false;
}

void Layout::SetPadding(RECT padding, bool dpi_scale) {
  if (dpi_scale) {
    padding = RECT{Scale(padding.left), Scale(padding.top), Scale(padding.right), Scale(padding.bottom)};
  }
  padding_ = RECT{ClampLength(padding.left), ClampLength(padding.top), ClampLength(padding.right),
                  ClampLength(padding.bottom)};
  RearrangeOwner();
}

void Layout::SetChildMargin(int margin) {
  child_margin_ = ClampLength(margin);
  RearrangeOwner();
}

void Layout::RearrangeOwner() {
  if (owner_) owner_->Arrange();
}

SIZE Layout::PlaceFloat(Control* control, RECT rect) {
  if (!control->IsVisible()) return SIZE{0, 0};
  const RECT m = control->GetMargin();
  const int64_t left = int64_t(rect.left) + m.left;
  const int64_t top = int64_t(rect.top) + m.top;
  const int64_t right = int64_t(rect.right) - m.right;
  const int64_t bottom = int64_t(rect.bottom) - m.bottom;
  const int64_t avail_w = std::max<int64_t>(0, right - left);
  const int64_t avail_h = std::max<int64_t>(0, bottom - top);
  SIZE size = control->MeasureSize(SIZE{ToLong(avail_w), ToLong(avail_h)});
  if (control->GetFixedWidth() == kAuto && control->GetFixedHeight() == kAuto && control->GetMaxWidth() == -1 &&
      size.cx > avail_w) {
    // Too wide for the space: measure again at the space's width so that
    // text wraps, then go back to auto.
    control->SetFixedWidth(ToLong(avail_w), false);
    size = control->MeasureSize(SIZE{ToLong(avail_w), ToLong(avail_h)});
    control->SetFixedWidth(kAuto, false);
  }
  int64_t w = size.cx == kStretch ? avail_w : size.cx;
  w = std::max<int64_t>(0, ClampMinMax(std::max<int64_t>(0, w), control->GetMinWidth(), control->GetMaxWidth()));
  int64_t h = size.cy == kStretch ? avail_h : size.cy;
  h = std::max<int64_t>(0, ClampMinMax(std::max<int64_t>(0, h), control->GetMinHeight(), control->GetMaxHeight()));
  int64_t x = left;
  if (control->GetHorAlign() == kHorAlignRight) x = right - w;
  else if (control->GetHorAlign() == kHorAlignCenter) x = left + (right - w - left) / 2;
  int64_t y = top;
  if (control->GetVerAlign() == kVerAlignBottom) y = bottom - h;
  else if (control->GetVerAlign() == kVerAlignCenter) y = top + (bottom - h - top) / 2;
  control->SetPos(RECT{ToLong(x), ToLong(y), ToLong(x + w), ToLong(y + h)});
  return SIZE{ToLong(w), ToLong(h)};
}

SIZE Layout::PlaceChildren(const std::vector<Control*>& items, RECT rect) {
  SIZE used{0, 0};
  for (Control* c : items) {
    if (!c->IsVisible()) continue;
    SIZE size = PlaceFloat(c, rect);
    used.cx = std::max(used.cx, size.cx);
    used.cy = std::max(used.cy, size.cy);
  }
  return used;
}

SIZE Layout::FitToChildren(const std::vector<Control*>& items, SIZE available) {
  int64_t w = -9999;
  int64_t h = -9999;
  for (Control* c : items) {
    if (!c->IsVisible()) continue;
    const SIZE size = c->MeasureSize(available);
    const RECT m = c->GetMargin();
    w = std::max(w, ClampMinMax(size.cx, c->GetMinWidth(), c->GetMaxWidth()) + m.left + m.right);
    h = std::max(h, ClampMinMax(size.cy, c->GetMinHeight(), c->GetMaxHeight()) + m.top + m.bottom);
  }
  w += int64_t(padding_.left) + padding_.right;
  h += int64_t(padding_.top) + padding_.bottom;
  return SIZE{ToLong(w), ToLong(h)};
}

SIZE HLayout::PlaceChildren(const std::vector<Control*>& items, RECT rect) {
  return FlowPlace(Axis{true}, items, rect, child_margin_);
}

SIZE HLayout::FitToChildren(const std::vector<Control*>& items, SIZE available) {
  return FlowFit(Axis{true}, items, available, child_margin_, padding_);
}

SIZE VLayout::PlaceChildren(const std::vector<Control*>& items, RECT rect) {
  return FlowPlace(Axis{false}, items, rect, child_margin_);
}

SIZE VLayout::FitToChildren(const std::vector<Control*>& items, SIZE available) {
  return FlowFit(Axis{false}, items, available, child_margin_, padding_);
}

bool TileLayout::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"itemsize") {
    int v[2];
    if (ParseIntList(value, v, 2)) SetItemSize(SIZE{v[0], v[1]}, true);
    return true;
  }
  if (name == L"columns") {
    SetColumns(ParseLength(value));
    return true;
  }
  return Layout::SetAttribute(name, value);
}

void TileLayout::SetItemSize(SIZE size, bool dpi_scale) {
  if (dpi_scale) size = SIZE{Scale(size.cx), Scale(size.cy)};
  item_size_ = SIZE{std::max<LONG>(0, ClampLength(size.cx)), std::max<LONG>(0, ClampLength(size.cy))};
  RearrangeOwner();
}

void TileLayout::SetColumns(int columns) {
  if (columns <= 0) return;
  columns_ = std::min(columns, 10000);
  RearrangeOwner();
}

int TileLayout::ColumnsFor(int width) const {
  int64_t columns = columns_;
  if (item_size_.cx > 0) columns = std::max(0, width) / item_size_.cx;
  if (columns <= 0) columns = 1;
  return static_cast<int>(std::min<int64_t>(columns, 10000));
}

SIZE TileLayout::PlaceChildren(const std::vector<Control*>& items, RECT rect) {
  const int64_t width = std::max<int64_t>(0, int64_t(rect.right) - rect.left);
  const int columns = ColumnsFor(ToLong(width));
  const int64_t base = width / columns;
  const int64_t extra = width % columns;  // the first |extra| columns are one pixel wider

  std::vector<Control*> flow;
  for (Control* c : items) {
    if (!c->IsVisible()) continue;
    if (c->IsFloat())
      PlaceFloat(c, rect);
    else
      flow.push_back(c);
  }

  int64_t top = rect.top;
  int64_t total = 0;
  for (size_t row = 0; row * columns < flow.size(); ++row) {
    const size_t first = row * columns;
    const size_t last = std::min(flow.size(), first + columns);
    // Cell widths, and the sizes the row's children ask for in them.
    std::vector<SIZE> sizes;
    std::vector<int64_t> cell_widths;
    int64_t row_height = item_size_.cy;
    for (size_t i = first; i < last; ++i) {
      Control* c = flow[i];
      const int column = static_cast<int>(i - first);
      const int64_t cell = base + (column < extra ? 1 : 0);
      const RECT m = c->GetMargin();
      // Half the child margin on each side between cells.
      int64_t inner = cell - m.left - m.right;
      if (column > 0) inner -= child_margin_ / 2;
      if (column + 1 < columns) inner -= child_margin_ - child_margin_ / 2;
      inner = std::max<int64_t>(0, inner);
      SIZE size = c->MeasureSize(SIZE{ToLong(inner), ToLong(item_size_.cy > 0 ? item_size_.cy : 0)});
      if (size.cx == kStretch || size.cx < 0) size.cx = ToLong(inner);
      if (size.cy == kStretch || size.cy < 0) size.cy = item_size_.cy;
      size.cx = ToLong(std::max<int64_t>(0, ClampMinMax(size.cx, c->GetMinWidth(), c->GetMaxWidth())));
      size.cy = ToLong(std::max<int64_t>(0, ClampMinMax(size.cy, c->GetMinHeight(), c->GetMaxHeight())));
      sizes.push_back(size);
      cell_widths.push_back(cell);
      row_height = std::max<int64_t>(row_height, int64_t(size.cy) + m.top + m.bottom);
    }
    int64_t x = rect.left;
    for (size_t i = first; i < last; ++i) {
      Control* c = flow[i];
      const SIZE size = sizes[i - first];
      const int64_t cell = cell_widths[i - first];
      const RECT m = c->GetMargin();
      const int64_t cx = x + m.left + (cell - m.left - m.right - size.cx) / 2;
      const int64_t cy = top + m.top + (row_height - m.top - m.bottom - size.cy) / 2;
      c->SetPos(RECT{ToLong(cx), ToLong(cy), ToLong(cx + size.cx), ToLong(cy + size.cy)});
      x += cell;
    }
    total += row_height;
    top += row_height + child_margin_;
    if (last < flow.size()) total += child_margin_;
  }
  return SIZE{ToLong(width), ToLong(total)};
}

SIZE TileLayout::FitToChildren(const std::vector<Control*>& items, SIZE available) {
  int64_t width = available.cx;
  if (owner_ && owner_->GetFixedWidth() >= 0)
    width = int64_t(owner_->GetFixedWidth()) - padding_.left - padding_.right;
  width = std::max<int64_t>(0, width);
  int64_t count = 0;
  Control* first = nullptr;
  for (Control* c : items) {
    if (!InFlow(c)) continue;
    if (!first) first = c;
    ++count;
  }
  const int columns = ColumnsFor(ToLong(width));
  const int64_t rows = (count + columns - 1) / columns;
  // Rows are as tall as the first child; one that stretches or sizes
  // itself has no height to offer, so the item height stands in.
  int64_t row_height = item_size_.cy;
  if (first) {
    const int64_t h = first->GetFixedHeight();
    const RECT m = first->GetMargin();
    if (h >= 0) row_height = h + m.top + m.bottom;
  }
  int64_t height = int64_t(padding_.top) + padding_.bottom + rows * row_height;
  if (rows > 1) height += (rows - 1) * child_margin_;
  return SIZE{ToLong(width + padding_.left + padding_.right), ToLong(std::max<int64_t>(0, height))};
}

}  // namespace ui
