#include "base/settings/ini_file.h"

#include <cstdio>
#include <cstring>

#include "base/util/string_util.h"
#include "base/log/log.h"
#include "base/util/file_util.h"

namespace {

// The space and every control code below 30 (U+001E and U+001F survive).
bool IsTrimmed(wchar_t c) { return c == L' ' || static_cast<uint32_t>(c) < 30; }

std::wstring Trim(const std::wstring& text) {
  size_t start = 0, end = text.size();
  while (start < end && IsTrimmed(text[start])) ++start;
  while (end > start && IsTrimmed(text[end - 1])) --end;
  return text.substr(start, end - start);
}

}  // namespace

void IniFile::ParseLine(const char* data, size_t size) {
  const std::wstring line = Trim(base::DecodeUtf8(data, size));
  if (line.empty()) return;
  const size_t equals = line.find(L'=');
  if (equals == std::wstring::npos) return;
  std::wstring key = Trim(line.substr(0, equals));
  if (key.find(L';') != std::wstring::npos) return;  // a comment
  values_[key] = Trim(line.substr(equals + 1));
}

bool IniFile::LoadFromMemory(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  if (!bytes) size = 0;
  size_t start = 0;
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] == '\n' || bytes[i] == '\0') {
      ParseLine(bytes + start, i - start);
      start = i + 1;
    }
  }
  // The last line counts even without its LF.
  if (start < size) ParseLine(bytes + start, size - start);
  return true;
}

bool IniFile::LoadFromFile(const std::wstring& path) {
  values_.clear();
  FILE* file = base::OpenFileForReading(path, true);
  if (!file) {
    QLOG_WAR(L"settings: cannot open {0}") << path;
    return false;
  }
  char buffer[kFileLineBytes + 1];
  while (std::fgets(buffer, sizeof(buffer), file)) ParseLine(buffer, std::strlen(buffer));
  std::fclose(file);
  return true;
}

std::wstring IniFile::GetValue(const std::wstring& key) const {
  if (key.empty()) return std::wstring();
  auto it = values_.find(key);
  if (it == values_.end()) return std::wstring();
  std::wstring value = it->second;
  base::ReplaceAllText(L"\\r", L"\r", &value);
  base::ReplaceAllText(L"\\n", L"\n", &value);
  return value;
}

std::string IniFile::GetValueUtf8(const std::wstring& key) const {
  return base::WideToUtf8(GetValue(key));
}
