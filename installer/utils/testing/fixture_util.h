// Shared bits of the test fixtures that stand in for the product's installer,
// the product, "tasklist" and "wmic": where a fixture records what it was
// given.
// Each fixture is a single-threaded console program of its own.
#ifndef INSTALLER_UTILS_TESTING_FIXTURE_UTIL_H_
#define INSTALLER_UTILS_TESTING_FIXTURE_UTIL_H_

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

namespace fixture {

inline std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, n);
}

inline std::wstring OwnFolder() {
  std::wstring path = OwnPath();
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The command line after the program's own name and the one blank behind it,
// exactly as the caller passed it.
inline std::wstring ParameterText() {
  const wchar_t* p = ::GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  if (*p == L' ' || *p == L'\t') ++p;
  return p;
}

inline std::vector<std::wstring> Arguments() {
  std::vector<std::wstring> args;
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.push_back(argv[i]);
  ::LocalFree(argv);
  return args;
}

inline std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// Writes |text| to standard output as it is.
inline void Print(const std::string& text) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The id of the process that started this one; 0 if unknown.
inline DWORD ParentProcessId() {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  DWORD parent = 0;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == ::GetCurrentProcessId()) parent = entry.th32ParentProcessID;
  }
  ::CloseHandle(snapshot);
  return parent;
}

// Writes "<own path>.txt": the raw command line, the parameter text, the
// own and the parent's process id, then one argument per line, UTF-8 with LF
// line ends. Written to a temporary name and renamed, so a reader never sees
// half a record.
inline bool WriteRecord() {
  std::string record = Utf8(::GetCommandLineW()) + "\n" + Utf8(ParameterText()) + "\n" +
                       std::to_string(::GetCurrentProcessId()) + " " + std::to_string(ParentProcessId()) + "\n";
  for (const std::wstring& arg : Arguments()) record += Utf8(arg) + "\n";
  std::wstring target = OwnPath() + L".txt";
  std::wstring temporary = target + L".part";
  HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = ::WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok && ::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace fixture

#endif  // INSTALLER_UTILS_TESTING_FIXTURE_UTIL_H_
