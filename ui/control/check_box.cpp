#include "ui/control/check_box.h"

#include <type_traits>

#include "ui/core/global_resources.h"
#include "ui/render/render_interface.h"

namespace ui {

namespace {

bool IsTrue(const std::wstring& value) { return value == L"true"; }

// The selected attributes by name suffix: "selectednormalimage" and so on.
bool StateFromSuffix(const std::wstring& name, size_t prefix, const wchar_t* suffix, ControlState* state) {
  static const wchar_t* const kStates[] = {L"normal", L"hot", L"pushed", L"disabled"};
  const std::wstring tail(suffix);
  if (name.size() <= prefix + tail.size() || name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  const std::wstring word = name.substr(prefix, name.size() - prefix - tail.size());
  for (int i = 0; i < 4; ++i) {
    if (word == kStates[i]) {
      *state = static_cast<ControlState>(i);
      return true;
    }
  }
  return false;
}

}  // namespace

template <typename T>
std::wstring CheckBoxTemplate<T>::GetType() const {
  return std::is_base_of_v<Box, T> ? L"CheckBoxBox" : L"CheckBox";
}

template <typename T>
void CheckBoxTemplate<T>::SetSelected(bool selected, bool trigger_events) {
  if (selected == selected_) return;
  selected_ = selected;
  if (this->GetWindow() && trigger_events) {
    std::weak_ptr<base::WeakFlag> alive = this->AliveFlag();
    this->SendEvent(selected ? kEventSelect : kEventUnSelect);
    if (alive.expired()) return;
  }
  this->Invalidate();
}

template <typename T>
void CheckBoxTemplate<T>::Activate() {
  if (!this->CanActivate()) return;
  std::weak_ptr<base::WeakFlag> alive = this->AliveFlag();
  ButtonTemplate<T>::Activate();
  if (alive.expired()) return;
  SetSelected(!selected_, true);
}

template <typename T>
bool CheckBoxTemplate<T>::TracksHover() const {
  return ButtonTemplate<T>::TracksHover() || !selected_colors_[kStateHot].empty() ||
         !selected_images_[kStateHot].attributes().image_name.empty() ||
         !selected_fore_images_[kStateHot].attributes().image_name.empty();
}

template <typename T>
void CheckBoxTemplate<T>::SetAttribute(const std::wstring& name, const std::wstring& value) {
  ControlState state;
  if (name == L"selected") {
    SetSelected(IsTrue(value), true);
  } else if (name == L"selectedtextcolor") {
    SetSelectedTextColor(value);
  } else if (name.compare(0, 12, L"selectedfore") == 0 && StateFromSuffix(name, 12, L"image", &state)) {
    SetSelectedForeStateImage(state, value);
  } else if (name.compare(0, 8, L"selected") == 0 && StateFromSuffix(name, 8, L"image", &state)) {
    SetSelectedStateImage(state, value);
  } else if (name.compare(0, 8, L"selected") == 0 && StateFromSuffix(name, 8, L"color", &state)) {
    SetSelectedStateColor(state, value);
  } else {
    ButtonTemplate<T>::SetAttribute(name, value);
  }
}

template <typename T>
void CheckBoxTemplate<T>::ReleaseAllImages() {
  ButtonTemplate<T>::ReleaseAllImages();
  for (int i = 0; i < 4; ++i) {
    selected_images_[i].ReleaseImage();
    selected_fore_images_[i].ReleaseImage();
  }
}

template <typename T>
void CheckBoxTemplate<T>::PaintStateColor(IRenderContext* context) {
  if (!selected_) {
    ButtonTemplate<T>::PaintStateColor(context);
    return;
  }
  // The state model of the normal colours, over the selected ones.
  const ControlState state = this->GetState();
  const std::wstring* colors = selected_colors_;
  const RECT& rect = this->paint_rect_;
  if (this->HasFade(kFadeHot) && (state == kStateNormal || state == kStateHot) && !colors[kStateHot].empty()) {
    if (!colors[kStateNormal].empty()) context->FillColor(rect, GlobalResources::GetTextColor(colors[kStateNormal]));
    const int hot = this->GetHotAlpha();
    if (hot > 0) context->FillColor(rect, GlobalResources::GetTextColor(colors[kStateHot]), static_cast<BYTE>(hot));
    return;
  }
  ControlState s = state;
  if (s == kStatePushed && colors[kStatePushed].empty()) s = kStateHot;
  if (s == kStateHot && colors[kStateHot].empty()) s = kStateNormal;
  if (s == kStateDisabled && colors[kStateDisabled].empty()) s = kStateNormal;
  if (!colors[s].empty()) context->FillColor(rect, GlobalResources::GetTextColor(colors[s]));
}

template <typename T>
void CheckBoxTemplate<T>::PaintStateImage(IRenderContext* context) {
  if (!selected_) {
    ButtonTemplate<T>::PaintStateImage(context);
    return;
  }
  this->DrawStateImages(context, selected_images_);
  this->DrawStateImages(context, selected_fore_images_);
}

template <typename T>
void CheckBoxTemplate<T>::PaintOwnText(IRenderContext* context) {
  if (!selected_) {
    ButtonTemplate<T>::PaintOwnText(context);
    return;
  }
  const std::wstring text = this->GetText();
  if (text.empty()) return;
  std::wstring color;
  if (this->GetState() == kStateDisabled)
    color = this->TextColorForState(kStateDisabled);
  else
    color = selected_text_color_.empty() ? this->GetStateTextColor(kStateNormal) : selected_text_color_;
  this->DrawLabelText(context, text, color, 255);
}

template <typename T>
void CheckBoxTemplate<T>::SetSelectedStateColor(ControlState state, const std::wstring& name) {
  selected_colors_[state] = name;
  if (state == kStateHot) this->SetFade(kFadeHot, true);
  this->Invalidate();
}

template <typename T>
void CheckBoxTemplate<T>::SetSelectedStateImage(ControlState state, const std::wstring& descriptor) {
  selected_images_[state].SetImageDescriptor(descriptor);
  if (state == kStateHot) this->SetFade(kFadeHot, true);
  this->Invalidate();
}

template <typename T>
void CheckBoxTemplate<T>::SetSelectedForeStateImage(ControlState state, const std::wstring& descriptor) {
  selected_fore_images_[state].SetImageDescriptor(descriptor);
  if (state == kStateHot) this->SetFade(kFadeHot, true);
  this->Invalidate();
}

template <typename T>
void CheckBoxTemplate<T>::SetSelectedTextColor(const std::wstring& name) {
  selected_text_color_ = name;
  this->Invalidate();
}

template class CheckBoxTemplate<Control>;
template class CheckBoxTemplate<Box>;

}  // namespace ui
