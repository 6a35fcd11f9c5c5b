// Access to the skin package: the process-wide resource archive (a ZipReader
// over bytes that stay mapped for the life of the process), the resource path
// of the skin, and the two path rules that turn framework file names into
// archive member names and file-system paths. With nothing mounted every read
// goes to the file system, relative to the current directory, with the same
// names. The process-wide state is used from the UI thread only.
// Portable; the Windows entry points (mounting a resource, global memory
// blocks) are in resource_archive_win.h.
#ifndef UI_CORE_RESOURCE_ARCHIVE_H_
#define UI_CORE_RESOURCE_ARCHIVE_H_

#include <cstddef>
#include <cstdio>
#include <string>

#include "ui/core/zip_reader.h"

namespace ui {

// Archive rule: backslashes become slashes, doubled slashes are collapsed,
// and empty, "." and ".." segments are resolved ("a/b/../c" is "a/c"). A
// final "." or ".." segment without a slash after it is left as it is.
std::wstring NormalizeArchivePath(const std::wstring& path);
// File-system rule: slashes become backslashes and doubled backslashes are
// collapsed; "." and ".." are left to the operating system.
std::wstring NormalizeFilePath(const std::wstring& path);
// The Win32 relative-path test (PathIsRelativeW); natively a leading slash
// also makes a path absolute.
bool IsRelativePath(const std::wstring& path);

// The skin root: resource root plus theme folder, ending in a separator.
const std::wstring& ResourceRoot();
// Stores |path|, adding "\" unless it is empty or already ends in one.
void SetResourceRoot(const std::wstring& path);

// One open archive over memory that the caller keeps alive.
class ResourceArchive {
 public:
  ResourceArchive() = default;
  ResourceArchive(const ResourceArchive&) = delete;
  ResourceArchive& operator=(const ResourceArchive&) = delete;

  bool Open(const void* data, size_t size, const std::string& password);
  void Close() { reader_.Close(); }
  bool IsOpen() const { return reader_.IsOpen(); }

  // Entry index of |path| after the archive rule, ASCII case folded; -1 when
  // the member is missing (or its name is longer than 255 UTF-8 bytes).
  int Find(const std::wstring& path) const;
  uint32_t MemberSize(int index) const;
  bool Extract(int index, void* buffer, size_t size) const;
  // Find + Extract. A missing or empty member yields false.
  bool ReadMember(const std::wstring& path, std::string* bytes) const;

  const ZipReader& reader() const { return reader_; }

 private:
  ZipReader reader_;
};

// Mounts an archive image that stays valid until unmounted (the resource of
// the executable, or a test's buffer). Closes any mounted archive first.
bool MountArchiveMemory(const void* data, size_t size, const std::string& password);
void UnmountArchive();
bool IsArchiveMounted();
// The mounted archive, or null.
const ResourceArchive* MountedArchive();

// The bytes of a member of the mounted archive; false when nothing is
// mounted, the path is empty, or the member is missing, empty or damaged.
bool ReadArchiveMemberBytes(const std::wstring& path, std::string* bytes);

// Reads |path| from the mounted archive, or from the file system (after the
// file rule, relative to the current directory) when nothing is mounted.
bool ReadResourceBytes(const std::wstring& path, std::string* bytes);

}  // namespace ui

#endif  // UI_CORE_RESOURCE_ARCHIVE_H_
