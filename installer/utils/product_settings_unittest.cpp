#include "installer/utils/product_settings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "installer/utils/public_fun.h"
#include "installer/utils/shipped_resources_test_util.h"
#include "ui/core/resource_archive.h"

namespace {

namespace fs = std::filesystem;

// The program files folder may end in either separator.
std::wstring UnderProgramFiles(const std::wstring& rest) {
  std::wstring path = ProgramFilesFolder() + rest;
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return path;
}

void Feed(ProductSettings* settings, const std::string& text) {
  settings->LoadFromMemory(text.data(), text.size());
}

const char kUrls[] =
    "URLID_DOWN=https://d.example/x86.exe\n"
    "URLID_DOWN_X64=https://d.example/x64.exe\n"
    "URLID_DOWN_ARM64=https://d.example/arm64.exe\n";

TEST(ProductSettingsTest, DownloadUrlFollowsTheArchitecture) {
  struct {
    const char* text;
    MachineArchitecture architecture;
    const wchar_t* url;
  } cases[] = {
      {kUrls, MachineArchitecture::kX86, L"https://d.example/x86.exe"},
      {kUrls, MachineArchitecture::kX64, L"https://d.example/x64.exe"},
      {kUrls, MachineArchitecture::kArm64, L"https://d.example/arm64.exe"},
      {"URLID_DOWN=https://d.example/x86.exe\nURLID_DOWN_X64=https://d.example/x64.exe\nURLID_DOWN_ARM64=\n",
       MachineArchitecture::kArm64, L"https://d.example/x64.exe"},
      {"URLID_DOWN=https://d.example/x86.exe\n", MachineArchitecture::kArm64, L"https://d.example/x86.exe"},
      {"URLID_DOWN=https://d.example/x86.exe\n", MachineArchitecture::kX64, L"https://d.example/x86.exe"},
      {"URLID_DOWN_X64=https://d.example/x64.exe\n", MachineArchitecture::kX86, L""},
      {"", MachineArchitecture::kArm64, L""},
  };
  for (const auto& c : cases) {
    ProductSettings settings;
    Feed(&settings, c.text);
    settings.UpdateFields(c.architecture, L"C:\\Roaming");
    EXPECT_EQ(c.url, settings.GetDownloadUrl()) << c.text << static_cast<int>(c.architecture);
  }

  // The digest is the one beside the URL taken, never a sibling's.
  const char* digests =
      "URLID_DOWN=https://d.example/x86.exe\nURLID_DOWN_SHA256=86\n"
      "URLID_DOWN_X64=https://d.example/x64.exe\nURLID_DOWN_X64_SHA256=64\n"
      "URLID_DOWN_ARM64=\nURLID_DOWN_ARM64_SHA256=arm\n";
  const std::pair<MachineArchitecture, const wchar_t*> expected[] = {
      {MachineArchitecture::kX86, L"86"}, {MachineArchitecture::kX64, L"64"}, {MachineArchitecture::kArm64, L"64"}};
  for (const auto& e : expected) {
    ProductSettings settings;
    Feed(&settings, digests);
    settings.UpdateFields(e.first, L"C:\\Roaming");
    EXPECT_EQ(e.second, settings.GetDownloadSha256()) << static_cast<int>(e.first);
  }
  ProductSettings without;
  Feed(&without, kUrls);
  without.UpdateFields(MachineArchitecture::kX64, L"C:\\Roaming");
  EXPECT_EQ(L"", without.GetDownloadSha256());
}

// The machine's architecture as the system reports it to anyone.
MachineArchitecture NativeArchitecture() {
  SYSTEM_INFO info;
  ::GetNativeSystemInfo(&info);
  if (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64) return MachineArchitecture::kX64;
  if (info.wProcessorArchitecture == 12 /* ARM64 */) return MachineArchitecture::kArm64;
  return MachineArchitecture::kX86;
}

TEST(ProductSettingsTest, DetectsThisMachine) {
  EXPECT_EQ(NativeArchitecture(), DetectMachineArchitecture());
}

TEST(ProductSettingsTest, FieldsAndDerivedPaths) {
  ProductSettings settings;
  EXPECT_EQ(L"", settings.GetProductName());
  Feed(&settings,
       "; settings\n"
       "INSTALL_DIR1 = VARNO \n"
       "INSTALL_DIR2=Sub/Dir\n"
       "APPDATA_DIR=Vendor/VARNO\n"
       "PRODUCT_NAME=VARNO\n"
       "PROCESS_NAME=VARNO.exe\n"
       "PKG_PSW=pa=ss\n");
  settings.UpdateFields(MachineArchitecture::kX64, L"C:/Users/u/AppData/Roaming");
  EXPECT_EQ(L"VARNO", settings.GetProductName());
  EXPECT_EQ(L"VARNO.exe", settings.GetProcessName());
  EXPECT_EQ(L"pa=ss", settings.GetInstallerPassword());
  EXPECT_EQ(L"C:\\Users\\u\\AppData\\Roaming\\Vendor\\VARNO", settings.GetDataFolder());
  EXPECT_EQ(UnderProgramFiles(L"VARNO\\Sub\\Dir"), settings.GetDefaultInstallPath());

  EXPECT_EQ(L"", settings.GetInstallPath());
  settings.SetInstallPath(L"D:/Apps//VARNO");
  EXPECT_EQ(L"D:\\Apps\\VARNO\\", settings.GetInstallPath());
  EXPECT_EQ(L"D:\\Apps\\VARNO\\VARNO.exe", settings.GetProductExePath());
  settings.SetInstallPath(L"E:\\\\Tools\\\\\\VARNO\\\\");
  EXPECT_EQ(L"E:\\Tools\\VARNO\\", settings.GetInstallPath());
  settings.SetInstallPath(L"");
  EXPECT_EQ(L"", settings.GetInstallPath());

  ProductSettings flat;
  Feed(&flat, "INSTALL_DIR1=VARNO\nINSTALL_DIR2=\n");
  flat.UpdateFields(MachineArchitecture::kX64, L"");
  EXPECT_EQ(UnderProgramFiles(L"VARNO"), flat.GetDefaultInstallPath());
}

TEST(ProductSettingsTest, CacheFileFolderIsCreated) {
  const fs::path roaming = fs::temp_directory_path() / "varno_settings_roaming";
  fs::remove_all(roaming);
  ProductSettings settings;
  Feed(&settings, "APPDATA_DIR=VARNO\n");
  settings.UpdateFields(MachineArchitecture::kX86, roaming.wstring());
  const std::wstring path = settings.GetCacheFilePath(L"language");
  EXPECT_EQ(fs::path(roaming / "VARNO" / "cache" / "language").wstring(), path);
  EXPECT_TRUE(fs::is_directory(roaming / "VARNO" / "cache"));
  EXPECT_EQ(path, settings.GetCacheFilePath(L"language"));  // an existing folder is fine
  fs::remove_all(roaming);
}

TEST(ProductSettingsTest, LoadsTheShippedFile) {
  ShippedResources resources;
  ASSERT_TRUE(resources.ok());
  ProductSettings settings;
  settings.Load();
  EXPECT_EQ(L"VARNO", settings.GetProductName());
  EXPECT_EQ(L"VARNO.exe", settings.GetProcessName());
  EXPECT_EQ(L"", settings.GetInstallerPassword());
  EXPECT_EQ(L"varwin", settings.GetValue(L"PRODUCT_ID"));
  EXPECT_EQ(RoamingAppDataFolder() + L"\\VARNO", settings.GetDataFolder());
  EXPECT_EQ(UnderProgramFiles(L"VARNO"), settings.GetDefaultInstallPath());
  const std::wstring url = settings.GetDownloadUrl();
  const wchar_t* file = NativeArchitecture() == MachineArchitecture::kX64     ? L"varno-win-x64_setup.exe"
                        : NativeArchitecture() == MachineArchitecture::kArm64 ? L"varno-win-arm64_setup.exe"
                                                                              : L"varno-win-x86_setup.exe";
  EXPECT_EQ(0u, url.find(L"https://")) << url;
  EXPECT_NE(std::wstring::npos, url.find(std::wstring(L"/download/varno/") + file)) << url;
  for (const wchar_t* key : {L"GA_URL", L"GA_TID", L"GA_API", L"GA_EC", L"GA_EN", L"XD_URL"}) {
    EXPECT_FALSE(settings.GetValue(key).empty()) << key;
  }
}

TEST(ProductSettingsTest, MissingFileLeavesEverythingEmpty) {
  ui::UnmountArchive();
  const fs::path empty = fs::temp_directory_path() / "varno_settings_empty";
  fs::create_directories(empty);
  const fs::path previous = fs::current_path();
  fs::current_path(empty);
  ProductSettings settings;
  settings.Load();
  EXPECT_TRUE(settings.entries().empty());
  EXPECT_EQ(L"", settings.GetDownloadUrl());
  EXPECT_EQ(L"", settings.GetProductName());
  fs::current_path(previous);
  fs::remove_all(empty);
}

}  // namespace
