// The product's settings ("product.ini" in the resource archive) and the
// values derived from them: folders, the product executable, the cache file
// and the download address for the machine's processor architecture. The
// wizard owns the one instance and uses it on the UI thread.
#ifndef INSTALLER_UTILS_PRODUCT_SETTINGS_H_
#define INSTALLER_UTILS_PRODUCT_SETTINGS_H_

#include <string>

#include "base/settings/ini_file.h"

enum class MachineArchitecture { kX86, kX64, kArm64 };

// What the running Windows is, from IsArm64() and IsWow64().
MachineArchitecture DetectMachineArchitecture();

// URLID_DOWN_ARM64 on ARM64 (then URLID_DOWN_X64), URLID_DOWN_X64 on x64,
// each falling back to URLID_DOWN when empty.
std::wstring ChooseDownloadUrl(const IniFile& settings, MachineArchitecture architecture);
// The expected SHA-256 of the installer ChooseDownloadUrl picks: the value
// of its key with "_SHA256" appended (URLID_DOWN_X64_SHA256 beside
// URLID_DOWN_X64, ...); empty when the vendor gave none.
std::wstring ChooseDownloadSha256(const IniFile& settings, MachineArchitecture architecture);

class ProductSettings : public IniFile {
 public:
  ProductSettings() = default;

  // Reads "resources\product.ini" (from the archive when one is mounted,
  // else from disk) and computes the derived fields for this machine.
  void Load();
  // Computes the derived fields from the keys already read; Load() passes
  // the detected architecture and the roaming application data folder.
  void UpdateFields(MachineArchitecture architecture, const std::wstring& roaming_folder);

  std::wstring GetProductName() const { return product_name_; }
  std::wstring GetProcessName() const { return process_name_; }
  std::wstring GetDownloadUrl() const { return download_url_; }
  std::wstring GetDownloadSha256() const { return download_sha256_; }
  // URLID_DOWN_SIGNER: who must have signed the installer (empty: no check).
  std::wstring GetDownloadSigner() const { return GetValue(L"URLID_DOWN_SIGNER"); }
  std::wstring GetInstallerPassword() const { return installer_password_; }
  std::wstring GetDataFolder() const { return data_folder_; }
  std::wstring GetInstallPath() const { return install_path_; }

  // Program files folder + INSTALL_DIR1 (+ "\" + INSTALL_DIR2), backslashes only.
  std::wstring GetDefaultInstallPath() const;
  // Stores the folder normalised: backslashes only, one trailing backslash.
  void SetInstallPath(const std::wstring& path);
  std::wstring GetProductExePath() const;
  // A file in the product's "cache" folder, which is created if missing.
  std::wstring GetCacheFilePath(const std::wstring& name) const;

 private:
  std::wstring install_folder_name_;
  std::wstring install_subfolder_name_;
  std::wstring data_folder_;
  std::wstring product_name_;
  std::wstring process_name_;
  std::wstring install_path_;
  std::wstring download_url_;
  std::wstring download_sha256_;
  std::wstring installer_password_;
};

#endif  // INSTALLER_UTILS_PRODUCT_SETTINGS_H_
