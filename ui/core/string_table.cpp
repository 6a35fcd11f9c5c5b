#include "ui/core/string_table.h"

#include "base/log/log.h"
#include "ui/core/resource_archive.h"

namespace ui {

bool LoadIniResource(IniFile* ini, const std::wstring& path) {
  if (IsArchiveMounted()) {
    std::string bytes;
    if (!ReadArchiveMemberBytes(path, &bytes)) {
      QLOG_WAR(L"language: {0} not in the archive") << path;
      return false;
    }
    return ini->LoadFromMemory(bytes.data(), bytes.size());
  }
  return ini->LoadFromFile(path);
}

StringTable& StringTable::GetInstance() {
  static StringTable table;
  return table;
}

std::wstring StringTable::GetText(const std::wstring& id) { return GetInstance().GetValue(id); }

bool StringTable::LoadLanguageFile(const std::wstring& path) { return LoadIniResource(this, path); }

}  // namespace ui
