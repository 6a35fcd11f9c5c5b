#include "ui/window/shadow_box.h"

namespace ui {

ShadowBox::ShadowBox(const RECT& corner, const std::wstring& image) {
  SetShadowPadding(corner);
  SetBkImage(image);
  // The shadow itself never takes the mouse: a press there reaches no control.
  SetMouseEnabled(false);
}

void ShadowBox::SetShadowPadding(const RECT& padding) {
  if (GetLayout()) GetLayout()->SetPadding(padding, false);
  Arrange();
}

}  // namespace ui
