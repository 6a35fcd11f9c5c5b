// Linked into the demo-rebranded installer only, never into the shipped one:
// lets the end-to-end tests stand in for parts of the machine they cannot
// arrange for real under Wine. Read from the environment before the entry
// runs:
//   VARNO_DEMO_SYSTEM_TOOLS  folder (Windows path) whose tasklist.exe answers
//                            the running-product check; Wine's own lists nothing
//   VARNO_DEMO_NETWORK       "up" or "down": the network-list service's answer
//   VARNO_DEMO_FREE_MB       the free space of every drive, in MiB
//   VARNO_DEMO_RETRY_PAUSE_MS the downloader's first pause before a part's
//                            retry, so that a stopped server fails in a moment
//   VARNO_DEMO_FRAME_LOG     file (Windows path) that gets a line
//                            "frame <n> <ms since process start> <alpha>" for
//                            each frame up to the first opaque one (every
//                            frame with VARNO_DEMO_FRAME_LOG_ALL=1): the
//                            start benchmark's clock, and its paint count
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "installer/HttpClient/HttpDownloader.h"
#include "installer/utils/public_fun.h"
#include "installer/utils/setup_launcher.h"
#include "tools/bench/process_clock.h"
#include "ui/window/window.h"

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(value, n) : std::wstring();
}

std::wstring g_frame_log;
bool g_frame_log_done = false;
bool g_frame_log_all = false;

void LogFrame(HWND, int paint_count, BYTE alpha) {
  if (g_frame_log_done) return;
  const double ms = MillisecondsSinceProcessStart();
  if (FILE* file = _wfopen(g_frame_log.c_str(), L"a")) {
    std::fprintf(file, "frame %d %.1f %d\n", paint_count, ms, alpha);
    std::fclose(file);
  }
  g_frame_log_done = alpha == 255 && !g_frame_log_all;
}

struct DemoHooks {
  DemoHooks() {
    std::wstring tools = Environment(L"VARNO_DEMO_SYSTEM_TOOLS");
    if (!tools.empty()) {
      if (tools.back() != L'\\') tools += L'\\';
      launcher_internal::SetSystemToolFolderForTesting(tools, L"tasklist.exe");
    }
    const std::wstring network = Environment(L"VARNO_DEMO_NETWORK");
    if (network == L"up") public_fun_internal::SetInternetConnectedForTesting(1);
    if (network == L"down") public_fun_internal::SetInternetConnectedForTesting(0);
    const std::wstring free_mb = Environment(L"VARNO_DEMO_FREE_MB");
    if (!free_mb.empty()) public_fun_internal::SetDiskFreeMBForTesting(std::wcstod(free_mb.c_str(), nullptr));
    const std::wstring pause = Environment(L"VARNO_DEMO_RETRY_PAUSE_MS");
    if (!pause.empty()) CHttpDownloader::SetRetryPauseForTesting(std::wcstoul(pause.c_str(), nullptr, 10));
    g_frame_log = Environment(L"VARNO_DEMO_FRAME_LOG");
    g_frame_log_all = Environment(L"VARNO_DEMO_FRAME_LOG_ALL") == L"1";
    if (!g_frame_log.empty()) ui::Window::SetFramePresentedHook(&LogFrame);
  }
};

const DemoHooks g_demo_hooks;

}  // namespace
