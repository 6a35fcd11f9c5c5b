// RichEdit is the framework's text input: a windowless control over the
// system's Rich Edit text services, hosted through CTxtWinHost and drawn
// inside the window's own painting (text, the prompt while empty, the
// caret). It is a scrollable box so that markup can give it bars. Keys:
// Tab raises "tab" unless "wanttab", Return raises "return" with
// "wantreturnmsg" (and Ctrl when "returnmsgwantctrl"), number mode keeps
// digits only, typed or pasted. Every change of the text raises text
// change (44). HyperlinkText shows marked-up text with clickable links.
// UI thread only.
#ifndef UI_CONTROL_RICH_EDIT_H_
#define UI_CONTROL_RICH_EDIT_H_

#include <windows.h>
#include <richedit.h>

#include <string>
#include <vector>

#include "base/win32/scoped_handle.h"
#include "ui/box/scrollable_box.h"
#include "ui/control/link_markup.h"

namespace ui {

class CTxtWinHost;

// Edit style bits (the system's ES_* values).
enum RichEditStyle : DWORD {
  kEditCenter = 0x1,
  kEditRight = 0x2,
  kEditMultiLine = 0x4,
  kEditPassword = 0x20,
  kEditAutoVScroll = 0x40,
  kEditAutoHScroll = 0x80,
  kEditReadOnly = 0x800,
  kEditNumber = 0x2000,
  kEditDisableNoScroll = 0x2000,
  kEditHScrollBar = 0x100000,
  kEditVScrollBar = 0x200000,
};

// |text| with everything but '0' to '9' dropped, in order.
std::wstring DigitsOnly(const std::wstring& text);

class RichEdit : public ScrollableBox {
 public:
  // What the text services may hold; a paste beyond it is cut there.
  static constexpr DWORD kMaxTextLength = 1u << 20;

  RichEdit();
  ~RichEdit() override;

  std::wstring GetType() const override { return L"RichEdit"; }
  UINT ControlFlags() const override { return 1; }
  bool WantsTab() const override { return want_tab_ && IsEnabled(); }

  // PlaceHolder / Control / Box
  void OnFirstInit() override;
  void SetPos(RECT rect) override;
  void SetEnabled(bool enabled) override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void HandleMessage(EventArgs* args) override;
  void PaintChildren(IRenderContext* context, const RECT& dirty) override;

  // The text; empty without text services.
  virtual std::wstring GetText() const;
  virtual void SetText(const std::wstring& text);
  virtual void SetTextId(const std::wstring& id);
  virtual long GetTextLength() const;
  // Selects [start, end); -1 as start removes the selection, end -1 means
  // the end of the text.
  virtual void SetSel(long start, long end);
  // Replaces the selection; number mode keeps only the digits.
  virtual void ReplaceSel(const std::wstring& text, bool can_undo = true);
  virtual void SetPromptText(const std::wstring& text);
  virtual void SetPromptTextId(const std::wstring& id);
  // The prompt text, or the string table's text for the id while empty.
  virtual std::wstring GetPromptText() const;

  DWORD GetEditStyle() const { return style_; }
  bool IsReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only);
  bool IsPassword() const { return password_; }
  bool IsNumberOnly() const { return number_; }
  bool IsRich() const { return rich_; }
  void SetRich(bool rich);
  bool IsPromptMode() const { return prompt_mode_; }
  // Whether the prompt would show now (prompt mode, empty, prompt text).
  bool IsPromptShown() const;
  const std::wstring& GetFont() const { return font_id_; }
  void SetFont(const std::wstring& font_id);
  // The colour the text gets now (normal or disabled).
  const std::wstring& GetNormalTextColor() const { return normal_color_; }
  void SetTextColor(const std::wstring& name);
  bool HasTextServices() const { return host_.Get() != nullptr; }
  // The rectangle the text is laid out in.
  RECT TextRect() const;
  // The top left of character |cp| in window client coordinates.
  POINT PosFromChar(long cp) const;
  // The size the text takes laid out at the width of the whole content
  // rectangle, as the services format it; {0, 0} without services.
  SIZE NaturalTextSize() const;

  // Calls from the text host.
  void OnTxTextChanged();
  void OnTxCapture(bool capture);
  void OnTxScrollRange(bool vertical, long range);
  void OnTxScrollPos(bool vertical, long pos);

 protected:
  // Creates (or recreates) the text host and applies every setting to it.
  bool CreateHost();
  void DestroyHost();
  CHARFORMAT2W MakeCharFormat(const std::wstring& color_name) const;
  DWORD PropertyBits() const;
  void ApplyStyleBits();
  void ApplyTextColor();
  // Places the text rectangle inside the control by the vertical alignment.
  void UpdateTextRect();
  // One line of the control's own font, or 0.
  LONG FontLineHeight() const;
  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const;
  // The character under |point|, or -1 when the point is on no character.
  long CharAt(POINT point) const;
  void SetStyleBit(DWORD bit, bool on);
  // Pastes the clipboard's text keeping only digits.
  void PasteDigits();
  // Routes a mouse event to the services; false when not in the text area.
  void ForwardMouse(UINT message, EventArgs* args);

  base::win32::ScopedComPtr<CTxtWinHost> host_;
  DWORD style_ = kEditAutoHScroll;
  bool read_only_ = false;
  bool password_ = false;
  bool number_ = false;
  bool rich_ = false;
  bool want_tab_ = false;
  bool want_return_msg_ = false;
  bool return_msg_want_ctrl_ = false;
  bool prompt_mode_ = false;
  bool swallow_return_char_ = false;
  bool captured_ = false;
  std::wstring prompt_color_;
  std::wstring prompt_text_;
  std::wstring prompt_text_id_;
  std::wstring text_color_name_;      // normal text colour
  std::wstring disabled_color_name_;
  std::wstring caret_color_;
  std::wstring normal_color_;         // what the text has now
  Image focused_image_;
  std::wstring font_id_;
  int text_valign_ = 0;
  std::wstring pending_text_;  // text set before the host exists
  RECT text_rect_{0, 0, 0, 0};
};

// Text with link spans ("{link:NAME}shown{/link}"), centred on several
// lines. Read-only: typing would shift the text under the link ranges.
class HyperlinkText : public RichEdit {
 public:
  HyperlinkText();

  std::wstring GetType() const override { return L"HyperlinkText"; }
  UINT ControlFlags() const override { return 0; }
  void OnFirstInit() override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void HandleMessage(EventArgs* args) override;

  // Replaces the text with |markup|'s spans; links underlined in the link
  // colour, the rest in the normal colour.
  void SetLinkText(const std::wstring& markup);
  // The link name under the event's mouse point, or empty.
  std::wstring GetLinkName(const EventArgs* args) const;
  const std::vector<LinkRange>& GetLinks() const { return links_; }

 private:
  void AppendSpan(const std::wstring& text, bool link, const std::wstring& name);

  std::wstring link_color_;
  std::wstring span_color_;  // "normaltextcolor": the plain spans
  std::vector<LinkRange> links_;
  std::wstring pending_markup_;  // set before the host exists
  bool recreated_for_hangul_ = false;
};

}  // namespace ui

#endif  // UI_CONTROL_RICH_EDIT_H_
