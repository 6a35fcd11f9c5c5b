#include "installer/main/entry.h"

#include <windows.h>
#include <shlobj.h>

#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "base/util/string_util.h"
#include "base/win32/scoped_handle.h"
#include "installer/main/startup_hooks.h"
#include "installer/utils/language.h"
#include "ui/core/global_resources.h"

namespace {

TEST(ExecutableBaseNameTest, ExactlyOneDotNamesTheGuard) {
  EXPECT_EQ(L"setup", ExecutableBaseName(L"setup.exe"));
  EXPECT_EQ(L"", ExecutableBaseName(L"a.b.exe"));
  EXPECT_EQ(L"", ExecutableBaseName(L"setup"));
  // Empty pieces between dots are dropped.
  EXPECT_EQ(L"a", ExecutableBaseName(L"a..exe"));
  EXPECT_EQ(L"", ExecutableBaseName(L""));
}

std::wstring TestFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring full(path, n);
  return full.substr(0, full.find_last_of(L"\\/") + 1);
}

std::wstring LogPathFor(const std::wstring& base_name) {
  wchar_t local[MAX_PATH];
  ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local);
  return std::wstring(local) + L"\\Temp\\" + base_name + L"_log.txt";
}

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(base::WideToUtf8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

// Copies the built installer under another file name and starts copies of it.
class InstallerProcessTest : public ::testing::Test {
 protected:
  void Prepare(const std::wstring& file_name) {
    exe_ = TestFolder() + L"entrytest\\" + file_name;
    ::CreateDirectoryW((TestFolder() + L"entrytest").c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW((TestFolder() + L"VarnoSetup.exe").c_str(), exe_.c_str(), FALSE));
  }

  HANDLE Start() {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring command = L"\"" + exe_ + L"\"";
    if (!::CreateProcessW(exe_.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      ADD_FAILURE() << "CreateProcess failed: " << ::GetLastError();
      return nullptr;
    }
    ::CloseHandle(pi.hThread);
    processes_.emplace_back(pi.hProcess);
    return pi.hProcess;
  }

  // Waits until the log holds |needle| |count| times.
  bool WaitForLog(const std::wstring& log, const std::string& needle, size_t count) {
    for (int i = 0; i < 300; ++i) {
      if (Count(ReadFile(log), needle) >= count) return true;
      ::Sleep(50);
    }
    return false;
  }

  void TearDown() override {
    for (auto& p : processes_) {
      ::TerminateProcess(p.Get(), 9);
      ::WaitForSingleObject(p.Get(), 5000);
    }
    processes_.clear();
    ::DeleteFileW(exe_.c_str());
  }

  std::wstring exe_;
  std::vector<base::win32::ScopedHandle> processes_;
};

// A second start exits 0 at once and writes nothing to the log; the first
// run's file starts with the byte order mark and the start banner.
TEST_F(InstallerProcessTest, SecondInstanceExitsSilently) {
  Prepare(L"guardtest.exe");
  std::wstring log = LogPathFor(L"guardtest");
  ::DeleteFileW(log.c_str());
  ASSERT_NE(nullptr, Start());
  ASSERT_TRUE(WaitForLog(log, "app: run message loop", 1));
  // The UI framework started: every DLL it loads was found, although only
  // the system folder is searched.
  EXPECT_TRUE(WaitForLog(log, "LV_APP] global skin: ", 1)) << ReadFile(log);

  HANDLE second = Start();
  ASSERT_NE(nullptr, second);
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(second, 10000));
  DWORD code = 99;
  ::GetExitCodeProcess(second, &code);
  EXPECT_EQ(0u, code);

  std::string text = ReadFile(log);
  EXPECT_EQ(1u, Count(text, "------- start setup -------"));
  // The wizard's own errors (no server reachable here) are not the entry's.
  EXPECT_EQ(0u, Count(text, "LV_ERR] app:")) << text;
  EXPECT_EQ(0u, Count(text, "app: started")) << "logged before the file was configured";
  ASSERT_GT(text.size(), 3u);
  EXPECT_EQ("\xEF\xBB\xBF[", text.substr(0, 4));
  size_t first_line_end = text.find("\r\n");
  EXPECT_NE(std::string::npos, text.substr(0, first_line_end).find("LV_APP] ------- start setup -------"));
  ::DeleteFileW(log.c_str());
}

// With two dots in its name the installer has no guard and logs to "_log.txt".
TEST_F(InstallerProcessTest, TwoDotsRunUnguarded) {
  Prepare(L"a.b.exe");
  std::wstring log = LogPathFor(L"");
  ::DeleteFileW(log.c_str());
  ASSERT_NE(nullptr, Start());
  ASSERT_NE(nullptr, Start());
  EXPECT_TRUE(WaitForLog(log, "app: run message loop", 2)) << ReadFile(log);
  ::DeleteFileW(log.c_str());
}

// A name held by an object of another kind (here an event) is not another
// copy running: the run stops with its own exit code and logs why.
TEST_F(InstallerProcessTest, MutexThatCannotBeCreatedFailsTheRun) {
  Prepare(L"heldname.exe");
  std::wstring log = LogPathFor(L"heldname");
  ::DeleteFileW(log.c_str());
  base::win32::ScopedHandle squatter(::CreateEventW(nullptr, TRUE, FALSE, L"heldname"));
  ASSERT_TRUE(squatter.Valid());
  HANDLE process = Start();
  ASSERT_NE(nullptr, process);
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process, 10000));
  DWORD code = 0;
  ::GetExitCodeProcess(process, &code);
  EXPECT_EQ(static_cast<DWORD>(kExitMutexFailed), code);
  const std::string text = ReadFile(log);
  EXPECT_NE(std::string::npos, text.find("LV_ERR] app: cannot create the instance mutex, error:6")) << text;
  EXPECT_EQ(0u, Count(text, "start setup"));
  ::DeleteFileW(log.c_str());
}

// The user's shell folder for local application data, pointed elsewhere
// for one test and put back afterwards.
class LocalAppDataOverride {
 public:
  explicit LocalAppDataOverride(const std::wstring& value) {
    ::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_);
    DWORD size = sizeof(saved_);
    had_value_ = ::RegQueryValueExW(key_, L"Local AppData", nullptr, &type_,
                                    reinterpret_cast<BYTE*>(saved_), &size) == ERROR_SUCCESS;
    saved_size_ = size;
    ::RegSetValueExW(key_, L"Local AppData", 0, REG_EXPAND_SZ,
                     reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  ~LocalAppDataOverride() {
    if (had_value_)
      ::RegSetValueExW(key_, L"Local AppData", 0, type_, reinterpret_cast<const BYTE*>(saved_), saved_size_);
    else
      ::RegDeleteValueW(key_, L"Local AppData");
    ::RegCloseKey(key_);
  }
  bool ok() const { return key_ != nullptr; }

 private:
  static constexpr const wchar_t* kKey =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  HKEY key_ = nullptr;
  bool had_value_ = false;
  DWORD type_ = REG_EXPAND_SZ;
  wchar_t saved_[MAX_PATH] = {};
  DWORD saved_size_ = 0;
};

// Without a local application data folder the logging set-up fails rather
// than send the log to "Temp" under whatever the current directory is.
TEST(SetUpLoggingTest, FailsWithoutLocalAppDataFolder) {
  {
    LocalAppDataOverride override(L"Q:\\no such drive\\Local");
    ASSERT_TRUE(override.ok());
    EXPECT_FALSE(SetUpLogging(L"nolocal"));
  }
  EXPECT_TRUE(SetUpLogging(L"withlocal"));
}

// After the restriction a DLL is loaded by name from the system folder only:
// one planted beside the executable is no longer found, while the system DLLs
// the program loads by name later (rich edit among them) still are.
TEST(DllSearchTest, NamesResolveInTheSystemFolderOnly) {
  HMODULE planted = ::LoadLibraryW(L"varno_planted.dll");
  ASSERT_NE(nullptr, planted) << "the fixture DLL must sit beside the test binary";
  ::FreeLibrary(planted);
  ASSERT_TRUE(RestrictDllSearchToSystemFolder());
  planted = ::LoadLibraryW(L"varno_planted.dll");
  EXPECT_EQ(nullptr, planted) << "a DLL beside the executable was loaded";
  if (planted) ::FreeLibrary(planted);
  for (const wchar_t* name : {L"msftedit.dll", L"riched20.dll", L"gdiplus.dll", L"comctl32.dll", L"msimg32.dll",
                              L"shell32.dll", L"ADVAPI32.dll"}) {
    HMODULE system = ::LoadLibraryW(name);
    EXPECT_NE(nullptr, system) << name;
    if (system) ::FreeLibrary(system);
  }
}

}  // namespace

// Start-up connects the language catalogue to the framework's right-to-left
// switch, and shut-down disconnects it: a language picked afterwards must not
// reach a framework that is gone.
TEST(StartupHooksTest, RightToLeftLanguagesMirrorTheFrameworkUntilShutdown) {
  startup::MountResources();
  startup::StartUiFramework();
  LanguageCatalogue catalogue;
  catalogue.Init(L"ar");
  EXPECT_EQ(catalogue.GetCurrentLanguage(), L"Arabic");
  EXPECT_TRUE(ui::GlobalResources::IsRightToLeft());
  EXPECT_EQ(ui::GlobalResources::GetFontInfo(L"system_14")->face_name, L"Segoe UI");
  catalogue.SelectLanguage(L"English");
  EXPECT_FALSE(ui::GlobalResources::IsRightToLeft());
  EXPECT_NE(ui::GlobalResources::GetFontInfo(L"system_14")->face_name, L"Segoe UI");

  startup::ShutdownUiFramework();
  catalogue.SelectLanguage(L"Hebrew");
  EXPECT_FALSE(ui::GlobalResources::IsRightToLeft());
}
