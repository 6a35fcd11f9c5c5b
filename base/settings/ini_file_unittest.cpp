#include "base/settings/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

IniFile Parse(const std::string& text) {
  IniFile ini;
  EXPECT_TRUE(ini.LoadFromMemory(text.data(), text.size()));
  return ini;
}

TEST(IniFileTest, KeysValuesAndComments) {
  IniFile ini = Parse(
      "; comment line\n"
      "[section]\n"
      "KEY=a=b\n"
      "  SPACED  =   value with  inner  spaces   \n"
      ";COMMENTED=yes\n"
      "SEMI;COLON=no\n"
      "DUP=first\n"
      "DUP=second\n"
      "lower=case\n"
      "EMPTY=\n"
      "=empty key\n"
      "no equals sign\n"
      "LAST=no line feed");
  EXPECT_EQ(L"a=b", ini.GetValue(L"KEY"));
  EXPECT_EQ(L"value with  inner  spaces", ini.GetValue(L"SPACED"));
  EXPECT_EQ(L"", ini.GetValue(L";COMMENTED"));
  EXPECT_EQ(L"", ini.GetValue(L"SEMI;COLON"));
  EXPECT_EQ(L"second", ini.GetValue(L"DUP"));
  EXPECT_EQ(L"case", ini.GetValue(L"lower"));
  EXPECT_EQ(L"", ini.GetValue(L"LOWER"));  // keys are case-sensitive
  EXPECT_EQ(L"no line feed", ini.GetValue(L"LAST"));
  // The empty key is stored but never read.
  EXPECT_EQ(1u, ini.entries().count(L""));
  EXPECT_EQ(L"", ini.GetValue(L""));
  EXPECT_EQ(1u, ini.entries().count(L"EMPTY"));
  EXPECT_EQ(7u, ini.entries().size());
}

TEST(IniFileTest, TrimsSpacesAndControlCodesBelowThirty) {
  IniFile ini = Parse(
      "\t\x1D KEY \r\n"
      "\x01TAB\t=\t\tv\x1C\r\n"
      "\x1EKEEP=\x1F" "x\x1F\n"
      "CR=line\r\r\n");
  EXPECT_EQ(L"", ini.GetValue(L"KEY"));  // no "=": ignored
  EXPECT_EQ(L"v", ini.GetValue(L"TAB"));
  EXPECT_EQ(L"\x1F" L"x\x1F", ini.GetValue(L"\x1E" L"KEEP"));
  EXPECT_EQ(L"line", ini.GetValue(L"CR"));
  // No-break space is not trimmed.
  IniFile nbsp = Parse("K=\xC2\xA0v\xC2\xA0\n");
  EXPECT_EQ(L"\x00A0v\x00A0", nbsp.GetValue(L"K"));
}

TEST(IniFileTest, OnlyBackslashRAndNAreUnescaped) {
  IniFile ini = Parse("K=one\\ntwo\\r\\nthree\\t\\\\n\\x\n");
  EXPECT_EQ(L"one\ntwo\r\nthree\\t\\\n\\x", ini.GetValue(L"K"));
  EXPECT_EQ("one\ntwo\r\nthree\\t\\\n\\x", ini.GetValueUtf8(L"K"));
  // Stored raw: the map keeps the escapes.
  EXPECT_EQ(L"one\\ntwo\\r\\nthree\\t\\\\n\\x", ini.entries().at(L"K"));
}

TEST(IniFileTest, Utf8ByteOrderMarkAndNulBytes) {
  // The mark is not removed: it becomes part of the first line's key.
  IniFile bom = Parse("\xEF\xBB\xBFKEY=v\nNEXT=w\n");
  EXPECT_EQ(L"", bom.GetValue(L"KEY"));
  EXPECT_EQ(L"v", bom.GetValue(L"\xFEFF" L"KEY"));
  EXPECT_EQ(L"w", bom.GetValue(L"NEXT"));

  const std::string with_nul("A=1\0B=2\0\0C=3", 13);
  IniFile nul = Parse(with_nul);
  EXPECT_EQ(L"1", nul.GetValue(L"A"));
  EXPECT_EQ(L"2", nul.GetValue(L"B"));
  EXPECT_EQ(L"3", nul.GetValue(L"C"));

  IniFile text = Parse("T=\xE4\xB8\xAD\xE6\x96\x87 \xFF ok\n");  // one broken byte
  EXPECT_EQ(L"\x4E2D\x6587 \xFFFD ok", text.GetValue(L"T"));
  EXPECT_EQ("\xE4\xB8\xAD\xE6\x96\x87 \xEF\xBF\xBD ok", text.GetValueUtf8(L"T"));
}

TEST(IniFileTest, MemoryAddsAndFileReplaces) {
  IniFile ini = Parse("A=1\nB=2\n");
  const std::string more = "B=3\nC=4\n";
  ini.LoadFromMemory(more.data(), more.size());
  EXPECT_EQ(L"1", ini.GetValue(L"A"));
  EXPECT_EQ(L"3", ini.GetValue(L"B"));
  EXPECT_EQ(L"4", ini.GetValue(L"C"));
  ini.LoadFromMemory(nullptr, 10);
  EXPECT_EQ(3u, ini.entries().size());

  const fs::path file = fs::temp_directory_path() / "varno_ini_test.ini";
  std::ofstream(file, std::ios::binary) << "; header\r\nD=5\r\nB=6";
  EXPECT_TRUE(ini.LoadFromFile(file.wstring()));
  EXPECT_EQ(L"", ini.GetValue(L"A"));
  EXPECT_EQ(L"6", ini.GetValue(L"B"));
  EXPECT_EQ(L"5", ini.GetValue(L"D"));
  fs::remove(file);
  EXPECT_FALSE(ini.LoadFromFile(file.wstring()));
  EXPECT_TRUE(ini.entries().empty());
}

TEST(IniFileTest, LongFileLinesAreReadInPieces) {
  // 4095 bytes fill one read; the rest of the physical line is a line of its
  // own, so a key=value hidden there is found and the first value is cut.
  const std::string first = "LONG=" + std::string(4095 - 5, 'x');
  const fs::path file = fs::temp_directory_path() / "varno_ini_long.ini";
  std::ofstream(file, std::ios::binary) << first << "TAIL=yes\nAFTER=1\n";
  IniFile ini;
  ASSERT_TRUE(ini.LoadFromFile(file.wstring()));
  EXPECT_EQ(4090u, ini.GetValue(L"LONG").size());
  EXPECT_EQ(L"yes", ini.GetValue(L"TAIL"));
  EXPECT_EQ(L"1", ini.GetValue(L"AFTER"));
  fs::remove(file);

  // From memory there is no such limit.
  IniFile memory = Parse(first + "TAIL=yes\n");
  EXPECT_EQ(4090u + 8u, memory.GetValue(L"LONG").size());
}

}  // namespace
