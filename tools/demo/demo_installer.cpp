// The demo full installer. Appends
//   installer<TAB>pid=<id><TAB><command line>
// to the record file (%VARNO_DEMO_RECORD%, else demo-record.txt in the target
// folder), waits %VARNO_DEMO_INSTALL_SECONDS% seconds (3 by default) as a real
// installer would take, then creates the /DIR="..." folder and writes the
// demo product it carries as a resource there as VARNO.exe.
// /tolvane_down, /PASSWORD=, /wait_run and /verysilent are accepted as given;
// it never shows a window, /verysilent or not. Exit code 0 on success, 2
// without /DIR=, 1 when the folder or VARNO.exe cannot be written.
// The served copy has padding appended, which Windows does not load.
// A single-threaded GUI program.
#include <shlobj.h>

#include <cstdlib>

#include "tools/demo/demo_record.h"

namespace {

constexpr int kProductResource = 101;

bool WriteProduct(const std::wstring& target) {
  HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(kProductResource), MAKEINTRESOURCEW(10) /*RT_RCDATA*/);
  HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) return false;
  DWORD size = ::SizeofResource(nullptr, found);
  std::wstring temporary = target + L".part";
  HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = ::WriteFile(file, data, size, &written, nullptr) && written == size;
  ::CloseHandle(file);
  // Renamed into place, so a product that is there is whole.
  return ok && ::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::wstring folder;
  for (const std::wstring& arg : fixture::Arguments()) {
    if (arg.compare(0, 5, L"/DIR=") == 0) folder = arg.substr(5);
  }
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  std::wstring record = demo::RecordPath(folder.empty() ? fixture::OwnFolder() : folder);
  if (!folder.empty()) ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  bool recorded = demo::AppendRecord(record, "installer", "");
  if (folder.empty()) return 2;

  int seconds = 3;
  wchar_t text[16] = {};
  if (::GetEnvironmentVariableW(L"VARNO_DEMO_INSTALL_SECONDS", text, 16) > 0) seconds = _wtoi(text);
  if (seconds > 0 && seconds < 600) ::Sleep(static_cast<DWORD>(seconds) * 1000);

  if (::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr) != ERROR_SUCCESS &&
      ::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
    return 1;
  return WriteProduct(folder + L"\\VARNO.exe") && recorded ? 0 : 1;
}
