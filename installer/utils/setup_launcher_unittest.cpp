#include "installer/utils/setup_launcher.h"

#include <windows.h>
#include <exdisp.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/util/string_util.h"
#include "base/win32/scoped_handle.h"
#include "installer/utils/device_id.h"
#include "base/log/log.h"
#include "installer/utils/public_fun.h"

namespace {

// The fixtures sit beside the test binary, the stand-ins for the system's
// programs in a folder below it (see system.cmake).
std::wstring Fixture(const wchar_t* name) { return ExecutableFolder() + name; }
std::wstring FixtureToolFolder() { return ExecutableFolder() + L"system_tools\\"; }

// Names the fixtures' tool folder as the system folder while it lives.
class FixtureSystemTools {
 public:
  FixtureSystemTools() { launcher_internal::SetSystemToolFolderForTesting(FixtureToolFolder()); }
  ~FixtureSystemTools() { launcher_internal::SetSystemToolFolderForTesting(L""); }
};

std::wstring ScratchRoot() {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  return base::FormatText(L"%lsvarno_sys_%lu\\", temp, ::GetCurrentProcessId());
}

std::wstring ScratchFolder(const wchar_t* name) { return ScratchRoot() + name + L"\\"; }

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((folder + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(folder + name + L"\\");
      } else {
        ::DeleteFileW((folder + name).c_str());
      }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(folder.c_str());
}

// A fixture's record: raw command line, parameter text, its own and the
// parent's process id, then the arguments.
struct Record {
  bool found = false;
  std::wstring command_line;
  std::wstring parameters;
  DWORD pid = 0;
  DWORD parent = 0;
  std::vector<std::wstring> arguments;
};

Record ReadRecord(const std::wstring& program) {
  Record record;
  std::wstring path = program + L".txt";
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return record;
  char buffer[8192];
  DWORD got = 0;
  ::ReadFile(file, buffer, sizeof(buffer), &got, nullptr);
  ::CloseHandle(file);
  std::vector<std::string> lines;
  std::string text(buffer, got);
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (lines.size() < 3) return record;
  record.found = true;
  record.command_line = base::Utf8ToWide(lines[0]);
  record.parameters = base::Utf8ToWide(lines[1]);
  char* rest = nullptr;
  record.pid = static_cast<DWORD>(std::strtoul(lines[2].c_str(), &rest, 10));
  record.parent = static_cast<DWORD>(std::strtoul(rest, nullptr, 10));
  for (size_t i = 3; i < lines.size(); ++i) record.arguments.push_back(base::Utf8ToWide(lines[i]));
  return record;
}

// For programs started without a handle to wait on: their record, once it
// appears; the program is then waited for, and ended if it lingers.
Record WaitForRecordAndEnd(const std::wstring& program) {
  for (int i = 0; i < 200; ++i) {
    Record record = ReadRecord(program);
    if (!record.found) {
      ::Sleep(50);
      continue;
    }
    base::win32::ScopedHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, record.pid));
    if (process.Valid() && ::WaitForSingleObject(process.Get(), 10000) != WAIT_OBJECT_0) {
      ADD_FAILURE() << "the started program did not end by itself";
      ::TerminateProcess(process.Get(), 1);
      ::WaitForSingleObject(process.Get(), 5000);
    }
    return record;
  }
  return Record();
}

// Processes named |image| that this process started.
std::vector<DWORD> OwnChildrenNamed(const wchar_t* image) {
  std::vector<DWORD> children;
  base::win32::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid()) return children;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ParentProcessID == ::GetCurrentProcessId() && ::lstrcmpiW(entry.szExeFile, image) == 0)
      children.push_back(entry.th32ProcessID);
  }
  return children;
}

// Whether a process named |image| runs now, whoever started it.
bool AnyProcessNamed(const wchar_t* image) {
  base::win32::ScopedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (::lstrcmpiW(entry.szExeFile, image) == 0) return true;
  }
  return false;
}

void ForgetRecord(const std::wstring& program) { ::DeleteFileW((program + L".txt").c_str()); }

std::mutex g_log_mutex;
std::vector<std::wstring> g_log_lines;

void CaptureLine(const std::wstring& line) {
  std::lock_guard<std::mutex> hold(g_log_mutex);
  g_log_lines.push_back(line);
}

// "LV_APP] message" of every captured line, the time and place cut off.
std::vector<std::wstring> LoggedMessages() {
  std::lock_guard<std::mutex> hold(g_log_mutex);
  std::vector<std::wstring> messages;
  for (const std::wstring& line : g_log_lines) {
    size_t level = line.find(L" LV_");
    std::wstring message = level == std::wstring::npos ? line : line.substr(level + 1);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) message.pop_back();
    messages.push_back(message);
  }
  return messages;
}

class LogCapture {
 public:
  LogCapture() {
    {
      std::lock_guard<std::mutex> hold(g_log_mutex);
      g_log_lines.clear();
    }
    LogFile::GetInstance()->SetDebugSinkForTesting(&CaptureLine);
  }
  ~LogCapture() { LogFile::GetInstance()->SetDebugSinkForTesting(nullptr); }
};

bool Contains(const std::vector<std::wstring>& lines, const std::wstring& wanted) {
  for (const std::wstring& line : lines) {
    if (line == wanted) return true;
  }
  return false;
}

// Arguments 1.. as the system's parser (the standard rules) reads them.
std::vector<std::wstring> StandardArguments(const std::wstring& parameters) {
  std::vector<std::wstring> arguments;
  std::wstring line = L"\"C:\\setup.exe\" " + parameters;
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(line.c_str(), &count);
  if (!argv) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(argv[i]);
  ::LocalFree(argv);
  return arguments;
}

// The simpler rules of many installers: a quotation mark opens or closes a
// quoted run, a blank outside one ends an argument, a backslash is a letter.
std::vector<std::wstring> SimpleArguments(const std::wstring& parameters) {
  std::vector<std::wstring> arguments;
  std::wstring current;
  bool quoted = false, any = false;
  for (wchar_t c : parameters) {
    if (c == L'"') {
      quoted = !quoted;
      any = true;
    } else if ((c == L' ' || c == L'\t') && !quoted) {
      if (any) arguments.push_back(current);
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) arguments.push_back(current);
  return arguments;
}

// The absolute form of a folder, without a trailing separator unless a root.
std::wstring FullFolder(const std::wstring& folder) {
  wchar_t full[1024] = {};
  DWORD n = ::GetFullPathNameW(folder.c_str(), 1024, full, nullptr);
  std::wstring text(full, n < 1024 ? n : 0);
  while (text.size() > 3 && text.back() == L'\\') text.pop_back();
  return text;
}

// Every folder and password comes back as the same switches, in order, under
// both argument rules, and the folder read is the one the path check saw.
TEST(InstallerParametersTest, FoldersAndPasswordsSurviveBothArgumentRules) {
  // CreateDirectoryW makes folders of up to 247 characters.
  const std::wstring longest = L"C:\\" + std::wstring(120, L'a') + L"\\" + std::wstring(123, L'b');
  ASSERT_EQ(247u, longest.size());
  const struct {
    std::wstring given;
    std::wstring read;
  } folders[] = {
      {L"C:\\Program Files\\VARNO\\", L"C:\\Program Files\\VARNO"},
      {L"C:\\Program Files\\VARNO", L"C:\\Program Files\\VARNO"},
      {L"D:\\a b\\\\", L"D:\\a b"},
      {L"D:\\a\\\\b\\\\\\", L"D:\\a\\\\b"},
      {L"C:/Program Files/VARNO/", L"C:/Program Files/VARNO"},
      {L"E:\\Programme\\\u00dcber \u4e2d\u6587\\", L"E:\\Programme\\\u00dcber \u4e2d\u6587"},
      {L"C:\\", L"C:\\."},
      {L"C:\\\\", L"C:\\."},
      {L"C:", L"C:\\."},
      {longest, longest},
      {longest + L"\\", longest},
  };
  const std::wstring passwords[] = {L"", L"s3cret", L"pass word", L"a\\b", L"\\\\lead", L"\u00e4\u00f6 \u5bc6\u7801",
                                    L"tab\tin", L"semi;colon&amp^"};
  for (const auto& folder : folders) {
    EXPECT_EQ(FullFolder(NormalizeDirPath(folder.given)), FullFolder(folder.read)) << folder.given;
    for (const std::wstring& password : passwords) {
      std::wstring parameters;
      ASSERT_TRUE(BuildInstallerParameters(folder.given, password, &parameters)) << folder.given << password;
      std::vector<std::wstring> expected = {L"/DIR=" + folder.read, L"/tolvane_down"};
      if (!password.empty()) expected.push_back(L"/PASSWORD=" + password);
      expected.push_back(L"/wait_run");
      expected.push_back(L"/verysilent");
      EXPECT_EQ(expected, StandardArguments(parameters)) << parameters;
      EXPECT_EQ(expected, SimpleArguments(parameters)) << parameters;
    }
  }

  std::wstring parameters;
  ASSERT_TRUE(BuildInstallerParameters(L"D:\\x\\", L"s3cret", &parameters));
  EXPECT_EQ(L"/DIR=\"D:\\x\" /tolvane_down /PASSWORD=\"s3cret\" /wait_run /verysilent", parameters);

  // Values the line cannot carry are refused, not passed on half-read.
  LogCapture log;
  for (const wchar_t* password : {L"a\"b", L"\"", L"end\\", L"x\\\\", L"\\"}) {
    parameters = L"left over";
    EXPECT_FALSE(BuildInstallerParameters(L"C:\\VARNO\\", password, &parameters)) << password;
    EXPECT_EQ(L"", parameters);
  }
  EXPECT_FALSE(BuildInstallerParameters(L"C:\\VA\"RNO", L"", &parameters));
  std::vector<std::wstring> lines = LoggedMessages();
  ASSERT_EQ(6u, lines.size());
  EXPECT_EQ(L"LV_ERR] run installer: the package password holds a quotation mark or ends in a backslash", lines[0]);
  EXPECT_EQ(L"LV_ERR] run installer: the folder C:\\VA\"RNO holds a quotation mark", lines[5]);
}

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installer_ = Fixture(L"varno_fake_installer.exe");
    ASSERT_TRUE(PathExists(installer_, false)) << "fixture missing beside the test binary";
    ForgetRecord(installer_);
  }
  void TearDown() override {
    ForgetRecord(installer_);
    RemoveTree(ScratchRoot());
  }

  std::wstring installer_;
};

// The installer gets the exact switches, a folder with blanks stays one
// argument, and RunInstaller returns only after the installer has ended.
TEST_F(LauncherTest, RunInstallerWithoutPassword) {
  std::wstring folder = ScratchFolder(L"Program Files x") + L"VARNO Reader";
  ASSERT_TRUE(RunInstaller(installer_, folder, L""));
  // No polling: the fixture writes after a delay, so only a real wait sees it.
  Record record = ReadRecord(installer_);
  ASSERT_TRUE(record.found) << "RunInstaller returned before the installer ended";
  EXPECT_EQ(L"/DIR=\"" + folder + L"\" /tolvane_down /wait_run /verysilent", record.parameters);
  std::vector<std::wstring> expected = {L"/DIR=" + folder, L"/tolvane_down", L"/wait_run", L"/verysilent"};
  EXPECT_EQ(expected, record.arguments);
  EXPECT_TRUE(PathExists(folder + L"\\VARNO.exe", false));
}

// A folder given with its trailing backslash and a password with a blank
// reach the installer as the intended switches.
TEST_F(LauncherTest, RunInstallerWithPassword) {
  std::wstring folder = ScratchFolder(L"pw") + L"VARNO \u00dcber";
  ASSERT_TRUE(RunInstaller(installer_, folder + L"\\", L"pass word"));
  Record record = ReadRecord(installer_);
  ASSERT_TRUE(record.found);
  EXPECT_EQ(L"/DIR=\"" + folder + L"\" /tolvane_down /PASSWORD=\"pass word\" /wait_run /verysilent",
            record.parameters);
  std::vector<std::wstring> expected = {L"/DIR=" + folder, L"/tolvane_down", L"/PASSWORD=pass word",
                                        L"/wait_run", L"/verysilent"};
  EXPECT_EQ(expected, record.arguments);
  EXPECT_TRUE(PathExists(folder + L"\\VARNO.exe", false));
}

// A password the line cannot carry fails the install and starts nothing.
TEST_F(LauncherTest, RunInstallerRefusesAPasswordTheLineCannotCarry) {
  LogCapture log;
  EXPECT_FALSE(RunInstaller(installer_, ScratchFolder(L"refused") + L"VARNO\\", L"ends in\\"));
  // A started installer would have been waited for, its record written.
  EXPECT_FALSE(ReadRecord(installer_).found);
  EXPECT_TRUE(Contains(LoggedMessages(),
                       L"LV_ERR] run installer: the package password holds a quotation mark or ends in a backslash"));
}

// The product's configuration run: parameters verbatim, waited for.
// A start that fails (here: no such file; refused elevation lands on the same
// path) is a failure, so the wizard never calls the product installed.
TEST_F(LauncherTest, AnInstallerThatCannotStartIsAFailure) {
  LogCapture log;
  EXPECT_FALSE(RunInstaller(ScratchFolder(L"gone") + L"varno_no_such_setup.exe", ScratchFolder(L"gone") + L"VARNO",
                            L""));
  EXPECT_FALSE(RunElevatedAndWait(ScratchFolder(L"gone") + L"varno_no_such_product.exe", L"--install=1"));
}

TEST_F(LauncherTest, RunElevatedAndWaitPassesParameters) {
  std::wstring folder = ScratchFolder(L"config") + L"VARNO";
  ASSERT_TRUE(RunInstaller(installer_, folder, L""));
  std::wstring product = folder + L"\\VARNO.exe";
  ASSERT_TRUE(PathExists(product, false));
  ForgetRecord(product);
  EXPECT_TRUE(RunElevatedAndWait(product, L"--install=1 --language=German"));
  Record record = ReadRecord(product);
  ASSERT_TRUE(record.found) << "RunElevatedAndWait returned before the product ended";
  EXPECT_EQ(L"--install=1 --language=German", record.parameters);
  EXPECT_EQ((std::vector<std::wstring>{L"--install=1", L"--language=German"}), record.arguments);
}

// The fixture "tasklist" lists processes under their own spelling, so the
// search for the name is case-sensitive as on Windows.
TEST(ProcessRunningTest, MatchesTheImageNameCaseSensitively) {
  FixtureSystemTools tools;
  ASSERT_TRUE(PathExists(FixtureToolFolder() + L"tasklist.exe", false)) << "fixture tasklist missing";
  std::wstring self = ExecutableFileName();
  ASSERT_FALSE(self.empty());
  EXPECT_TRUE(IsProcessRunning(self));
  std::wstring upper = self;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(::towupper(c));
  ASSERT_NE(self, upper);
  EXPECT_FALSE(IsProcessRunning(upper));
  EXPECT_FALSE(IsProcessRunning(L"varno_not_running.exe"));
  EXPECT_FALSE(IsProcessRunning(L"")) << "an empty name must not match any output";
  EXPECT_FALSE(IsProcessRunning(L"a\" /FI \"x")) << "a quotation mark cannot be part of an image name";
}

// The device identity's fallback asks "wmic" for the processor id, then for
// the disk serial: the fixture has no processor id, so the serial answers.
TEST(SystemToolsTest, WmicFallbackReadsTheSerialAfterAnEmptyProcessorId) {
  FixtureSystemTools tools;
  ASSERT_TRUE(PathExists(FixtureToolFolder() + L"wmic.exe", false)) << "fixture wmic missing";
  EXPECT_EQ("VARNOFAKEDISK01", device_id_internal::FallbackMachineText());
}

// A "tasklist.exe" or "wmic.exe" put beside the executable (the Downloads
// folder, for a downloaded installer) is not what runs: the system's is.
TEST(SystemToolsTest, AProgramPlantedBesideTheExecutableIsNotRun) {
  const struct {
    const wchar_t* name;
    void (*use)();
  } tools[] = {
      {L"tasklist.exe", [] { IsProcessRunning(ExecutableFileName()); }},
      {L"wmic.exe", [] { device_id_internal::FallbackMachineText(); }},
  };
  for (const auto& tool : tools) {
    const std::wstring planted = ExecutableFolder() + tool.name;
    ASSERT_TRUE(::CopyFileW((FixtureToolFolder() + tool.name).c_str(), planted.c_str(), FALSE)) << tool.name;
    ForgetRecord(planted);
    tool.use();
    // Whatever ran has ended when the call returns (waited for, or ended).
    EXPECT_FALSE(ReadRecord(planted).found) << tool.name << " beside the executable was run";
    ForgetRecord(planted);
    ::DeleteFileW(planted.c_str());
  }
  // What runs instead is the system's own program.
  std::string output;
  EXPECT_TRUE(CaptureCommandOutput(SystemToolPath(L"tasklist.exe"), L"/NH", CaptureOptions(), &output));
}

// A command that hangs without output costs the wait, not ten minutes, and
// is ended rather than left running; output in many small writes is read
// whole; a program that does not exist is not looked for elsewhere.
TEST(CaptureCommandOutputTest, BoundedWaitAndWholeOutput) {
  const std::wstring tasklist = FixtureToolFolder() + L"tasklist.exe";
  CaptureOptions quick;
  quick.wait_ms = 200;
  std::string output;
  ASSERT_TRUE(OwnChildrenNamed(L"tasklist.exe").empty());
  DWORD start = ::GetTickCount();
  ASSERT_TRUE(CaptureCommandOutput(tasklist, L"/SLEEP=600000", quick, &output));
  EXPECT_LT(::GetTickCount() - start, 30000u);
  EXPECT_EQ("", output);
  const std::vector<DWORD> left = OwnChildrenNamed(L"tasklist.exe");
  EXPECT_TRUE(left.empty()) << "the command was left running";
  for (DWORD pid : left) {
    base::win32::ScopedHandle child(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (child.Valid() && ::TerminateProcess(child.Get(), 1)) ::WaitForSingleObject(child.Get(), 5000);
  }

  ASSERT_TRUE(CaptureCommandOutput(tasklist, L"/SPAM=3000", CaptureOptions(), &output));
  EXPECT_EQ(std::string(3000, 'x'), output);

  EXPECT_FALSE(CaptureCommandOutput(ExecutableFolder() + L"varno_no_such_program_here.exe", L"", CaptureOptions(),
                                    &output));
  EXPECT_FALSE(CaptureCommandOutput(L"", L"/SPAM=10", CaptureOptions(), &output));
}

class StartProductTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    std::wstring folder = ScratchFolder(L"start") + L"VARNO";
    ASSERT_TRUE(RunInstaller(installer_, folder, L""));
    product_ = folder + L"\\VARNO.exe";
    ASSERT_TRUE(PathExists(product_, false));
    ForgetRecord(product_);
  }

  std::wstring product_;
};

// Without a taskbar there is no token to borrow: the desktop shell starts the
// product, as a child of its own process rather than of the installer.
TEST_F(StartProductTest, WithoutTaskbarTheDesktopShellStartsIt) {
  LogCapture log;
  EXPECT_TRUE(launcher_internal::StartProductUnelevatedWith(L"VarnoNoSuchTaskbarClass", CLSID_ShellWindows, product_,
                                                            L"--install=0 --language=German"));
  EXPECT_TRUE(Contains(LoggedMessages(), L"LV_APP] start_run " + product_ + L", --install=0 --language=German"));
  Record record = WaitForRecordAndEnd(product_);
  ASSERT_TRUE(record.found);
  EXPECT_EQ((std::vector<std::wstring>{L"--install=0", L"--language=German"}), record.arguments);
  EXPECT_NE(0u, record.parent);
  EXPECT_NE(::GetCurrentProcessId(), record.parent) << "started by the installer, with its token";
}

// With neither a taskbar nor a desktop shell (Explorer restarting, say) the
// product is not started at all, in particular not by the installer's own,
// elevated, ShellExecute; the caller hears so and the log says why.
TEST_F(StartProductTest, WithoutAnUnelevatedWayNothingStarts) {
  LogCapture log;
  EXPECT_FALSE(launcher_internal::StartProductUnelevatedWith(L"VarnoNoSuchTaskbarClass", CLSID_NULL, product_,
                                                             L"--install=0 --language=German"));
  std::vector<std::wstring> lines = LoggedMessages();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(0u, lines[0].find(L"LV_WAR] start_run desktop shell: ShellWindows failed 0x")) << lines[0];
  EXPECT_EQ(L"LV_ERR] start_run " + product_ + L", --install=0 --language=German not started: no unelevated way",
            lines[1]);
  // Every way of starting it creates the process before returning: it would
  // be running now, or have written its record.
  EXPECT_FALSE(ReadRecord(product_).found || AnyProcessNamed(L"VARNO.exe")) << "the product was started";
}

// The test session has a taskbar (Wine's desktop process owns one), so the
// product runs under its owner's token with every parameter (none lost to
// the program-name slot).
TEST_F(StartProductTest, WithTaskbarUsesTheShellToken) {
  ASSERT_NE(nullptr, ::FindWindowW(L"Shell_TrayWnd", nullptr)) << "the test session has no taskbar";
  LogCapture log;
  EXPECT_TRUE(StartProductUnelevated(product_, L"--first second"));
  EXPECT_TRUE(Contains(LoggedMessages(), L"LV_APP] start_run CreateLowIntegrityProcess " + product_ +
                                             L", --first second"));
  Record record = WaitForRecordAndEnd(product_);
  ASSERT_TRUE(record.found);
  EXPECT_EQ((std::vector<std::wstring>{L"--first", L"second"}), record.arguments);

  ForgetRecord(product_);
  EXPECT_TRUE(StartProductUnelevated(product_, L""));
  record = WaitForRecordAndEnd(product_);
  ASSERT_TRUE(record.found);
  EXPECT_TRUE(record.arguments.empty());
}

// Links open through the system's URL handler under the shell's token, never
// from the elevated installer itself.
TEST_F(StartProductTest, OpenUrlGoesThroughTheUnelevatedLaunch) {
  LogCapture log;
  EXPECT_TRUE(OpenUrl(product_));
  EXPECT_TRUE(Contains(LoggedMessages(), L"LV_APP] start_run CreateLowIntegrityProcess " +
                                             SystemToolPath(L"rundll32.exe") + L", url.dll,FileProtocolHandler " +
                                             product_));
  EXPECT_FALSE(OpenUrl(L""));
  // The handler opens it a moment later, from its own process.
  Record record = WaitForRecordAndEnd(product_);
  ASSERT_TRUE(record.found);
  EXPECT_TRUE(record.arguments.empty());
}

}  // namespace
