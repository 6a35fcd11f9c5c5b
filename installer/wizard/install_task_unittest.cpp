// The installation steps against the stand-in installer and product, and the
// wizard's small rules as tables.
#include "installer/wizard/install_task.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "base/util/string_util.h"
#include "installer/utils/public_fun.h"
#include "installer/utils/testing/fixture_util.h"

namespace {

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(base::WideToUtf8(path), std::ios::binary);
  // Wine maps the narrow path through the ANSI page; the scratch paths are ASCII.
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The first two lines a stand-in writes: its command line and its parameters.
std::string RecordedParameters(const std::wstring& program) {
  std::string text = ReadAll(program + L".txt");
  size_t first = text.find('\n');
  if (first == std::string::npos) return "<no record>";
  size_t second = text.find('\n', first + 1);
  return text.substr(first + 1, second - first - 1);
}

class InstallTaskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    scratch_ = base::FormatText(L"%lsvarno_task_%lu\\", temp, ::GetCurrentProcessId());
    MakeDirectoryTree(scratch_ + L"download");
    task_.installer_file = scratch_ + L"download\\varno-setup.exe";
    task_.install_folder = scratch_ + L"My Apps\\VARNO\\";
    task_.product_exe = task_.install_folder + L"VARNO.exe";
    task_.language_cache_file = scratch_ + L"cache_language";
    task_.language_key = L"German";
    task_.default_viewer = false;
  }
  void TearDown() override {
    std::wstring command = L"cmd /c rmdir /s /q \"" + scratch_ + L"\"";
    _wsystem(command.c_str());
  }
  // The stand-in installer copies the product found beside itself.
  void PlaceInstaller(bool with_product) {
    const std::wstring fixtures = fixture::OwnFolder();
    ASSERT_TRUE(::CopyFileW((fixtures + L"varno_fake_installer.exe").c_str(), task_.installer_file.c_str(), FALSE));
    if (with_product) {
      ASSERT_TRUE(::CopyFileW((fixtures + L"varno_fake_product.exe").c_str(),
                              (scratch_ + L"download\\varno_fake_product.exe").c_str(), FALSE));
    }
  }

  std::wstring scratch_;
  InstallTask task_;
};

TEST_F(InstallTaskTest, InstallsConfiguresAndLeavesTheLanguage) {
  PlaceInstaller(true);
  ASSERT_EQ(kInstallSucceeded, RunInstallTask(task_));
  // The folder goes without its trailing separator, so the quote closes.
  EXPECT_EQ(base::WideToUtf8(L"/DIR=\"" + scratch_ + L"My Apps\\VARNO\" /tolvane_down /wait_run /verysilent"),
            RecordedParameters(task_.installer_file));
  EXPECT_FALSE(PathExists(task_.installer_file, false)) << "the used installer is deleted";
  EXPECT_EQ("--install=0 --language=German", RecordedParameters(task_.product_exe));
  EXPECT_EQ("German", ReadAll(task_.language_cache_file)) << "the key alone, no line end";
}

// Nothing installed is never reported as installed.
TEST_F(InstallTaskTest, FailuresAreOutcomes) {
  EXPECT_EQ(kInstallerNotStarted, RunInstallTask(task_)) << "no installer file";
  PlaceInstaller(false);
  EXPECT_EQ(kProductMissing, RunInstallTask(task_));
  EXPECT_FALSE(PathExists(task_.language_cache_file, false)) << "nothing configured";
}

TEST(WizardRulesTest, Tables) {
  const struct {
    double seconds;
    const char* bucket;
  } buckets[] = {{-3, ""},         {0.9, ""},          {1, "0-15s"},        {12.5, "0-15s"},
                 {15.9, "0-15s"},  {16, "15.1-30s"},   {30, "15.1-30s"},    {31, "30.1s-1min"},
                 {60, "30.1s-1min"}, {61, "1-2mins"},  {180, "2-3mins"},    {181, "3-5mins"},
                 {300, "3-5mins"}, {600, "5-10mins"},  {600.9, "5-10mins"}, {601, "over 10mins"}};
  for (const auto& c : buckets) EXPECT_EQ(c.bucket, DownloadTimeBucket(c.seconds)) << c.seconds;

  for (int percent = 0; percent <= 100; ++percent) {
    const int expected = static_cast<int>(std::ceil(percent * 9 / 10.0 - 1e-9));
    EXPECT_EQ(expected, ProgressStep(percent)) << percent;
  }
  EXPECT_EQ(90, ProgressStep(100));

  EXPECT_EQ(L"D:\\Apps\\VARNO", BrowsedInstallPath(L"D:\\Apps", L"VARNO", L""));
  EXPECT_EQ(L"D:\\VARNO\\Reader", BrowsedInstallPath(L"D:\\", L"VARNO", L"Reader"));
  EXPECT_EQ(L"C:\\a\\b\\VARNO\\x\\y", BrowsedInstallPath(L"C:/a/b", L"VARNO", L"x/y"));

  EXPECT_EQ(L"--install=1 --language=English", ProductParameters(true, L"English"));
  EXPECT_EQ(L"--install=0 --language=German", ProductParameters(false, L"German"));
}

}  // namespace
