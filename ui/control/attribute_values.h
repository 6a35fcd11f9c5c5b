// Readers of the value syntax markup uses: numeric lists ("10,6,0,0") and
// attribute lists (name="value" pairs separated by one space). Input comes
// from skin files, so every reader stops at the end of the text, drops an
// incomplete item and clamps numbers to a range the layout arithmetic can
// sum without overflowing. Pure functions; UI thread only by use.
#ifndef UI_CONTROL_ATTRIBUTE_VALUES_H_
#define UI_CONTROL_ATTRIBUTE_VALUES_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ui {

// Lengths beyond this are typos or attacks; it is also the default maximum
// size, so a clamped length still means "as large as allowed".
constexpr int kMaxLength = 9999999;

// |value| clamped to [-kMaxLength, kMaxLength].
int ClampLength(int64_t value);

// A decimal number (leading whitespace and sign allowed); text that does
// not parse reads as 0. Clamped.
int ParseLength(const std::wstring& text);

// |count| numbers separated by one arbitrary character. False (and |out|
// untouched) when the text ends before the last number.
bool ParseIntList(const std::wstring& text, int* out, int count);

using AttributePair = std::pair<std::wstring, std::wstring>;

// The pairs of an attribute list, up to the first malformed one: a name
// without "=", a value without opening or closing quote, or a separator
// other than one space. The pairs before it are kept.
std::vector<AttributePair> ParseAttributeList(const std::wstring& list);

}  // namespace ui

#endif  // UI_CONTROL_ATTRIBUTE_VALUES_H_
