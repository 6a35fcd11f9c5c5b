#include "ui/control/progress.h"

#include <climits>
#include <cmath>
#include <cwctype>

#include "ui/control/attribute_values.h"
#include "ui/core/global_resources.h"
#include "ui/render/render_interface.h"
#include "ui/utils/dpi_scaler.h"

namespace ui {

namespace {

bool IsTrue(const std::wstring& value) { return value == L"true"; }

std::wstring RectList(const RECT& r) {
  return std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," + std::to_wstring(r.right) + L"," +
         std::to_wstring(r.bottom);
}

}  // namespace

Progress::Progress() {
  text_style_ = DT_CENTER | DT_SINGLELINE;
  fixed_height_ = DpiScaler::GetInstance().ScaleLength(12);
}

void Progress::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"hor") {
    SetHorizontal(IsTrue(value));
  } else if (name == L"min") {
    SetMinValue(ParseLength(value));
  } else if (name == L"max") {
    SetMaxValue(ParseLength(value));
  } else if (name == L"value") {
    SetValue(ParseLength(value));
  } else if (name == L"progressimage") {
    SetProgressImage(value);
  } else if (name == L"isstretchfore") {
    SetStretchFore(IsTrue(value));
  } else if (name == L"progresscolor") {
    SetProgressColor(value);
  } else {
    LabelTemplate<Control>::SetAttribute(name, value);
  }
}

void Progress::ReleaseAllImages() {
  LabelTemplate<Control>::ReleaseAllImages();
  fore_image_.ReleaseImage();
}

void Progress::PaintStateImage(IRenderContext* context) {
  LabelTemplate<Control>::PaintStateImage(context);
  PaintProgress(context);
}

void Progress::SetHorizontal(bool horizontal) {
  horizontal_ = horizontal;
  Invalidate();
}

void Progress::SetMinValue(int min) {
  min_ = min;
  Invalidate();
}

void Progress::SetMaxValue(int max) {
  max_ = max;
  Invalidate();
}

void Progress::SetValue(double value) {
  value_ = value;
  Invalidate();
}

void Progress::SetProgressImage(const std::wstring& descriptor) {
  fore_image_.SetImageDescriptor(descriptor);
  Invalidate();
}

void Progress::SetStretchFore(bool stretch) {
  stretch_fore_ = stretch;
  Invalidate();
}

void Progress::SetProgressColor(const std::wstring& name) {
  size_t start = 0;
  while (start < name.size() && std::iswspace(name[start])) ++start;
  fore_color_ = name.substr(start);
  Invalidate();
}

void Progress::RepairRange() {
  if (max_ <= min_) {
    // min + 1 must not overflow.
    if (min_ == INT_MAX) min_ = INT_MAX - 1;
    max_ = min_ + 1;
  }
  // A value that is not a number would make the fill undefined.
  if (std::isnan(value_) || value_ < min_) value_ = min_;
  if (value_ > max_) value_ = max_;
}

RECT Progress::GetFilledRect() {
  RepairRange();
  const double width = item_rect_.right - item_rect_.left;
  const double height = item_rect_.bottom - item_rect_.top;
  const double span = double(max_) - double(min_);
  if (horizontal_) {
    const LONG right = static_cast<LONG>((value_ - min_) * width / span);
    return RECT{0, 0, right, static_cast<LONG>(height)};
  }
  const LONG top = static_cast<LONG>((max_ - value_) * height / span);
  return RECT{0, top, static_cast<LONG>(width), static_cast<LONG>(height)};
}

void Progress::PaintProgress(IRenderContext* context) {
  const RECT fill = GetFilledRect();
  if (!fore_color_.empty()) {
    const DWORD argb = GlobalResources::GetTextColor(fore_color_);
    if (argb != 0) {
      RECT placed = fill;
      ::OffsetRect(&placed, item_rect_.left, item_rect_.top);
      context->FillColor(placed, argb, 255);
    }
  }
  if (fore_image_.attributes().image_name.empty()) return;
  last_modifier_ = L"destscale='false' dest='" + RectList(fill) + L"'";
  if (!stretch_fore_) last_modifier_ += L" source='" + RectList(fill) + L"'";
  DrawImage(context, fore_image_, last_modifier_);
}

}  // namespace ui
