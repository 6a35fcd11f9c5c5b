// Driver of tools/bench/download_bench.sh: times one CHttpDownloader run,
// from Start to the finished message, seen by a message-only window; or
// times the joining of existing part files alone.
//
//   download_bench.exe download URL DIR\      -> "result R whole S elapsed S reports N"
//   download_bench.exe join TARGET PART...    -> "join S"
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "installer/HttpClient/HttpDownloader.h"

namespace {

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Watch {
  int reports = 0;
  int last_percent = 0;
  bool finished = false;
  LPARAM result = 0;
  double finished_at = 0;
};

LRESULT CALLBACK WatchProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* watch = reinterpret_cast<Watch*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (watch && message == WM_DOWNLOAD_PROGRESS) {
    ++watch->reports;
    watch->last_percent = reinterpret_cast<const DownloadProgress*>(lparam)->percent;
    return 0;
  }
  if (watch && message == WM_DOWNLOAD_FINISHED) {
    watch->finished_at = Seconds();
    watch->finished = true;
    watch->result = lparam;
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

int Download(const wchar_t* url, const wchar_t* dir) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WatchProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VarnoDownloadBench";
  ::RegisterClassExW(&wc);
  HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                nullptr);
  if (!hwnd) {
    fprintf(stderr, "no window (%lu)\n", ::GetLastError());
    return 2;
  }
  Watch watch;
  ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&watch));
  int code = 1;
  {
    CHttpDownloader downloader(hwnd, url, dir);
    // The wizard makes the downloader long before the user starts it.
    downloader.WaitForSizeQueryForTesting(60000);
    const double start = Seconds();
    if (downloader.Start()) {
      MSG msg;
      while (!watch.finished && ::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
      printf("result %d whole %.3f elapsed %.3f reports %d last %d\n", static_cast<int>(watch.result),
             watch.finished_at - start, downloader.GetElapsedSeconds(), watch.reports, watch.last_percent);
      code = watch.result == 1 ? 0 : 1;
    }
  }
  ::DestroyWindow(hwnd);
  return code;
}

int Join(int count, wchar_t** args) {
  std::vector<std::wstring> parts(args + 1, args + count);
  const double start = Seconds();
  const bool ok = CHttpDownloader::JoinPartFiles(args[0], parts);
  printf("join %.3f\n", Seconds() - start);
  return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && wcscmp(argv[1], L"download") == 0) return Download(argv[2], argv[3]);
  if (argc >= 4 && wcscmp(argv[1], L"join") == 0) return Join(argc - 2, argv + 2);
  fprintf(stderr, "usage: download_bench download URL DIR\\ | join TARGET PART...\n");
  return 2;
}
