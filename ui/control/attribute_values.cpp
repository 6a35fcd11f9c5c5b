#include "ui/control/attribute_values.h"

#include <cwchar>
#include <cwctype>

namespace ui {

int ClampLength(int64_t value) {
  if (value > kMaxLength) return kMaxLength;
  if (value < -kMaxLength) return -kMaxLength;
  return static_cast<int>(value);
}

namespace {

// Reads one number at |*p|; never moves past the terminator.
int ReadNumber(const wchar_t** p) {
  const wchar_t* s = *p;
  while (*s == L' ' || *s == L'\t') ++s;
  bool negative = false;
  if (*s == L'-' || *s == L'+') {
    negative = *s == L'-';
    ++s;
  }
  int64_t value = 0;
  while (*s >= L'0' && *s <= L'9') {
    if (value <= kMaxLength) value = value * 10 + (*s - L'0');
    ++s;
  }
  *p = s;
  return ClampLength(negative ? -value : value);
}

}  // namespace

int ParseLength(const std::wstring& text) {
  const wchar_t* p = text.c_str();
  return ReadNumber(&p);
}

bool ParseIntList(const std::wstring& text, int* out, int count) {
  std::vector<int> values;
  const wchar_t* p = text.c_str();
  for (int i = 0; i < count; ++i) {
    if (*p == 0) return false;
    values.push_back(ReadNumber(&p));
    if (i + 1 < count) {
      if (*p == 0) return false;
      ++p;  // one separator of any kind
    }
  }
  for (int i = 0; i < count; ++i) out[i] = values[i];
  return true;
}

std::vector<AttributePair> ParseAttributeList(const std::wstring& list) {
  std::vector<AttributePair> pairs;
  size_t pos = 0;
  const size_t n = list.size();
  while (pos < n) {
    const size_t eq = list.find(L'=', pos);
    if (eq == std::wstring::npos || eq == pos) break;
    // A name holds no space: two spaces (or text without "=") end the list.
    if (list.find(L' ', pos) < eq) break;
    if (eq + 1 >= n || list[eq + 1] != L'"') break;
    const size_t close = list.find(L'"', eq + 2);
    if (close == std::wstring::npos) break;
    pairs.emplace_back(list.substr(pos, eq - pos), list.substr(eq + 2, close - eq - 2));
    pos = close + 1;
    if (pos >= n) break;
    if (list[pos] != L' ') break;
    ++pos;
  }
  return pairs;
}

}  // namespace ui
