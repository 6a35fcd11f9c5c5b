// System services: architecture, folders, interface language, disk space,
// connectivity, file helpers and the path rules of the custom-install box.
// Stateless free functions, callable from any thread; the Program Files and
// local application-data folders are computed once (thread-safe statics).
#ifndef INSTALLER_UTILS_PUBLIC_FUN_H_
#define INSTALLER_UTILS_PUBLIC_FUN_H_

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/win32/windows_version.h"

bool IsWow64();
bool IsArm64();

std::wstring ProgramFilesFolder();
std::wstring LocalAppDataFolder();
std::wstring RoamingAppDataFolder();
std::wstring LocalAppDataFolderFor(HANDLE token);

// The user's interface language as a catalogue code ("en", "cn", "tw", "he", ...).
std::wstring GetUserUILanguageCode();
// The mapping behind it, for a language and country name pair.
std::wstring MapLanguageCode(const std::wstring& language, const std::wstring& country);

std::wstring NormalizeDirPath(const std::wstring& path);
bool IsValidInstallPath(const std::wstring& path);
double GetDiskFreeMB(const std::wstring& path);
std::string GetFileVersionString(const std::wstring& path);
int64_t GetUnixTime();
std::string MD5Hex(const std::string& text);
// False only when the system's network-list service says there is no
// internet; true when the service cannot be asked.
bool IsInternetConnected();

void ReplaceFileText(const std::wstring& path, const std::string& text);
bool MakeDirectoryTree(const std::wstring& path);
bool MakeDirectories(const std::wstring& path);
bool PathExists(const std::wstring& path, bool directories_only);
bool RemoveFile(const std::wstring& path);

std::wstring ModuleFilePath(HMODULE module);
std::wstring ExecutableFolder();
std::wstring ExecutableFileName();
// The directory part of |path| (with its separator) followed by |name|.
bool WithFileName(const std::wstring& path, const std::wstring& name, std::wstring* result);
using base::win32::IsVistaOrNewer;

namespace public_fun_internal {

// IsInternetConnected's answer from an object of the network-list service,
// null when none could be made; a test hands in one of its own.
bool IsInternetConnectedVia(IUnknown* network_list);

// Test seams for the demo build: a fixed answer for IsInternetConnected
// (0 or 1) and for GetDiskFreeMB of every drive; below zero asks the system
// again.
void SetInternetConnectedForTesting(int answer);
void SetDiskFreeMBForTesting(double megabytes);

}  // namespace public_fun_internal

#endif  // INSTALLER_UTILS_PUBLIC_FUN_H_
