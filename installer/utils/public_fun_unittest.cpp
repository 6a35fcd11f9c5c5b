#include "installer/utils/public_fun.h"

#include <windows.h>
#include <netlistmgr.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "base/util/string_util.h"

namespace {

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  return temp;
}

// Doubled and forward separators collapse; the result ends in exactly one
// backslash (a network path's leading pair collapses too).
TEST(PathRulesTest, NormalizeDirPath) {
  EXPECT_EQ(L"D:\\Program Files\\App\\", NormalizeDirPath(L"D:/Program Files//App"));
  EXPECT_EQ(L"", NormalizeDirPath(L""));
  EXPECT_EQ(L"C:\\", NormalizeDirPath(L"C:"));
  EXPECT_EQ(L"\\server\\share\\", NormalizeDirPath(L"\\\\server\\share\\\\\\"));
}

TEST(PathRulesTest, IsValidInstallPath) {
  EXPECT_TRUE(IsValidInstallPath(L"C:\\Program Files\\App"));
  EXPECT_TRUE(IsValidInstallPath(L"c:/new/folder/that/does/not/exist"));
  EXPECT_FALSE(IsValidInstallPath(L"C:\\a|b"));
  EXPECT_FALSE(IsValidInstallPath(L"C:\\a\\b:c"));
  EXPECT_FALSE(IsValidInstallPath(L"C:\\what?"));
  EXPECT_FALSE(IsValidInstallPath(L"Q:\\x")) << "drive Q does not exist in the test prefix";
  EXPECT_FALSE(IsValidInstallPath(L"relative\\path"));
  EXPECT_FALSE(IsValidInstallPath(L""));
}

// Free megabytes of the path's drive, as the system counts them there.
double SystemFreeMB(const wchar_t* root) {
  DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0, total_clusters = 0;
  if (!::GetDiskFreeSpaceW(root, &sectors_per_cluster, &bytes_per_sector, &free_clusters, &total_clusters)) return -1;
  return static_cast<double>(bytes_per_sector * sectors_per_cluster) / (1 << 20) * free_clusters;
}

TEST(PathRulesTest, DiskFreeNeedsADriveLetter) {
  // Other programs write to the disk meanwhile: the answer lies between two
  // readings of the drive taken around it, at some try of a few.
  bool bracketed = false;
  for (int attempt = 0; attempt < 10 && !bracketed; ++attempt) {
    const double before = SystemFreeMB(L"C:/");
    const double answer = GetDiskFreeMB(L"C:\\users");
    const double after = SystemFreeMB(L"C:/");
    ASSERT_GT(before, 1.0);
    bracketed = std::min(before, after) <= answer && answer <= std::max(before, after);
  }
  EXPECT_TRUE(bracketed) << "GetDiskFreeMB(C:\\users) is not the free space of C:";
  EXPECT_EQ(0, GetDiskFreeMB(L"\\\\server\\share"));
  EXPECT_EQ(0, GetDiskFreeMB(L"C:"));
  EXPECT_EQ(0, GetDiskFreeMB(L"Q:\\"));
}

TEST(PathRulesTest, WithFileName) {
  std::wstring out;
  EXPECT_TRUE(WithFileName(L"C:\\dir\\setup.exe", L"product.exe", &out));
  EXPECT_EQ(L"C:\\dir\\product.exe", out);
  EXPECT_TRUE(WithFileName(L"C:/dir/", L"x", &out));
  EXPECT_EQ(L"C:/dir/x", out);
  EXPECT_FALSE(WithFileName(L"setup.exe", L"x", &out));
  EXPECT_FALSE(WithFileName(L"\\setup.exe", L"x", &out)) << "a separator at index 0 does not count";
}

// Cumulative prefixes are created; a file in the way makes it fail.
TEST(FileHelpersTest, MakeDirectories) {
  std::wstring root = TempFolder() + L"varno_mkdirs\\";
  std::wstring deep = root + L"a//b/c";
  ASSERT_TRUE(MakeDirectories(deep));
  EXPECT_TRUE(PathExists(root + L"a\\b\\c", true));
  EXPECT_TRUE(MakeDirectories(deep)) << "an existing directory is fine";

  std::wstring blocker = root + L"file";
  ReplaceFileText(blocker, "x");
  EXPECT_TRUE(PathExists(blocker, false));
  EXPECT_FALSE(PathExists(blocker, true));
  EXPECT_FALSE(MakeDirectories(blocker + L"\\sub"));
  EXPECT_FALSE(MakeDirectories(L""));

  // A rooted path stays rooted: "\\name" is made at the drive's root, not
  // under the current directory.
  std::wstring cwd_before(MAX_PATH, L'\0');
  cwd_before.resize(::GetCurrentDirectoryW(MAX_PATH, &cwd_before[0]));
  ASSERT_TRUE(::SetCurrentDirectoryW(root.c_str()));
  std::wstring rooted = base::FormatText(L"\\varno_rooted_%lu", ::GetCurrentProcessId());
  EXPECT_TRUE(MakeDirectories(rooted + L"\\inner"));
  EXPECT_TRUE(PathExists(root.substr(0, 2) + rooted + L"\\inner", true));
  EXPECT_FALSE(PathExists(root + rooted.substr(1), true));
  ::RemoveDirectoryW((root.substr(0, 2) + rooted + L"\\inner").c_str());
  ::RemoveDirectoryW((root.substr(0, 2) + rooted).c_str());
  ::SetCurrentDirectoryW(cwd_before.c_str());

  EXPECT_TRUE(MakeDirectoryTree(root + L"tree\\x\\y"));
  EXPECT_TRUE(MakeDirectoryTree(root + L"tree\\x\\y")) << "already exists counts as success";
  EXPECT_TRUE(RemoveFile(blocker));
  EXPECT_FALSE(RemoveFile(blocker));
  for (const wchar_t* leaf : {L"tree\\x\\y", L"tree\\x", L"tree", L"a\\b\\c", L"a\\b", L"a", L""})
    ::RemoveDirectoryW((root + leaf).c_str());
}

TEST(FileHelpersTest, ReplaceFileTextTruncates) {
  std::wstring path = TempFolder() + L"varno_replace.txt";
  ReplaceFileText(path, "first longer text");
  ReplaceFileText(path, "zh");
  FILE* f = _wfopen(path.c_str(), L"rb");
  ASSERT_NE(nullptr, f);
  char buffer[64] = {};
  size_t n = std::fread(buffer, 1, sizeof(buffer), f);
  std::fclose(f);
  EXPECT_EQ("zh", std::string(buffer, n));
  RemoveFile(path);
}

TEST(SystemInfoTest, Md5ThroughTheSystem) {
  EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", MD5Hex("abc"));
  EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", MD5Hex(""));
}

TEST(SystemInfoTest, LanguageCodeMapping) {
  EXPECT_EQ(L"tw", MapLanguageCode(L"zh", L"HK"));
  EXPECT_EQ(L"tw", MapLanguageCode(L"ZH", L"mo"));
  EXPECT_EQ(L"tw", MapLanguageCode(L"zh", L"TW"));
  EXPECT_EQ(L"cn", MapLanguageCode(L"zh", L"SG"));
  EXPECT_EQ(L"cn", MapLanguageCode(L"zh", L""));
  EXPECT_EQ(L"he", MapLanguageCode(L"iw", L"IL"));
  EXPECT_EQ(L"en", MapLanguageCode(L"", L"US"));
  EXPECT_EQ(L"kok", MapLanguageCode(L"KOK", L"IN"));
}

// Child mode of this test binary: started by InterfaceLanguageFollowsLocale
// with a report path, it writes "<LANGID hex> <code>" there and exits before
// any test runs.
struct UiLanguageReporter {
  UiLanguageReporter() {
    wchar_t report[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"VARNO_UI_LANGUAGE_REPORT", report, MAX_PATH)) return;
    std::string line = base::FormatText("%04x ", ::GetUserDefaultUILanguage()) +
                       base::WideToUtf8(GetUserUILanguageCode());
    // Written aside and renamed, so the parent never reads half a report.
    std::wstring part = std::wstring(report) + L".part";
    ReplaceFileText(part, line);
    ::MoveFileExW(part.c_str(), report, MOVEFILE_REPLACE_EXISTING);
    ::ExitProcess(0);
  }
} g_ui_language_reporter;

// The unix loader of this Wine, as a Windows path, or empty off Wine.
std::wstring WineLoader() {
  wchar_t loader[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"WINELOADER", loader, MAX_PATH) || loader[0] != L'/') return std::wstring();
  std::wstring path = std::wstring(L"Z:") + loader;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

// Runs this binary as a child under |lc_all|; answers the child's report.
// Wine takes the locale from the unix environment, which a Windows child
// inherits from its parent's unix process; so the child is started through
// the unix loader, whose unix environment is made from ours.
std::string ReportUnderLocale(const std::wstring& loader, const std::wstring& lc_all) {
  std::wstring report = TempFolder() + base::FormatText(L"varno_ui_language_%lu.txt", ::GetCurrentProcessId());
  RemoveFile(report);
  ::SetEnvironmentVariableW(L"LC_ALL", lc_all.c_str());
  ::SetEnvironmentVariableW(L"VARNO_UI_LANGUAGE_REPORT", report.c_str());
  // The loader's own name as argv[0]: a 64-bit-only loader started as
  // "wine" takes itself for the 32-bit one and fails to exec its partner.
  wchar_t unix_loader[MAX_PATH] = {};
  ::GetEnvironmentVariableW(L"WINELOADER", unix_loader, MAX_PATH);
  std::wstring name(unix_loader);
  name = name.substr(name.find_last_of(L'/') + 1);
  std::wstring command = (name.empty() ? std::wstring(L"wine") : name) + L" \"" + ModuleFilePath(nullptr) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started = {};
  BOOL ok = ::CreateProcessW(loader.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &started);
  ::SetEnvironmentVariableW(L"VARNO_UI_LANGUAGE_REPORT", nullptr);
  if (!ok) {
    std::printf("starting %s failed: %lu\n", base::WideToUtf8(loader).c_str(), ::GetLastError());
    return std::string();
  }
  // The handle of a unix program is signalled when it has started the child,
  // not when the child ends: wait for the report itself.
  for (DWORD t0 = ::GetTickCount(); !PathExists(report, false) && ::GetTickCount() - t0 < 15000;) ::Sleep(50);
  ::CloseHandle(started.hProcess);
  ::CloseHandle(started.hThread);
  std::string line;
  FILE* f = _wfopen(report.c_str(), L"rb");
  if (f) {
    char buffer[64] = {};
    line.assign(buffer, std::fread(buffer, 1, sizeof(buffer), f));
    std::fclose(f);
  }
  RemoveFile(report);
  return line;
}

// Under Wine the interface language follows LC_ALL (Wine reads the locale
// name itself; the host need not have it generated).
// With VARNO_EXPECT_UI_LANGUAGE set (the test command runs the binary under
// one LC_ALL per run) only this process's own answer is checked.
TEST(SystemInfoTest, InterfaceLanguageFollowsLocale) {
  if (const char* expected = std::getenv("VARNO_EXPECT_UI_LANGUAGE")) {
    EXPECT_EQ(base::Utf8ToWide(expected), GetUserUILanguageCode());
    return;
  }
  std::wstring loader = WineLoader();
  ASSERT_FALSE(loader.empty()) << "no WINELOADER: the tests run under Wine, whose locale comes from the unix side";
  wchar_t saved[256] = {};
  bool had_lc_all = ::GetEnvironmentVariableW(L"LC_ALL", saved, 256) != 0;
  struct Case {
    const wchar_t* lc_all;
    const char* report;  // LANGID and catalogue code
  } cases[] = {
      {L"zh_TW.UTF-8", "0404 tw"}, {L"zh_HK.UTF-8", "0c04 tw"}, {L"zh_MO.UTF-8", "1404 tw"},
      {L"zh_SG.UTF-8", "1004 cn"}, {L"zh_CN.UTF-8", "0804 cn"}, {L"he_IL.UTF-8", "040d he"},
      {L"de_DE.UTF-8", "0407 de"}, {L"C.UTF-8", "0409 en"},
  };
  for (const Case& c : cases) {
    // An English answer for another locale means LC_ALL did not reach the child.
    // Wine's start-up of the child through the unix loader was seen to fail
    // now and then ("Application could not be started"); that is not the
    // answer under test, so a child that never reports gets one more try.
    std::string report = ReportUnderLocale(loader, c.lc_all);
    if (report.empty()) report = ReportUnderLocale(loader, c.lc_all);
    EXPECT_EQ(c.report, report) << base::WideToUtf8(c.lc_all);
  }
  if (had_lc_all) {
    ::SetEnvironmentVariableW(L"LC_ALL", saved);
  } else {
    ::SetEnvironmentVariableW(L"LC_ALL", nullptr);
  }
}

TEST(SystemInfoTest, FoldersAndArchitecture) {
  std::wstring local = LocalAppDataFolder();
  ASSERT_FALSE(local.empty());
  EXPECT_EQ(L'\\', local.back());
  EXPECT_EQ(local, LocalAppDataFolderFor(nullptr));
  EXPECT_TRUE(PathExists(local, true));
  std::wstring program_files = ProgramFilesFolder();
#ifdef _WIN64
  EXPECT_FALSE(IsWow64());
  EXPECT_EQ(L'/', program_files.back());
#else
  EXPECT_TRUE(IsWow64()) << "the tests run on 64-bit Wine";
  EXPECT_EQ(L'\\', program_files.back());
  EXPECT_EQ(L"C:\\Program Files\\", program_files);
#endif
  EXPECT_FALSE(IsArm64());
  EXPECT_TRUE(IsVistaOrNewer());
  EXPECT_NE(std::wstring::npos, ExecutableFileName().find(L"unittests"));
  EXPECT_EQ(ExecutableFolder() + ExecutableFileName(), ModuleFilePath(nullptr));
  EXPECT_GT(GetUnixTime(), 1767225600) << "after 2026-01-01";
  EXPECT_EQ("", GetFileVersionString(L"C:\\no\\such\\file.exe"));
  EXPECT_FALSE(GetFileVersionString(L"C:\\windows\\system32\\kernel32.dll").empty());
}

// A network-list object that answers as told; IUnknown only when
// |is_manager| is false.
class FakeNetworkList : public INetworkListManager {
 public:
  FakeNetworkList(bool is_manager, HRESULT result, VARIANT_BOOL connected)
      : is_manager_(is_manager), result_(result), connected_(connected) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == __uuidof(IUnknown) || (is_manager_ && iid == __uuidof(INetworkListManager))) *out = this;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetNetworks(NLM_ENUM_NETWORK, IEnumNetworks**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNetwork(GUID, INetwork**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNetworkConnections(IEnumNetworkConnections**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetNetworkConnection(GUID, INetworkConnection**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsConnectedToInternet(VARIANT_BOOL* connected) override {
    *connected = connected_;
    return result_;
  }
  HRESULT STDMETHODCALLTYPE IsConnected(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetConnectivity(NLM_CONNECTIVITY*) override { return E_NOTIMPL; }

 private:
  const bool is_manager_;
  const HRESULT result_;
  const VARIANT_BOOL connected_;
};

// Offline only when the service positively says so; no service, no manager
// behind it, or a failing question all count as online.
TEST(SystemInfoTest, InternetConnectedUnlessTheSystemSaysOffline) {
  const struct {
    bool is_manager;
    HRESULT result;
    VARIANT_BOOL connected;
    bool expected;
  } cases[] = {
      {true, S_OK, VARIANT_TRUE, true},
      {true, S_OK, VARIANT_FALSE, false},
      {true, E_FAIL, VARIANT_FALSE, true},
      {false, S_OK, VARIANT_FALSE, true},
  };
  for (const auto& c : cases) {
    FakeNetworkList network_list(c.is_manager, c.result, c.connected);
    EXPECT_EQ(c.expected, public_fun_internal::IsInternetConnectedVia(&network_list))
        << c.is_manager << " " << c.result << " " << c.connected;
  }
  EXPECT_TRUE(public_fun_internal::IsInternetConnectedVia(nullptr));
}

}  // namespace
