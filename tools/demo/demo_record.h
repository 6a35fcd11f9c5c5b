// Where the demo installer and the demo product write what happened to them:
// one line per event, UTF-8, fields separated by TAB, the exact command line
// last. The file is %VARNO_DEMO_RECORD% when set (a test points it at a file
// of its own), else demo-record.txt in |default_folder|. Each line goes out
// in one appending write, so lines of two processes never interleave.
#ifndef TOOLS_DEMO_DEMO_RECORD_H_
#define TOOLS_DEMO_DEMO_RECORD_H_

#include <string>

#include "installer/utils/testing/fixture_util.h"

namespace demo {

inline std::wstring RecordPath(std::wstring default_folder) {
  wchar_t path[MAX_PATH] = {};
  DWORD n = ::GetEnvironmentVariableW(L"VARNO_DEMO_RECORD", path, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return std::wstring(path, n);
  if (!default_folder.empty() && default_folder.back() != L'\\' && default_folder.back() != L'/')
    default_folder += L'\\';
  return default_folder + L"demo-record.txt";
}

// Appends "<kind>\tpid=<process id>[\t<fields>]\t<command line>\n".
inline bool AppendRecord(const std::wstring& path, const std::string& kind, const std::string& fields) {
  std::string line = kind + "\tpid=" + std::to_string(::GetCurrentProcessId()) + (fields.empty() ? "" : "\t") +
                     fields + "\t" + fixture::Utf8(::GetCommandLineW()) + "\n";
  HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok && written == line.size();
}

}  // namespace demo

#endif  // TOOLS_DEMO_DEMO_RECORD_H_
