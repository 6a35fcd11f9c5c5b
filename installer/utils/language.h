// Languages of the wizard. LanguageCatalogue holds "lang.ini", detects the
// user's language and loads its table over the framework's string table
// (ui/core/string_table.h); the wizard owns the one instance. UI thread only.
// Portable: files come from the mounted resource archive or from disk.
#ifndef INSTALLER_UTILS_LANGUAGE_H_
#define INSTALLER_UTILS_LANGUAGE_H_

#include <functional>
#include <map>
#include <string>

#include "base/settings/ini_file.h"

struct LanguageInfo {
  std::wstring key;           // folder name and identifier
  std::wstring display_name;  // the language's own name
  std::wstring code;          // compared with the detected interface language
  bool right_to_left = false;
};

class LanguageCatalogue : public IniFile {
 public:
  // Receives the right-to-left flag of every selected language; start-up
  // connects the UI framework's switch here (it acts only on a change).
  using RightToLeftHandler = std::function<void(bool right_to_left)>;
  static void SetRightToLeftHandler(RightToLeftHandler handler);

  LanguageCatalogue() = default;

  // Loads the catalogue, then selects the first language (in key order)
  // whose code occurs in |code|; with none, English stays current.
  void Init(const std::wstring& code);
  // Loads the language's table and makes it current; ignores unknown keys.
  void SelectLanguage(const std::wstring& key);

  std::wstring GetCurrentLanguage() const { return current_language_; }
  std::map<std::wstring, LanguageInfo> GetLanguages() const { return languages_; }

  // Resource path of a language's string table.
  static std::wstring StringTablePath(const std::wstring& key);

 private:
  std::wstring current_language_ = L"English";
  std::map<std::wstring, LanguageInfo> languages_;
};

#endif  // INSTALLER_UTILS_LANGUAGE_H_
