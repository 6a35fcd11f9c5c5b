#include "installer/utils/language.h"

#include <string>
#include <utility>
#include <vector>

#include "base/util/string_util.h"
#include "base/log/log.h"
#include "ui/core/string_table.h"

namespace {

const wchar_t kResourceRoot[] = L"resources\\";
const wchar_t kCatalogueFile[] = L"lang.ini";

LanguageCatalogue::RightToLeftHandler& Handler() {
  static LanguageCatalogue::RightToLeftHandler handler;
  return handler;
}

bool EqualsIgnoringAsciiCase(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x = x - L'A' + L'a';
    if (y >= L'A' && y <= L'Z') y = y - L'A' + L'a';
    if (x != y) return false;
  }
  return i == a.size() && b[i] == 0;
}

}  // namespace

void LanguageCatalogue::SetRightToLeftHandler(RightToLeftHandler handler) {
  Handler() = std::move(handler);
}

std::wstring LanguageCatalogue::StringTablePath(const std::wstring& key) {
  return std::wstring(kResourceRoot) + L"lang\\" + key + L"\\gdstrings.ini";
}

void LanguageCatalogue::Init(const std::wstring& code) {
  languages_.clear();
  ui::LoadIniResource(this, std::wstring(kResourceRoot) + kCatalogueFile);
  for (const auto& entry : entries()) {
    // key = display name,code,direction; pieces are not trimmed.
    const std::vector<std::wstring> pieces = base::SplitText(GetValue(entry.first), L",");
    if (pieces.size() < 2) continue;
    LanguageInfo info;
    info.key = entry.first;
    info.display_name = pieces[0];
    info.code = pieces[1];
    info.right_to_left = pieces.size() >= 3 && EqualsIgnoringAsciiCase(pieces[2], L"rtl");
    languages_.emplace(entry.first, std::move(info));
  }
  QLOG_APP(L"language: {0} languages, detected code:{1}") << languages_.size() << code;
  if (code.empty()) return;
  for (const auto& language : languages_) {
    if (code.find(language.second.code) != std::wstring::npos) {
      SelectLanguage(language.first);
      return;
    }
  }
}

void LanguageCatalogue::SelectLanguage(const std::wstring& key) {
  auto it = languages_.find(key);
  if (it == languages_.end()) return;
  ui::StringTable::GetInstance().LoadLanguageFile(StringTablePath(key));
  current_language_ = key;
  QLOG_APP(L"language: selected {0}") << key;
  if (Handler()) Handler()(it->second.right_to_left);
}
