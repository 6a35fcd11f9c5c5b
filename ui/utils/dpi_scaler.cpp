#include "ui/utils/dpi_scaler.h"

#include <mutex>

namespace ui {

namespace {

// Windows 8 (6.2) introduced per-monitor DPI; GetVersionEx lies to
// unmanifested processes, so ask ntdll directly.
bool IsWindows8OrNewer() {
  typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return false;
  auto get_version =
      reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  if (!get_version) return false;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (get_version(&info) != 0) return false;
  return info.dwMajorVersion > 6 || (info.dwMajorVersion == 6 && info.dwMinorVersion >= 2);
}

template <typename Fn>
Fn LookUp(HMODULE module, const char* name) {
  if (!module) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

HMODULE User32() { return ::GetModuleHandleW(L"user32.dll"); }

}  // namespace

DpiScaler& DpiScaler::GetInstance() {
  static DpiScaler instance;
  return instance;
}

bool DpiScaler::EnableDpiAdaptation() {
  if (adapting_) return true;
  typedef LONG(WINAPI * SetAwarenessInternalFn)(int);
  typedef BOOL(WINAPI * SetProcessDpiAwareFn)();
  HMODULE user32 = User32();
  // 2 = per-monitor aware; the internal entry reports success with 0.
  auto set_awareness = LookUp<SetAwarenessInternalFn>(user32, "SetProcessDpiAwarenessInternal");
  if (set_awareness && set_awareness(2) == 0) {
    adapting_ = true;
    return true;
  }
  auto set_aware = LookUp<SetProcessDpiAwareFn>(user32, "SetProcessDPIAware");
  if (set_aware && set_aware()) adapting_ = true;
  return adapting_;
}

void DpiScaler::SetDpi(int dpi) {
  if (dpi <= 0) dpi = 96;
  dpi_ = dpi;
  scale_ = ::MulDiv(dpi, 100, 96);
}

bool DpiScaler::IsAdapting() const { return adapting_; }

int DpiScaler::ScalePercent() const { return adapting_ ? scale_ : 100; }

int DpiScaler::ScaleLength(int value) const {
  if (!adapting_ || scale_ == 100) return value;
  return ::MulDiv(value, scale_, 100);
}

int DpiScaler::UnscaleLength(int value) const {
  if (!adapting_ || scale_ == 100 || scale_ == 0) return value;
  return ::MulDiv(value, 100, scale_);
}

SIZE DpiScaler::ScaleExtent(SIZE size) const {
  return SIZE{ScaleLength(size.cx), ScaleLength(size.cy)};
}

POINT DpiScaler::ScalePoint(POINT point) const {
  return POINT{ScaleLength(point.x), ScaleLength(point.y)};
}

RECT DpiScaler::ScaleRectangle(const RECT& rect) const {
  if (!adapting_ || scale_ == 100) return rect;
  // Width and height are scaled on their own so that a rectangle keeps its
  // size wherever it sits (rounding the edges separately would not).
  RECT out;
  out.left = ScaleLength(rect.left);
  out.top = ScaleLength(rect.top);
  out.right = out.left + ScaleLength(rect.right - rect.left);
  out.bottom = out.top + ScaleLength(rect.bottom - rect.top);
  return out;
}

void DpiScaler::SetAdaptingForTesting(bool adapting, int dpi) {
  adapting_ = adapting;
  SetDpi(dpi);
}

DpiSources DpiSources::FromSystem() {
  DpiSources sources;
  sources.per_monitor = IsWindows8OrNewer();
  if (sources.per_monitor) {
    sources.get_dpi_for_monitor = LookUp<GetDpiForMonitorFn>(User32(), "GetDpiForMonitorInternal");
    sources.primary = ::MonitorFromPoint(POINT{1, 1}, MONITOR_DEFAULTTOPRIMARY);
  }
  if (HDC screen = ::GetDC(nullptr)) {
    sources.screen_dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
  }
  return sources;
}

int PrimaryMonitorDpi(const DpiSources& sources) {
  if (sources.per_monitor) {
    UINT x = 0, y = 0;
    // 0 = the effective DPI.
    if (sources.get_dpi_for_monitor && sources.primary &&
        sources.get_dpi_for_monitor(sources.primary, 0, &x, &y) && x > 0)
      return static_cast<int>(x);
  }
  // Systems before per-monitor DPI, and those whose look-up is missing or
  // fails, still scale the screen as a whole.
  if (sources.screen_dpi > 0) return sources.screen_dpi;
  return 96;
}

int PrimaryMonitorDpi() { return PrimaryMonitorDpi(DpiSources::FromSystem()); }

const TouchFunctions& GetTouchFunctions() {
  static TouchFunctions functions;
  static std::once_flag once;
  std::call_once(once, [] {
    HMODULE user32 = User32();
    functions.register_touch_window = LookUp<TouchFunctions::RegisterTouchWindowFn>(user32, "RegisterTouchWindow");
    functions.unregister_touch_window =
        LookUp<TouchFunctions::UnregisterTouchWindowFn>(user32, "UnregisterTouchWindow");
    functions.get_touch_input_info = LookUp<TouchFunctions::GetTouchInputInfoFn>(user32, "GetTouchInputInfo");
    functions.close_touch_input_handle =
        LookUp<TouchFunctions::CloseTouchInputHandleFn>(user32, "CloseTouchInputHandle");
    functions.get_pointer_type = LookUp<TouchFunctions::GetPointerTypeFn>(user32, "GetPointerType");
    functions.get_pointer_info = LookUp<TouchFunctions::GetPointerInfoFn>(user32, "GetPointerInfo");
    functions.get_pointer_touch_info = LookUp<TouchFunctions::GetPointerTouchInfoFn>(user32, "GetPointerTouchInfo");
    functions.get_pointer_pen_info = LookUp<TouchFunctions::GetPointerPenInfoFn>(user32, "GetPointerPenInfo");
    functions.enable_mouse_in_pointer =
        LookUp<TouchFunctions::EnableMouseInPointerFn>(user32, "EnableMouseInPointer");
  });
  return functions;
}

}  // namespace ui
