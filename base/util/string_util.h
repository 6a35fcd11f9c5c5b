// Text formatting and conversion helpers. Portable (no Windows headers) so the
// parsers of outside data can build natively. Wide strings hold UTF-16 code
// units on every platform. All functions are reentrant and thread-safe.
#ifndef BASE_UTIL_STRING_UTIL_H_
#define BASE_UTIL_STRING_UTIL_H_

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

namespace base {

// printf-style formatting. In wide formats write %ls for wide strings: C
// runtimes disagree on what a plain %s means there.
std::string FormatText(const char* format, ...);
std::wstring FormatText(const wchar_t* format, ...);
void AppendFormatted(std::string& out, const char* format, ...);
void AppendFormatted(std::wstring& out, const wchar_t* format, ...);
void AppendFormattedV(std::string& out, const char* format, va_list args);
void AppendFormattedV(std::wstring& out, const wchar_t* format, va_list args);

// Whole-string conversions. An invalid or truncated UTF-8 sequence, or a high
// surrogate at the very end of the UTF-16 input, makes the result empty.
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);
// UTF-8 to UTF-16 for text files read from outside: a malformed sequence
// becomes U+FFFD instead of emptying the whole text.
std::wstring DecodeUtf8(const char* data, size_t size);

std::wstring Int64ToWide(int64_t value);

// Splits at any of |delimiters|; runs of delimiters give no empty tokens.
std::vector<std::wstring> SplitText(const std::wstring& text, const std::wstring& delimiters);
std::vector<std::string> SplitText(const std::string& text, const std::string& delimiters);

// Replaces every occurrence of |find| in |*text|; returns the count.
int ReplaceAllText(const std::wstring& find, const std::wstring& replacement, std::wstring* text);
int ReplaceAllText(const std::string& find, const std::string& replacement, std::string* text);

}  // namespace base

#endif  // BASE_UTIL_STRING_UTIL_H_
