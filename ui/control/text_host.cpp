#include "ui/control/text_host.h"

#include <imm.h>

#include <set>
#include <string>

#include "base/log/log.h"
#include "ui/control/rich_edit.h"
#include "ui/window/window.h"

namespace ui {

namespace {

// The interface ids as published with the text services; the DLL exports
// its own copies, which are preferred (MinGW's import libraries may not
// carry them).
const IID kIidTextServices = {0x8d33f740, 0xcf58, 0x11ce, {0xa8, 0x9d, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};
const IID kIidTextHost = {0xc5bdd8d0, 0xd26e, 0x11ce, {0xa8, 0x9e, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};

const IID& ExportedIid(const char* name, const IID& fallback) {
  HMODULE module = TextServicesModule();
  const FARPROC proc = module ? ::GetProcAddress(module, name) : nullptr;
  return proc ? *reinterpret_cast<const IID*>(proc) : fallback;
}

// Hosts whose caret blinks (UI thread only).
std::set<CTxtWinHost*>& BlinkHosts() {
  static std::set<CTxtWinHost*> hosts;
  return hosts;
}

// The services' timers, by thread timer id (UI thread only).
std::map<UINT_PTR, std::pair<CTxtWinHost*, UINT>>& TimerTable() {
  static std::map<UINT_PTR, std::pair<CTxtWinHost*, UINT>> table;
  return table;
}

HMODULE LoadFromSystemFolder() {
  // LOAD_LIBRARY_SEARCH_SYSTEM32 also keeps the DLL's own imports in the
  // system folder; systems without it refuse the flag, and then the full
  // path with the altered search order does the same.
  HMODULE module = ::LoadLibraryExW(L"msftedit.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module) return module;
  const UINT size = ::GetSystemDirectoryW(nullptr, 0);
  if (size == 0) return nullptr;
  std::wstring path(size, L'\0');
  const UINT length = ::GetSystemDirectoryW(&path[0], size);
  if (length == 0 || length >= size) return nullptr;
  path.resize(length);
  path += L"\\msftedit.dll";
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

HMODULE TextServicesModule() {
  // Loaded once for the process and kept: text services of any control may
  // still be alive until the last window goes.
  static HMODULE module = [] {
    HMODULE m = LoadFromSystemFolder();
    if (!m) QLOG_ERR(L"rich edit: cannot load msftedit.dll from the system folder ({0})") << ::GetLastError();
    return m;
  }();
  return module;
}

bool CTxtWinHost::Create(RichEdit* owner, DWORD property_bits, const CHARFORMAT2W& char_format,
                         CTxtWinHost** out) {
  *out = nullptr;
  HMODULE module = TextServicesModule();
  if (!module) return false;
  auto create = reinterpret_cast<PCreateTextServices>(
      reinterpret_cast<void*>(::GetProcAddress(module, "CreateTextServices")));
  if (!create) {
    QLOG_ERR(L"rich edit: msftedit.dll has no CreateTextServices");
    return false;
  }
  CTxtWinHost* host = new CTxtWinHost(owner, property_bits, char_format);  // owned by its references
  IUnknown* unknown = nullptr;
  HRESULT hr = create(nullptr, host, &unknown);
  if (SUCCEEDED(hr) && unknown) {
    hr = unknown->QueryInterface(ExportedIid("IID_ITextServices", kIidTextServices),
                                 reinterpret_cast<void**>(&host->services_));
    unknown->Release();
  }
  if (FAILED(hr) || !host->services_) {
    QLOG_ERR(L"rich edit: CreateTextServices failed ({0})") << static_cast<unsigned long>(hr);
    host->Shutdown();
    host->Release();
    return false;
  }
  *out = host;
  return true;
}

CTxtWinHost::CTxtWinHost(RichEdit* owner, DWORD property_bits, const CHARFORMAT2W& char_format)
    : owner_(owner), property_bits_(property_bits), char_format_(char_format) {
  para_format_.cbSize = sizeof(para_format_);
  para_format_.dwMask = PFM_ALL;
  para_format_.wAlignment = PFA_LEFT;
  para_format_.cTabCount = 1;
  para_format_.rgxTabs[0] = 720;
}

CTxtWinHost::~CTxtWinHost() { Shutdown(); }

void CTxtWinHost::Shutdown() {
  StopBlink();
  for (const auto& timer : timers_) {
    ::KillTimer(nullptr, timer.second);
    TimerTable().erase(timer.second);
  }
  timers_.clear();
  owner_ = nullptr;
  if (ITextServices* services = services_) {
    services_ = nullptr;
    services->OnTxInPlaceDeactivate();
    services->Release();
  }
}

LRESULT CTxtWinHost::Send(UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (services_) services_->TxSendMessage(message, wparam, lparam, &result);
  return result;
}

void CTxtWinHost::SetCharFormat(const CHARFORMAT2W& format) {
  char_format_ = format;
  if (services_) services_->OnTxPropertyBitsChange(TXTBIT_CHARFORMATCHANGE, TXTBIT_CHARFORMATCHANGE);
}

void CTxtWinHost::SetParaAlignment(WORD alignment) {
  para_format_.wAlignment = alignment;
  if (services_) services_->OnTxPropertyBitsChange(TXTBIT_PARAFORMATCHANGE, TXTBIT_PARAFORMATCHANGE);
}

void CTxtWinHost::SetPropertyBit(DWORD bit, bool on) {
  property_bits_ = on ? (property_bits_ | bit) : (property_bits_ & ~bit);
  if (services_) services_->OnTxPropertyBitsChange(bit, on ? bit : 0);
}

void CTxtWinHost::SetClientRect(const RECT& rect) {
  if (::EqualRect(&rect, &client_rect_)) return;
  client_rect_ = rect;
  if (services_) services_->OnTxPropertyBitsChange(TXTBIT_CLIENTRECTCHANGE, TXTBIT_CLIENTRECTCHANGE);
}

void CTxtWinHost::SetScrollBits(DWORD bits) {
  scroll_bits_ = bits;
  if (services_) services_->OnTxPropertyBitsChange(TXTBIT_SCROLLBARCHANGE, TXTBIT_SCROLLBARCHANGE);
}

RECT CTxtWinHost::CaretRect() const {
  return RECT{caret_pos_.x, caret_pos_.y, caret_pos_.x + caret_size_.cx, caret_pos_.y + caret_size_.cy};
}

HRESULT CTxtWinHost::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, ExportedIid("IID_ITextHost", kIidTextHost))) {
    *object = static_cast<ITextHost*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CTxtWinHost::AddRef() { return ++refs_; }

ULONG CTxtWinHost::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HWND CTxtWinHost::Hwnd() const {
  Window* window = owner_ ? owner_->GetWindow() : nullptr;
  return window ? window->GetHWND() : nullptr;
}

HDC CTxtWinHost::TxGetDC() { return ::GetDC(Hwnd()); }
INT CTxtWinHost::TxReleaseDC(HDC hdc) { return ::ReleaseDC(Hwnd(), hdc); }
WINBOOL CTxtWinHost::TxShowScrollBar(INT, WINBOOL) { return TRUE; }
WINBOOL CTxtWinHost::TxEnableScrollBar(INT, INT) { return TRUE; }

WINBOOL CTxtWinHost::TxSetScrollRange(INT bar, LONG min_pos, INT max_pos, WINBOOL) {
  if (owner_) owner_->OnTxScrollRange(bar == SB_VERT, max_pos - min_pos);
  return TRUE;
}

WINBOOL CTxtWinHost::TxSetScrollPos(INT bar, INT pos, WINBOOL) {
  if (owner_) owner_->OnTxScrollPos(bar == SB_VERT, pos);
  return TRUE;
}

void CTxtWinHost::TxInvalidateRect(LPCRECT, WINBOOL) {
  if (owner_) owner_->Invalidate();
}

void CTxtWinHost::TxViewChange(WINBOOL update) {
  if (owner_ && update) owner_->Invalidate();
}

WINBOOL CTxtWinHost::TxCreateCaret(HBITMAP, INT width, INT height) {
  caret_size_ = SIZE{width > 0 ? width : 1, height};
  return TRUE;
}

WINBOOL CTxtWinHost::TxShowCaret(WINBOOL show) {
  caret_shown_ = show != FALSE;
  if (caret_shown_) RestartBlink();
  else StopBlink();
  if (owner_) owner_->Invalidate();
  return TRUE;
}

WINBOOL CTxtWinHost::TxSetCaretPos(INT x, INT y) {
  caret_pos_ = POINT{x, y};
  if (caret_shown_) RestartBlink();
  if (owner_ && caret_shown_) owner_->Invalidate();
  return TRUE;
}

void CTxtWinHost::RestartBlink() {
  // A moved or typed-at caret shows at once and blinks from there, at the
  // user's rate; a rate of INFINITE means no blinking at all.
  blink_on_ = true;
  const UINT period = ::GetCaretBlinkTime();
  HWND hwnd = Hwnd();
  if (period == 0 || period == INFINITE || !hwnd) {
    StopBlink();
    return;
  }
  if (blink_hwnd_ && blink_hwnd_ != hwnd) StopBlink();
  // The window's own timer, with an id that is this host: the window's
  // procedure never sees it, and a late tick finds no host once it is gone.
  if (::SetTimer(hwnd, reinterpret_cast<UINT_PTR>(this), period, &CTxtWinHost::OnBlink)) {
    blink_hwnd_ = hwnd;
    BlinkHosts().insert(this);
  }
}

void CTxtWinHost::StopBlink() {
  if (blink_hwnd_) ::KillTimer(blink_hwnd_, reinterpret_cast<UINT_PTR>(this));
  blink_hwnd_ = nullptr;
  BlinkHosts().erase(this);
  blink_on_ = true;
}

void CALLBACK CTxtWinHost::OnBlink(HWND, UINT, UINT_PTR id, DWORD) {
  auto* host = reinterpret_cast<CTxtWinHost*>(id);
  if (BlinkHosts().count(host) == 0) return;
  host->blink_on_ = !host->blink_on_;
  if (host->owner_) host->owner_->Invalidate();
}

void CALLBACK CTxtWinHost::OnTimer(HWND, UINT, UINT_PTR native_id, DWORD) {
  auto it = TimerTable().find(native_id);
  if (it == TimerTable().end()) return;
  CTxtWinHost* host = it->second.first;
  const UINT id = it->second.second;
  host->AddRef();  // the services may drop the control while handling it
  host->Send(WM_TIMER, id, 0);
  host->Release();
}

WINBOOL CTxtWinHost::TxSetTimer(UINT id, UINT timeout) {
  TxKillTimer(id);
  const UINT_PTR native_id = ::SetTimer(nullptr, 0, timeout, &CTxtWinHost::OnTimer);
  if (!native_id) return FALSE;
  timers_[id] = native_id;
  TimerTable()[native_id] = std::make_pair(this, id);
  return TRUE;
}

void CTxtWinHost::TxKillTimer(UINT id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  ::KillTimer(nullptr, it->second);
  TimerTable().erase(it->second);
  timers_.erase(it);
}

void CTxtWinHost::TxScrollWindowEx(INT, INT, LPCRECT, LPCRECT, HRGN, LPRECT, UINT) {
  if (owner_) owner_->Invalidate();
}

void CTxtWinHost::TxSetCapture(WINBOOL capture) {
  if (owner_) owner_->OnTxCapture(capture != FALSE);
}

void CTxtWinHost::TxSetFocus() {
  if (owner_) owner_->SetFocus();
}

void CTxtWinHost::TxSetCursor(HCURSOR cursor, WINBOOL) { ::SetCursor(cursor); }

WINBOOL CTxtWinHost::TxScreenToClient(LPPOINT point) {
  HWND hwnd = Hwnd();
  return hwnd ? ::ScreenToClient(hwnd, point) : FALSE;
}

WINBOOL CTxtWinHost::TxClientToScreen(LPPOINT point) {
  HWND hwnd = Hwnd();
  return hwnd ? ::ClientToScreen(hwnd, point) : FALSE;
}

HRESULT CTxtWinHost::TxActivate(LONG* old_state) {
  if (old_state) *old_state = 0;
  return S_OK;
}

HRESULT CTxtWinHost::TxDeactivate(LONG) { return S_OK; }

HRESULT CTxtWinHost::TxGetClientRect(LPRECT rect) {
  *rect = client_rect_;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(LPRECT rect) {
  *rect = RECT{0, 0, 0, 0};
  return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMATW** format) {
  *format = reinterpret_cast<const CHARFORMATW*>(&char_format_);
  return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT** format) {
  *format = reinterpret_cast<const PARAFORMAT*>(&para_format_);
  return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int index) { return ::GetSysColor(index); }

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* style) {
  *style = TXTBACK_TRANSPARENT;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* length) {
  *length = RichEdit::kMaxTextLength;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* bits) {
  *bits = scroll_bits_;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(TCHAR* ch) {
  *ch = static_cast<TCHAR>('*');
  return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* cp) {
  *cp = -1;
  return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(LPSIZEL) { return E_NOTIMPL; }
HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMATW*) { return S_OK; }
HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT*) { return S_OK; }

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD mask, DWORD* bits) {
  *bits = property_bits_ & mask;
  return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD notification, void*) {
  if (owner_ && notification == EN_CHANGE) owner_->OnTxTextChanged();
  return S_OK;
}

HIMC CTxtWinHost::TxImmGetContext() {
  HWND hwnd = Hwnd();
  return hwnd ? ::ImmGetContext(hwnd) : nullptr;
}

void CTxtWinHost::TxImmReleaseContext(HIMC himc) {
  if (HWND hwnd = Hwnd()) ::ImmReleaseContext(hwnd, himc);
}

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* width) {
  *width = 0;
  return S_OK;
}

}  // namespace ui
