// Progress is a label over a bar filled to its value: horizontally from the
// left or vertically from the bottom, with a colour and/or an image that is
// stretched over the filled part or revealed under it. The label's text
// (a percentage, say) is drawn over the fill. UI thread only.
#ifndef UI_CONTROL_PROGRESS_H_
#define UI_CONTROL_PROGRESS_H_

#include <string>

#include "ui/control/label.h"
#include "ui/image/image.h"

namespace ui {

class Progress : public LabelTemplate<Control> {
 public:
  Progress();

  std::wstring GetType() const override { return L"Progress"; }
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void ReleaseAllImages() override;
  // The state images, then the fill.
  void PaintStateImage(IRenderContext* context) override;

  // Every setter repaints; the range is repaired when painted.
  bool IsHorizontal() const { return horizontal_; }
  void SetHorizontal(bool horizontal);
  int GetMinValue() const { return min_; }
  void SetMinValue(int min);
  int GetMaxValue() const { return max_; }
  void SetMaxValue(int max);
  double GetValue() const { return value_; }
  void SetValue(double value);
  void SetProgressImage(const std::wstring& descriptor);
  Image& ProgressImage() { return fore_image_; }
  bool IsStretchFore() const { return stretch_fore_; }
  void SetStretchFore(bool stretch);
  const std::wstring& GetProgressColor() const { return fore_color_; }
  // Leading blanks are skipped.
  void SetProgressColor(const std::wstring& name);

  // Repairs the range (max above min, the value inside it) and answers the
  // filled part relative to the control's rectangle.
  RECT GetFilledRect();
  // The image modifier the last paint drew the progress image with.
  const std::wstring& GetLastModifier() const { return last_modifier_; }

 protected:
  virtual void PaintProgress(IRenderContext* context);
  // max > min and min <= value <= max afterwards.
  void RepairRange();

  bool horizontal_ = true;
  bool stretch_fore_ = true;
  int max_ = 100;
  int min_ = 0;
  double value_ = 0.0;
  Image fore_image_;
  std::wstring fore_color_;
  std::wstring last_modifier_;
};

}  // namespace ui

#endif  // UI_CONTROL_PROGRESS_H_
