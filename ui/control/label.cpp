#include "ui/control/label.h"

#include <algorithm>
#include <type_traits>

#include "base/util/string_util.h"
#include "ui/control/attribute_values.h"
#include "ui/core/global_resources.h"
#include "ui/core/string_table.h"
#include "ui/render/render_interface.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/window/window.h"

namespace ui {

namespace {

bool IsTrue(const std::wstring& value) { return value == L"true"; }

}  // namespace

UINT ApplyTextAlign(UINT style, const std::wstring& value) {
  auto has = [&value](const wchar_t* word) { return value.find(word) != std::wstring::npos; };
  if (has(L"left")) style &= ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
  if (has(L"center")) {
    style |= DT_CENTER;
    style &= ~DT_RIGHT;
  }
  if (has(L"right")) {
    style |= DT_RIGHT;
    style &= ~(DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  if (has(L"top")) {
    style &= ~(DT_VCENTER | DT_BOTTOM);
    style |= DT_SINGLELINE;
  }
  if (has(L"vcenter")) {
    style &= ~DT_BOTTOM;
    style |= DT_VCENTER | DT_SINGLELINE | DT_CENTER;
  }
  if (has(L"bottom")) {
    style &= ~DT_VCENTER;
    style |= DT_BOTTOM | DT_SINGLELINE;
  }
  return style;
}

SIZE MeasureControlText(Window* window, const std::wstring& text, const std::wstring& font_id, UINT style,
                        int width) {
  if (text.empty()) return SIZE{0, 0};
  IRenderContext* context = window ? window->GetRenderContext() : nullptr;
  std::unique_ptr<IRenderContext> scratch;
  if (!context) {
    // Before the native window exists (and off screen) there is no context
    // of the window's own; a memory DC measures the same.
    IRenderFactory* factory = GlobalResources::GetRenderFactory();
    if (!factory) return SIZE{0, 0};
    scratch = factory->CreateRenderContext();
    context = scratch.get();
  }
  const RECT r = context->MeasureText(text, font_id, style, width);
  return SIZE{std::max<LONG>(0, r.right - r.left), std::max<LONG>(0, r.bottom - r.top)};
}

template <typename T>
LabelTemplate<T>::LabelTemplate() {
  text_colors_[kStateNormal] = GlobalResources::GetDefaultTextColorName();
  text_colors_[kStateDisabled] = GlobalResources::GetDisabledTextColorName();
}

template <typename T>
std::wstring LabelTemplate<T>::GetType() const {
  return std::is_base_of_v<Box, T> ? L"LabelBox" : L"Label";
}

template <typename T>
SIZE LabelTemplate<T>::MeasureSize(SIZE available) {
  const bool fresh = this->NeedsReestimate();
  if constexpr (!std::is_base_of_v<Box, T>) {
    // With a text, the text decides an auto size: a state image drawn at a
    // fixed destination (a check mark beside the words) must not cut the
    // words off. Without one, the image sizes the control as usual.
    if (fresh && this->IsAutoSized() && !GetText().empty()) {
      const SIZE text = MeasureLabelText(available);
      SIZE size{this->fixed_width_ == kAuto ? text.cx : this->fixed_width_,
                this->fixed_height_ == kAuto ? text.cy : this->fixed_height_};
      this->SetReestimate(false);
      this->estimate_ = size;
      return size;
    }
  }
  SIZE size = T::MeasureSize(available);
  if constexpr (std::is_base_of_v<Box, T>) {
    // A box measures its children only; its own text counts as well.
    if (fresh && this->IsAutoSized()) {
      const SIZE text = MeasureLabelText(available);
      if (this->fixed_width_ == kAuto) size.cx = std::max(size.cx, text.cx);
      if (this->fixed_height_ == kAuto) size.cy = std::max(size.cy, text.cy);
      this->estimate_ = size;
    }
  }
  return size;
}

template <typename T>
SIZE LabelTemplate<T>::MeasureLabelText(SIZE available) {
  const RECT& pad = text_padding_;
  const int pad_w = pad.left + pad.right;
  const int pad_h = pad.top + pad.bottom;
  const std::wstring text = GetText();
  if (text.empty()) return SIZE{pad_w, pad_h};
  const UINT style = GetTextStyle();
  const int space = this->fixed_width_ >= 0 ? this->fixed_width_ : available.cx;
  const int bound = std::max(0, space - pad_w);
  Window* window = this->GetWindow();
  SIZE text_size;
  if (this->fixed_width_ == kAuto && this->fixed_height_ == kAuto && this->GetMaxWidth() == -1) {
    // Free to grow: the natural width first, wrapped to the space only
    // when that does not fit.
    text_size = MeasureControlText(window, text, font_id_, style, -1);
    if (text_size.cx + pad_w > available.cx) text_size = MeasureControlText(window, text, font_id_, style, bound);
  } else {
    text_size = MeasureControlText(window, text, font_id_, style, bound);
  }
  return SIZE{ClampLength(int64_t(text_size.cx) + pad_w), ClampLength(int64_t(text_size.cy) + pad_h)};
}

template <typename T>
bool LabelTemplate<T>::TracksHover() const {
  // A hot text colour alone must also run the hot fade, or the hot text
  // would never show.
  return T::TracksHover() || !text_colors_[kStateHot].empty();
}

template <typename T>
void LabelTemplate<T>::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"align") {
    text_style_ = ApplyTextAlign(text_style_, value);
    this->Invalidate();
  } else if (name == L"endellipsis") {
    SetTextStyle(IsTrue(value) ? (text_style_ | DT_END_ELLIPSIS) : (text_style_ & ~DT_END_ELLIPSIS));
  } else if (name == L"linelimit") {
    SetLineLimit(IsTrue(value));
  } else if (name == L"singleline") {
    SetSingleLine(IsTrue(value));
  } else if (name == L"text") {
    SetText(value);
  } else if (name == L"textid") {
    SetTextId(value);
  } else if (name == L"font") {
    SetFont(value);
  } else if (name == L"normaltextcolor") {
    SetStateTextColor(kStateNormal, value);
  } else if (name == L"hottextcolor") {
    SetStateTextColor(kStateHot, value);
  } else if (name == L"pushedtextcolor") {
    SetStateTextColor(kStatePushed, value);
  } else if (name == L"disabledtextcolor") {
    SetStateTextColor(kStateDisabled, value);
  } else if (name == L"textpadding") {
    int v[4];
    if (ParseIntList(value, v, 4)) SetTextPadding(RECT{v[0], v[1], v[2], v[3]}, true);
  } else {
    T::SetAttribute(name, value);
  }
}

template <typename T>
void LabelTemplate<T>::PaintOwnText(IRenderContext* context) {
  const std::wstring text = GetText();
  if (text.empty()) return;
  const ControlState state = this->GetState();
  if (this->HasFade(kFadeHot) && (state == kStateNormal || state == kStateHot) &&
      !text_colors_[kStateHot].empty()) {
    // The hot text fades in over the normal one; fully hot covers it.
    const int hot = this->GetHotAlpha();
    if (hot < 255) DrawLabelText(context, text, text_colors_[kStateNormal], 255);
    if (hot > 0) DrawLabelText(context, text, text_colors_[kStateHot], static_cast<BYTE>(hot));
    return;
  }
  DrawLabelText(context, text, TextColorForState(state), 255);
}

template <typename T>
std::wstring LabelTemplate<T>::GetText() const {
  if (text_.empty() && !text_id_.empty()) return StringTable::GetText(text_id_);
  return text_;
}

template <typename T>
std::string LabelTemplate<T>::TextUtf8() const {
  return base::WideToUtf8(GetText());
}

template <typename T>
void LabelTemplate<T>::SetText(const std::wstring& text) {
  if (text == text_) return;
  text_ = text;
  TextLayoutChanged();
}

template <typename T>
void LabelTemplate<T>::SetTextUtf8(const std::string& text) {
  SetText(base::Utf8ToWide(text));
}

template <typename T>
void LabelTemplate<T>::SetTextId(const std::wstring& id) {
  if (id == text_id_) return;
  text_id_ = id;
  TextLayoutChanged();
}

template <typename T>
void LabelTemplate<T>::SetTextIdUtf8(const std::string& id) {
  SetTextId(base::Utf8ToWide(id));
}

template <typename T>
UINT LabelTemplate<T>::GetTextStyle() const {
  return single_line_ ? (text_style_ | DT_SINGLELINE) : (text_style_ & ~DT_SINGLELINE);
}

template <typename T>
void LabelTemplate<T>::SetTextStyle(UINT style) {
  if (style == text_style_) return;
  text_style_ = style;
  TextLayoutChanged();
}

template <typename T>
void LabelTemplate<T>::SetFont(const std::wstring& font_id) {
  if (font_id == font_id_) return;
  font_id_ = font_id;
  TextLayoutChanged();
}

template <typename T>
void LabelTemplate<T>::SetTextPadding(RECT padding, bool dpi_scale) {
  if (dpi_scale) padding = DpiScaler::GetInstance().ScaleRectangle(padding);
  padding = RECT{ClampLength(padding.left), ClampLength(padding.top), ClampLength(padding.right),
                 ClampLength(padding.bottom)};
  if (::EqualRect(&padding, &text_padding_)) return;
  text_padding_ = padding;
  TextLayoutChanged();
}

template <typename T>
void LabelTemplate<T>::SetSingleLine(bool single_line) {
  if (single_line == single_line_) return;
  single_line_ = single_line;
  TextLayoutChanged();
}

template <typename T>
void LabelTemplate<T>::SetLineLimit(bool line_limit) {
  if (line_limit == line_limit_) return;
  line_limit_ = line_limit;
  this->Invalidate();
}

template <typename T>
void LabelTemplate<T>::SetStateTextColor(ControlState state, const std::wstring& name) {
  text_colors_[state] = name;
  if (state == kStateHot) this->SetFade(kFadeHot, true);
  this->Invalidate();
}

template <typename T>
std::wstring LabelTemplate<T>::TextColorForState(ControlState state) const {
  if (state == kStatePushed && text_colors_[kStatePushed].empty()) state = kStateHot;
  if (state == kStateHot && text_colors_[kStateHot].empty()) state = kStateNormal;
  if (state == kStateDisabled && text_colors_[kStateDisabled].empty()) state = kStateNormal;
  return text_colors_[state];
}

template <typename T>
void LabelTemplate<T>::DrawLabelText(IRenderContext* context, const std::wstring& text,
                                     const std::wstring& color_name, BYTE alpha) {
  if (color_name.empty()) return;
  const DWORD argb = GlobalResources::GetTextColor(color_name);
  if (argb == 0) return;
  const RECT& r = this->item_rect_;
  const RECT& pad = text_padding_;
  const RECT area{r.left + pad.left, r.top + pad.top, r.right - pad.right, r.bottom - pad.bottom};
  context->DrawText(area, text, argb, font_id_, GetTextStyle(), alpha, line_limit_);
}

template <typename T>
void LabelTemplate<T>::TextLayoutChanged() {
  if (this->IsAutoSized())
    this->ArrangeAncestor();
  else
    this->Invalidate();
}

template class LabelTemplate<Control>;
template class LabelTemplate<Box>;

}  // namespace ui
