// The side of a control that its fades move. The control implements it; the
// animation manager calls it on the UI thread only, and holds the pointer
// without owning it (its callbacks are bound weakly, so a destroyed target is
// never called).
#ifndef UI_ANIMATION_FADE_TARGET_H_
#define UI_ANIMATION_FADE_TARGET_H_

#include <windows.h>

#include "base/callback/weak_callback.h"

namespace ui {
// What the fades of a control move. ui::Control implements it (the control
// side); the animation manager (ui/animation/animation_manager.h) holds a
// FadeTarget* to its owner, never owns it.
class FadeTarget : public virtual base::SupportWeakCallback {
 public:
  virtual ~FadeTarget() = default;
  virtual void SetFadeAlphaValue(int alpha) = 0;      // control alpha 0..255, repaints
  virtual void SetFadeHotAlphaValue(int alpha) = 0;   // hot alpha 0..255, repaints
  virtual void SetFadeFixedWidth(int width) = 0;      // fixed width in pixels, re-arranges
  virtual void SetFadeFixedHeight(int height) = 0;    // fixed height in pixels, re-arranges
  virtual void SetFadeRenderOffset(int x, int y) = 0; // render offset, repaints
  virtual POINT FadeRenderOffset() const = 0;
  virtual SIZE FadeEstimateSize(SIZE available) = 0;  // MeasureSize
  virtual void SetFadeVisible(bool visible) = 0;      // SetVisible
};
}  // namespace ui

#endif  // UI_ANIMATION_FADE_TARGET_H_
