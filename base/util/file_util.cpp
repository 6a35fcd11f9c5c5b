#include "base/util/file_util.h"

#include <algorithm>

#include "base/util/string_util.h"

namespace base {

FILE* OpenFileForReading(const std::wstring& path, bool text_mode) {
  if (path.empty()) return nullptr;
#ifdef _WIN32
  return _wfopen(path.c_str(), text_mode ? L"rt" : L"rb");
#else
  std::wstring native = path;
  std::replace(native.begin(), native.end(), L'\\', L'/');
  const std::string narrow = WideToUtf8(native);
  if (narrow.empty()) return nullptr;
  return std::fopen(narrow.c_str(), text_mode ? "r" : "rb");
#endif
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes, size_t max_size) {
  if (!bytes) return false;
  FILE* file = OpenFileForReading(path, false);
  if (!file) return false;
  std::string out;
  char buffer[16384];
  bool ok = true;
  for (;;) {
    const size_t got = std::fread(buffer, 1, sizeof(buffer), file);
    if (got > max_size - out.size()) {
      ok = false;
      break;
    }
    out.append(buffer, got);
    if (got < sizeof(buffer)) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  if (!ok) return false;
  bytes->swap(out);
  return true;
}

}  // namespace base
