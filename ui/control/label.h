// LabelTemplate adds text to a control or a box: the text (or a text id
// read from the string table while the text is empty), its font, DrawText
// style, padding and one colour per state, painting with the hot fade, and
// measuring for an auto size. Label is the leaf, LabelBox the container;
// both behave the same. UI thread only.
#ifndef UI_CONTROL_LABEL_H_
#define UI_CONTROL_LABEL_H_

#include <windows.h>

#include <string>

#include "ui/box/box.h"
#include "ui/control/control.h"

namespace ui {

class IRenderContext;

// The DrawText style a label starts with: end ellipsis, no clip, one line,
// left and top.
constexpr UINT kLabelDefaultTextStyle = DT_END_ELLIPSIS | DT_NOCLIP | DT_SINGLELINE;

// Changes |style| by the words of an "align" value. The words are read by
// substring in a fixed order (left, center, right, top, vcenter, bottom),
// whatever their order in the value; "vcenter" centres horizontally too.
UINT ApplyTextAlign(UINT style, const std::wstring& value);

// Measures |text| with the window's render context, or with a scratch one
// while the window has none. |width| -1 measures unbounded.
SIZE MeasureControlText(Window* window, const std::wstring& text, const std::wstring& font_id, UINT style,
                        int width);

template <typename T>
class LabelTemplate : public T {
 public:
  LabelTemplate();

  std::wstring GetType() const override;
  // A label takes no focus from the tab key; buttons do.
  UINT ControlFlags() const override { return 0; }
  SIZE MeasureSize(SIZE available) override;
  SIZE MeasureLabelText(SIZE available) override;
  bool TracksHover() const override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void PaintOwnText(IRenderContext* context) override;

  // The text, or the string table's text for the text id while it is empty.
  virtual std::wstring GetText() const;
  virtual std::string TextUtf8() const;
  // Equal values change nothing; otherwise an auto-sized label re-arranges
  // and any other repaints.
  virtual void SetText(const std::wstring& text);
  virtual void SetTextUtf8(const std::string& text);
  virtual void SetTextId(const std::wstring& id);
  virtual void SetTextIdUtf8(const std::string& id);
  const std::wstring& GetTextId() const { return text_id_; }

  // The style as measured and painted: the single-line bit follows
  // IsSingleLine.
  UINT GetTextStyle() const;
  void SetTextStyle(UINT style);
  const std::wstring& GetFont() const { return font_id_; }
  void SetFont(const std::wstring& font_id);
  RECT GetTextPadding() const { return text_padding_; }
  void SetTextPadding(RECT padding, bool dpi_scale = true);
  bool IsSingleLine() const { return single_line_; }
  void SetSingleLine(bool single_line);
  bool IsLineLimit() const { return line_limit_; }
  void SetLineLimit(bool line_limit);
  const std::wstring& GetStateTextColor(ControlState state) const { return text_colors_[state]; }
  // Setting the hot colour turns the hot fade on.
  void SetStateTextColor(ControlState state, const std::wstring& name);
  // The colour name of |state| with its fallbacks: pushed to hot to normal,
  // hot to normal, disabled (when cleared) to normal.
  std::wstring TextColorForState(ControlState state) const;

 protected:
  // Draws the text in |color_name| at |alpha| within the padded rectangle.
  void DrawLabelText(IRenderContext* context, const std::wstring& text, const std::wstring& color_name,
                     BYTE alpha);
  // What a change of the text, font or padding asks for.
  void TextLayoutChanged();

  std::wstring text_;
  std::wstring text_id_;
  std::wstring font_id_;
  UINT text_style_ = kLabelDefaultTextStyle;
  bool single_line_ = true;
  bool line_limit_ = false;
  RECT text_padding_{0, 0, 0, 0};
  std::wstring text_colors_[4];
};

extern template class LabelTemplate<Control>;
extern template class LabelTemplate<Box>;

using Label = LabelTemplate<Control>;
using LabelBox = LabelTemplate<Box>;

}  // namespace ui

#endif  // UI_CONTROL_LABEL_H_
