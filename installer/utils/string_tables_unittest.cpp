// Holds every shipped string table to what the wizard relies on, reading
// them the way the installer does: from the archive built into the
// executable (natively: from the source tree).
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/util/string_util.h"
#include "base/settings/ini_file.h"
#include "installer/utils/language.h"
#include "installer/utils/shipped_resources_test_util.h"
#include "ui/control/link_markup.h"
#include "ui/core/resource_archive.h"

namespace {

const wchar_t* const kLanguages[] = {
    L"Arabic",  L"Bengali", L"Chinese",    L"ChineseTW", L"Czech",     L"Dutch",     L"English",
    L"French",  L"German",  L"Greek",      L"Hebrew",    L"Hindi",     L"Indonesian", L"Italian",
    L"Japanese", L"Korean", L"Malayalam",  L"Polish",    L"Portuguese", L"Russian",  L"Slovak",
    L"Spanish", L"Turkish", L"Ukrainian",  L"Vietnamese"};

struct EnglishText {
  const wchar_t* key;
  const wchar_t* text;  // null: a web address, checked separately
};
const EnglishText kEnglish[] = {
    {L"STRID_HOMEPAGE_INSTALL", L"Install Now"},
    {L"STRID_HOMEPAGE_AGREEMENT",
     L"By clicking \"Install Now\", you agree to the {link:eula}EULA{/link} and "
     L"{link:terms}Service Agreements{/link}."},
    {L"STRID_HOMEPAGE_CUSTOM", L"Custom Install"},
    {L"STRID_HOMEPAGE_LANGUAGE_OPTIONS", L"Language Options:"},
    {L"STRID_HOMEPAGE_INSTALL_PATH", L"Installation Path:"},
    {L"STRID_HOMEPAGE_INVALID_PATH", L"Invalid\x00A0installation path."},
    {L"STRID_HOMEPAGE_ASSOC_DEFAULT", L"Set as Default PDF Viewer"},
    {L"STRID_DOWNLOADPAGE_CAROUSEL0", L"One-Stop PDF Editor and Reader"},
    {L"STRID_DOWNLOADPAGE_CAROUSEL1", L"Powerful, Free & Easy-to-Use PDF Tools"},
    {L"STRID_DOWNLOADPAGE_CAROUSEL2", L"Works Across All Desktop Platforms"},
    {L"STRID_DOWNLOADPAGE_INSTALLING", L"Installing, please wait..."},
    {L"STRID_DOWNLOADPAGE_INSTALL_TIP", L"Please do not go offline or restart your computer"},
    {L"STRID_DOWNLOADPAGE_HIDE", L"Hide"},
    {L"STRID_ENDPAGE_COMPLETE", L"Installation Completed!"},
    {L"STRID_ENDPAGE_START", L"Start Now"},
    {L"STRID_BOX_QUIT", L"The installation is not completed yet! Are you sure you want to quit?"},
    {L"STRID_BOX_DISK_NOT_ENOUGH",
     L"There is not enough disk space to complete the installation. (%d MB of disk space is required.)"},
    {L"STRID_BOX_NETWORK_ERROR", L"Network error. Please check your network connection and try again."},
    {L"STRID_BOX_UNKOWN_ERROR",
     L"Something went wrong during installation. Please try again, or you can click Ignore to "
     L"manually access the full setup package from the official website."},
    {L"STRID_BOX_APP_RUNNING", L"%s is currently running, please exit the program first."},
    {L"URLID_EULA", nullptr},
    {L"URLID_TERMS", nullptr},
    {L"URLID_INSTALL", nullptr},
};

const wchar_t kSiteQuery[] = L"utm_source=varno_win&utm_medium=seo_client&utm_campaign=varno_client";
const wchar_t kInstallQuery[] =
    L"utm_source=varno_win&utm_medium=seo_client&utm_campaign=install_varno_win";

// The printf conversions of a text, as the wizard's formatting sees them.
std::vector<std::wstring> Conversions(const std::wstring& text) {
  std::vector<std::wstring> out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'%') continue;
    size_t j = i + 1;
    while (j < text.size() && wcschr(L"-+ #0123456789.*hlLqjztI", text[j])) ++j;
    out.push_back(text.substr(i, j < text.size() ? j - i + 1 : j - i));
    i = j;
  }
  return out;
}

bool IsStrictUtf8(const std::string& bytes) {
  const std::wstring decoded = base::Utf8ToWide(bytes);
  return bytes.empty() || !decoded.empty();
}

std::string Narrow(const std::wstring& s) { return base::WideToUtf8(s); }

TEST(StringTablesTest, EveryShippedTableCarriesTheKeysTheWizardNeeds) {
  ShippedResources resources;
  ASSERT_TRUE(resources.ok());
  IniFile english;
  {
    std::string bytes;
    ASSERT_TRUE(ui::ReadResourceBytes(LanguageCatalogue::StringTablePath(L"English"), &bytes));
    english.LoadFromMemory(bytes.data(), bytes.size());
  }
  for (const EnglishText& e : kEnglish) {
    if (e.text) {
      EXPECT_EQ(e.text, english.GetValue(e.key)) << Narrow(e.key);
    }
  }

  std::set<std::wstring> expected_keys;
  for (const EnglishText& e : kEnglish) expected_keys.insert(e.key);
  ASSERT_EQ(23u, expected_keys.size());

  for (const wchar_t* language : kLanguages) {
    SCOPED_TRACE(Narrow(language));
    std::string bytes;
    ASSERT_TRUE(ui::ReadResourceBytes(LanguageCatalogue::StringTablePath(language), &bytes));
    EXPECT_TRUE(IsStrictUtf8(bytes)) << "not valid UTF-8";
    EXPECT_EQ(std::string::npos, bytes.find('\0')) << "a NUL byte would end a line";
    IniFile table;
    table.LoadFromMemory(bytes.data(), bytes.size());

    std::set<std::wstring> keys;
    for (const auto& entry : table.entries()) keys.insert(entry.first);
    EXPECT_EQ(expected_keys, keys);

    for (const EnglishText& e : kEnglish) {
      const std::wstring value = table.GetValue(e.key);
      EXPECT_FALSE(value.empty()) << Narrow(e.key);
      EXPECT_EQ(std::wstring::npos, value.find(L'\xFFFD')) << Narrow(e.key);
      EXPECT_EQ(Conversions(english.GetValue(e.key)), Conversions(value)) << Narrow(e.key);
    }

    // Two links, each opened, named, given text and closed.
    const std::wstring agreement = table.GetValue(L"STRID_HOMEPAGE_AGREEMENT");
    for (const wchar_t* name : {L"eula", L"terms"}) {
      const std::wstring open = std::wstring(L"{link:") + name + L"}";
      const size_t start = agreement.find(open);
      ASSERT_NE(std::wstring::npos, start) << Narrow(open);
      EXPECT_EQ(std::wstring::npos, agreement.find(open, start + 1)) << "twice: " << Narrow(open);
      const size_t text = start + open.size();
      const size_t close = agreement.find(L"{/link}", text);
      ASSERT_NE(std::wstring::npos, close);
      EXPECT_GT(close, text) << "empty link text";
      EXPECT_EQ(std::wstring::npos, agreement.substr(text, close - text).find(L'{')) << "nested markup";
    }
    size_t links = 0;
    for (size_t at = agreement.find(L"{link:"); at != std::wstring::npos; at = agreement.find(L"{link:", at + 1)) {
      ++links;
    }
    EXPECT_EQ(2u, links);
    size_t closes = 0;
    for (size_t at = agreement.find(L"{/link}"); at != std::wstring::npos; at = agreement.find(L"{/link}", at + 1)) {
      ++closes;
    }
    EXPECT_EQ(2u, closes);
    // And the parser the hyperlink text uses finds exactly those two, each
    // with text, the rest plain: no opening shown literally.
    std::multiset<std::wstring> parsed;
    std::wstring plain;
    for (const ui::LinkSpan& span : ui::ParseLinkMarkup(agreement)) {
      if (span.name.empty()) {
        plain += span.text;
      } else {
        parsed.insert(span.name);
        EXPECT_FALSE(span.text.empty()) << Narrow(span.name);
      }
    }
    EXPECT_EQ((std::multiset<std::wstring>{L"eula", L"terms"}), parsed);
    EXPECT_EQ(std::wstring::npos, plain.find(L"{link")) << Narrow(plain);
    EXPECT_EQ(std::wstring::npos, plain.find(L"{/link}")) << Narrow(plain);

    // Web addresses: https, a path ending in "/", the fixed queries.
    for (const wchar_t* key : {L"URLID_EULA", L"URLID_TERMS", L"URLID_INSTALL"}) {
      const std::wstring url = table.GetValue(key);
      EXPECT_EQ(0u, url.find(L"https://")) << Narrow(url);
      const size_t query = url.find(L"/?");
      ASSERT_NE(std::wstring::npos, query) << Narrow(url);
      EXPECT_EQ(std::wstring(key) == L"URLID_INSTALL" ? kInstallQuery : kSiteQuery, url.substr(query + 2));
      EXPECT_EQ(std::wstring::npos, url.find_first_of(L" \t\"<>")) << Narrow(url);
    }
  }
}

}  // namespace
