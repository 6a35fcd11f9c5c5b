// The installation after a successful download: the full installer run
// silently, the language cache file, the product's configuration run, and
// the pure rules the wizard applies around them. The task is a copy of every
// input, made on the UI thread, so the worker thread never reads the wizard
// or its controls; its only way back is the posted WM_INSTALL_FINISHED.
#ifndef INSTALLER_WIZARD_INSTALL_TASK_H_
#define INSTALLER_WIZARD_INSTALL_TASK_H_

#include <windows.h>

#include <string>

// Posted to the wizard when the installation thread ends; wParam is the
// InstallOutcome (0 for success), lParam 0.
constexpr UINT WM_INSTALL_FINISHED = WM_USER + 103;  // 0x467

enum InstallOutcome : WPARAM {
  kInstallSucceeded = 0,
  // The installer could not be started (elevation refused, file missing,
  // switches that cannot be carried); the downloaded file is kept.
  kInstallerNotStarted = 1,
  // The installer ended but the product's executable is not there.
  kProductMissing = 2,
  // The product's configuration run could not be started.
  kConfigurationNotStarted = 3,
};

struct InstallTask {
  HWND notify_window = nullptr;
  std::wstring installer_file;
  // Normalised, the same folder the checks passed and the settings hold.
  std::wstring install_folder;
  std::wstring password;
  std::wstring product_exe;
  std::wstring language_cache_file;
  std::wstring language_key;  // ASCII
  bool default_viewer = true;
};

// The steps in order, on the calling thread; blocks until the installer and
// the configuration run have ended.
InstallOutcome RunInstallTask(const InstallTask& task);

// Runs RunInstallTask on a thread of its own, which posts WM_INSTALL_FINISHED
// to |task.notify_window| and ends. False when no thread could be started.
bool StartInstallThread(const InstallTask& task);

// "--install=1 --language=German".
std::wstring ProductParameters(bool default_viewer, const std::wstring& language_key);

// The analytics suffix for a download of |seconds| (truncated to whole
// seconds first): "" for 0 or less, "0-15s", ..., "over 10mins".
std::string DownloadTimeBucket(double seconds);

// The bar's value for a download percentage: ceil(percent * 0.9), computed
// in integers so 100 gives exactly 90.
int ProgressStep(int percent);

// The field's text after the folder browser chose |chosen|: the folder, a
// separator, INSTALL_DIR1 and, when set, "\" INSTALL_DIR2, with every '/'
// turned into '\'.
std::wstring BrowsedInstallPath(const std::wstring& chosen, const std::wstring& folder_name,
                                const std::wstring& subfolder_name);

#endif  // INSTALLER_WIZARD_INSTALL_TASK_H_
