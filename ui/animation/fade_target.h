// What the fades of a control move. ui::Control implements it; the
// animation manager (ui/animation/animation_manager.h) holds a FadeTarget*
// to its owner, never owns it. UI thread only.
#ifndef UI_ANIMATION_FADE_TARGET_H_
#define UI_ANIMATION_FADE_TARGET_H_

#include <windows.h>

#include "base/callback/weak_callback.h"

namespace ui {

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
