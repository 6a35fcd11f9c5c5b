#include "installer/utils/language.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "installer/utils/shipped_resources_test_util.h"
#include "ui/core/resource_archive.h"
#include "ui/core/string_table.h"
#include "ui/core/zip_test_builder.h"

namespace {

namespace fs = std::filesystem;

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::StringTable::GetInstance().Clear();
    LanguageCatalogue::SetRightToLeftHandler([this](bool rtl) { rtl_calls_.push_back(rtl); });
  }
  void TearDown() override {
    LanguageCatalogue::SetRightToLeftHandler(nullptr);
    ui::StringTable::GetInstance().Clear();
    ui::UnmountArchive();
  }
  std::vector<bool> rtl_calls_;
};

TEST_F(LanguageTest, DetectsTheShippedLanguages) {
  ShippedResources resources;
  ASSERT_TRUE(resources.ok());
  struct {
    const wchar_t* code;
    const wchar_t* selected;
  } cases[] = {
      {L"tw", L"ChineseTW"}, {L"cn", L"Chinese"},  {L"en", L"English"}, {L"de", L"German"},
      {L"kok", L"Korean"},   // substring test in key order: "ko" is in "kok"
      {L"fi", L"English"},   // not in the catalogue: English stays
      {L"", L"English"},     {L"pt", L"Portuguese"}, {L"uk", L"Ukrainian"}, {L"vi", L"Vietnamese"},
  };
  for (const auto& c : cases) {
    LanguageCatalogue catalogue;
    catalogue.Init(c.code);
    EXPECT_EQ(c.selected, catalogue.GetCurrentLanguage()) << c.code;
    EXPECT_EQ(25u, catalogue.GetLanguages().size());
  }

  LanguageCatalogue catalogue;
  catalogue.Init(L"ja");
  EXPECT_EQ(L"Japanese", catalogue.GetCurrentLanguage());
  const std::wstring install = ui::StringTable::GetText(L"STRID_HOMEPAGE_INSTALL");
  ASSERT_FALSE(install.empty());
  EXPECT_TRUE(install.find_first_of(L"\x30A4\x30F3\x30B9\x30C8") != std::wstring::npos)
      << "the Japanese table was not loaded";
  const auto languages = catalogue.GetLanguages();
  const LanguageInfo& japanese = languages.at(L"Japanese");
  EXPECT_EQ(L"\x65E5\x672C\x8A9E", japanese.display_name);
  EXPECT_EQ(L"ja", japanese.code);
  EXPECT_FALSE(japanese.right_to_left);
  EXPECT_TRUE(languages.at(L"Arabic").right_to_left);
  EXPECT_TRUE(languages.at(L"Hebrew").right_to_left);
  EXPECT_EQ(L"Arabic", languages.begin()->first);  // the list shows key order
  EXPECT_EQ(L"Vietnamese", languages.rbegin()->first);
}

TEST_F(LanguageTest, SelectingReplacesTextsAndSwitchesDirection) {
  ShippedResources resources;
  ASSERT_TRUE(resources.ok());
  ASSERT_TRUE(ui::StringTable::GetInstance().LoadLanguageFile(LanguageCatalogue::StringTablePath(L"English")));
  EXPECT_EQ(L"Install Now", ui::StringTable::GetText(L"STRID_HOMEPAGE_INSTALL"));
  LanguageCatalogue catalogue;
  catalogue.Init(L"he");
  EXPECT_EQ(L"Hebrew", catalogue.GetCurrentLanguage());
  const std::wstring hebrew = ui::StringTable::GetText(L"STRID_HOMEPAGE_INSTALL");
  EXPECT_FALSE(hebrew.empty());
  EXPECT_NE(L"Install Now", hebrew);
  catalogue.SelectLanguage(L"Arabic");
  catalogue.SelectLanguage(L"German");
  catalogue.SelectLanguage(L"Klingon");  // not in the catalogue: nothing happens
  EXPECT_EQ(L"German", catalogue.GetCurrentLanguage());
  EXPECT_EQ((std::vector<bool>{true, true, false}), rtl_calls_);
  EXPECT_EQ(L"", ui::StringTable::GetText(L"STRID_NO_SUCH_TEXT"));
}

// A catalogue of its own in a test archive, with entries the shipped one
// does not have.
class OwnCatalogueTest : public LanguageTest {
 protected:
  void SetUp() override {
    LanguageTest::SetUp();
    files_ = {
        {"resources/lang.ini",
         "; catalogue\n"
         "English=English,en,ltr\n"
         "Blank=Blank name, en, ltr\n"
         "Pieces=,,Name,,xx,,RTL,extra,\n"
         "Short=OnlyName\n"
         "NoDirection=No Direction,nd\n"
         "Missing=Missing,zz,rtl\n"},
        {"resources/lang/English/gdstrings.ini", "STRID_A=English A\nSTRID_LINES=one\\ntwo\n"},
        {"resources/lang/Pieces/gdstrings.ini", "STRID_A=Pieces A\n"},
    };
  }
  std::vector<std::pair<std::string, std::string>> files_;
};

TEST_F(OwnCatalogueTest, ParsesEntriesLikeTheGrammarSays) {
  ui::test::TestZipBuilder builder;
  for (const auto& f : files_) builder.Add(f.first, f.second);
  const std::string image = builder.Build();
  ASSERT_TRUE(ui::MountArchiveMemory(image.data(), image.size(), ""));

  LanguageCatalogue catalogue;
  catalogue.Init(L"");
  const auto languages = catalogue.GetLanguages();
  EXPECT_EQ(0u, languages.count(L"Short"));  // fewer than two pieces
  ASSERT_EQ(1u, languages.count(L"Blank"));
  EXPECT_EQ(L"Blank name", languages.at(L"Blank").display_name);
  EXPECT_EQ(L" en", languages.at(L"Blank").code);  // pieces are not trimmed
  EXPECT_FALSE(languages.at(L"Blank").right_to_left);
  EXPECT_EQ(L"Name", languages.at(L"Pieces").display_name);
  EXPECT_EQ(L"xx", languages.at(L"Pieces").code);
  EXPECT_TRUE(languages.at(L"Pieces").right_to_left);  // "RTL" in any case
  EXPECT_FALSE(languages.at(L"NoDirection").right_to_left);
  EXPECT_EQ(L"English", catalogue.GetCurrentLanguage());
  EXPECT_TRUE(rtl_calls_.empty());

  // " en" never matches: the detected "en" selects English, not Blank,
  // even though Blank comes first in key order.
  catalogue.Init(L"en");
  EXPECT_EQ(L"English", catalogue.GetCurrentLanguage());
  EXPECT_EQ(L"English A", ui::StringTable::GetText(L"STRID_A"));
  EXPECT_EQ(L"one\ntwo", ui::StringTable::GetText(L"STRID_LINES"));

  catalogue.Init(L"xx");
  EXPECT_EQ(L"Pieces", catalogue.GetCurrentLanguage());
  EXPECT_EQ(L"Pieces A", ui::StringTable::GetText(L"STRID_A"));
  // From the archive the new table is merged: texts it lacks stay.
  EXPECT_EQ(L"one\ntwo", ui::StringTable::GetText(L"STRID_LINES"));
}

TEST_F(OwnCatalogueTest, MissingTableKeepsTextsInTheArchiveAndEmptiesThemOnDisk) {
  ui::test::TestZipBuilder builder;
  for (const auto& f : files_) builder.Add(f.first, f.second);
  const std::string image = builder.Build();
  ASSERT_TRUE(ui::MountArchiveMemory(image.data(), image.size(), ""));
  LanguageCatalogue catalogue;
  catalogue.Init(L"en");
  catalogue.SelectLanguage(L"Missing");
  EXPECT_EQ(L"Missing", catalogue.GetCurrentLanguage());
  EXPECT_EQ(L"English A", ui::StringTable::GetText(L"STRID_A"));
  EXPECT_EQ((std::vector<bool>{false, true}), rtl_calls_);
  ui::UnmountArchive();

  const fs::path root = fs::temp_directory_path() / "varno_language_test";
  fs::remove_all(root);
  for (const auto& f : files_) {
    const fs::path file = root / fs::u8path(f.first);
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << f.second;
  }
  const fs::path previous = fs::current_path();
  fs::current_path(root);
  LanguageCatalogue from_disk;
  from_disk.Init(L"en");
  EXPECT_EQ(L"English", from_disk.GetCurrentLanguage());
  EXPECT_EQ(L"English A", ui::StringTable::GetText(L"STRID_A"));
  from_disk.SelectLanguage(L"Missing");
  EXPECT_EQ(L"Missing", from_disk.GetCurrentLanguage());
  EXPECT_EQ(L"", ui::StringTable::GetText(L"STRID_A"));
  EXPECT_TRUE(ui::StringTable::GetInstance().entries().empty());

  // No catalogue at all: no languages, English stays.
  fs::remove(root / "resources" / "lang.ini");
  LanguageCatalogue none;
  none.Init(L"en");
  EXPECT_TRUE(none.GetLanguages().empty());
  EXPECT_EQ(L"English", none.GetCurrentLanguage());
  fs::current_path(previous);
  fs::remove_all(root);
}

}  // namespace
