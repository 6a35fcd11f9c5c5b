#include "installer/utils/device_serial.h"

#include <cstdio>
#include <vector>

namespace {

// The C locale's classes, spelled out so the result never depends on the
// process locale.
bool IsPrintable(unsigned char c) { return c >= 0x20 && c <= 0x7E; }
bool IsWhiteSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexValue(unsigned char c) {
  if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (IsWhiteSpace(c)) return 0;
  return -1;
}

}  // namespace

std::string IdentifyWordsToText(const uint8_t* identify, size_t size, int first_word, int last_word) {
  std::string text;
  if (!identify || first_word < 0) return text;
  for (int word = first_word; word <= last_word; ++word) {
    size_t at = static_cast<size_t>(word) * 2;
    if (at + 1 >= size) break;
    text.push_back(static_cast<char>(identify[at + 1]));
    text.push_back(static_cast<char>(identify[at]));
  }
  // The drive's text is a C string: a zero byte ends it.
  size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return TrimTrailingBlanks(text);
}

std::string DecodeStorageSerial(const char* descriptor, size_t size, long offset, bool flip) {
  if (!descriptor || offset <= 0 || static_cast<unsigned long>(offset) >= size) return std::string();
  // The text ends at its zero byte or, for a descriptor without one, at the
  // end of the bytes the device returned.
  const unsigned char* text = reinterpret_cast<const unsigned char*>(descriptor) + offset;
  size_t length = 0;
  size_t limit = size - static_cast<size_t>(offset);
  while (length < limit && text[length] != 0) ++length;

  std::string result;
  bool hexadecimal = true;
  for (size_t i = 0; i < length; i += 2) {
    // An odd count pairs the last digit with the terminator, which is no digit.
    int high = HexValue(text[i]);
    int low = i + 1 < length ? HexValue(text[i + 1]) : -1;
    if (high < 0 || low < 0) {
      hexadecimal = false;
      break;
    }
    unsigned char byte = static_cast<unsigned char>(high * 16 + low);
    if (byte != 0 && !IsPrintable(byte)) {
      hexadecimal = false;
      break;
    }
    result.push_back(static_cast<char>(byte));
  }
  if (hexadecimal) {
    size_t zero = result.find('\0');
    if (zero != std::string::npos) result.resize(zero);
  } else {
    size_t printable = 0;
    while (printable < length && IsPrintable(text[printable])) ++printable;
    if (printable != length) return std::string();
    result.assign(reinterpret_cast<const char*>(text), length);
  }

  if (flip) {
    for (size_t i = 0; i + 1 < result.size(); i += 2) std::swap(result[i], result[i + 1]);
    // The odd last character traded places with the terminator.
    if (result.size() % 2 == 1) result.pop_back();
  }
  return result;
}

std::string FormatAdapterAddress(const uint8_t* address) {
  char text[kDevicePartSize];
  std::snprintf(text, sizeof(text), "%02X%02X%02X%02X%02X%02X", address[0], address[1], address[2], address[3],
                address[4], address[5]);
  return text;
}

std::string TrimTrailingBlanks(std::string text) {
  size_t end = text.find_last_not_of(' ');
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

std::string ParseCommandAnswer(const std::string& output, const std::string& heading) {
  if (heading.empty()) return std::string();
  size_t at = output.find(heading);
  if (at == std::string::npos) return std::string();
  std::string answer;
  for (size_t i = at + heading.size(); i < output.size() && answer.size() < 511; ++i) {
    char c = output[i];
    if (c == ' ' || c == '\r' || c == '\n') continue;
    // The answer is a C string: it ends at a zero byte.
    if (c == '\0') break;
    answer.push_back(c);
  }
  return answer;
}
