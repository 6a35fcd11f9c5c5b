#include "installer/main/entry.h"

#include <windows.h>

#include "base/framework/framework_thread.h"
#include "base/util/string_util.h"
#include "installer/main/main_thread.h"
#include "base/log/log.h"
#include "installer/utils/public_fun.h"

const std::wstring kAppTitle = L"Install VARNO";

std::wstring ExecutableBaseName(const std::wstring& file_name) {
  std::vector<std::wstring> pieces = base::SplitText(file_name, L".");
  return pieces.size() == 2 ? pieces[0] : std::wstring();
}

bool SetUpLogging(const std::wstring& base_name) {
  QLOG_APP(L"app: started");
  const std::wstring local = LocalAppDataFolderFor(nullptr);
  if (local.empty()) {
    // A log under "Temp" of whatever the current directory is would be lost
    // to whoever looks for it; say so where it can be seen.
    QLOG_ERR(L"app: no local application data folder, error:{0}") << ::GetLastError();
    return false;
  }
  std::wstring temp_folder = local + L"Temp\\";
  if (!PathExists(temp_folder, true)) MakeDirectories(temp_folder);
  LogFile* sink = LogFile::GetInstance();
  sink->SetLogLevel(LV_APP);
  sink->SetLogFile(temp_folder + base_name + L"_log.txt");
  return true;
}

bool RestrictDllSearchToSystemFolder() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  if (!kernel32) return false;
  auto restrict_search = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  return restrict_search && restrict_search(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

int RunSetupProcess() {
  // Before anything can load a DLL by name.
  RestrictDllSearchToSystemFolder();
  std::wstring base_name = ExecutableBaseName(ExecutableFileName());
  // Deliberately never closed: the mutex guards the name until the process ends.
  HANDLE mutex = ::CreateMutexW(nullptr, TRUE, base_name.empty() ? nullptr : base_name.c_str());
  if (!mutex) {
    // Not another copy: the name is held by something this process may not
    // open, or by an object of another kind. Running unguarded could start
    // two installations, so stop, and say why.
    const DWORD error = ::GetLastError();
    if (SetUpLogging(base_name)) QLOG_ERR(L"app: cannot create the instance mutex, error:{0}") << error;
    return kExitMutexFailed;
  }
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    return 0;
  }
  if (!SetUpLogging(base_name)) return kExitLoggingFailed;

  QLOG_APP(L"------- start setup -------");
  QLOG_APP(L"app: run message loop");
  {
    MainThread main_thread("MainThread", base::kUiThreadId);
    main_thread.RunOnCallingThread(base::kLoopUi, nullptr);
  }
  QLOG_APP(L"app: leave message loop");
  return 0;
}
