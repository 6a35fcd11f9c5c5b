// CircleProgress draws its progress as a ring: a background circle and an
// arc from the top that sweeps clockwise (or counter-clockwise) over the
// filled share, optionally shading from the foreground colour to a
// gradient colour along the way, with an indicator image at the arc's
// end. With "circular" off it is a plain Progress. UI thread only.
#ifndef UI_CONTROL_CIRCLE_PROGRESS_H_
#define UI_CONTROL_CIRCLE_PROGRESS_H_

#include <string>

#include "ui/control/progress.h"

namespace ui {

class CircleProgress : public Progress {
 public:
  CircleProgress() = default;

  std::wstring GetType() const override { return L"CircleProgress"; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void ReleaseAllImages() override;

  bool IsCircular() const { return circular_; }
  void SetCircular(bool circular);
  int GetCircleWidth() const { return circle_width_; }
  // DPI-scaled; at least 1.
  void SetCircleWidth(int width);
  bool IsClockwise() const { return clockwise_; }
  void SetClockwise(bool clockwise);
  const std::wstring& GetBackgroundColor() const { return bg_color_; }
  void SetBackgroundColor(const std::wstring& name);
  const std::wstring& GetForegroundColor() const { return fg_color_; }
  void SetForegroundColor(const std::wstring& name);
  const std::wstring& GetGradientColor() const { return gradient_color_; }
  void SetGradientColor(const std::wstring& name);
  void SetIndicator(const std::wstring& descriptor);

  // The circle the ring's stroke runs along, in window coordinates.
  RECT RingRect() const;

 protected:
  void PaintProgress(IRenderContext* context) override;

 private:
  void DrawArc(IRenderContext* context, const RECT& ring, float start, float sweep, DWORD argb);

  bool circular_ = true;
  int circle_width_ = 1;
  bool clockwise_ = true;
  std::wstring bg_color_;
  std::wstring fg_color_;
  std::wstring gradient_color_;
  Image indicator_;
};

}  // namespace ui

#endif  // UI_CONTROL_CIRCLE_PROGRESS_H_
