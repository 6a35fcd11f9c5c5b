// ShadowBox is the box a skinned window puts around its real root to draw
// a drop shadow: its padding is the shadow's width on each side and its
// background image is the shadow, so the root sits inside it. UI thread
// only.
#ifndef UI_WINDOW_SHADOW_BOX_H_
#define UI_WINDOW_SHADOW_BOX_H_

#include <string>

#include "ui/box/box.h"

namespace ui {

class ShadowBox : public Box {
 public:
  ShadowBox(const RECT& corner, const std::wstring& image);

  std::wstring GetType() const override { return L"ShadowBox"; }

  // The shadow's width on each side (maximised windows have none).
  void SetShadowPadding(const RECT& padding);
};

}  // namespace ui

#endif  // UI_WINDOW_SHADOW_BOX_H_
