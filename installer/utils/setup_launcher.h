// Hand-over to other programs: the product's full installer and its first
// run (elevated, hidden, waited for), the product's start for the desktop
// user, the running-process test and links in the browser. Stateless free
// functions; the two waiting ones belong on the install worker thread, the
// others may run on the UI thread.
#ifndef INSTALLER_UTILS_SETUP_LAUNCHER_H_
#define INSTALLER_UTILS_SETUP_LAUNCHER_H_

#include <windows.h>

#include <cstddef>
#include <string>

// The installer's switches, in order: /DIR="<directory>" /tolvane_down
// [/PASSWORD="<password>"] /wait_run /verysilent. A backslash before a
// closing quotation mark would escape it under the usual argument rules, so
// the directory goes without its trailing separators (a drive root as
// "X:\."); then those rules and the simpler ones many installers use, where a
// backslash never escapes, read the same folder. False, with an error line,
// when a value cannot be carried that way: a quotation mark in either, or a
// password that ends in a backslash.
bool BuildInstallerParameters(const std::wstring& directory, const std::wstring& password,
                              std::wstring* parameters);

// Runs |installer| elevated and hidden with BuildInstallerParameters() and
// waits until it ends. False, with nothing started, when the parameters
// cannot be built or the installer could not be started (elevation refused,
// no such file). The exit code is not examined: the caller checks the
// result on disk.
bool RunInstaller(const std::wstring& installer, const std::wstring& directory, const std::wstring& password);

// Runs |executable| elevated and hidden with |parameters| and waits until it
// ends. False when it could not be started.
bool RunElevatedAndWait(const std::wstring& executable, const std::wstring& parameters);

// Whether the system's "tasklist" lists a process whose image name contains
// |name| (letter case counts). False on every failure.
bool IsProcessRunning(const std::wstring& name);

// Starts |executable| so that it does not inherit the installer's elevation:
// with the token of the process that owns the taskbar, or else handed to the
// desktop shell, which starts it with its own token. True when one of them
// started it. False, with an error line, when neither could: the product is
// then not started at all rather than started elevated, and the user can
// start it from its shortcut.
bool StartProductUnelevated(const std::wstring& executable, const std::wstring& parameters);

// Opens |url| in the user's browser, started unelevated as the product is
// (the system's URL handler, rundll32 url.dll): a browser running as
// administrator would hand that right to every page. False when it could
// not be opened that way; it is then not opened at all.
bool OpenUrl(const std::wstring& url);

// The full path of a program of the system folder, such as "tasklist.exe".
// A program started by bare name is searched for in the installer's own
// folder first, where anyone may have put one of that name. Empty when the
// system folder is unknown.
std::wstring SystemToolPath(const std::wstring& file_name);

namespace launcher_internal {

// Test seam: the folder (with its trailing separator) that SystemToolPath()
// takes its programs from (only |only_file| when that is given); empty goes
// back to the system folder.
void SetSystemToolFolderForTesting(const std::wstring& folder, const std::wstring& only_file = L"");

// StartProductUnelevated with the taskbar's window class and the class of
// the desktop shell's window list as parameters, so tests can take the paths
// of a session without a taskbar, or without a desktop shell.
bool StartProductUnelevatedWith(const wchar_t* taskbar_class, const CLSID& shell_windows_class,
                                const std::wstring& executable, const std::wstring& parameters);

}  // namespace launcher_internal

struct CaptureOptions {
  DWORD wait_ms = 10000;
  size_t max_bytes = 4095;
  // Start from this process's own startup record instead of a zeroed one,
  // and without CREATE_NO_WINDOW.
  bool own_startup_info = false;
};

// Runs the program at the full path |program| with |arguments|, hidden, with
// its standard output and error on one pipe; waits up to |options.wait_ms|
// for it to end and takes what it has written by then (at most
// |options.max_bytes|). No search for the program takes place. False when it
// could not be started. A program still running after the wait is ended
// (and waited for a moment), so no hung command is left behind.
bool CaptureCommandOutput(const std::wstring& program, const std::wstring& arguments,
                          const CaptureOptions& options, std::string* output);

#endif  // INSTALLER_UTILS_SETUP_LAUNCHER_H_
