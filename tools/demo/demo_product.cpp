// The demo product, installed as VARNO.exe. Every start appends
//   product<TAB>pid=<id><TAB>elevated=0|1<TAB>cwd=<current folder><TAB><command line>
// to the record file. Given --install= or --language= (the installer's
// after-install call) it applies nothing and exits with 0; started plainly it
// shows a small window until the user (or a test: WM_CLOSE, e.g.
// taskkill /pid) closes it, then exits with 0.
// A single-threaded GUI program.
#include "tools/demo/demo_record.h"

namespace {

bool IsElevated() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  BOOL ok = ::GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
  ::CloseHandle(token);
  return ok && elevation.TokenIsElevated;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    RECT area;
    ::GetClientRect(window, &area);
    ::DrawTextW(dc, L"VARNO demo product", -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    ::EndPaint(window, &paint);
    return 0;
  }
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

int ShowWindowUntilClosed(HINSTANCE instance) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = L"VarnoDemoProduct";
  if (!::RegisterClassW(&window_class)) return 1;
  HWND window = ::CreateWindowExW(0, window_class.lpszClassName, L"VARNO demo product", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 360, 160, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ::ShowWindow(window, SW_SHOW);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  wchar_t cwd[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, cwd);
  std::string fields = std::string("elevated=") + (IsElevated() ? "1" : "0") + "\tcwd=" + fixture::Utf8(cwd);
  bool recorded = demo::AppendRecord(demo::RecordPath(fixture::OwnFolder()), "product", fields);
  for (const std::wstring& arg : fixture::Arguments()) {
    if (arg.compare(0, 10, L"--install=") == 0 || arg.compare(0, 11, L"--language=") == 0) return recorded ? 0 : 1;
  }
  return ShowWindowUntilClosed(instance);
}
