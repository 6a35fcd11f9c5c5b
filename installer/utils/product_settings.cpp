#include "installer/utils/product_settings.h"

#include <algorithm>
#include <string>

#include "base/log/log.h"
#include "installer/utils/public_fun.h"
#include "ui/core/resource_archive.h"

namespace {

const wchar_t kSettingsPath[] = L"resources\\product.ini";

std::wstring Backslashes(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::wstring WithTrailingBackslash(std::wstring path) {
  if (path.empty() || path.back() != L'\\') path.push_back(L'\\');
  return path;
}

}  // namespace

MachineArchitecture DetectMachineArchitecture() {
  if (IsArm64()) return MachineArchitecture::kArm64;
#if defined(_WIN64)
  // A 64-bit process never runs under WOW64, yet its Windows is 64-bit.
  return MachineArchitecture::kX64;
#else
  return IsWow64() ? MachineArchitecture::kX64 : MachineArchitecture::kX86;
#endif
}

namespace {

// The key whose URL the machine downloads.
const wchar_t* DownloadUrlKey(const IniFile& settings, MachineArchitecture architecture) {
  const bool has_x64 = !settings.GetValue(L"URLID_DOWN_X64").empty();
  switch (architecture) {
    case MachineArchitecture::kArm64:
      if (!settings.GetValue(L"URLID_DOWN_ARM64").empty()) return L"URLID_DOWN_ARM64";
      return has_x64 ? L"URLID_DOWN_X64" : L"URLID_DOWN";
    case MachineArchitecture::kX64:
      return has_x64 ? L"URLID_DOWN_X64" : L"URLID_DOWN";
    case MachineArchitecture::kX86:
      break;
  }
  return L"URLID_DOWN";
}

}  // namespace

std::wstring ChooseDownloadUrl(const IniFile& settings, MachineArchitecture architecture) {
  return settings.GetValue(DownloadUrlKey(settings, architecture));
}

std::wstring ChooseDownloadSha256(const IniFile& settings, MachineArchitecture architecture) {
  return settings.GetValue(std::wstring(DownloadUrlKey(settings, architecture)) + L"_SHA256");
}

void ProductSettings::Load() {
  if (ui::IsArchiveMounted()) {
    std::string bytes;
    if (ui::ReadArchiveMemberBytes(kSettingsPath, &bytes)) {
      LoadFromMemory(bytes.data(), bytes.size());
    } else {
      QLOG_ERR(L"settings: {0} missing in the archive") << std::wstring(kSettingsPath);
    }
  } else {
    LoadFromFile(kSettingsPath);
  }
  UpdateFields(DetectMachineArchitecture(), RoamingAppDataFolder());
  QLOG_APP(L"settings: product:{0} download:{1}") << product_name_ << download_url_;
}

void ProductSettings::UpdateFields(MachineArchitecture architecture,
                                   const std::wstring& roaming_folder) {
  install_folder_name_ = GetValue(L"INSTALL_DIR1");
  install_subfolder_name_ = GetValue(L"INSTALL_DIR2");
  data_folder_ = Backslashes(roaming_folder + L"\\" + GetValue(L"APPDATA_DIR"));
  installer_password_ = GetValue(L"PKG_PSW");
  product_name_ = GetValue(L"PRODUCT_NAME");
  process_name_ = GetValue(L"PROCESS_NAME");
  download_url_ = ChooseDownloadUrl(*this, architecture);
  download_sha256_ = ChooseDownloadSha256(*this, architecture);
}

std::wstring ProductSettings::GetDefaultInstallPath() const {
  std::wstring path = ProgramFilesFolder() + install_folder_name_;
  if (!install_subfolder_name_.empty()) path += L"\\" + install_subfolder_name_;
  return Backslashes(path);
}

void ProductSettings::SetInstallPath(const std::wstring& path) {
  install_path_ = NormalizeDirPath(path);
}

std::wstring ProductSettings::GetProductExePath() const {
  return Backslashes(WithTrailingBackslash(install_path_) + process_name_);
}

std::wstring ProductSettings::GetCacheFilePath(const std::wstring& name) const {
  const std::wstring folder = Backslashes(WithTrailingBackslash(data_folder_) + L"cache");
  MakeDirectoryTree(folder);  // an existing folder is fine; a failure shows when the file is written
  return Backslashes(folder + L"\\" + name);
}
