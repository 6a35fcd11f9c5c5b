#include "ui/core/resource_archive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/util/file_util.h"
#include "base/util/string_util.h"
#include "ui/core/zip_test_builder.h"

namespace ui {
namespace {

namespace fs = std::filesystem;
using test::TestMember;
using test::TestZipBuilder;

TEST(ResourcePathTest, ArchiveRule) {
  struct {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"a//b/./c", L"a/b/c"},
      {L"a/b/../c", L"a/c"},
      {L"b/../c", L"c"},
      {L"a/..", L"a/.."},
      {L"a/.", L"a/."},
      {L"./a", L"a"},
      {L"/a", L"a"},
      {L"a///b", L"a/b"},
      {L"a/b/c/../../d", L"a/d"},
      {L"a/../../b", L"b"},
      {L"../x", L"x"},  // nothing to climb out of: the step is dropped
      {L"../../x/y", L"x/y"},
      {L"..x/y", L"..x/y"},
      {L"a/.b/c", L"a/.b/c"},
      {L"a/..b/c", L"a/..b/c"},
      {L"", L""},
      {L"..", L".."},
      {L"resources\\themes\\default\\form\\..\\public\\bk\\bk_shadow.png",
       L"resources/themes/default/public/bk/bk_shadow.png"},
      {L"resources\\themes\\default\\\\form\\.\\x.png", L"resources/themes/default/form/x.png"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, NormalizeArchivePath(c.in)) << c.in;
}

TEST(ResourcePathTest, FileRuleAndRelativeTest) {
  EXPECT_EQ(L"a\\b\\c", NormalizeFilePath(L"a/b//c"));
  EXPECT_EQ(L"a\\\\b", NormalizeFilePath(L"a\\\\\\b"));  // one pass over pairs
  EXPECT_EQ(L"..\\public\\x.png", NormalizeFilePath(L"../public/x.png"));
  EXPECT_TRUE(IsRelativePath(L"form\\x.xml"));
  EXPECT_TRUE(IsRelativePath(L""));
  EXPECT_FALSE(IsRelativePath(L"C:\\x.xml"));
  EXPECT_FALSE(IsRelativePath(L"\\\\server\\x.xml"));
  EXPECT_FALSE(IsRelativePath(L"\\x.xml"));
}

TEST(ResourcePathTest, ResourceRootGetsOneSeparator) {
  SetResourceRoot(L"resources\\themes\\default");
  EXPECT_EQ(L"resources\\themes\\default\\", ResourceRoot());
  SetResourceRoot(L"skin/");
  EXPECT_EQ(L"skin/", ResourceRoot());
  SetResourceRoot(L"");
  EXPECT_EQ(L"", ResourceRoot());
}

// A small archive laid out like the shipped one.
class MountedArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files_ = {
        {"resources/product.ini", "INSTALL_DIR1=VARNO\n"},
        {"resources/themes/default/global.xml", "<Global/>"},
        {"resources/themes/default/form/setup_form.xml", "<Window/>"},
        {"resources/themes/default/public/button/btn_min_normal.png", std::string(3000, 'p')},
        {"resources/themes/default/public/checkbox/check_no.png", "check"},
        {"resources/lang/\xC3\x84gypten/gdstrings.ini", "K=V\n"},
    };
    builder_.AddDirectory("resources/");
    builder_.AddDirectory("resources/themes/");
    for (const auto& f : files_) builder_.Add(f.first, f.second, true);
    builder_.Add("resources/empty.txt", "", true);
    image_ = builder_.Build();
    ASSERT_TRUE(MountArchiveMemory(image_.data(), image_.size(), ""));
  }
  void TearDown() override { UnmountArchive(); }

  std::vector<std::pair<std::string, std::string>> files_;
  TestZipBuilder builder_;
  std::string image_;
};

std::wstring SwapAsciiCase(std::wstring s) {
  for (wchar_t& c : s) {
    if (c >= L'a' && c <= L'z') {
      c = c - L'a' + L'A';
    } else if (c >= L'A' && c <= L'Z') {
      c = c - L'A' + L'a';
    }
  }
  return s;
}

// The same member written the ways framework code writes it.
std::vector<std::wstring> Spellings(const std::wstring& name) {
  std::wstring back = name;
  for (wchar_t& c : back) c = c == L'/' ? L'\\' : c;
  const size_t slash = name.find(L'/');
  std::wstring climbing = name.substr(0, slash) + L"/form/../" + name.substr(slash + 1);
  std::wstring dotted = L"./" + name.substr(0, slash) + L"//./" + name.substr(slash + 1);
  return {name, back, climbing, dotted, SwapAsciiCase(name), SwapAsciiCase(climbing)};
}

TEST_F(MountedArchiveTest, EveryMemberIsFoundUnderEverySpelling) {
  EXPECT_TRUE(IsArchiveMounted());
  for (const auto& f : files_) {
    for (const std::wstring& spelling : Spellings(base::Utf8ToWide(f.first))) {
      std::string bytes;
      EXPECT_TRUE(ReadArchiveMemberBytes(spelling, &bytes)) << base::WideToUtf8(spelling);
      EXPECT_TRUE(bytes == f.second) << base::WideToUtf8(spelling);
    }
  }
  std::string bytes;
  EXPECT_TRUE(ReadArchiveMemberBytes(
      L"resources\\themes\\default\\form\\..\\public\\button\\btn_min_normal.png", &bytes));
  EXPECT_TRUE(ReadArchiveMemberBytes(L"resources/themes/default/PUBLIC/CheckBox/Check_No.png", &bytes));
  EXPECT_EQ("check", bytes);
}

TEST_F(MountedArchiveTest, MissingEmptyAndForeignCaseYieldNothing) {
  std::string bytes = "untouched";
  EXPECT_FALSE(ReadArchiveMemberBytes(L"resources/missing.png", &bytes));
  EXPECT_FALSE(ReadArchiveMemberBytes(L"resources/empty.txt", &bytes));
  EXPECT_FALSE(ReadArchiveMemberBytes(L"resources/themes/", &bytes));  // a directory entry
  EXPECT_FALSE(ReadArchiveMemberBytes(L"", &bytes));
  // U+00C4 versus U+00E4: only ASCII letters are folded.
  EXPECT_FALSE(ReadArchiveMemberBytes(L"resources/lang/\x00E4gypten/gdstrings.ini", &bytes));
  EXPECT_TRUE(ReadArchiveMemberBytes(L"RESOURCES/LANG/\x00C4GYPTEN/GDSTRINGS.INI", &bytes));
  EXPECT_EQ("K=V\n", bytes);
}

TEST_F(MountedArchiveTest, LongNamesAreNeverFound) {
  const std::string name255 = "r/" + std::string(249, 'x') + ".txt";
  const std::string name256 = "r/" + std::string(250, 'x') + ".txt";
  TestZipBuilder builder;
  builder.Add(name255, "fits");
  builder.Add(name256, "too long");
  const std::string image = builder.Build();
  ASSERT_TRUE(MountArchiveMemory(image.data(), image.size(), ""));
  std::string bytes;
  EXPECT_TRUE(ReadArchiveMemberBytes(base::Utf8ToWide(name255), &bytes));
  EXPECT_FALSE(ReadArchiveMemberBytes(base::Utf8ToWide(name256), &bytes));
  // A name that only becomes short enough after normalising is found.
  EXPECT_TRUE(ReadArchiveMemberBytes(L"r/a/b/../../" + base::Utf8ToWide(name255.substr(2)), &bytes));
}

// A member whose directory entry declares far more than its data can hold
// (4 GiB from a few bytes) is refused before anything of that size is
// allocated; the honest members beside it still read.
TEST_F(MountedArchiveTest, ImpossibleDeclaredSizesAreRefusedBeforeAllocating) {
  TestZipBuilder builder;
  builder.Add("r/huge.png", "tiny", true).declared_size = 0xFFFFFFF0;
  builder.Add("r/stored.txt", "abc", false).declared_size = 0x7FFFFFFF;
  builder.Add("r/fine.txt", "fine");
  const std::string image = builder.Build();
  ASSERT_TRUE(MountArchiveMemory(image.data(), image.size(), ""));
  std::string bytes = "untouched";
  EXPECT_FALSE(ReadArchiveMemberBytes(L"r/huge.png", &bytes));
  EXPECT_FALSE(ReadArchiveMemberBytes(L"r/stored.txt", &bytes));
  EXPECT_EQ("untouched", bytes);
  EXPECT_EQ(0u, MountedArchive()->MemberSize(MountedArchive()->Find(L"r/huge.png")));
  EXPECT_TRUE(ReadArchiveMemberBytes(L"r/fine.txt", &bytes));
  EXPECT_EQ("fine", bytes);
}

TEST_F(MountedArchiveTest, RemountingReplacesAndDamagedImagesUnmount) {
  TestZipBuilder other;
  other.Add("resources/product.ini", "OTHER=1\n");
  const std::string image = other.Build();
  ASSERT_TRUE(MountArchiveMemory(image.data(), image.size(), ""));
  std::string bytes;
  EXPECT_TRUE(ReadArchiveMemberBytes(L"resources/product.ini", &bytes));
  EXPECT_EQ("OTHER=1\n", bytes);
  EXPECT_FALSE(ReadArchiveMemberBytes(L"resources/themes/default/global.xml", &bytes));
  const std::string junk(100, 'j');
  EXPECT_FALSE(MountArchiveMemory(junk.data(), junk.size(), ""));
  EXPECT_FALSE(IsArchiveMounted());
  EXPECT_EQ(nullptr, MountedArchive());
}

TEST_F(MountedArchiveTest, WithNothingMountedTheSameNamesComeFromDisk) {
  const fs::path root = fs::temp_directory_path() / ("varno_resources_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(root);
  for (const auto& f : files_) {
    const fs::path file = root / fs::u8path(f.first);
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << f.second;
  }
  fs::create_directories(root / "resources/themes/default/form");
  const fs::path previous = fs::current_path();
  fs::current_path(root);

  // Mounted, the archive answers even though the files are also on disk.
  TestZipBuilder other;
  other.Add("resources/product.ini", "FROM_ARCHIVE=1\n");
  const std::string image = other.Build();
  ASSERT_TRUE(MountArchiveMemory(image.data(), image.size(), ""));
  std::string bytes;
  EXPECT_TRUE(ReadResourceBytes(L"resources\\product.ini", &bytes));
  EXPECT_EQ("FROM_ARCHIVE=1\n", bytes);
  EXPECT_FALSE(ReadResourceBytes(L"resources\\themes\\default\\global.xml", &bytes));

  UnmountArchive();
  for (const auto& f : files_) {
    const std::wstring name = base::Utf8ToWide(f.first);
    std::wstring back = name;
    for (wchar_t& c : back) c = c == L'/' ? L'\\' : c;
    for (const std::wstring& spelling : {name, back}) {
      bytes.clear();
      EXPECT_TRUE(ReadResourceBytes(spelling, &bytes)) << base::WideToUtf8(spelling);
      EXPECT_TRUE(bytes == f.second) << base::WideToUtf8(spelling);
    }
  }
  EXPECT_TRUE(ReadResourceBytes(
      L"resources\\themes\\default\\form\\..\\public\\button\\btn_min_normal.png", &bytes));
  EXPECT_EQ(3000u, bytes.size());
  EXPECT_FALSE(ReadResourceBytes(L"resources\\missing.ini", &bytes));
  EXPECT_FALSE(base::ReadFileBytes(L"resources\\themes\\default\\global.xml", &bytes, 5));  // over the limit

  fs::current_path(previous);
  fs::remove_all(root);
}

}  // namespace
}  // namespace ui
