// CheckBoxTemplate is a button with a selected state: a click toggles it,
// and while selected it paints its own background colours, state images,
// foreground images and text colour. Changing the state sends "select" or
// "unselect". CheckBox is the leaf, CheckBoxBox the container. UI thread
// only.
#ifndef UI_CONTROL_CHECK_BOX_H_
#define UI_CONTROL_CHECK_BOX_H_

#include <string>

#include "ui/control/button.h"
#include "ui/image/image.h"

namespace ui {

// What an option group (and a list) needs of a member whatever its base:
// read and set the selected state.
class ISelectable {
 public:
  virtual bool IsSelected() const = 0;
  // |trigger_events|: send "select" / "unselect" (attached to a window only).
  virtual void SetSelected(bool selected, bool trigger_events) = 0;

 protected:
  ~ISelectable() = default;
};

template <typename T>
class CheckBoxTemplate : public ButtonTemplate<T>, public ISelectable {
 public:
  CheckBoxTemplate() { this->text_style_ = DT_VCENTER | DT_END_ELLIPSIS | DT_NOCLIP | DT_SINGLELINE; }

  std::wstring GetType() const override;
  bool IsSelected() const override { return selected_; }
  // Nothing when unchanged; otherwise the event (when attached to a window
  // and asked for), then a repaint.
  void SetSelected(bool selected, bool trigger_events) override;
  // The click, then the state toggles (with events).
  void Activate() override;
  bool TracksHover() const override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void ReleaseAllImages() override;
  void PaintStateColor(IRenderContext* context) override;
  void PaintStateImage(IRenderContext* context) override;
  void PaintOwnText(IRenderContext* context) override;

  const std::wstring& GetSelectedStateColor(ControlState state) const { return selected_colors_[state]; }
  void SetSelectedStateColor(ControlState state, const std::wstring& name);
  void SetSelectedStateImage(ControlState state, const std::wstring& descriptor);
  void SetSelectedForeStateImage(ControlState state, const std::wstring& descriptor);
  Image& SelectedStateImage(ControlState state) { return selected_images_[state]; }
  Image& SelectedForeStateImage(ControlState state) { return selected_fore_images_[state]; }
  const std::wstring& GetSelectedTextColor() const { return selected_text_color_; }
  void SetSelectedTextColor(const std::wstring& name);

 protected:
  bool selected_ = false;
  std::wstring selected_text_color_;
  std::wstring selected_colors_[4];
  Image selected_images_[4];
  Image selected_fore_images_[4];
};

extern template class CheckBoxTemplate<Control>;
extern template class CheckBoxTemplate<Box>;

using CheckBox = CheckBoxTemplate<Control>;
using CheckBoxBox = CheckBoxTemplate<Box>;

}  // namespace ui

#endif  // UI_CONTROL_CHECK_BOX_H_
