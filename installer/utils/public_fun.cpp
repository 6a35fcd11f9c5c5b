#include "installer/utils/public_fun.h"

#include <windows.h>
#include <bcrypt.h>
#include <objbase.h>
#include <netlistmgr.h>
#include <shlobj.h>

#include <atomic>
#include <cwctype>
#include <vector>

#include "base/check.h"
#include "base/synchronization/lock.h"
#include "base/util/string_util.h"
#include "base/win32/scoped_handle.h"
#include "base/win32/bcrypt_handles.h"

namespace {

// A process-wide answer computed on first need; an empty answer is not kept,
// so a transient failure is retried by the next caller.
class CachedPath {
 public:
  template <typename Compute>
  std::wstring Get(Compute compute) {
    base::ScopedLock hold(lock_);
    if (value_.empty()) value_ = compute();
    return value_;
  }

 private:
  base::Lock lock_;
  std::wstring value_;
};

std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path))) return std::wstring();
  return path;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Index of the last separator at index 1 or later, or npos.
size_t LastSeparator(const std::wstring& path) {
  for (size_t i = path.size(); i-- > 1;) {
    if (IsSeparator(path[i])) return i;
  }
  return std::wstring::npos;
}

class ComScope {
 public:
  ComScope() : hr_(::CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }

 private:
  HRESULT hr_;
};

// Answers a demo or test build puts in place of the system's (below zero:
// ask the system).
std::atomic<int> g_connected_answer{-1};
std::atomic<double> g_free_mb_answer{-1.0};

const CLSID kClsidNetworkListManager = {0xDCB00C01, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
const IID kIidNetworkListManager = {0xDCB00000, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};

}  // namespace

bool IsWow64() {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto fn = reinterpret_cast<IsWow64ProcessFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  return fn && fn(::GetCurrentProcess(), &wow64) && wow64;
}

bool IsArm64() {
  if (!IsWow64()) return false;
  using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
  auto fn = reinterpret_cast<IsWow64Process2Fn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process2")));
  USHORT process_machine = 0, native_machine = 0;
  if (!fn || !fn(::GetCurrentProcess(), &process_machine, &native_machine)) return false;
  return native_machine == 0xAA64;
}

std::wstring ProgramFilesFolder() {
  static CachedPath cache;
  return cache.Get([] {
    // A failed query stays empty rather than becoming a lone separator, so
    // the next caller asks again instead of installing under the root.
    if (IsWow64()) {
      wchar_t expanded[MAX_PATH] = {};
      DWORD n = ::ExpandEnvironmentStringsW(L"%ProgramW6432%", expanded, MAX_PATH);
      std::wstring folder = (n == 0 || n > MAX_PATH) ? ShellFolder(CSIDL_PROGRAM_FILES) : expanded;
      return folder.empty() ? folder : base::FormatText(L"%ls\\", folder.c_str());
    }
    // Callers normalise separators, so the forward slash is harmless.
    std::wstring folder = ShellFolder(CSIDL_PROGRAM_FILES);
    return folder.empty() ? folder : base::FormatText(L"%ls/", folder.c_str());
  });
}

std::wstring LocalAppDataFolder() {
  static CachedPath cache;
  return cache.Get([] { return LocalAppDataFolderFor(nullptr); });
}

std::wstring RoamingAppDataFolder() { return ShellFolder(CSIDL_APPDATA); }

std::wstring LocalAppDataFolderFor(HANDLE token) {
  std::wstring folder;
  if (IsVistaOrNewer()) {
    base::win32::ScopedLibrary shell(::LoadLibraryW(L"shell32.dll"));
    using KnownFolderFn = HRESULT(WINAPI*)(REFGUID, DWORD, HANDLE, PWSTR*);
    auto fn = shell ? reinterpret_cast<KnownFolderFn>(
                          reinterpret_cast<void*>(::GetProcAddress(shell.Get(), "SHGetKnownFolderPath")))
                    : nullptr;
    if (fn) {
      static const GUID kLocalAppData = {0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};
      PWSTR path = nullptr;
      if (SUCCEEDED(fn(kLocalAppData, 0x8000 /* KF_FLAG_CREATE */, token, &path)) && path) folder = path;
      ::CoTaskMemFree(path);
    }
  } else {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, token, 0, path)))
      folder = path;
  }
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder;
}

std::wstring MapLanguageCode(const std::wstring& language, const std::wstring& country) {
  if (language.empty()) return L"en";
  std::wstring lang = Lower(language);
  if (lang == L"zh") {
    std::wstring c = Lower(country);
    return (c == L"tw" || c == L"hk" || c == L"mo") ? L"tw" : L"cn";
  }
  if (lang == L"iw") return L"he";
  return lang;
}

std::wstring GetUserUILanguageCode() {
  LCID locale = MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT);
  wchar_t language[9] = {}, country[9] = {};
  ::GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, language, 9);
  ::GetLocaleInfoW(locale, LOCALE_SISO3166CTRYNAME, country, 9);
  return MapLanguageCode(language, country);
}

std::wstring NormalizeDirPath(const std::wstring& path) {
  if (path.empty()) return path;
  std::wstring result = path + L"//";
  for (wchar_t& c : result) {
    if (c == L'/') c = L'\\';
  }
  while (result.size() >= 2 && result.find(L"\\\\") != std::wstring::npos)
    base::ReplaceAllText(L"\\\\", L"\\", &result);
  return result;
}

bool IsValidInstallPath(const std::wstring& path) {
  std::wstring normalized = NormalizeDirPath(path);
  if (normalized.empty() || normalized.find(L':') == std::wstring::npos || normalized.size() < 3) return false;
  if (!PathExists(normalized.substr(0, 3), true)) return false;
  return normalized.find_first_of(L":*?\"<>|", 3) == std::wstring::npos;
}

double GetDiskFreeMB(const std::wstring& path) {
  std::wstring text = path;
  for (wchar_t& c : text) {
    if (c == L'\\') c = L'/';
  }
  if (text.size() < 3 || text.compare(1, 2, L":/") != 0) return 0;
  const double answer = g_free_mb_answer.load();
  if (answer >= 0) return answer;
  DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0, total_clusters = 0;
  if (!::GetDiskFreeSpaceW(text.substr(0, 3).c_str(), &sectors_per_cluster, &bytes_per_sector, &free_clusters,
                           &total_clusters))
    return 0;
  uint32_t cluster_bytes = bytes_per_sector * sectors_per_cluster;
  return static_cast<double>(cluster_bytes) / (1024.0 * 1024.0) * static_cast<double>(free_clusters);
}

std::string GetFileVersionString(const std::wstring& path) {
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return std::string();
  std::vector<unsigned char> data(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return std::string();
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info) return std::string();
  return base::FormatText("%d.%d.%d.%d", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                          HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
}

int64_t GetUnixTime() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER value;
  value.LowPart = ft.dwLowDateTime;
  value.HighPart = ft.dwHighDateTime;
  return static_cast<int64_t>((value.QuadPart - 116444736000000000ULL) / 10000000ULL);
}

std::string MD5Hex(const std::string& text) {
  ScopedBcryptAlgorithm algorithm;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm.Receive(), BCRYPT_MD5_ALGORITHM, nullptr, 0)))
    return std::string();
  ScopedBcryptHash hash;
  if (!BCRYPT_SUCCESS(::BCryptCreateHash(algorithm.Get(), hash.Receive(), nullptr, 0, nullptr, 0, 0)))
    return std::string();
  auto* bytes = reinterpret_cast<PUCHAR>(const_cast<char*>(text.data()));
  unsigned char digest[16];
  if (!BCRYPT_SUCCESS(::BCryptHashData(hash.Get(), bytes, static_cast<ULONG>(text.size()), 0)) ||
      !BCRYPT_SUCCESS(::BCryptFinishHash(hash.Get(), digest, sizeof(digest), 0)))
    return std::string();
  std::string hex;
  for (unsigned char b : digest) base::AppendFormatted(hex, "%02x", b);
  return hex;
}

bool IsInternetConnected() {
  const int answer = g_connected_answer.load();
  if (answer >= 0) return answer != 0;
  ComScope com;
  base::win32::ScopedComPtr<IUnknown> unknown;
  if (FAILED(::CoCreateInstance(kClsidNetworkListManager, nullptr, CLSCTX_ALL, IID_IUnknown,
                                unknown.ReceiveVoid())))
    return true;
  return public_fun_internal::IsInternetConnectedVia(unknown.Get());
}

bool public_fun_internal::IsInternetConnectedVia(IUnknown* unknown) {
  if (!unknown) return true;
  base::win32::ScopedComPtr<INetworkListManager> manager;
  if (FAILED(unknown->QueryInterface(kIidNetworkListManager, manager.ReceiveVoid()))) return true;
  VARIANT_BOOL connected = VARIANT_FALSE;
  if (FAILED(manager->IsConnectedToInternet(&connected))) return true;
  return connected == VARIANT_TRUE;
}

void ReplaceFileText(const std::wstring& path, const std::string& text) {
  FILE* file = _wfopen(path.c_str(), L"w+b");
  if (!file) return;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

bool MakeDirectoryTree(const std::wstring& path) {
  using CreateDirectoryFn = int(WINAPI*)(HWND, LPCWSTR);
  auto fn = reinterpret_cast<CreateDirectoryFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"shell32"), MAKEINTRESOURCEA(165))));
  if (!fn) return false;
  int result = fn(nullptr, path.c_str());
  return result == 0 || result == ERROR_FILE_EXISTS || result == ERROR_ALREADY_EXISTS;
}

bool MakeDirectories(const std::wstring& path) {
  if (PathExists(path, true)) return true;
  std::vector<std::wstring> prefixes;
  std::wstring prefix;
  size_t i = 0;
  // A rooted path keeps its root: \dir\sub must not become a relative dir\sub
  // under the current directory, nor \\server\share\dir a relative server\....
  if (!path.empty() && IsSeparator(path[0])) {
    bool network = path.size() > 1 && IsSeparator(path[1]);
    prefix = network ? L"\\\\" : L"\\";
    while (i < path.size() && IsSeparator(path[i])) ++i;
    if (network) {
      // Server and share name one directory together: the first that can exist.
      for (int part = 0; part < 2 && i < path.size(); ++part) {
        size_t end = path.find_first_of(L"\\/", i);
        if (end == std::wstring::npos) end = path.size();
        prefix += path.substr(i, end - i) + L"\\";
        i = end;
        while (i < path.size() && IsSeparator(path[i])) ++i;
      }
      prefixes.push_back(prefix);
    }
  }
  while (i < path.size()) {
    size_t end = i;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (end > i) {
      prefix += path.substr(i, end - i);
      if (end < path.size()) prefix += L'\\';
      prefixes.push_back(prefix);
    }
    i = end + 1;
  }
  if (prefixes.empty()) return false;
  for (const std::wstring& p : prefixes) {
    if (PathExists(p, true)) continue;
    if (!::CreateDirectoryW(p.c_str(), nullptr)) {
      if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;
      if (!PathExists(p, true)) return false;  // a file of that name is in the way
    }
  }
  return true;
}

bool PathExists(const std::wstring& path, bool directories_only) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return !directories_only || (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != FALSE; }

std::wstring ModuleFilePath(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  DWORD n = ::GetModuleFileNameW(module, path, MAX_PATH);
  return std::wstring(path, n);
}

namespace {

std::wstring OwnModulePath() {
  MEMORY_BASIC_INFORMATION mbi = {};
  SIZE_T result = ::VirtualQuery(reinterpret_cast<void*>(&OwnModulePath), &mbi, sizeof(mbi));
  BASE_CHECK(result == sizeof(mbi));
  return ModuleFilePath(static_cast<HMODULE>(mbi.AllocationBase));
}

}  // namespace

std::wstring ExecutableFolder() {
  std::wstring path = OwnModulePath();
  size_t sep = LastSeparator(path);
  return sep == std::wstring::npos ? std::wstring() : path.substr(0, sep + 1);
}

std::wstring ExecutableFileName() {
  std::wstring path = OwnModulePath();
  size_t sep = LastSeparator(path);
  return sep == std::wstring::npos ? std::wstring() : path.substr(sep + 1);
}

bool WithFileName(const std::wstring& path, const std::wstring& name, std::wstring* result) {
  size_t sep = LastSeparator(path);
  if (sep == std::wstring::npos) return false;
  *result = path.substr(0, sep + 1) + name;
  return true;
}

void public_fun_internal::SetInternetConnectedForTesting(int answer) {
  g_connected_answer.store(answer < 0 ? -1 : answer != 0);
}

void public_fun_internal::SetDiskFreeMBForTesting(double megabytes) {
  g_free_mb_answer.store(megabytes < 0 ? -1.0 : megabytes);
}
