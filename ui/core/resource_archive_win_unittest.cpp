// The archive resource linked into this test executable is built from
// resources/ exactly as the installer's is.
#include "ui/core/resource_archive_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/util/string_util.h"
#include "ui/core/markup.h"

namespace ui {
namespace {

namespace fs = std::filesystem;

struct Member {
  std::string name;  // as stored
  std::string bytes;
};

class ArchiveResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MountArchive(MAKEINTRESOURCEW(kArchiveResourceId), kArchiveResourceType, ""));
    const ZipReader& reader = MountedArchive()->reader();
    for (int i = 0; i < reader.EntryCount(); ++i) {
      ZipEntryInfo info;
      ASSERT_EQ(kZipOk, reader.GetEntryInfo(i, &info));
      if (info.attributes & kZipAttrDirectory) {
        directories_.push_back(reader.StoredName(i));
        continue;
      }
      Member m{reader.StoredName(i), std::string(info.uncompressed_size, '\0')};
      ASSERT_EQ(kZipOk, reader.Extract(i, &m.bytes[0], m.bytes.size())) << m.name;
      EXPECT_EQ(8, info.method) << m.name << " is not deflated";
      members_.push_back(m);
    }
  }
  void TearDown() override { UnmountArchive(); }

  static std::string Read(const std::wstring& path) {
    size_t size = 0;
    ScopedGlobalMemory block = ReadArchiveMember(path, &size);
    if (!block) return "<missing>";
    ScopedGlobalLock lock(block.Get());
    EXPECT_GE(lock.size(), size);
    return std::string(static_cast<const char*>(lock.data()), size);
  }

  std::vector<Member> members_;
  std::vector<std::string> directories_;
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

TEST_F(ArchiveResourceTest, HoldsTheSettingsAndLanguages) {
  std::vector<std::string> names;
  for (const Member& m : members_) names.push_back(m.name);
  for (const char* required : {"resources/product.ini", "resources/lang.ini",
                               "resources/lang/English/gdstrings.ini",
                               "resources/lang/ChineseTW/gdstrings.ini"}) {
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), required)) << required;
  }
  EXPECT_NE(directories_.end(), std::find(directories_.begin(), directories_.end(), "resources/lang/"));
  for (const std::string& d : directories_) EXPECT_EQ('/', d.back()) << d;
}

TEST_F(ArchiveResourceTest, EveryMemberReadsUnderEverySpelling) {
  ASSERT_FALSE(members_.empty());
  for (const Member& m : members_) {
    const std::wstring name = base::Utf8ToWide(m.name);
    std::wstring back = name;
    for (wchar_t& c : back) c = c == L'/' ? L'\\' : c;
    const size_t slash = name.find(L'/');
    const std::wstring climbing = name.substr(0, slash) + L"/x/y/../..//" + name.substr(slash + 1);
    const std::wstring dotted = L".\\" + back.substr(0, slash) + L"\\.\\zz\\..\\" + back.substr(slash + 1);
    for (const std::wstring& spelling : {name, back, climbing, dotted, SwapAsciiCase(name), SwapAsciiCase(dotted)}) {
      EXPECT_TRUE(Read(spelling) == m.bytes) << base::WideToUtf8(spelling);
    }
  }
}

TEST_F(ArchiveResourceTest, BlocksAreMovableAndOwnedByTheCaller) {
  ScopedGlobalMemory block = ReadArchiveMember(L"resources\\product.ini");
  ASSERT_TRUE(block);
  EXPECT_EQ(0u, ::GlobalFlags(block.Get()) & GMEM_DISCARDABLE);
  void* data = ::GlobalLock(block.Get());
  ASSERT_NE(nullptr, data);
  EXPECT_NE(static_cast<void*>(block.Get()), data) << "a fixed block locks to its own handle";
  ::GlobalUnlock(block.Get());
  // Every call extracts anew into a block of its own.
  ScopedGlobalMemory again = ReadArchiveMember(L"resources\\product.ini");
  EXPECT_NE(block.Get(), again.Get());
  HGLOBAL released = block.Release();
  EXPECT_EQ(nullptr, ::GlobalFree(released));

  size_t size = 99;
  EXPECT_FALSE(ReadArchiveMember(L"resources/lang/", &size));  // a directory: size 0
  EXPECT_EQ(0u, size);
  EXPECT_FALSE(ReadArchiveMember(L"resources/no/such/file.png"));
  EXPECT_FALSE(ReadArchiveMember(L""));
}

TEST_F(ArchiveResourceTest, MissingResourceKeepsTheMountedArchive) {
  EXPECT_FALSE(MountArchive(MAKEINTRESOURCEW(134), kArchiveResourceType, ""));
  EXPECT_TRUE(IsArchiveMounted());
  UnmountArchive();
  EXPECT_FALSE(IsArchiveMounted());
  EXPECT_FALSE(ReadArchiveMember(L"resources\\product.ini"));
}

TEST_F(ArchiveResourceTest, UnpackedTreeServesTheSameNames) {
  const fs::path root = fs::temp_directory_path() / "varno_unpacked_archive";
  fs::remove_all(root);
  for (const Member& m : members_) {
    const fs::path file = root / fs::u8path(m.name);
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << m.bytes;
  }
  fs::create_directories(root / "resources/themes/default/form");
  std::ofstream(root / "resources/themes/default/form/probe.xml", std::ios::binary) << "<Window size=\"1,2\"/>";
  UnmountArchive();
  const fs::path previous = fs::current_path();
  fs::current_path(root);

  for (const Member& m : members_) {
    const std::wstring name = base::Utf8ToWide(m.name);
    std::wstring back = name;
    for (wchar_t& c : back) c = c == L'/' ? L'\\' : c;
    for (const std::wstring& spelling : {name, back}) {
      std::string bytes;
      EXPECT_TRUE(ReadResourceBytes(spelling, &bytes)) << base::WideToUtf8(spelling);
      EXPECT_TRUE(bytes == m.bytes) << base::WideToUtf8(spelling);
    }
  }
  // Markup below the resource path comes from the same tree.
  SetResourceRoot(L"resources\\themes\\default");
  MarkupDocument doc;
  EXPECT_TRUE(doc.LoadFile(L"form\\probe.xml")) << doc.ErrorText();
  EXPECT_STREQ(L"Window", doc.RootNode().ElementName());
  EXPECT_TRUE(doc.LoadFile(L"public\\..\\form\\probe.xml")) << doc.ErrorText();
  SetResourceRoot(L"");

  fs::current_path(previous);
  fs::remove_all(root);
}

}  // namespace
}  // namespace ui
