// The framework's process-wide table of localised texts: an IniFile keyed by
// text id, filled at start-up with the default language and reloaded when the
// user picks another. Controls that name their text by id, and the wizard,
// read it with GetText. UI thread only. Portable: tables come from the
// mounted resource archive or from disk.
#ifndef UI_CORE_STRING_TABLE_H_
#define UI_CORE_STRING_TABLE_H_

#include <string>

#include "base/settings/ini_file.h"

namespace ui {

class StringTable : public IniFile {
 public:
  static StringTable& GetInstance();
  // The text of |id| with "\r" and "\n" resolved; empty when the table lacks it.
  static std::wstring GetText(const std::wstring& id);

  // Loads a table by its resource path (for example
  // "resources\lang\English\gdstrings.ini"). With an archive mounted the
  // member is merged over the current texts and a missing member changes
  // nothing; otherwise the file replaces the table (a missing file empties
  // it). Returns whether a table was read.
  bool LoadLanguageFile(const std::wstring& path);

 private:
  StringTable() = default;
};

// Loads a settings file by resource path into |ini|: from the mounted
// archive (merged over what |ini| holds) or else from disk (replacing it).
bool LoadIniResource(IniFile* ini, const std::wstring& path);

}  // namespace ui

#endif  // UI_CORE_STRING_TABLE_H_
