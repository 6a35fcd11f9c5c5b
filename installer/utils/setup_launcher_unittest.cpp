#include "installer/utils/setup_launcher.h"

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/util/string_util.h"
#include "installer/utils/log.h"
#include "installer/utils/public_fun.h"

namespace {

// The fixtures sit beside the test binary (see system.cmake).
std::wstring Fixture(const wchar_t* name) { return ExecutableFolder() + name; }

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

// A fixture's record: raw command line, parameter text, then the arguments.
struct Record {
  bool found = false;
  std::wstring command_line;
  std::wstring parameters;
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
  if (lines.size() < 2) return record;
  record.found = true;
  record.command_line = base::Utf8ToWide(lines[0]);
  record.parameters = base::Utf8ToWide(lines[1]);
  for (size_t i = 2; i < lines.size(); ++i) record.arguments.push_back(base::Utf8ToWide(lines[i]));
  return record;
}

// For programs started without a handle to wait on.
Record WaitForRecord(const std::wstring& program) {
  for (int i = 0; i < 200; ++i) {
    Record record = ReadRecord(program);
    if (record.found) return record;
    ::Sleep(50);
  }
  return Record();
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

// The switches come in a fixed order; the password part only when set.
TEST(InstallerParametersTest, ExactText) {
  EXPECT_EQ(L"/DIR=\"C:\\Program Files\\VARNO\\\" /tolvane_down /wait_run /verysilent",
            InstallerParameters(L"C:\\Program Files\\VARNO\\", L""));
  EXPECT_EQ(L"/DIR=\"D:\\x\" /tolvane_down /PASSWORD=\"s3cret\" /wait_run /verysilent",
            InstallerParameters(L"D:\\x", L"s3cret"));
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
    // A product started without a wait may still be writing its record.
    ::Sleep(100);
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

TEST_F(LauncherTest, RunInstallerWithPassword) {
  std::wstring folder = ScratchFolder(L"pw") + L"VARNO";
  ASSERT_TRUE(RunInstaller(installer_, folder, L"pass word"));
  Record record = ReadRecord(installer_);
  ASSERT_TRUE(record.found);
  EXPECT_EQ(L"/DIR=\"" + folder + L"\" /tolvane_down /PASSWORD=\"pass word\" /wait_run /verysilent",
            record.parameters);
  std::vector<std::wstring> expected = {L"/DIR=" + folder, L"/tolvane_down", L"/PASSWORD=pass word",
                                        L"/wait_run", L"/verysilent"};
  EXPECT_EQ(expected, record.arguments);
}

// The product's configuration run: parameters verbatim, waited for.
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
  ASSERT_TRUE(PathExists(ExecutableFolder() + L"tasklist.exe", false))
      << "the fixture tasklist must sit beside the test binary";
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

// A command that hangs without output costs the wait, not forever; output in
// many small writes is read whole.
TEST(CaptureCommandOutputTest, BoundedWaitAndWholeOutput) {
  CaptureOptions quick;
  quick.wait_ms = 200;
  std::string output;
  DWORD start = ::GetTickCount();
  ASSERT_TRUE(CaptureCommandOutput(L"tasklist /SLEEP=2500", quick, &output));
  EXPECT_LT(::GetTickCount() - start, 2000u);
  EXPECT_EQ("", output);

  ASSERT_TRUE(CaptureCommandOutput(L"tasklist /SPAM=3000", CaptureOptions(), &output));
  EXPECT_EQ(std::string(3000, 'x'), output);

  EXPECT_FALSE(CaptureCommandOutput(L"varno_no_such_program_here", CaptureOptions(), &output));
  ::Sleep(2500 - std::min<DWORD>(2500, ::GetTickCount() - start));  // let the sleeper end
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

// Without a taskbar the shell starts the product, and says so in the log.
TEST_F(StartProductTest, WithoutTaskbarUsesTheShell) {
  LogCapture log;
  launcher_internal::StartProductUnelevatedWith(L"VarnoNoSuchTaskbarClass", product_,
                                                L"--install=0 --language=German");
  EXPECT_TRUE(Contains(LoggedMessages(), L"LV_APP] start_run " + product_ + L", --install=0 --language=German"));
  Record record = WaitForRecord(product_);
  ASSERT_TRUE(record.found);
  EXPECT_EQ((std::vector<std::wstring>{L"--install=0", L"--language=German"}), record.arguments);
}

// With a taskbar the product runs under the shell's token; either way it
// gets every parameter (none lost to the program-name slot).
TEST_F(StartProductTest, WithTaskbarUsesTheShellToken) {
  LogCapture log;
  bool taskbar = ::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr;
  std::printf("taskbar window: %s\n", taskbar ? "present, shell token path" : "absent, shell path");
  StartProductUnelevated(product_, L"--first second");
  std::wstring expected = taskbar ? L"LV_APP] start_run CreateLowIntegrityProcess " : L"LV_APP] start_run ";
  EXPECT_TRUE(Contains(LoggedMessages(), expected + product_ + L", --first second"))
      << (taskbar ? "taskbar present" : "no taskbar in this session");
  Record record = WaitForRecord(product_);
  ASSERT_TRUE(record.found);
  EXPECT_EQ((std::vector<std::wstring>{L"--first", L"second"}), record.arguments);

  ForgetRecord(product_);
  StartProductUnelevated(product_, L"");
  record = WaitForRecord(product_);
  ASSERT_TRUE(record.found);
  EXPECT_TRUE(record.arguments.empty());
}

TEST_F(StartProductTest, OpenUrlGoesThroughTheShell) {
  OpenUrl(product_);
  Record record = WaitForRecord(product_);
  ASSERT_TRUE(record.found);
  EXPECT_TRUE(record.arguments.empty());
}

}  // namespace
