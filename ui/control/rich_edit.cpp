#include "ui/control/rich_edit.h"

#include <oleauto.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "ui/control/text_host.h"
#include "ui/core/global_resources.h"
#include "ui/core/string_table.h"
#include "ui/render/render_interface.h"
#include "ui/window/window.h"

namespace ui {

namespace {

bool IsTrue(const std::wstring& value) { return value == L"true"; }

std::wstring SkipBlanks(const std::wstring& value) {
  const size_t first = value.find_first_not_of(L" \t\r\n");
  return first == std::wstring::npos ? std::wstring() : value.substr(first);
}

COLORREF ColorRefOf(const std::wstring& name) {
  const DWORD argb = GlobalResources::GetTextColor(name);
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

bool KeyDown(int key) { return ::GetKeyState(key) < 0; }

bool ContainsHangul(const std::wstring& text) {
  return std::any_of(text.begin(), text.end(), [](wchar_t c) {
    return (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF);
  });
}

bool ContainsRightToLeft(const std::wstring& text) {
  return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0x0590 && c <= 0x06FF; });
}

}  // namespace

std::wstring DigitsOnly(const std::wstring& text) {
  std::wstring digits;
  for (wchar_t c : text) {
    if (c >= L'0' && c <= L'9') digits += c;
  }
  return digits;
}

RichEdit::RichEdit() = default;

RichEdit::~RichEdit() { DestroyHost(); }

void RichEdit::OnFirstInit() {
  ScrollableBox::OnFirstInit();
  CreateHost();
}

bool RichEdit::CreateHost() {
  DestroyHost();
  if (normal_color_.empty()) normal_color_ = text_color_name_.empty() ? GlobalResources::GetDefaultTextColorName()
                                                                      : text_color_name_;
  CTxtWinHost* host = nullptr;
  if (!CTxtWinHost::Create(this, PropertyBits(), MakeCharFormat(normal_color_), &host)) return false;
  *host_.Receive() = host;
  ApplyStyleBits();
  UpdateTextRect();
  host_->Services()->OnTxInPlaceActivate(&text_rect_);
  Send(EM_SETEVENTMASK, 0, ENM_CHANGE);
  BIDIOPTIONS bidi{};
  bidi.cbSize = sizeof(bidi);
  bidi.wMask = BOM_UNICODEBIDI;
  bidi.wEffects = BOE_UNICODEBIDI;
  Send(EM_SETBIDIOPTIONS, 0, reinterpret_cast<LPARAM>(&bidi));
  if (!pending_text_.empty()) {
    const std::wstring text = std::move(pending_text_);
    pending_text_.clear();
    host_->Services()->TxSetText(text.c_str());
  }
  return true;
}

void RichEdit::DestroyHost() {
  if (!host_) return;
  if (captured_) OnTxCapture(false);
  host_->Shutdown();
  host_.Reset();
}

LRESULT RichEdit::Send(UINT message, WPARAM wparam, LPARAM lparam) const {
  return host_ ? host_->Send(message, wparam, lparam) : 0;
}

CHARFORMAT2W RichEdit::MakeCharFormat(const std::wstring& color_name) const {
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof(cf);
  cf.dwMask = CFM_SIZE | CFM_OFFSET | CFM_FACE | CFM_CHARSET | CFM_COLOR | CFM_BOLD | CFM_ITALIC |
              CFM_UNDERLINE | CFM_STRIKEOUT;
  LOGFONTW font{};
  HFONT handle = GlobalResources::GetFont(font_id_);
  if (!handle || ::GetObjectW(handle, sizeof(font), &font) != sizeof(font)) {
    font = LOGFONTW{};
    font.lfHeight = -12;
    font.lfCharSet = DEFAULT_CHARSET;
  }
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  const LONG pixels = font.lfHeight == 0 ? 12 : std::abs(font.lfHeight);
  cf.yHeight = static_cast<LONG>(static_cast<long long>(pixels) * 1440 / (dpi > 0 ? dpi : 96));
  if (font.lfWeight >= FW_BOLD) cf.dwEffects |= CFE_BOLD;
  if (font.lfItalic) cf.dwEffects |= CFE_ITALIC;
  if (font.lfUnderline) cf.dwEffects |= CFE_UNDERLINE;
  if (font.lfStrikeOut) cf.dwEffects |= CFE_STRIKEOUT;
  cf.bCharSet = font.lfCharSet;
  cf.bPitchAndFamily = font.lfPitchAndFamily;
  cf.crTextColor = ColorRefOf(color_name);
  std::wcsncpy(cf.szFaceName, font.lfFaceName, LF_FACESIZE - 1);
  cf.szFaceName[LF_FACESIZE - 1] = L'\0';
  return cf;
}

DWORD RichEdit::PropertyBits() const {
  DWORD bits = 0;
  if (rich_) bits |= TXTBIT_RICHTEXT;
  if (style_ & kEditMultiLine) {
    bits |= TXTBIT_MULTILINE;
    if (!(style_ & kEditHScrollBar)) bits |= TXTBIT_WORDWRAP;
  }
  if (read_only_) bits |= TXTBIT_READONLY;
  if (password_) bits |= TXTBIT_USEPASSWORD;
  return bits;
}

void RichEdit::ApplyStyleBits() {
  if (!host_) return;
  const DWORD bits = PropertyBits();
  for (DWORD bit : {TXTBIT_MULTILINE, TXTBIT_WORDWRAP, TXTBIT_READONLY, TXTBIT_USEPASSWORD}) {
    if ((host_->PropertyBits() & bit) != (bits & bit)) host_->SetPropertyBit(bit, (bits & bit) != 0);
  }
  // 0x2000 is the number style too; it means "keep disabled bars" only
  // next to a bar.
  DWORD scroll = style_ & (WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL);
  if (style_ & (WS_VSCROLL | WS_HSCROLL)) scroll |= ES_DISABLENOSCROLL;
  host_->SetScrollBits(scroll);
  host_->SetParaAlignment((style_ & kEditCenter) ? PFA_CENTER : (style_ & kEditRight) ? PFA_RIGHT : PFA_LEFT);
}

void RichEdit::ApplyTextColor() {
  normal_color_ = text_color_name_.empty() ? GlobalResources::GetDefaultTextColorName() : text_color_name_;
  if (!IsEnabled() && !disabled_color_name_.empty()) normal_color_ = disabled_color_name_;
  if (!host_) return;
  const CHARFORMAT2W cf = MakeCharFormat(normal_color_);
  host_->SetCharFormat(cf);
  // Plain text has one format; rich text keeps the formats of its spans.
  if (!rich_) Send(EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  Invalidate();
}

void RichEdit::SetTextColor(const std::wstring& name) {
  text_color_name_ = name;
  ApplyTextColor();
}

void RichEdit::SetFont(const std::wstring& font_id) {
  font_id_ = font_id;
  ApplyTextColor();
  UpdateTextRect();
}

void RichEdit::SetStyleBit(DWORD bit, bool on) {
  style_ = on ? (style_ | bit) : (style_ & ~bit);
  ApplyStyleBits();
  Invalidate();
}

void RichEdit::SetReadOnly(bool read_only) {
  read_only_ = read_only;
  SetStyleBit(kEditReadOnly, read_only);
}

void RichEdit::SetRich(bool rich) {
  rich_ = rich;
  if (host_) {
    // The services take the mode only while empty; keep the text across.
    const std::wstring text = GetText();
    host_->Services()->TxSetText(L"");
    host_->SetPropertyBit(TXTBIT_RICHTEXT, rich);
    host_->Services()->TxSetText(text.c_str());
  }
}

void RichEdit::SetEnabled(bool enabled) {
  ScrollableBox::SetEnabled(enabled);
  ApplyTextColor();
}

void RichEdit::SetPos(RECT rect) {
  ScrollableBox::SetPos(rect);
  UpdateTextRect();
}

RECT RichEdit::TextRect() const { return text_rect_; }

POINT RichEdit::PosFromChar(long cp) const {
  POINTL at{0, 0};
  Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), cp);
  return POINT{at.x, at.y};
}

LONG RichEdit::FontLineHeight() const {
  HDC screen = ::GetDC(nullptr);
  const FontInfo* info = GlobalResources::GetFontInfo(font_id_, screen);
  const LONG line = info && info->has_metrics ? info->metrics.tmHeight : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return line;
}

SIZE RichEdit::NaturalTextSize() const {
  if (!host_ || GetTextLength() == 0) return SIZE{0, 0};
  const RECT content = ContentRect();
  LONG width = content.right - content.left;
  LONG height = 0;
  const SIZEL extent{-1, -1};
  HDC screen = ::GetDC(nullptr);
  const HRESULT hr = host_->Services()->TxGetNaturalSize(DVASPECT_CONTENT, screen, nullptr, nullptr,
                                                         TXTNS_FITTOCONTENT, &extent, &width, &height);
  if (screen) ::ReleaseDC(nullptr, screen);
  if (FAILED(hr)) {
    // Services without it: the lines at the font's own height.
    const LONG lines = (style_ & kEditMultiLine) ? std::max<LONG>(1, static_cast<LONG>(Send(EM_GETLINECOUNT))) : 1;
    width = content.right - content.left;
    height = FontLineHeight() * lines;
  }
  return SIZE{width, height};
}

void RichEdit::UpdateTextRect() {
  RECT rect = ContentRect();
  if (text_valign_ != 0 && host_) {
    // Lines are counted at the full rectangle's width, at the height the
    // services lay them out in: a fallback face for another script may make
    // them taller than the font's own. An empty text centres one line.
    host_->SetClientRect(rect);
    LONG height = NaturalTextSize().cy;
    if (height <= 0) height = FontLineHeight();
    height = std::min<LONG>(height, rect.bottom - rect.top);
    const LONG spare = rect.bottom - rect.top - height;
    if (height > 0 && spare > 0) {
      rect.top += text_valign_ == 1 ? spare / 2 : spare;
      rect.bottom = rect.top + height;
    }
  }
  text_rect_ = rect;
  if (host_) host_->SetClientRect(rect);
}

std::wstring RichEdit::GetText() const {
  if (!host_) return pending_text_;
  BSTR text = nullptr;
  if (FAILED(host_->Services()->TxGetText(&text)) || !text) return std::wstring();
  std::wstring result(text, ::SysStringLen(text));
  ::SysFreeString(text);
  return result;
}

void RichEdit::SetText(const std::wstring& text) {
  if (!host_) {
    pending_text_ = text;
    return;
  }
  host_->Services()->TxSetText(text.c_str());
  UpdateTextRect();
  Invalidate();
}

void RichEdit::SetTextId(const std::wstring& id) { SetText(StringTable::GetText(id)); }

long RichEdit::GetTextLength() const {
  if (!host_) return static_cast<long>(pending_text_.size());
  GETTEXTLENGTHEX query{GTL_NUMCHARS | GTL_PRECISE, 1200};
  return static_cast<long>(Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0));
}

void RichEdit::SetSel(long start, long end) {
  CHARRANGE range{start, end};
  Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

void RichEdit::ReplaceSel(const std::wstring& text, bool can_undo) {
  const std::wstring insert = number_ ? DigitsOnly(text) : text;
  Send(EM_REPLACESEL, can_undo ? TRUE : FALSE, reinterpret_cast<LPARAM>(insert.c_str()));
}

void RichEdit::SetPromptText(const std::wstring& text) {
  prompt_text_ = text;
  Invalidate();
}

void RichEdit::SetPromptTextId(const std::wstring& id) {
  prompt_text_id_ = id;
  Invalidate();
}

std::wstring RichEdit::GetPromptText() const {
  if (prompt_text_.empty() && !prompt_text_id_.empty()) return StringTable::GetText(prompt_text_id_);
  return prompt_text_;
}

bool RichEdit::IsPromptShown() const {
  return prompt_mode_ && GetTextLength() == 0 && !GetPromptText().empty();
}

void RichEdit::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"vscrollbar") {
    style_ = IsTrue(value) ? (style_ | kEditVScrollBar | kEditDisableNoScroll) : (style_ & ~kEditVScrollBar);
    ApplyStyleBits();
    ScrollableBox::SetAttribute(name, value);
  } else if (name == L"hscrollbar") {
    style_ = IsTrue(value) ? (style_ | kEditHScrollBar | kEditDisableNoScroll) : (style_ & ~kEditHScrollBar);
    ApplyStyleBits();
    ScrollableBox::SetAttribute(name, value);
  } else if (name == L"autovscroll") {
    SetStyleBit(kEditAutoVScroll, IsTrue(value));
  } else if (name == L"autohscroll") {
    SetStyleBit(kEditAutoHScroll, IsTrue(value));
  } else if (name == L"multiline") {
    SetStyleBit(kEditMultiLine, IsTrue(value));
  } else if (name == L"readonly") {
    SetReadOnly(IsTrue(value));
  } else if (name == L"password") {
    password_ = IsTrue(value);
    SetStyleBit(kEditPassword, password_);
  } else if (name == L"number") {
    number_ = IsTrue(value);
    SetStyleBit(kEditNumber, number_);
  } else if (name == L"align") {
    if (value.find(L"left") != std::wstring::npos) style_ &= ~(kEditCenter | kEditRight);
    if (value.find(L"hcenter") != std::wstring::npos) style_ |= kEditCenter;
    if (value.find(L"right") != std::wstring::npos) style_ |= kEditRight;
    if (value.find(L"top") != std::wstring::npos) text_valign_ = 0;
    if (value.find(L"vcenter") != std::wstring::npos) text_valign_ = 1;
    if (value.find(L"bottom") != std::wstring::npos) text_valign_ = 2;
    ApplyStyleBits();
    UpdateTextRect();
  } else if (name == L"normaltextcolor") {
    text_color_name_ = SkipBlanks(value);
    ApplyTextColor();
  } else if (name == L"disabledtextcolor") {
    disabled_color_name_ = SkipBlanks(value);
    ApplyTextColor();
  } else if (name == L"caretcolor") {
    caret_color_ = SkipBlanks(value);
  } else if (name == L"promptmode") {
    if (value == L"true") prompt_mode_ = true;
  } else if (name == L"promptcolor") {
    prompt_color_ = SkipBlanks(value);
  } else if (name == L"prompttext") {
    SetPromptText(value);
  } else if (name == L"prompttextid") {
    SetPromptTextId(value);
  } else if (name == L"focusedimage") {
    focused_image_.SetImageDescriptor(value);
  } else if (name == L"font") {
    SetFont(value);
  } else if (name == L"text") {
    SetText(value);
  } else if (name == L"textid") {
    SetTextId(value);
  } else if (name == L"wanttab") {
    want_tab_ = IsTrue(value);
  } else if (name == L"wantreturnmsg") {
    want_return_msg_ = IsTrue(value);
  } else if (name == L"returnmsgwantctrl") {
    return_msg_want_ctrl_ = IsTrue(value);
  } else if (name == L"rich") {
    SetRich(IsTrue(value));
  } else {
    ScrollableBox::SetAttribute(name, value);
  }
}

long RichEdit::CharAt(POINT point) const {
  if (!host_ || !::PtInRect(&text_rect_, point)) return -1;
  POINTL at{point.x, point.y};
  const long cp = static_cast<long>(Send(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&at)));
  if (cp < 0 || cp >= GetTextLength()) return -1;
  // The nearest character is answered for any point; keep only a point on
  // the character's own cell.
  POINTL first{0, 0};
  POINTL next{0, 0};
  Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&first), cp);
  Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&next), cp + 1);
  HDC screen = ::GetDC(nullptr);
  const FontInfo* info = GlobalResources::GetFontInfo(font_id_, screen);
  const LONG line = info && info->has_metrics ? info->metrics.tmHeight : 16;
  if (screen) ::ReleaseDC(nullptr, screen);
  if (at.y < first.y || at.y >= first.y + line) return -1;
  const auto on_cell = [&at](const POINTL& from, const POINTL& to) {
    if (to.y == from.y) return at.x >= std::min(from.x, to.x) && at.x < std::max(from.x, to.x);
    return at.x >= from.x;
  };
  if (on_cell(first, next)) return cp;
  // In right-to-left runs the services may answer the mirrored character of
  // the run; the cell under the point is then another one of the same line.
  const long line_index = static_cast<long>(Send(EM_LINEFROMCHAR, cp));
  const long line_start = static_cast<long>(Send(EM_LINEINDEX, line_index));
  const long line_length = static_cast<long>(Send(EM_LINELENGTH, line_start));
  if (line_start < 0) return -1;
  POINTL from{0, 0};
  Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&from), line_start);
  for (long c = line_start; c < line_start + line_length && c < GetTextLength(); ++c) {
    POINTL to{0, 0};
    Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&to), c + 1);
    if (from.y == first.y && on_cell(from, to)) return c;
    from = to;
  }
  return -1;
}

void RichEdit::ForwardMouse(UINT message, EventArgs* args) {
  WPARAM keys = 0;
  if (KeyDown(VK_CONTROL)) keys |= MK_CONTROL;
  if (KeyDown(VK_SHIFT)) keys |= MK_SHIFT;
  if (IsMouseHeld()) keys |= MK_LBUTTON;
  Send(message, keys, MAKELPARAM(args->mouse_point.x, args->mouse_point.y));
}

void RichEdit::PasteDigits() {
  HWND hwnd = GetWindow() ? GetWindow()->GetHWND() : nullptr;
  if (!::OpenClipboard(hwnd)) return;
  std::wstring text;
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    // Bounded by the block's size: clipboard text need not end in a null.
    const SIZE_T chars = ::GlobalSize(data) / sizeof(wchar_t);
    if (const auto* p = static_cast<const wchar_t*>(::GlobalLock(data))) {
      size_t length = 0;
      while (length < chars && p[length]) ++length;
      text.assign(p, length);
      ::GlobalUnlock(data);
    }
  }
  ::CloseClipboard();
  ReplaceSel(text);
}

void RichEdit::HandleMessage(EventArgs* args) {
  if (!host_ || !IsEnabled()) {
    ScrollableBox::HandleMessage(args);
    return;
  }
  switch (args->type) {
    case kEventChar: {
      const wchar_t ch = static_cast<wchar_t>(args->wparam);
      if (ch == L'\t' && !want_tab_ && KeyDown(VK_TAB)) {
        SendEvent(kEventTab);
        return;
      }
      if (ch == L'\r' && swallow_return_char_) {
        swallow_return_char_ = false;
        return;
      }
      // Control characters (Backspace, Ctrl+letters) still act in number
      // mode; printable ones must be digits.
      if (number_ && ch >= 0x20 && (ch < L'0' || ch > L'9')) return;
      Send(WM_CHAR, args->wparam, args->lparam);
      return;
    }
    case kEventKeyDown: {
      const WPARAM key = args->wparam;
      swallow_return_char_ = false;
      if (key == VK_RETURN && !KeyDown(VK_SHIFT) && want_return_msg_ &&
          KeyDown(VK_CONTROL) == return_msg_want_ctrl_) {
        swallow_return_char_ = true;
        SendEvent(kEventReturn);
        return;
      }
      if (number_ && ((key == 'V' && KeyDown(VK_CONTROL)) || (key == VK_INSERT && KeyDown(VK_SHIFT)))) {
        PasteDigits();
        return;
      }
      Send(WM_KEYDOWN, key, args->lparam);
      return;
    }
    case kEventKeyUp:
      Send(WM_KEYUP, args->wparam, args->lparam);
      return;
    case kEventMouseButtonDown:
    case kEventInternalDoubleClick:
    case kEventPointerDown:
      if (args->type == kEventPointerDown && !IsReceivePointer()) break;
      SetFocus();
      SetMouseHeld(true);
      ForwardMouse(args->type == kEventInternalDoubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, args);
      return;
    case kEventMouseButtonUp:
    case kEventPointerUp:
      if (args->type == kEventPointerUp && !IsReceivePointer()) break;
      ForwardMouse(WM_LBUTTONUP, args);
      SetMouseHeld(false);
      return;
    case kEventMouseMove:
      ForwardMouse(WM_MOUSEMOVE, args);
      return;
    case kEventMouseScrollWheel:
      if (!(style_ & kEditMultiLine)) break;
      Send(WM_MOUSEWHEEL, args->wparam, args->lparam);
      return;
    case kEventSetCursor:
      if (::PtInRect(&text_rect_, args->mouse_point)) {
        HDC screen = ::GetDC(nullptr);
        const HRESULT hr = host_->Services()->OnTxSetCursor(DVASPECT_CONTENT, -1, nullptr, nullptr, screen,
                                                            nullptr, &text_rect_, args->mouse_point.x,
                                                            args->mouse_point.y);
        if (screen) ::ReleaseDC(nullptr, screen);
        if (FAILED(hr)) ::SetCursor(::LoadCursorW(nullptr, IDC_IBEAM));
        return;
      }
      break;
    case kEventInternalSetFocus:
      ScrollableBox::HandleMessage(args);
      if (host_) {
        host_->Services()->OnTxUIActivate();
        Send(WM_SETFOCUS);
      }
      return;
    case kEventInternalKillFocus:
      ScrollableBox::HandleMessage(args);
      if (host_) {
        Send(WM_KILLFOCUS);
        host_->Services()->OnTxUIDeactivate();
      }
      return;
    default:
      break;
  }
  ScrollableBox::HandleMessage(args);
}

void RichEdit::PaintChildren(IRenderContext* context, const RECT& dirty) {
  if (IsFocused()) DrawImage(context, focused_image_);
  if (host_) {
    RECT update;
    if (::IntersectRect(&update, &dirty, &text_rect_)) {
      const RECTL bounds{text_rect_.left, text_rect_.top, text_rect_.right, text_rect_.bottom};
      host_->Services()->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, context->GetDC(), nullptr, &bounds,
                                nullptr, &update, nullptr, 0, TXTVIEW_ACTIVE);
    }
  }
  if (IsPromptShown()) {
    UINT style = DT_SINGLELINE | DT_NOCLIP;
    if (style_ & kEditCenter) style |= DT_CENTER;
    if (style_ & kEditRight) style |= DT_RIGHT;
    if (text_valign_ == 1) style |= DT_VCENTER;
    if (text_valign_ == 2) style |= DT_BOTTOM;
    context->DrawText(ContentRect(), GetPromptText(), GlobalResources::GetTextColor(prompt_color_), font_id_,
                      style, 255);
  }
  if (host_ && IsFocused() && host_->CaretShown()) {
    const DWORD caret = caret_color_.empty() ? 0xFF000000 : GlobalResources::GetTextColor(caret_color_);
    context->FillColor(host_->CaretRect(), caret, 255);
  }
  ScrollableBox::PaintChildren(context, dirty);
}

void RichEdit::OnTxTextChanged() {
  UpdateTextRect();
  Invalidate();
  SendEvent(kEventTextChange);
}

void RichEdit::OnTxCapture(bool capture) {
  Window* window = GetWindow();
  captured_ = capture;
  if (!window) return;
  if (capture) {
    window->SetCapture(this);
  } else if (window->GetCaptureControl() == this) {
    window->ReleaseCapture();
  }
}

void RichEdit::OnTxScrollRange(bool vertical, long range) {
  ScrollBar* bar = vertical ? GetVerticalScrollBar() : GetHorizontalScrollBar();
  if (bar) bar->SetScrollRange(std::max(0L, range));
}

void RichEdit::OnTxScrollPos(bool vertical, long pos) {
  ScrollBar* bar = vertical ? GetVerticalScrollBar() : GetHorizontalScrollBar();
  if (bar) bar->SetScrollPos(std::max(0L, pos));
}

// ---------------------------------------------------------------------------

HyperlinkText::HyperlinkText() {
  rich_ = true;
  read_only_ = true;
  style_ |= kEditMultiLine | kEditCenter | kEditReadOnly;
  text_valign_ = 1;
}

void HyperlinkText::OnFirstInit() {
  RichEdit::OnFirstInit();
  if (!pending_markup_.empty()) {
    const std::wstring markup = std::move(pending_markup_);
    pending_markup_.clear();
    SetLinkText(markup);
  }
}

void HyperlinkText::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"linkcolor") {
    link_color_ = SkipBlanks(value);
  } else {
    if (name == L"normaltextcolor") span_color_ = SkipBlanks(value);
    RichEdit::SetAttribute(name, value);
  }
}

void HyperlinkText::SetLinkText(const std::wstring& markup) {
  if (!host_) {
    pending_markup_ = markup;
    return;
  }
  if (!recreated_for_hangul_ && ContainsHangul(markup)) {
    recreated_for_hangul_ = true;
    links_.clear();
    if (!CreateHost()) return;
  }
  links_.clear();
  // The text is written by the program, not typed: lift the read-only bit
  // for the time of the build.
  host_->SetPropertyBit(TXTBIT_READONLY, false);
  host_->Services()->TxSetText(L"");
  for (const LinkSpan& span : ParseLinkMarkup(markup)) AppendSpan(span.text, !span.name.empty(), span.name);
  PARAFORMAT2 para{};
  para.cbSize = sizeof(para);
  para.dwMask = PFM_ALIGNMENT | PFM_RTLPARA;
  para.wAlignment = PFA_CENTER;
  if (ContainsRightToLeft(markup)) para.wEffects = PFE_RTLPARA;
  SetSel(0, -1);
  Send(EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&para));
  SetSel(0, 0);
  host_->SetPropertyBit(TXTBIT_READONLY, read_only_);
  UpdateTextRect();
  Invalidate();
}

void HyperlinkText::AppendSpan(const std::wstring& text, bool link, const std::wstring& name) {
  const long start = GetTextLength();
  SetSel(start, start);
  Send(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  const long end = GetTextLength();
  if (end <= start) return;
  SetSel(start, end);
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof(cf);
  cf.dwMask = CFM_COLOR | CFM_UNDERLINE;
  cf.dwEffects = link ? CFE_UNDERLINE : 0;
  const std::wstring& color = link ? link_color_ : (span_color_.empty() ? normal_color_ : span_color_);
  cf.crTextColor = ColorRefOf(color);
  Send(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  if (link) links_.push_back(LinkRange{start, end, name});
}

std::wstring HyperlinkText::GetLinkName(const EventArgs* args) const {
  if (!args || links_.empty()) return std::wstring();
  return LinkNameAt(links_, CharAt(args->mouse_point));
}

void HyperlinkText::HandleMessage(EventArgs* args) {
  if (host_ && !links_.empty()) {
    if (args->type == kEventSetCursor && !GetLinkName(args).empty()) {
      ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
      return;
    }
    if ((args->type == kEventMouseButtonDown || (args->type == kEventPointerDown && IsReceivePointer())) &&
        !GetLinkName(args).empty()) {
      EventArgs click = *args;
      click.type = kEventCustomLinkClick;
      click.sender = this;
      click.timestamp = ::GetTickCount();
      DeliverEvent(&click);
      return;
    }
  }
  RichEdit::HandleMessage(args);
}

}  // namespace ui
