#include "installer/utils/public_fun.h"

#include <windows.h>

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

TEST(PathRulesTest, DiskFreeNeedsADriveLetter) {
  EXPECT_GT(GetDiskFreeMB(L"C:\\users"), 1.0);
  EXPECT_EQ(GetDiskFreeMB(L"C:\\users"), GetDiskFreeMB(L"C:/"));
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

  EXPECT_TRUE(MakeDirectoryTree(root + L"tree\\x\\y"));
  EXPECT_TRUE(MakeDirectoryTree(root + L"tree\\x\\y")) << "already exists counts as success";
  EXPECT_TRUE(RemoveFile(blocker));
  EXPECT_FALSE(RemoveFile(blocker));
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

// Run by the test command under several LC_ALL values, with the expected
// catalogue code in VARNO_EXPECT_UI_LANGUAGE.
TEST(SystemInfoTest, InterfaceLanguageFollowsLocale) {
  const char* expected = std::getenv("VARNO_EXPECT_UI_LANGUAGE");
  std::wstring code = GetUserUILanguageCode();
  EXPECT_FALSE(code.empty());
  if (expected) {
    EXPECT_EQ(base::Utf8ToWide(expected), code);
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
  EXPECT_TRUE(IsInternetConnected());
  EXPECT_NE(std::wstring::npos, ExecutableFileName().find(L"unittests"));
  EXPECT_EQ(ExecutableFolder() + ExecutableFileName(), ModuleFilePath(nullptr));
  EXPECT_GT(GetUnixTime(), 1767225600) << "after 2026-01-01";
  EXPECT_EQ("", GetFileVersionString(L"C:\\no\\such\\file.exe"));
  EXPECT_FALSE(GetFileVersionString(L"C:\\windows\\system32\\kernel32.dll").empty());
}

}  // namespace
