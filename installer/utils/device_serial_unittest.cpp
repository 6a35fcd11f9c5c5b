#include "installer/utils/device_serial.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// A descriptor whose serial text sits at |offset| behind filler bytes.
std::vector<char> Descriptor(long offset, const std::string& serial, bool terminated = true) {
  std::vector<char> bytes(static_cast<size_t>(offset), 'Z');
  bytes.insert(bytes.end(), serial.begin(), serial.end());
  if (terminated) bytes.push_back('\0');
  return bytes;
}

std::string Decode(const std::vector<char>& bytes, long offset, bool flip) {
  return DecodeStorageSerial(bytes.data(), bytes.size(), offset, flip);
}

// Hexadecimal text of the serial's bytes decodes, then neighbours swap.
TEST(DecodeStorageSerialTest, HexadecimalText) {
  // "1SZ3HAKN" stored as hex; flipped pairs give "S13ZAHNK".
  std::vector<char> d = Descriptor(24, "31535a3348414b4e");
  EXPECT_EQ("1SZ3HAKN", Decode(d, 24, false));
  EXPECT_EQ("S13ZAHNK", Decode(d, 24, true));
  // Upper-case digits and blanks (as digit 0, here giving zero bytes that end
  // the text) are part of the hexadecimal form.
  EXPECT_EQ("AB", Decode(Descriptor(8, "4142  43"), 8, false));
  EXPECT_EQ("Jz", Decode(Descriptor(8, "4A7A"), 8, false));
  // Odd decoded length: the last character is lost to the flip.
  EXPECT_EQ("ABD", Decode(Descriptor(8, "414244"), 8, false));
  EXPECT_EQ("BA", Decode(Descriptor(8, "414243"), 8, true));
}

// Printable text that is no hexadecimal is taken as it is.
TEST(DecodeStorageSerialTest, PlainText) {
  EXPECT_EQ("WD-WCC4E1234567", Decode(Descriptor(30, "WD-WCC4E1234567"), 30, false));
  // Even length: every pair swapped.
  EXPECT_EQ("DWW-CCE421436587", Decode(Descriptor(30, "WD-WCC4E12345678"), 30, true));
  // Odd length: the last character is lost.
  EXPECT_EQ("DWW-CCE4214365", Decode(Descriptor(30, "WD-WCC4E1234567"), 30, true));
  // Odd-length hexadecimal digits cannot be pairs: read as plain text.
  EXPECT_EQ("31535", Decode(Descriptor(4, "31535"), 4, false));
  // A hex pair giving an unprintable byte abandons the hexadecimal reading.
  EXPECT_EQ("0a41", Decode(Descriptor(4, "0a41"), 4, false));
  EXPECT_EQ("  XY  ", Decode(Descriptor(4, "  XY  "), 4, false)) << "trailing blanks are the caller's";
}

TEST(DecodeStorageSerialTest, UnusableInput) {
  std::vector<char> d = Descriptor(24, "ABC");
  EXPECT_EQ("", Decode(d, 0, true));
  EXPECT_EQ("", Decode(d, -5, true));
  EXPECT_EQ("", Decode(d, static_cast<long>(d.size()), true)) << "offset past the returned bytes";
  EXPECT_EQ("", Decode(d, 1000000, true));
  // Unprintable plain text gives nothing at all.
  EXPECT_EQ("", Decode(Descriptor(4, "AB\x01" "CD"), 4, false));
  EXPECT_EQ("", Decode(Descriptor(4, "AB\xC3\xA9"), 4, false));
  // Empty text.
  EXPECT_EQ("", Decode(Descriptor(4, ""), 4, true));
  // Without a terminator the text ends with the bytes the device returned.
  EXPECT_EQ("KLMN", Decode(Descriptor(4, "KLMN", false), 4, false));
  EXPECT_EQ("", DecodeStorageSerial(nullptr, 100, 4, true));
}

// Each word gives its high byte first; trailing blanks go.
TEST(IdentifyWordsTest, SerialWords) {
  std::vector<uint8_t> identify(512, 0);
  const char serial[] = "    S1ZNNEAG123456 ";  // 19 characters + one more blank
  for (int i = 0; i < 20; ++i) {
    char c = i < 19 ? serial[i] : ' ';
    // Word 10 + i/2; the even character is the high byte.
    identify[(10 + i / 2) * 2 + (i % 2 == 0 ? 1 : 0)] = static_cast<uint8_t>(c);
  }
  EXPECT_EQ("    S1ZNNEAG123456", IdentifyWordsToText(identify.data(), identify.size(), 10, 19));
  // A zero byte ends the text.
  identify[13 * 2 + 1] = 0;
  EXPECT_EQ("    S1", IdentifyWordsToText(identify.data(), identify.size(), 10, 19));
  // Words past the buffer are not read.
  EXPECT_EQ("", IdentifyWordsToText(identify.data(), 20, 10, 19));
  EXPECT_EQ("", IdentifyWordsToText(nullptr, 512, 10, 19));
}

TEST(DeviceTextTest, AddressAndBlanks) {
  const uint8_t address[6] = {0x00, 0x1b, 0x21, 0xab, 0xcd, 0xef};
  EXPECT_EQ("001B21ABCDEF", FormatAdapterAddress(address));
  EXPECT_EQ("  AB", TrimTrailingBlanks("  AB   "));
  EXPECT_EQ("", TrimTrailingBlanks("    "));
}

// Everything after the heading, without blanks and line breaks.
TEST(DeviceTextTest, CommandAnswer) {
  EXPECT_EQ("BFEBFBFF000906EA",
            ParseCommandAnswer("ProcessorId       \r\r\nBFEBFBFF000906EA  \r\r\n\r\r\n", "ProcessorId"));
  EXPECT_EQ("AB12CD", ParseCommandAnswer("junk SerialNumber\r\n AB 12 CD \r\n", "SerialNumber"));
  EXPECT_EQ("", ParseCommandAnswer("Nothing here", "ProcessorId"));
  EXPECT_EQ("", ParseCommandAnswer("ProcessorId\r\n", "ProcessorId"));
  std::string longer = "ProcessorId\r\n" + std::string(2000, 'A');
  EXPECT_EQ(511u, ParseCommandAnswer(longer, "ProcessorId").size());
}

}  // namespace
