// The peer of the gallery's start-up figure: a program that only creates a
// 640 x 360 layered window and presents one filled bitmap, then prints the
// time from process creation to that first frame, as the gallery does.
// "--hold MS" keeps the window up that long, with a message loop: the
// resident set of a windowed program at rest under Wine, for comparison.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/bench/process_clock.h"

int main(int argc, char** argv) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VarnoBareWindow";
  ::RegisterClassExW(&wc);
  const int width = 640, height = 360;
  HWND hwnd = ::CreateWindowExW(WS_EX_LAYERED, wc.lpszClassName, L"bare", WS_POPUP, 100, 100, width, height,
                                nullptr, nullptr, wc.hInstance, nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  auto* pixels = static_cast<DWORD*>(bits);
  for (int i = 0; i < width * height; ++i) pixels[i] = 0xFFFFFFFF;  // opaque white
  ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  POINT position{100, 100}, origin{0, 0};
  SIZE size{width, height};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::UpdateLayeredWindow(hwnd, screen, &position, &size, memory, &origin, 0, &blend, ULW_ALPHA);
  ::GdiFlush();
  std::printf("firstframe %.1f\n", MillisecondsSinceProcessStart());
  std::fflush(stdout);
  if (argc > 2 && std::strcmp(argv[1], "--hold") == 0) {
    ::SetTimer(hwnd, 1, static_cast<UINT>(std::atoi(argv[2])), nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (msg.message == WM_TIMER) break;
      ::DispatchMessageW(&msg);
    }
  }
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  ::DestroyWindow(hwnd);
  return 0;
}
