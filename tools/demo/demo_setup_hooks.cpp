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
#include <windows.h>

#include <cwchar>
#include <string>

#include "installer/HttpClient/HttpDownloader.h"
#include "installer/utils/public_fun.h"
#include "installer/utils/setup_launcher.h"

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(value, n) : std::wstring();
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
  }
};

const DemoHooks g_demo_hooks;

}  // namespace
