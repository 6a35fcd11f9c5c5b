// Plays the system's "tasklist" for the running-process query (Wine's own
// prints nothing): for /FI "IMAGENAME eq <name>" /NH it prints one line per
// running process whose image name equals <name> ignoring case, under its own
// spelling, or the system's "INFO:" line when there is none. Each run records
// its command line beside itself, so a test can tell whether a copy ran.
// Test switches: /SLEEP=<ms> waits silently first; /SPAM=<n> prints n bytes
// in small writes instead.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "installer/utils/testing/fixture_util.h"

namespace {

std::string Ansi(const std::wstring& text) {
  int n = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

}  // namespace

using fixture::Print;

int main() {
  fixture::WriteRecord();
  std::wstring image;
  bool filter_next = false;
  for (const std::wstring& arg : fixture::Arguments()) {
    if (arg.compare(0, 7, L"/SLEEP=") == 0) ::Sleep(static_cast<DWORD>(_wtoi(arg.c_str() + 7)));
    if (arg.compare(0, 6, L"/SPAM=") == 0) {
      int left = _wtoi(arg.c_str() + 6);
      for (; left > 0; left -= 100) Print(std::string(left < 100 ? left : 100, 'x'));
      return 0;
    }
    if (filter_next && arg.compare(0, 13, L"IMAGENAME eq ") == 0) image = arg.substr(13);
    filter_next = arg == L"/FI";
  }
  if (image.empty()) return 1;

  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  bool any = false;
  std::string lines = "\r\n";
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
    if (::lstrcmpiW(entry.szExeFile, image.c_str()) != 0) continue;
    any = true;
    char rest[64];
    std::snprintf(rest, sizeof(rest), "%8lu Console                    1     10,000 K\r\n",
                  static_cast<unsigned long>(entry.th32ProcessID));
    lines += Ansi(entry.szExeFile) + "   " + rest;
  }
  ::CloseHandle(snapshot);
  Print(any ? lines : "INFO: No tasks are running which match the specified criteria.\r\n");
  return 0;
}
