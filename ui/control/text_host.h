// CTxtWinHost is the ITextHost through which a RichEdit hosts the system's
// Rich Edit text services without a window of its own: it answers the
// services' questions (client rectangle, formats, property bits, colours)
// from what the control told it, and turns their requests (repaint, caret,
// capture, focus, timers, change notifications) into calls on the control.
// Reference counted as the interface demands; the control holds one
// reference and calls Shutdown before letting go, which releases the
// services and cuts the link back to the control. UI thread only.
#ifndef UI_CONTROL_TEXT_HOST_H_
#define UI_CONTROL_TEXT_HOST_H_

#include <windows.h>
#include <richedit.h>
#include <textserv.h>

#include <map>

namespace ui {

class RichEdit;

// The text services DLL, loaded once from the system folder only (never
// from the executable's folder, which for an elevated installer is a
// download folder anyone could drop a DLL into). Null when unavailable.
HMODULE TextServicesModule();

class CTxtWinHost final : public ITextHost {
 public:
  // A host with its text services for |owner|; false (and |*out| null)
  // when the services cannot be had.
  static bool Create(RichEdit* owner, DWORD property_bits, const CHARFORMAT2W& char_format,
                     CTxtWinHost** out);

  // Releases the services and forgets the owner; later callbacks do nothing.
  void Shutdown();
  ITextServices* Services() const { return services_; }
  // Sends |message| to the services; 0 without them.
  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);

  void SetCharFormat(const CHARFORMAT2W& format);
  const CHARFORMAT2W& CharFormat() const { return char_format_; }
  void SetParaAlignment(WORD alignment);
  void SetPropertyBit(DWORD bit, bool on);
  DWORD PropertyBits() const { return property_bits_; }
  // The rectangle the text is laid out in (window client coordinates).
  void SetClientRect(const RECT& rect);
  RECT ClientRect() const { return client_rect_; }
  // WS_VSCROLL / WS_HSCROLL / ES_AUTO*SCROLL / ES_DISABLENOSCROLL bits.
  void SetScrollBits(DWORD bits);

  // The caret the services asked for, in client coordinates; false in the
  // off half of its blink.
  bool CaretShown() const { return caret_shown_ && blink_on_; }
  RECT CaretRect() const;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ITextHost
  HDC TxGetDC() override;
  INT TxReleaseDC(HDC hdc) override;
  WINBOOL TxShowScrollBar(INT bar, WINBOOL show) override;
  WINBOOL TxEnableScrollBar(INT flags, INT arrows) override;
  WINBOOL TxSetScrollRange(INT bar, LONG min_pos, INT max_pos, WINBOOL redraw) override;
  WINBOOL TxSetScrollPos(INT bar, INT pos, WINBOOL redraw) override;
  void TxInvalidateRect(LPCRECT rect, WINBOOL mode) override;
  void TxViewChange(WINBOOL update) override;
  WINBOOL TxCreateCaret(HBITMAP bitmap, INT width, INT height) override;
  WINBOOL TxShowCaret(WINBOOL show) override;
  WINBOOL TxSetCaretPos(INT x, INT y) override;
  WINBOOL TxSetTimer(UINT id, UINT timeout) override;
  void TxKillTimer(UINT id) override;
  void TxScrollWindowEx(INT dx, INT dy, LPCRECT scroll, LPCRECT clip, HRGN update_region, LPRECT update,
                        UINT flags) override;
  void TxSetCapture(WINBOOL capture) override;
  void TxSetFocus() override;
  void TxSetCursor(HCURSOR cursor, WINBOOL text) override;
  WINBOOL TxScreenToClient(LPPOINT point) override;
  WINBOOL TxClientToScreen(LPPOINT point) override;
  HRESULT TxActivate(LONG* old_state) override;
  HRESULT TxDeactivate(LONG new_state) override;
  HRESULT TxGetClientRect(LPRECT rect) override;
  HRESULT TxGetViewInset(LPRECT rect) override;
  HRESULT TxGetCharFormat(const CHARFORMATW** format) override;
  HRESULT TxGetParaFormat(const PARAFORMAT** format) override;
  COLORREF TxGetSysColor(int index) override;
  HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override;
  HRESULT TxGetMaxLength(DWORD* length) override;
  HRESULT TxGetScrollBars(DWORD* bits) override;
  HRESULT TxGetPasswordChar(TCHAR* ch) override;
  HRESULT TxGetAcceleratorPos(LONG* cp) override;
  HRESULT TxGetExtent(LPSIZEL extent) override;
  HRESULT OnTxCharFormatChange(const CHARFORMATW* format) override;
  HRESULT OnTxParaFormatChange(const PARAFORMAT* format) override;
  HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) override;
  HRESULT TxNotify(DWORD notification, void* data) override;
  HIMC TxImmGetContext() override;
  void TxImmReleaseContext(HIMC himc) override;
  HRESULT TxGetSelectionBarWidth(LONG* width) override;

 private:
  CTxtWinHost(RichEdit* owner, DWORD property_bits, const CHARFORMAT2W& char_format);
  ~CTxtWinHost();
  HWND Hwnd() const;
  static void CALLBACK OnTimer(HWND hwnd, UINT message, UINT_PTR native_id, DWORD time);
  void RestartBlink();
  void StopBlink();
  static void CALLBACK OnBlink(HWND hwnd, UINT message, UINT_PTR id, DWORD time);

  ULONG refs_ = 1;
  RichEdit* owner_;
  ITextServices* services_ = nullptr;  // one reference, released by Shutdown
  DWORD property_bits_;
  DWORD scroll_bits_ = 0;
  CHARFORMAT2W char_format_;
  PARAFORMAT2 para_format_{};
  RECT client_rect_{0, 0, 0, 0};
  SIZE caret_size_{0, 0};
  POINT caret_pos_{0, 0};
  bool caret_shown_ = false;
  bool blink_on_ = true;
  HWND blink_hwnd_ = nullptr;  // the window whose timer blinks the caret
  std::map<UINT, UINT_PTR> timers_;  // the services' id -> thread timer id
};

}  // namespace ui

#endif  // UI_CONTROL_TEXT_HOST_H_
