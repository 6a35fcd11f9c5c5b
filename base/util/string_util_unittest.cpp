#include "base/util/string_util.h"

#include <gtest/gtest.h>

namespace base {
namespace {

// Exactly the reference converter's notion of well-formed UTF-8.
TEST(Utf8ToWideTest, RejectsMalformedSequences) {
  EXPECT_EQ(L"a\u00e9\u4e2d", Utf8ToWide("a\xc3\xa9\xe4\xb8\xad"));
  const char* bad[] = {
      "\xc0\x80",          // overlong NUL
      "\xc1\xbf",          // overlong
      "\xe0\x9f\xbf",      // overlong three-byte
      "\xed\xa0\x80",      // encoded surrogate
      "\xf4\x90\x80\x80",  // above U+10FFFF
      "\xf5\x80\x80\x80",  // lead byte out of range
      "\x80",              // lone continuation
      "ok\xe4\xb8",        // truncated at the end
      "\xc3\x28",          // bad continuation
  };
  for (const char* s : bad) EXPECT_TRUE(Utf8ToWide(s).empty()) << s;
}

TEST(Utf8ToWideTest, SupplementaryCharactersRoundTrip) {
  std::string emoji = "\xf0\x9f\x98\x80";
  std::wstring wide = Utf8ToWide(emoji);
  ASSERT_EQ(2u, wide.size());
  EXPECT_EQ(0xD83D, static_cast<int>(wide[0]));
  EXPECT_EQ(0xDE00, static_cast<int>(wide[1]));
  EXPECT_EQ(emoji, WideToUtf8(wide));
}

// A high surrogate at the very end empties the result; other lone
// surrogates are kept as three-byte forms.
TEST(WideToUtf8Test, LoneSurrogates) {
  std::wstring trailing_high = L"ab";
  trailing_high.push_back(static_cast<wchar_t>(0xD800));
  EXPECT_TRUE(WideToUtf8(trailing_high).empty());
  std::wstring lone_low;
  lone_low.push_back(static_cast<wchar_t>(0xDC00));
  lone_low += L"x";
  EXPECT_EQ("\xed\xb0\x80x", WideToUtf8(lone_low));
  std::wstring high_then_letter;
  high_then_letter.push_back(static_cast<wchar_t>(0xD800));
  high_then_letter += L"y";
  EXPECT_EQ("\xed\xa0\x80y", WideToUtf8(high_then_letter));
}

TEST(FormatTextTest, GrowsPastTheStackBuffer) {
  std::wstring long_arg(5000, L'x');
  std::wstring out = FormatText(L"[%ls]", long_arg.c_str());
  EXPECT_EQ(5002u, out.size());
  EXPECT_EQ(L'[', out.front());
  EXPECT_EQ(L']', out.back());
  std::string narrow = FormatText("%s-%d", std::string(3000, 'y').c_str(), 7);
  EXPECT_EQ(3002u, narrow.size());
  std::string appended = "a";
  AppendFormatted(appended, "%02d", 5);
  EXPECT_EQ("a05", appended);
}

TEST(StringHelpersTest, SplitReplaceAndNumbers) {
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"c"}), SplitText(L",,a,,b;c;", L",;"));
  EXPECT_TRUE(SplitText(L",,,", L",").empty());
  std::wstring s = L"aXbXXc";
  EXPECT_EQ(3, ReplaceAllText(L"X", L"YY", &s));
  EXPECT_EQ(L"aYYbYYYYc", s);
  EXPECT_EQ(0, ReplaceAllText(L"", L"z", &s));
  std::wstring empty;
  EXPECT_EQ(0, ReplaceAllText(L"a", L"b", &empty));
  EXPECT_EQ(L"0", Int64ToWide(0));
  EXPECT_EQ(L"-42", Int64ToWide(-42));
  EXPECT_EQ(L"-9223372036854775808", Int64ToWide(INT64_MIN));
}

}  // namespace
TEST(StringUtilTest, LenientUtf8DecodingReplacesOnlyTheBrokenBytes) {
  EXPECT_EQ(L"a\xFFFD" L"b", DecodeUtf8("a\xFF" "b", 3));
  EXPECT_EQ(L"\xFFFD\xFFFD", DecodeUtf8("\xC0\xAF", 2));      // overlong
  EXPECT_EQ(L"\xFFFD\xFFFD\xFFFD", DecodeUtf8("\xED\xA0\x80", 3));  // surrogate
  EXPECT_EQ(L"x\xFFFD\xFFFD", DecodeUtf8("x\xE2\x82", 3));    // truncated
  const std::wstring clef = DecodeUtf8("\xF0\x9D\x84\x9E", 4);  // U+1D11E
  ASSERT_EQ(2u, clef.size());
  EXPECT_EQ(0xD834u, static_cast<unsigned>(clef[0]));
  EXPECT_EQ(0xDD1Eu, static_cast<unsigned>(clef[1]));
  EXPECT_EQ(L"\x00A0\x20AC", DecodeUtf8("\xC2\xA0\xE2\x82\xAC", 5));
}

}  // namespace base
