#include "installer/utils/setup_launcher.h"

#include <windows.h>
#include <shellapi.h>
#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "base/synchronization/lock.h"
#include "base/util/string_util.h"
#include "base/win32/scoped_handle.h"
#include "base/log/log.h"

namespace {

// The tests' stand-in for the system folder; empty in the shipped program.
struct ToolFolderOverride {
  base::Lock lock;
  std::wstring folder;
  std::wstring only_file;  // empty: every program
};

ToolFolderOverride& ToolFolder() {
  static ToolFolderOverride override_folder;
  return override_folder;
}

// How long an ended command may take to go.
constexpr DWORD kEndWaitMs = 5000;

// "runas", hidden, and a process handle to wait on.
bool RunElevatedHiddenAndWait(const std::wstring& file, const std::wstring& parameters) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  // No shell error box: nobody would see it behind a hidden run, and the
  // caller would wait on it for ever.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = nullptr;
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = nullptr;
  info.nShow = SW_HIDE;
  if (!::ShellExecuteExW(&info)) {
    // Refused elevation lands here too.
    QLOG_ERR(L"ShellExecuteEx runas failed:{0} code:{1}") << file << static_cast<int64_t>(::GetLastError());
    return false;
  }
  base::win32::ScopedHandle process(info.hProcess);
  if (process.Valid()) ::WaitForSingleObject(process.Get(), INFINITE);
  return true;
}

bool IsNt6OrNewer() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExW(&info)) return false;
#pragma GCC diagnostic pop
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion > 5;
}

// A primary token duplicated from the process that owns the taskbar window,
// i.e. the desktop user's unelevated shell.
base::win32::ScopedHandle DuplicateShellToken(const wchar_t* taskbar_class) {
  base::win32::ScopedHandle none;
  HWND taskbar = ::FindWindowW(taskbar_class, nullptr);
  if (!taskbar) return none;
  DWORD shell_pid = 0;
  ::GetWindowThreadProcessId(taskbar, &shell_pid);
  if (!shell_pid) return none;
  base::win32::ScopedHandle shell(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, shell_pid));
  if (!shell.Valid()) return none;
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(shell.Get(), TOKEN_DUPLICATE, &raw)) return none;
  base::win32::ScopedHandle shell_token(raw);
  raw = nullptr;
  if (!::DuplicateTokenEx(shell_token.Get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &raw))
    return none;
  return base::win32::ScopedHandle(raw);
}

using CreateProcessWithTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                               LPSTARTUPINFOW, LPPROCESS_INFORMATION);

CreateProcessWithTokenFn CreateProcessWithTokenEntry() {
  // Loaded once and kept for the rest of the process.
  static HMODULE advapi = ::LoadLibraryW(L"ADVAPI32.dll");
  if (!advapi) return nullptr;
  return reinterpret_cast<CreateProcessWithTokenFn>(
      reinterpret_cast<void*>(::GetProcAddress(advapi, "CreateProcessWithTokenW")));
}

bool StartWithShellToken(const wchar_t* taskbar_class, const std::wstring& executable,
                         const std::wstring& parameters) {
  if (!IsNt6OrNewer()) return false;
  base::win32::ScopedHandle token = DuplicateShellToken(taskbar_class);
  if (!token.Valid()) return false;
  CreateProcessWithTokenFn create = CreateProcessWithTokenEntry();
  if (!create) return false;
  // The command line starts with the program itself: a program reads its
  // first argument as its own name, so bare parameters would lose the first.
  std::wstring command = L"\"" + executable + L"\"";
  if (!parameters.empty()) command += L" " + parameters;
  std::vector<wchar_t> command_buffer(command.begin(), command.end());
  command_buffer.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started = {};
  if (!create(token.Get(), LOGON_WITH_PROFILE, executable.c_str(), command_buffer.data(), NORMAL_PRIORITY_CLASS,
              nullptr, nullptr, &startup, &started))
    return false;
  base::win32::ScopedHandle process(started.hProcess);
  base::win32::ScopedHandle thread(started.hThread);
  return true;
}

// COM on the calling thread for the object's life. A thread already in the
// other kind of apartment keeps it; the shell's objects work from either.
class ScopedComInit {
 public:
  ScopedComInit() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ScopedComInit() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ScopedComInit(const ScopedComInit&) = delete;
  ScopedComInit& operator=(const ScopedComInit&) = delete;
  HRESULT Result() const { return result_ == RPC_E_CHANGED_MODE ? S_OK : result_; }

 private:
  HRESULT result_;
};

class ScopedBstr {
 public:
  explicit ScopedBstr(const std::wstring& text)
      : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~ScopedBstr() { ::SysFreeString(value_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  BSTR Get() const { return value_; }

 private:
  BSTR value_;
};

// A VARIANT that borrows |text|; the ScopedBstr stays its owner.
VARIANT BorrowedText(const ScopedBstr& text) {
  VARIANT value;
  ::VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = text.Get();
  return value;
}

VARIANT Number(LONG number) {
  VARIANT value;
  ::VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = number;
  return value;
}

// Hands the program to the desktop's own shell, which starts it with its
// token: the desktop window's shell view, its folder view object, the shell
// application behind that, and its ShellExecute. On failure |failed_step|
// names the step that failed.
HRESULT StartThroughDesktopShell(const CLSID& shell_windows_class, const std::wstring& executable,
                                 const std::wstring& parameters, const wchar_t** failed_step) {
  using base::win32::ScopedComPtr;
  // First in, last out: every interface below is released before COM goes.
  ScopedComInit com;
  HRESULT hr = com.Result();
  *failed_step = L"CoInitializeEx";
  if (FAILED(hr)) return hr;

  ScopedComPtr<IShellWindows> windows;
  *failed_step = L"ShellWindows";
  hr = ::CoCreateInstance(shell_windows_class, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                          windows.ReceiveVoid());
  if (FAILED(hr)) return hr;

  VARIANT desktop_location = Number(CSIDL_DESKTOP);
  VARIANT no_root;
  ::VariantInit(&no_root);
  LONG desktop_window = 0;
  ScopedComPtr<IDispatch> desktop;
  *failed_step = L"FindWindowSW";
  hr = windows->FindWindowSW(&desktop_location, &no_root, SWC_DESKTOP, &desktop_window, SWFO_NEEDDISPATCH,
                             desktop.Receive());
  // S_FALSE: no desktop window is registered.
  if (hr != S_OK || !desktop) return FAILED(hr) ? hr : E_FAIL;

  ScopedComPtr<IServiceProvider> services;
  *failed_step = L"IServiceProvider";
  hr = desktop->QueryInterface(IID_IServiceProvider, services.ReceiveVoid());
  if (FAILED(hr)) return hr;

  ScopedComPtr<IShellBrowser> browser;
  *failed_step = L"SID_STopLevelBrowser";
  hr = services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.ReceiveVoid());
  if (FAILED(hr)) return hr;

  ScopedComPtr<IShellView> view;
  *failed_step = L"QueryActiveShellView";
  hr = browser->QueryActiveShellView(view.Receive());
  if (FAILED(hr) || !view) return FAILED(hr) ? hr : E_FAIL;

  ScopedComPtr<IDispatch> background;
  *failed_step = L"GetItemObject";
  hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.ReceiveVoid());
  if (FAILED(hr)) return hr;

  ScopedComPtr<IShellFolderViewDual> folder_view;
  *failed_step = L"IShellFolderViewDual";
  hr = background->QueryInterface(IID_IShellFolderViewDual, folder_view.ReceiveVoid());
  if (FAILED(hr)) return hr;

  ScopedComPtr<IDispatch> application;
  *failed_step = L"get_Application";
  hr = folder_view->get_Application(application.Receive());
  if (FAILED(hr) || !application) return FAILED(hr) ? hr : E_FAIL;

  ScopedComPtr<IShellDispatch2> shell;
  *failed_step = L"IShellDispatch2";
  hr = application->QueryInterface(IID_IShellDispatch2, shell.ReceiveVoid());
  if (FAILED(hr)) return hr;

  ScopedBstr file(executable), arguments(parameters), folder(L""), verb(L"open");
  if (!file.Get() || !arguments.Get() || !folder.Get() || !verb.Get()) return E_OUTOFMEMORY;
  *failed_step = L"ShellExecute";
  return shell->ShellExecute(file.Get(), BorrowedText(arguments), BorrowedText(folder), BorrowedText(verb),
                             Number(SW_SHOW));
}

}  // namespace

bool BuildInstallerParameters(const std::wstring& directory, const std::wstring& password,
                              std::wstring* parameters) {
  parameters->clear();
  if (directory.find(L'"') != std::wstring::npos) {
    QLOG_ERR(L"run installer: the folder {0} holds a quotation mark") << directory;
    return false;
  }
  // The password is not logged: it is the package's secret.
  if (password.find(L'"') != std::wstring::npos || (!password.empty() && password.back() == L'\\')) {
    QLOG_ERR(L"run installer: the package password holds a quotation mark or ends in a backslash");
    return false;
  }
  std::wstring folder = directory;
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  // "X:" alone is the drive's current folder, and "" no folder at all: a root
  // keeps its meaning as "X:\." (or "\."), which ends in no backslash. A bare
  // "X:" passes the path check as the root, so it is taken as the root too.
  const bool bare_drive = folder.size() == 2 && folder[1] == L':';
  if (bare_drive || (folder.empty() && !directory.empty())) folder += L"\\.";

  *parameters = L"/DIR=\"" + folder + L"\"";
  *parameters += L" /tolvane_down";
  if (!password.empty()) *parameters += L" /PASSWORD=\"" + password + L"\"";
  *parameters += L" /wait_run";
  *parameters += L" /verysilent";
  return true;
}

bool RunInstaller(const std::wstring& installer, const std::wstring& directory, const std::wstring& password) {
  std::wstring parameters;
  // Switches the installer would misread could leave it neither silent nor
  // in the chosen folder: better not to start it at all.
  if (!BuildInstallerParameters(directory, password, &parameters)) return false;
  return RunElevatedHiddenAndWait(installer, parameters);
}

bool RunElevatedAndWait(const std::wstring& executable, const std::wstring& parameters) {
  return RunElevatedHiddenAndWait(executable, parameters);
}

std::wstring SystemToolPath(const std::wstring& file_name) {
  {
    base::ScopedLock hold(ToolFolder().lock);
    const ToolFolderOverride& o = ToolFolder();
    if (!o.folder.empty() && (o.only_file.empty() || _wcsicmp(o.only_file.c_str(), file_name.c_str()) == 0))
      return o.folder + file_name;
  }
  wchar_t folder[MAX_PATH] = {};
  UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    QLOG_ERR(L"system folder unknown, error:{0}") << static_cast<int64_t>(::GetLastError());
    return std::wstring();
  }
  return std::wstring(folder, length) + L"\\" + file_name;
}

void launcher_internal::SetSystemToolFolderForTesting(const std::wstring& folder, const std::wstring& only_file) {
  base::ScopedLock hold(ToolFolder().lock);
  ToolFolder().folder = folder;
  ToolFolder().only_file = only_file;
}

bool CaptureCommandOutput(const std::wstring& program, const std::wstring& arguments, const CaptureOptions& options,
                          std::string* output) {
  output->clear();
  if (program.empty()) return false;
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!::CreatePipe(&read_end, &write_end, &inheritable, 0)) return false;
  base::win32::ScopedHandle reader(read_end);
  base::win32::ScopedHandle writer(write_end);
  // Only the write end goes to the child; a child holding the read end too
  // would keep the pipe open after it wrote its last byte.
  ::SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  if (options.own_startup_info) ::GetStartupInfoW(&startup);
  startup.dwFlags |= STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdOutput = writer.Get();
  startup.hStdError = writer.Get();
  // The program's own name comes first, as every program expects.
  std::wstring command_line = L"\"" + program + L"\"";
  if (!arguments.empty()) command_line += L" " + arguments;
  std::vector<wchar_t> command(command_line.begin(), command_line.end());
  command.push_back(L'\0');
  PROCESS_INFORMATION started = {};
  DWORD flags = options.own_startup_info ? 0 : CREATE_NO_WINDOW;
  if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup,
                        &started)) {
    QLOG_ERR(L"cannot start {0}, error:{1}") << program << static_cast<int64_t>(::GetLastError());
    return false;
  }
  base::win32::ScopedHandle process(started.hProcess);
  base::win32::ScopedHandle thread(started.hThread);
  writer.Reset();

  if (::WaitForSingleObject(process.Get(), options.wait_ms) == WAIT_TIMEOUT) {
    // Left running, a hung command would pile up with every later call.
    QLOG_WAR(L"{0} still runs after {1} ms, ended") << program << static_cast<int64_t>(options.wait_ms);
    ::TerminateProcess(process.Get(), ERROR_TIMEOUT);
    ::WaitForSingleObject(process.Get(), kEndWaitMs);
  }
  // Take only what is already in the pipe: a command that hangs without
  // writing must not block the caller past the wait.
  std::vector<char> buffer(options.max_bytes);
  while (output->size() < options.max_bytes) {
    DWORD available = 0;
    if (!::PeekNamedPipe(reader.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) break;
    DWORD want = static_cast<DWORD>(std::min<size_t>(available, options.max_bytes - output->size()));
    DWORD got = 0;
    if (!::ReadFile(reader.Get(), buffer.data(), want, &got, nullptr) || got == 0) break;
    output->append(buffer.data(), got);
  }
  return true;
}

bool IsProcessRunning(const std::wstring& name) {
  // An empty name would match any output, and a quotation mark would end the
  // filter early; neither names a program.
  if (name.empty() || name.find(L'"') != std::wstring::npos) return false;
  std::wstring arguments = L"/FI \"IMAGENAME eq " + name + L"\" /NH";
  std::string output;
  if (!CaptureCommandOutput(SystemToolPath(L"tasklist.exe"), arguments, CaptureOptions(), &output) ||
      output.empty())
    return false;
  int length = ::MultiByteToWideChar(CP_ACP, 0, output.data(), static_cast<int>(output.size()), nullptr, 0);
  if (length <= 0) return false;
  std::wstring text(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, output.data(), static_cast<int>(output.size()), &text[0], length);
  return text.find(name) != std::wstring::npos;
}

bool launcher_internal::StartProductUnelevatedWith(const wchar_t* taskbar_class, const CLSID& shell_windows_class,
                                                   const std::wstring& executable, const std::wstring& parameters) {
  if (StartWithShellToken(taskbar_class, executable, parameters)) {
    QLOG_APP(L"start_run CreateLowIntegrityProcess {0}, {1}") << executable << parameters;
    return true;
  }
  // Not the installer's own ShellExecute: a program started from here would
  // inherit the administrator's token.
  const wchar_t* failed_step = L"";
  HRESULT hr = StartThroughDesktopShell(shell_windows_class, executable, parameters, &failed_step);
  if (SUCCEEDED(hr)) {
    QLOG_APP(L"start_run {0}, {1}") << executable << parameters;
    return true;
  }
  QLOG_WAR(L"start_run desktop shell: {0} failed {1}") << failed_step
                                                         << base::FormatText(L"0x%08lx", static_cast<unsigned long>(hr));
  QLOG_ERR(L"start_run {0}, {1} not started: no unelevated way") << executable << parameters;
  return false;
}

bool StartProductUnelevated(const std::wstring& executable, const std::wstring& parameters) {
  return launcher_internal::StartProductUnelevatedWith(L"Shell_TrayWnd", CLSID_ShellWindows, executable, parameters);
}

bool OpenUrl(const std::wstring& url) {
  if (url.empty()) return false;
  // The browser must not inherit the administrator's token either, so the
  // system's URL handler starts the same unelevated way as the product.
  const std::wstring rundll = SystemToolPath(L"rundll32.exe");
  if (rundll.empty()) return false;
  return StartProductUnelevated(rundll, L"url.dll,FileProtocolHandler " + url);
}
