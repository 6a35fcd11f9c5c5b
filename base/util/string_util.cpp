#include "base/util/string_util.h"

#include <cstdio>
#include <cwchar>
#include <memory>

#include "base/check.h"

namespace base {
namespace {

void AppendUtf16(uint32_t code_point, std::wstring* out) {
  if (code_point >= 0x10000) {
    code_point -= 0x10000;
    out->push_back(static_cast<wchar_t>(0xD800 + (code_point >> 10)));
    out->push_back(static_cast<wchar_t>(0xDC00 + (code_point & 0x3FF)));
  } else {
    out->push_back(static_cast<wchar_t>(code_point));
  }
}

constexpr size_t kStackChars = 1024;
constexpr size_t kMaxChars = size_t{1} << 25;

// Runtimes disagree on what a too-small buffer returns (-1, or the length
// needed); both come out as -1 here.
int FormatInto(char* buffer, size_t size, const char* format, va_list args) {
  int n = std::vsnprintf(buffer, size, format, args);
  return (n >= 0 && static_cast<size_t>(n) < size) ? n : -1;
}

int FormatInto(wchar_t* buffer, size_t size, const wchar_t* format, va_list args) {
  int n = std::vswprintf(buffer, size, format, args);
  return (n >= 0 && static_cast<size_t>(n) < size) ? n : -1;
}

template <typename Char>
void AppendFormattedImpl(std::basic_string<Char>& out, const Char* format, va_list args) {
  Char stack_buffer[kStackChars];
  va_list copy;
  va_copy(copy, args);
  int n = FormatInto(stack_buffer, kStackChars, format, copy);
  va_end(copy);
  if (n >= 0) {
    out.append(stack_buffer, static_cast<size_t>(n));
    return;
  }
  for (size_t size = 2048; size <= kMaxChars; size *= 2) {
    std::unique_ptr<Char[]> heap(new Char[size]);
    va_copy(copy, args);
    n = FormatInto(heap.get(), size, format, copy);
    va_end(copy);
    if (n >= 0) {
      out.append(heap.get(), static_cast<size_t>(n));
      return;
    }
  }
  BASE_CHECK(!"formatted text too long");
}

template <typename Char>
std::vector<std::basic_string<Char>> SplitImpl(const std::basic_string<Char>& text,
                                               const std::basic_string<Char>& delimiters) {
  std::vector<std::basic_string<Char>> tokens;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = text.find_first_not_of(delimiters, pos);
    if (start == std::basic_string<Char>::npos) break;
    size_t end = text.find_first_of(delimiters, start);
    if (end == std::basic_string<Char>::npos) end = text.size();
    tokens.push_back(text.substr(start, end - start));
    pos = end;
  }
  return tokens;
}

template <typename Char>
int ReplaceAllImpl(const std::basic_string<Char>& find, const std::basic_string<Char>& replacement,
                   std::basic_string<Char>* text) {
  if (find.empty() || !text || text->empty()) return 0;
  int count = 0;
  size_t pos = 0;
  while ((pos = text->find(find, pos)) != std::basic_string<Char>::npos) {
    text->replace(pos, find.size(), replacement);
    pos += replacement.size();
    ++count;
  }
  return count;
}

void AppendUtf8(uint32_t code_point, std::string& out) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

}  // namespace

std::string FormatText(const char* format, ...) {
  std::string out;
  va_list args;
  va_start(args, format);
  AppendFormattedImpl(out, format, args);
  va_end(args);
  return out;
}

std::wstring FormatText(const wchar_t* format, ...) {
  std::wstring out;
  va_list args;
  va_start(args, format);
  AppendFormattedImpl(out, format, args);
  va_end(args);
  return out;
}

void AppendFormatted(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormattedImpl(out, format, args);
  va_end(args);
}

void AppendFormatted(std::wstring& out, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormattedImpl(out, format, args);
  va_end(args);
}

void AppendFormattedV(std::string& out, const char* format, va_list args) {
  AppendFormattedImpl(out, format, args);
}

void AppendFormattedV(std::wstring& out, const wchar_t* format, va_list args) {
  AppendFormattedImpl(out, format, args);
}

std::wstring Utf8ToWide(const std::string& utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  size_t i = 0;
  while (i < n) {
    unsigned char lead = s[i];
    if (lead < 0x80) {
      out.push_back(static_cast<wchar_t>(lead));
      ++i;
      continue;
    }
    int extra;
    uint32_t cp;
    // Second-byte bounds exclude overlong forms, surrogates and > U+10FFFF.
    unsigned char lo = 0x80, hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
      cp = lead & 0x0F;
      if (lead == 0xE0) lo = 0xA0;
      if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      cp = lead & 0x07;
      if (lead == 0xF0) lo = 0x90;
      if (lead == 0xF4) hi = 0x8F;
    } else {
      return std::wstring();
    }
    if (n - i <= static_cast<size_t>(extra)) return std::wstring();
    for (int k = 1; k <= extra; ++k) {
      unsigned char c = s[i + k];
      unsigned char min = k == 1 ? lo : 0x80, max = k == 1 ? hi : 0xBF;
      if (c < min || c > max) return std::wstring();
      cp = (cp << 6) | (c & 0x3F);
    }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
  }
  return out;
}

std::string WideToUtf8(const std::wstring& wide) {
  std::string out;
  out.reserve(wide.size());
  const size_t n = wide.size();
  for (size_t i = 0; i < n; ++i) {
    uint32_t unit = static_cast<uint32_t>(wide[i]);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 == n) return std::string();
      uint32_t next = static_cast<uint32_t>(wide[i + 1]);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), out);
        ++i;
        continue;
      }
    }
    // A lone surrogate is kept as its three-byte form rather than dropped.
    AppendUtf8(unit > 0x10FFFF ? 0xFFFD : unit, out);
  }
  return out;
}

std::wstring Int64ToWide(int64_t value) {
  wchar_t digits[24];
  int pos = 24;
  // Work on the unsigned magnitude so INT64_MIN does not overflow.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[--pos] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--pos] = L'-';
  return std::wstring(digits + pos, digits + 24);
}

std::vector<std::wstring> SplitText(const std::wstring& text, const std::wstring& delimiters) {
  return SplitImpl(text, delimiters);
}

std::vector<std::string> SplitText(const std::string& text, const std::string& delimiters) {
  return SplitImpl(text, delimiters);
}

int ReplaceAllText(const std::wstring& find, const std::wstring& replacement, std::wstring* text) {
  return ReplaceAllImpl(find, replacement, text);
}

int ReplaceAllText(const std::string& find, const std::string& replacement, std::string* text) {
  return ReplaceAllImpl(find, replacement, text);
}

std::wstring DecodeUtf8(const char* data, size_t size) {
  std::wstring out;
  out.reserve(size);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
  size_t i = 0;
  while (i < size) {
    const unsigned char lead = p[i];
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    int length = 0;
    uint32_t code = 0, minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, code = lead & 0x07, minimum = 0x10000;
    }
    bool valid = length > 0 && size - i >= static_cast<size_t>(length);
    for (int k = 1; valid && k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) valid = false;
      code = (code << 6) | (p[i + k] & 0x3F);
    }
    if (valid && (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) {
      valid = false;
    }
    if (!valid) {
      out.push_back(L'\xFFFD');
      ++i;
      continue;
    }
    AppendUtf16(code, &out);
    i += length;
  }
  return out;
}

}  // namespace base
