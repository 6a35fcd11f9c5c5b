#include "ui/core/zip_reader.h"

#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "ui/core/zip_test_builder.h"

namespace ui {
namespace {

using test::TestMember;
using test::TestZipBuilder;

std::string Noise(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xff);
  return out;
}

// Extracts into a buffer with guard bytes after the declared size, and
// checks that the guard survived whatever the result.
int ExtractGuarded(const ZipReader& reader, int index, size_t declared, std::string* out) {
  std::string buffer(declared + 64, '\xA5');
  const int result = reader.Extract(index, &buffer[0], buffer.size());
  EXPECT_EQ(std::string(64, '\xA5'), buffer.substr(declared)) << "wrote past the declared size";
  *out = buffer.substr(0, declared);
  return result;
}

// An archive made by Info-ZIP 3.0 ("zip -P 's3cret!'"): deflated, encrypted,
// with a data descriptor. A check that does not depend on our own writer.
const unsigned char kInfoZipEncrypted[] = {
    0x50, 0x4b, 0x03, 0x04, 0x14, 0x00, 0x09, 0x00, 0x08, 0x00, 0x00, 0x00, 0x21, 0x5c, 0xf6, 0xfe,
    0xcd, 0x2d, 0x5b, 0x00, 0x00, 0x00, 0x7d, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x6b, 0x6e,
    0x6f, 0x77, 0x6e, 0x2e, 0x74, 0x78, 0x74, 0x53, 0x17, 0xc0, 0xb4, 0x81, 0xd2, 0x91, 0xb8, 0xae,
    0x07, 0xc9, 0x63, 0x98, 0xdb, 0xf3, 0x52, 0xb9, 0x43, 0xb8, 0x43, 0x52, 0xe5, 0x0b, 0xf2, 0xcf,
    0xfb, 0x27, 0xec, 0x15, 0xa0, 0x64, 0x1f, 0x57, 0x7e, 0xe6, 0x22, 0x3e, 0x86, 0xef, 0xa8, 0x88,
    0x69, 0xce, 0xa8, 0xac, 0x7f, 0x75, 0xd9, 0x6c, 0x5d, 0x62, 0xeb, 0x6f, 0x9c, 0xb0, 0x71, 0x19,
    0x98, 0xab, 0xb3, 0xbe, 0xce, 0xd0, 0x5b, 0x7b, 0x7d, 0x83, 0xa2, 0x86, 0x96, 0xcb, 0x6e, 0xe5,
    0x90, 0x52, 0xfd, 0x28, 0x28, 0x19, 0x8c, 0x11, 0xe8, 0xa7, 0x3f, 0x18, 0xcc, 0x3e, 0xa2, 0xa0,
    0xb1, 0x7a, 0x50, 0x4b, 0x07, 0x08, 0xf6, 0xfe, 0xcd, 0x2d, 0x5b, 0x00, 0x00, 0x00, 0x7d, 0x00,
    0x00, 0x00, 0x50, 0x4b, 0x01, 0x02, 0x1e, 0x03, 0x14, 0x00, 0x09, 0x00, 0x08, 0x00, 0x00, 0x00,
    0x21, 0x5c, 0xf6, 0xfe, 0xcd, 0x2d, 0x5b, 0x00, 0x00, 0x00, 0x7d, 0x00, 0x00, 0x00, 0x09, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xa4, 0x81, 0x00, 0x00, 0x00, 0x00,
    0x6b, 0x6e, 0x6f, 0x77, 0x6e, 0x2e, 0x74, 0x78, 0x74, 0x50, 0x4b, 0x05, 0x06, 0x00, 0x00, 0x00,
    0x00, 0x01, 0x00, 0x01, 0x00, 0x37, 0x00, 0x00, 0x00, 0x92, 0x00, 0x00, 0x00, 0x00, 0x00};
const char kInfoZipText[] =
    "Known answer from Info-ZIP: the quick brown fox jumps over the lazy dog, twice: the quick "
    "brown fox jumps over the lazy dog.\n";

TEST(ZipReaderTest, ReadsStoredDeflatedAndDirectoryMembers) {
  TestZipBuilder builder;
  builder.AddDirectory("res/");
  builder.Add("res/stored.txt", "stored bytes", false);
  const std::string big = Noise(100000, 1) + std::string(200000, 'z');  // several 16 KiB chunks
  builder.Add("res/big.bin", big, true);
  builder.Add("res/empty.txt", "", true);
  const std::string image = builder.Build();

  ZipReader reader;
  ASSERT_EQ(kZipOk, reader.Open(image.data(), image.size()));
  ASSERT_EQ(4, reader.EntryCount());

  std::string out;
  EXPECT_EQ(kZipOk, ExtractGuarded(reader, 1, 12, &out));
  EXPECT_EQ("stored bytes", out);
  EXPECT_EQ(kZipOk, ExtractGuarded(reader, 2, big.size(), &out));
  EXPECT_TRUE(out == big);
  EXPECT_EQ(kZipOk, reader.Extract(3, nullptr, 0));
  EXPECT_EQ(kZipOk, reader.Extract(0, nullptr, 0));

  ZipEntryInfo info;
  ASSERT_EQ(kZipOk, reader.GetEntryInfo(0, &info));
  EXPECT_EQ(L"res/", info.name);
  EXPECT_TRUE(info.attributes & kZipAttrDirectory);
  ASSERT_EQ(kZipOk, reader.GetEntryInfo(2, &info));
  EXPECT_EQ(L"res/big.bin", info.name);
  EXPECT_EQ(big.size(), info.uncompressed_size);
  EXPECT_LT(info.compressed_size, info.uncompressed_size);
  EXPECT_EQ(8, info.method);
  EXPECT_FALSE(info.attributes & kZipAttrDirectory);
  EXPECT_FALSE(info.attributes & kZipAttrReadOnly);

  EXPECT_EQ(kZipBufferTooSmall, reader.Extract(1, &out[0], 11));
  EXPECT_EQ(kZipNotFound, reader.Extract(4, &out[0], out.size()));
  EXPECT_EQ(kZipNotFound, reader.GetEntryInfo(-1, &info));
  reader.Close();
  EXPECT_EQ(kZipNotOpen, reader.Extract(1, &out[0], out.size()));
  EXPECT_EQ(-1, reader.FindEntry("res/stored.txt", false));
}

TEST(ZipReaderTest, FindsNamesFoldingOnlyAsciiLetters) {
  TestZipBuilder builder;
  builder.Add("Public/CheckBox/check_no.png", "png");
  builder.Add("lang/\xC3\x84rger.txt", "umlaut");  // "Ärger"
  builder.Add("dup.txt", "first");
  builder.Add("DUP.txt", "second");
  const std::string long_name = std::string(251, 'n') + ".txt";  // 255 bytes
  builder.Add(long_name, "long");
  builder.Add(long_name + "x", "too long");
  const std::string image = builder.Build();
  ZipReader reader;
  ASSERT_EQ(kZipOk, reader.Open(image.data(), image.size()));

  EXPECT_EQ(0, reader.FindEntry("public/checkbox/CHECK_NO.PNG", false));
  EXPECT_EQ(-1, reader.FindEntry("public/checkbox/CHECK_NO.PNG", true));
  EXPECT_EQ(0, reader.FindEntry("Public/CheckBox/check_no.png", true));
  EXPECT_EQ(1, reader.FindEntry("LANG/\xC3\x84RGER.TXT", false));
  // "ä" differs from "Ä" outside ASCII: never folded.
  EXPECT_EQ(-1, reader.FindEntry("lang/\xC3\xA4rger.txt", false));
  // The first match in directory order wins.
  EXPECT_EQ(2, reader.FindEntry("Dup.TXT", false));
  EXPECT_EQ(3, reader.FindEntry("DUP.txt", true));
  EXPECT_EQ(4, reader.FindEntry(long_name, false));
  EXPECT_EQ(-1, reader.FindEntry(long_name + "x", false));
  EXPECT_EQ(-1, reader.FindEntry("", false));
  EXPECT_EQ(-1, reader.FindEntry("dup.tx", false));
}

TEST(ZipReaderTest, DecryptsWithThePasswordAndRefusesOthers) {
  TestZipBuilder builder;
  const std::string secret = Noise(40000, 7);
  builder.Add("deflated.bin", secret, true).password = "p\xC3\xA4ss";
  builder.Add("stored.txt", "plain secret", false).password = "p\xC3\xA4ss";
  TestMember& described = builder.Add("described.txt", std::string(3000, 'd'), true);
  described.password = "p\xC3\xA4ss";
  described.data_descriptor = true;
  builder.Add("open.txt", "not encrypted", false);
  const std::string image = builder.Build();

  ZipReader reader;
  ASSERT_EQ(kZipOk, reader.Open(image.data(), image.size(), "p\xC3\xA4ss"));
  std::string out;
  EXPECT_EQ(kZipOk, ExtractGuarded(reader, 0, secret.size(), &out));
  EXPECT_TRUE(out == secret);
  EXPECT_EQ(kZipOk, ExtractGuarded(reader, 1, 12, &out));
  EXPECT_EQ("plain secret", out);
  EXPECT_EQ(kZipOk, ExtractGuarded(reader, 2, 3000, &out));
  EXPECT_EQ(std::string(3000, 'd'), out);
  ZipEntryInfo info;
  ASSERT_EQ(kZipOk, reader.GetEntryInfo(0, &info));
  EXPECT_TRUE(info.encrypted);
  ASSERT_EQ(kZipOk, reader.GetEntryInfo(3, &info));
  EXPECT_FALSE(info.encrypted);

  // Many wrong passwords: the check byte lets about one in 256 through, and
  // the CRC must catch those.
  for (int i = 0; i < 600; ++i) {
    ZipReader wrong;
    const std::string password = "wrong" + std::to_string(i);
    ASSERT_EQ(kZipOk, wrong.Open(image.data(), image.size(), password));
    for (int index = 0; index < 3; ++index) {
      const size_t declared = index == 0 ? secret.size() : index == 1 ? 12 : 3000;
      EXPECT_NE(kZipOk, ExtractGuarded(wrong, index, declared, &out)) << password;
    }
    EXPECT_EQ(kZipOk, ExtractGuarded(wrong, 3, 13, &out));
  }
  ZipReader none;
  ASSERT_EQ(kZipOk, none.Open(image.data(), image.size()));
  EXPECT_EQ(kZipBadPassword, ExtractGuarded(none, 1, 12, &out));
}

TEST(ZipReaderTest, DecryptsAnInfoZipArchive) {
  ZipReader reader;
  ASSERT_EQ(kZipOk, reader.Open(kInfoZipEncrypted, sizeof(kInfoZipEncrypted), "s3cret!"));
  ASSERT_EQ(0, reader.FindEntry("known.txt", true));
  std::string out;
  EXPECT_EQ(kZipOk, ExtractGuarded(reader, 0, sizeof(kInfoZipText) - 1, &out));
  EXPECT_EQ(kInfoZipText, out);
  ASSERT_EQ(kZipOk, reader.Open(kInfoZipEncrypted, sizeof(kInfoZipEncrypted), "s3cret?"));
  EXPECT_NE(kZipOk, ExtractGuarded(reader, 0, sizeof(kInfoZipText) - 1, &out));
}

TEST(ZipReaderTest, SanitisesNamesAndReadsTimes) {
  TestZipBuilder builder;
  builder.Add("C:\\temp\\..\\evil.txt", "x").version_made_by = 0x0014;
  builder.Add("//server/share/a.txt", "x");
  builder.Add("a/b/../../c/../d.txt", "x");
  builder.Add("../../up.txt", "x");
  builder.Add("plain/name.txt", "x");
  // "UT" extra field: flags 1 (modification time only), 1767225600 = 2026-01-01 00:00 UTC.
  std::string ut;
  TestZipBuilder::Put16(&ut, 0x5455);
  TestZipBuilder::Put16(&ut, 5);
  ut.push_back('\x01');
  TestZipBuilder::Put32(&ut, 1767225600u);
  TestMember& stamped = builder.Add("stamped.txt", "x");
  stamped.central_extra = ut;
  TestMember& readonly = builder.Add("readonly.txt", "x");
  readonly.external_attributes = 0100444u << 16;
  TestMember& dos = builder.Add("DOS.TXT", "x");
  dos.version_made_by = 0x0014;
  dos.external_attributes = kZipAttrHidden | kZipAttrSystem | kZipAttrReadOnly | kZipAttrArchive;
  const std::string image = builder.Build();
  ZipReader reader;
  ASSERT_EQ(kZipOk, reader.Open(image.data(), image.size()));

  const wchar_t* expected[] = {L"evil.txt", L"server/share/a.txt", L"d.txt", L"up.txt", L"plain/name.txt"};
  ZipEntryInfo info;
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(kZipOk, reader.GetEntryInfo(i, &info));
    EXPECT_EQ(expected[i], info.name);
  }
  // The stored name is untouched; only the reported one is cleaned.
  EXPECT_EQ("../../up.txt", reader.StoredName(3));

  ASSERT_EQ(kZipOk, reader.GetEntryInfo(4, &info));
  std::tm local{};
  local.tm_year = 126, local.tm_mon = 0, local.tm_mday = 1, local.tm_hour = 12, local.tm_isdst = -1;
  EXPECT_EQ(static_cast<int64_t>(std::mktime(&local)), info.modified_time);
  ASSERT_EQ(kZipOk, reader.GetEntryInfo(5, &info));
  EXPECT_EQ(1767225600, info.modified_time);
  EXPECT_NE(1767225600, info.accessed_time);  // flag 1 carries only the modification time
  ASSERT_EQ(kZipOk, reader.GetEntryInfo(6, &info));
  EXPECT_TRUE(info.attributes & kZipAttrReadOnly);
  ASSERT_EQ(kZipOk, reader.GetEntryInfo(7, &info));
  EXPECT_EQ(kZipAttrHidden | kZipAttrSystem | kZipAttrReadOnly | kZipAttrArchive, info.attributes);
}

TEST(ZipReaderTest, EveryTruncationFailsCleanly) {
  TestZipBuilder builder;
  builder.AddDirectory("d/");
  builder.Add("d/a.txt", std::string(500, 'a') + Noise(300, 3), true);
  builder.Add("d/b.txt", "bee", false);
  const std::string image = builder.Build();
  for (size_t length = 0; length < image.size(); ++length) {
    const std::string cut = image.substr(0, length);
    ZipReader reader;
    // The bytes live in a buffer of exactly |length| so that any read past
    // the end shows up under the address sanitizer.
    std::vector<char> exact(cut.begin(), cut.end());
    EXPECT_NE(kZipOk, reader.Open(exact.empty() ? nullptr : exact.data(), exact.size())) << length;
  }
  // The end record intact but the data before it cut away.
  const std::string tail = image.substr(builder.central_offset());
  ZipReader reader;
  EXPECT_NE(kZipOk, reader.Open(tail.data(), tail.size()));
}

TEST(ZipReaderTest, DirectoryThatLiesIsCaught) {
  const std::string payload = std::string(4000, 'q') + Noise(100, 9);
  auto build = [&](void (*damage)(TestMember&)) {
    TestZipBuilder builder;
    damage(builder.Add("m.bin", payload, true));
    return builder.Build();
  };
  struct Case {
    const char* what;
    void (*damage)(TestMember&);
    int64_t declared;  // the size extraction is offered
  };
  const Case cases[] = {
      {"local offset past the end", [](TestMember& m) { m.declared_local_offset = 0x7fffffff; }, 4100},
      {"local offset at another place", [](TestMember& m) { m.declared_local_offset = 7; }, 4100},
      {"compressed size past the end", [](TestMember& m) { m.declared_compressed_size = 0x10000000; }, 4100},
      {"compressed size cut short", [](TestMember& m) { m.declared_compressed_size = 10; }, 4100},
      {"declared size too small", [](TestMember& m) { m.declared_size = 4099; }, 4099},
      {"declared size too large", [](TestMember& m) { m.declared_size = 4101; }, 4101},
      {"declared size far beyond the data", [](TestMember& m) { m.declared_size = 0x7ffffff0; }, 0},
      {"crc wrong", [](TestMember& m) { m.declared_crc = 12345; }, 4100},
  };
  for (const Case& c : cases) {
    const std::string image = build(c.damage);
    ZipReader reader;
    ASSERT_EQ(kZipOk, reader.Open(image.data(), image.size())) << c.what;
    std::string out;
    if (c.declared > 0) {
      EXPECT_NE(kZipOk, ExtractGuarded(reader, 0, static_cast<size_t>(c.declared), &out)) << c.what;
    } else {
      // A declared size that deflate cannot reach is refused before any
      // buffer of that size would be needed.
      std::string small(16, '\0');
      EXPECT_EQ(kZipBufferTooSmall, reader.Extract(0, &small[0], small.size())) << c.what;
      EXPECT_EQ(kZipCorrupt, reader.Extract(0, &small[0], static_cast<size_t>(-1))) << c.what;
    }
  }

  // Stored data whose sizes disagree.
  TestZipBuilder stored;
  stored.Add("s.txt", "abcdef", false).declared_size = 5;
  std::string image = stored.Build();
  ZipReader reader;
  ASSERT_EQ(kZipOk, reader.Open(image.data(), image.size()));
  std::string out;
  EXPECT_EQ(kZipCorrupt, ExtractGuarded(reader, 0, 5, &out));

  // An end record that claims more entries than the directory holds, or a
  // directory beyond the end record.
  TestZipBuilder two;
  two.Add("a", "1");
  two.Add("b", "2");
  image = two.Build();
  std::string more = image;
  more[two.end_offset() + 8] = 3, more[two.end_offset() + 10] = 3;
  EXPECT_EQ(kZipCorrupt, reader.Open(more.data(), more.size()));
  std::string beyond = image;
  TestZipBuilder::Patch32(&beyond, two.end_offset() + 16, two.end_offset() + 1);
  EXPECT_EQ(kZipCorrupt, reader.Open(beyond.data(), beyond.size()));
  std::string signature = image;
  signature[two.central_offset()] = 'X';
  EXPECT_EQ(kZipCorrupt, reader.Open(signature.data(), signature.size()));
  // A damaged local header signature fails that member only.
  std::string local = image;
  local[two.member(1).local_offset] = 'X';
  ASSERT_EQ(kZipOk, reader.Open(local.data(), local.size()));
  EXPECT_EQ(kZipOk, ExtractGuarded(reader, 0, 1, &out));
  EXPECT_EQ(kZipCorrupt, ExtractGuarded(reader, 1, 1, &out));
}

// Callers allocate the declared size before extracting, so it must be one
// the member's data can produce: equal to a stored member's data, at most
// 1032 times a deflated member's. Honest members pass, even the most
// compressible data there is.
TEST(ZipReaderTest, DeclaredSizesMustBeReachable) {
  const std::string zeros(4u << 20, '\0');  // deflates about 1000:1
  struct Case {
    const char* what;
    std::string data;
    bool deflate;
    const char* password;
    int64_t declared_size;             // -1: the true size
    int64_t declared_compressed_size;  // -1: the true size
    int expected;
  };
  const Case cases[] = {
      {"honest stored", "stored bytes", false, "", -1, -1, kZipOk},
      {"honest deflated", Noise(3000, 2), true, "", -1, -1, kZipOk},
      {"zeros at deflate's best", zeros, true, "", -1, -1, kZipOk},
      {"honest encrypted stored", "secret", false, "pw", -1, -1, kZipOk},
      {"honest encrypted deflated", zeros, true, "pw", -1, -1, kZipOk},
      {"deflated, about 4 GiB declared", "tiny", true, "", 0xFFFFFFF0, -1, kZipCorrupt},
      {"deflated, 2 GiB declared for a thousand zeros", std::string(1000, '\0'), true, "", 0x80000000, -1,
       kZipCorrupt},
      {"stored, one byte more declared", "abcdef", false, "", 7, -1, kZipCorrupt},
      {"stored, one byte less declared", "abcdef", false, "", 5, -1, kZipCorrupt},
      {"encrypted stored, the header counted as data", "secret", false, "pw", 18, -1, kZipCorrupt},
      {"encrypted, shorter than its header", "x", false, "pw", 1, 11, kZipCorrupt},
      {"compressed size larger than the image", "abc", true, "", -1, 0x7FFFFFFF, kZipCorrupt},
  };
  for (const Case& c : cases) {
    TestZipBuilder builder;
    TestMember& m = builder.Add("m.bin", c.data, c.deflate);
    m.password = c.password;
    m.declared_size = c.declared_size;
    m.declared_compressed_size = c.declared_compressed_size;
    const std::string image = builder.Build();
    ZipReader reader;
    ASSERT_EQ(kZipOk, reader.Open(image.data(), image.size(), c.password)) << c.what;
    EXPECT_EQ(c.expected, reader.CheckDeclaredSize(0)) << c.what;
    if (c.expected == kZipOk) {
      std::string out;
      EXPECT_EQ(kZipOk, ExtractGuarded(reader, 0, c.data.size(), &out)) << c.what;
      EXPECT_TRUE(out == c.data) << c.what;
    } else {
      // Extraction refuses it too, whatever buffer it is offered.
      std::string small(16, '\0');
      EXPECT_NE(kZipOk, reader.Extract(0, &small[0], static_cast<size_t>(-1))) << c.what;
    }
  }
  ZipReader closed;
  EXPECT_EQ(kZipNotOpen, closed.CheckDeclaredSize(0));
}

TEST(ZipReaderTest, DamagedDeflateStreamsFail) {
  TestZipBuilder builder;
  const std::string payload = Noise(50000, 11);
  builder.Add("n.bin", payload, true);
  const std::string image = builder.Build();
  const TestMember& m = builder.member(0);
  std::mt19937 random(5);
  int failures = 0;
  for (int round = 0; round < 200; ++round) {
    std::string damaged = image;
    const size_t at = m.data_offset + random() % m.payload_size;
    damaged[at] = static_cast<char>(damaged[at] ^ (1 + random() % 255));
    ZipReader reader;
    ASSERT_EQ(kZipOk, reader.Open(damaged.data(), damaged.size()));
    std::string out;
    if (ExtractGuarded(reader, 0, payload.size(), &out) != kZipOk) ++failures;
  }
  // Every flipped byte must be noticed (by inflate or by the CRC).
  EXPECT_EQ(200, failures);
}

TEST(ZipReaderTest, EndRecordSignatureInsideTheCommentIsPassedOver) {
  TestZipBuilder builder;
  builder.Add("a.txt", "content");
  std::string image = builder.Build();
  // A comment that itself holds an end-record signature followed by junk.
  const std::string comment = std::string("see PK\x05\x06", 8) + std::string(30, '\x7f');
  image[builder.end_offset() + 20] = static_cast<char>(comment.size());
  image += comment;
  ZipReader reader;
  ASSERT_EQ(kZipOk, reader.Open(image.data(), image.size()));
  std::string out;
  EXPECT_EQ(kZipOk, ExtractGuarded(reader, 0, 7, &out));
  EXPECT_EQ("content", out);
  // A comment length that runs past the end disqualifies the record.
  image[builder.end_offset() + 20] = static_cast<char>(comment.size() + 1);
  EXPECT_NE(kZipOk, reader.Open(image.data(), image.size()));
}

TEST(ZipReaderTest, RejectsNonArchives) {
  ZipReader reader;
  EXPECT_EQ(kZipBadArgument, reader.Open(nullptr, 100));
  const std::string junk = Noise(5000, 4);
  EXPECT_NE(kZipOk, reader.Open(junk.data(), junk.size()));
  EXPECT_FALSE(reader.IsOpen());
  // An empty archive (end record only) opens with no entries.
  std::string empty;
  TestZipBuilder::Put32(&empty, 0x06054b50);
  empty.append(18, '\0');
  ASSERT_EQ(kZipOk, reader.Open(empty.data(), empty.size()));
  EXPECT_EQ(0, reader.EntryCount());
}

}  // namespace
}  // namespace ui
