// DpiScaler turns lengths given at 100 % into device pixels for the current
// monitor DPI, and makes the process DPI aware when asked to.
// One instance per process (GetInstance); it is used from the UI thread only.
// Also holds the touch/pointer entry points looked up once from user32.dll.
#ifndef UI_UTILS_DPI_SCALER_H_
#define UI_UTILS_DPI_SCALER_H_

#include <windows.h>

namespace ui {

// One per process; used from the UI thread.
class DpiScaler {
 public:
  static DpiScaler& GetInstance();

  bool EnableDpiAdaptation();          // true when the process is DPI aware
  void SetDpi(int dpi);                // scale = MulDiv(dpi, 100, 96)
  bool IsAdapting() const;
  int ScalePercent() const;            // 100 when not adapting
  int ScaleLength(int value) const;    // MulDiv(value, scale, 100); unchanged when off or 100
  SIZE ScaleExtent(SIZE size) const;
  RECT ScaleRectangle(const RECT& rect) const;
  void SetAdaptingForTesting(bool adapting, int dpi);  // tests only: no system call

  // Scales a point (both coordinates).
  POINT ScalePoint(POINT point) const;
  // Undoes ScaleLength (device pixels back to 100 % lengths).
  int UnscaleLength(int value) const;
  int Dpi() const { return dpi_; }

 private:
  DpiScaler() = default;
  DpiScaler(const DpiScaler&) = delete;
  DpiScaler& operator=(const DpiScaler&) = delete;

  bool adapting_ = false;
  int dpi_ = 96;
  int scale_ = 100;
};

// What PrimaryMonitorDpi asks; tests hand in their own.
struct DpiSources {
  typedef BOOL(WINAPI* GetDpiForMonitorFn)(HMONITOR, int, UINT*, UINT*);
  bool per_monitor = false;  // the system has per-monitor DPI (Windows 8, 6.2, on)
  // user32's "GetDpiForMonitorInternal", looked up at run time; null when absent.
  GetDpiForMonitorFn get_dpi_for_monitor = nullptr;
  HMONITOR primary = nullptr;  // the monitor holding point (1,1)
  int screen_dpi = 0;          // the screen DC's LOGPIXELSX; 0 when unknown
  static DpiSources FromSystem();
};

// DPI of the primary monitor: the per-monitor answer where the system has
// one, else (also when that look-up is missing or fails) the screen's
// logical pixels per inch, else 96.
int PrimaryMonitorDpi(const DpiSources& sources);
int PrimaryMonitorDpi();

// Touch and pointer entry points of user32.dll, looked up once per process.
// The wrappers return FALSE (and set nothing) when the entry is absent.
struct TouchFunctions {
  typedef BOOL(WINAPI* RegisterTouchWindowFn)(HWND, ULONG);
  typedef BOOL(WINAPI* UnregisterTouchWindowFn)(HWND);
  typedef BOOL(WINAPI* GetTouchInputInfoFn)(HANDLE, UINT, void*, int);
  typedef BOOL(WINAPI* CloseTouchInputHandleFn)(HANDLE);
  typedef BOOL(WINAPI* GetPointerTypeFn)(UINT32, DWORD*);
  typedef BOOL(WINAPI* GetPointerInfoFn)(UINT32, void*);
  typedef BOOL(WINAPI* GetPointerTouchInfoFn)(UINT32, void*);
  typedef BOOL(WINAPI* GetPointerPenInfoFn)(UINT32, void*);
  typedef BOOL(WINAPI* EnableMouseInPointerFn)(BOOL);

  RegisterTouchWindowFn register_touch_window = nullptr;
  UnregisterTouchWindowFn unregister_touch_window = nullptr;
  GetTouchInputInfoFn get_touch_input_info = nullptr;
  CloseTouchInputHandleFn close_touch_input_handle = nullptr;
  GetPointerTypeFn get_pointer_type = nullptr;
  GetPointerInfoFn get_pointer_info = nullptr;
  GetPointerTouchInfoFn get_pointer_touch_info = nullptr;
  GetPointerPenInfoFn get_pointer_pen_info = nullptr;
  EnableMouseInPointerFn enable_mouse_in_pointer = nullptr;

  // Calls that fail (FALSE) when the system lacks the entry point.
  BOOL RegisterTouchWindow(HWND hwnd, ULONG flags) const {
    return register_touch_window ? register_touch_window(hwnd, flags) : FALSE;
  }
  BOOL UnregisterTouchWindow(HWND hwnd) const {
    return unregister_touch_window ? unregister_touch_window(hwnd) : FALSE;
  }
  BOOL GetTouchInputInfo(HANDLE input, UINT count, void* inputs, int size) const {
    return get_touch_input_info ? get_touch_input_info(input, count, inputs, size) : FALSE;
  }
  BOOL CloseTouchInputHandle(HANDLE input) const {
    return close_touch_input_handle ? close_touch_input_handle(input) : FALSE;
  }
  BOOL GetPointerType(UINT32 id, DWORD* type) const {
    return get_pointer_type ? get_pointer_type(id, type) : FALSE;
  }
  BOOL GetPointerInfo(UINT32 id, void* info) const {
    return get_pointer_info ? get_pointer_info(id, info) : FALSE;
  }
  BOOL GetPointerTouchInfo(UINT32 id, void* info) const {
    return get_pointer_touch_info ? get_pointer_touch_info(id, info) : FALSE;
  }
  BOOL GetPointerPenInfo(UINT32 id, void* info) const {
    return get_pointer_pen_info ? get_pointer_pen_info(id, info) : FALSE;
  }
  BOOL EnableMouseInPointer(BOOL enable) const {
    return enable_mouse_in_pointer ? enable_mouse_in_pointer(enable) : FALSE;
  }
};

// The table, filled on first call (thread-safe initialisation).
const TouchFunctions& GetTouchFunctions();

}  // namespace ui

#endif  // UI_UTILS_DPI_SCALER_H_
