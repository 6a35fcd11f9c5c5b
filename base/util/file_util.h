// Reading files by wide name, portably: natively backslashes are read as
// slashes, so the same relative names work on an unpacked tree. Reentrant.
#ifndef BASE_UTIL_FILE_UTIL_H_
#define BASE_UTIL_FILE_UTIL_H_

#include <cstddef>
#include <cstdio>
#include <string>

namespace base {

// Opens a file by its wide name; null when it cannot be opened.
FILE* OpenFileForReading(const std::wstring& path, bool text_mode);
// Reads a whole file of at most |max_size| bytes.
bool ReadFileBytes(const std::wstring& path, std::string* bytes, size_t max_size);

}  // namespace base

#endif  // BASE_UTIL_FILE_UTIL_H_
