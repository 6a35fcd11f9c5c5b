#include "installer/wizard/install_task.h"

#include <memory>

#include "base/log/log.h"
#include "installer/utils/public_fun.h"
#include "installer/utils/setup_launcher.h"

namespace {

DWORD WINAPI InstallThreadMain(void* param) {
  std::unique_ptr<InstallTask> task(static_cast<InstallTask*>(param));
  const InstallOutcome outcome = RunInstallTask(*task);
  // A window destroyed meanwhile simply refuses the post.
  ::PostMessageW(task->notify_window, WM_INSTALL_FINISHED, outcome, 0);
  return 0;
}

}  // namespace

InstallOutcome RunInstallTask(const InstallTask& task) {
  MakeDirectoryTree(task.install_folder);
  if (!PathExists(task.installer_file, false) ||
      !RunInstaller(task.installer_file, task.install_folder, task.password)) {
    QLOG_ERR(L"installer not started: {0}") << task.installer_file;
    return kInstallerNotStarted;
  }
  QLOG_APP(L"------- finish silent install -------");
  RemoveFile(task.installer_file);
  if (!PathExists(task.product_exe, false)) {
    // Elevation refused, or an installer that did nothing: nothing to
    // configure, and nothing to call installed.
    QLOG_ERR(L"product missing after the installer: {0}") << task.product_exe;
    return kProductMissing;
  }
  ReplaceFileText(task.language_cache_file, std::string(task.language_key.begin(), task.language_key.end()));
  if (!RunElevatedAndWait(task.product_exe, ProductParameters(task.default_viewer, task.language_key)))
    return kConfigurationNotStarted;
  return kInstallSucceeded;
}

bool StartInstallThread(const InstallTask& task) {
  auto copy = std::make_unique<InstallTask>(task);
  HANDLE thread = ::CreateThread(nullptr, 0, InstallThreadMain, copy.get(), 0, nullptr);
  if (!thread) {
    QLOG_ERR(L"install thread not started, error:{0}") << static_cast<int64_t>(::GetLastError());
    return false;
  }
  copy.release();  // the thread owns it now
  ::CloseHandle(thread);
  return true;
}

std::wstring ProductParameters(bool default_viewer, const std::wstring& language_key) {
  return std::wstring(default_viewer ? L"--install=1" : L"--install=0") + L" --language=" + language_key;
}

std::string DownloadTimeBucket(double seconds) {
  const long long whole = static_cast<long long>(seconds);  // towards zero
  if (whole <= 0) return std::string();
  struct Bucket {
    long long up_to;
    const char* suffix;
  };
  static const Bucket kBuckets[] = {{15, "0-15s"},    {30, "15.1-30s"}, {60, "30.1s-1min"},
                                    {120, "1-2mins"}, {180, "2-3mins"}, {300, "3-5mins"},
                                    {600, "5-10mins"}};
  for (const Bucket& bucket : kBuckets) {
    if (whole <= bucket.up_to) return bucket.suffix;
  }
  return "over 10mins";
}

int ProgressStep(int percent) { return percent <= 0 ? 0 : (percent * 9 + 9) / 10; }

std::wstring BrowsedInstallPath(const std::wstring& chosen, const std::wstring& folder_name,
                                const std::wstring& subfolder_name) {
  std::wstring path = chosen;
  if (path.empty() || path.back() != L'\\') path += L'\\';
  path += folder_name;
  if (!subfolder_name.empty()) path += L"\\" + subfolder_name;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}
