// The process entry's work: the single-instance guard, the log set-up and the
// UI thread's loop. Runs on the process's main thread, which becomes the UI
// thread (id 0).
#ifndef INSTALLER_MAIN_ENTRY_H_
#define INSTALLER_MAIN_ENTRY_H_

#include <string>

// The compiled-in title: the wizard's window name and window class.
extern const std::wstring kAppTitle;

// "setup.exe" -> "setup"; a name with more or fewer than one dot -> "".
std::wstring ExecutableBaseName(const std::wstring& file_name);

// Sets the sink's threshold and its path under the local Temp folder; false,
// with nothing set, when the local application data folder is unknown.
bool SetUpLogging(const std::wstring& base_name);

// Makes the system folder the only place DLLs loaded by name come from, so a
// DLL with a system DLL's name put beside the installer (the Downloads folder,
// say) is never loaded into the elevated process. False, logging nothing,
// where the system lacks the means (older systems without the update).
bool RestrictDllSearchToSystemFolder();

// Exit codes besides 0 (a normal run, or another copy already running).
constexpr int kExitLoggingFailed = 1;
constexpr int kExitMutexFailed = 2;

// The whole process: returns the exit code.
int RunSetupProcess();

#endif  // INSTALLER_MAIN_ENTRY_H_
