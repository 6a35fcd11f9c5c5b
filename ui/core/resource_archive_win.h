// Windows side of the skin package: mounting the archive resource of the
// executable and reading members into movable global memory blocks, which
// the image decoder and the string table take as they are. UI thread only,
// like the archive state itself (resource_archive.h).
#ifndef UI_CORE_RESOURCE_ARCHIVE_WIN_H_
#define UI_CORE_RESOURCE_ARCHIVE_WIN_H_

#include <windows.h>

#include <string>

#include "base/win32/scoped_handle.h"
#include "ui/core/resource_archive.h"

namespace ui {

// The archive resource: type "ZIP", identifier 133.
constexpr WORD kArchiveResourceId = 133;
constexpr const wchar_t* kArchiveResourceType = L"ZIP";

struct GlobalMemoryTraits {
  static HGLOBAL InvalidValue() { return nullptr; }
  static void Free(HGLOBAL block) { ::GlobalFree(block); }
};
// Owner of a GlobalAlloc block; Release() hands it to code that frees it.
using ScopedGlobalMemory = base::win32::ScopedGeneric<HGLOBAL, GlobalMemoryTraits>;

// Locks a global block for the owner's lifetime.
class ScopedGlobalLock {
 public:
  explicit ScopedGlobalLock(HGLOBAL block);
  ~ScopedGlobalLock();
  ScopedGlobalLock(const ScopedGlobalLock&) = delete;
  ScopedGlobalLock& operator=(const ScopedGlobalLock&) = delete;

  const void* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  HGLOBAL block_;
  const void* data_;
  size_t size_;
};

// Finds the resource |name| of type |type| in the executable's own module and
// mounts it in place (the bytes are neither copied nor freed). The previous
// archive is closed once the resource has been found. Returns whether the new
// archive opened.
bool MountArchive(const wchar_t* name, const wchar_t* type, const std::string& password);

// The uncompressed bytes of a member in a movable global block (GMEM_MOVEABLE
// | GMEM_NODISCARD). Empty when nothing is mounted, the path is empty, the
// member is missing or of size 0, or allocation or extraction fails. Every
// call extracts anew. |size|, when given, receives the member's exact size.
ScopedGlobalMemory ReadArchiveMember(const std::wstring& path, size_t* size = nullptr);

}  // namespace ui

#endif  // UI_CORE_RESOURCE_ARCHIVE_WIN_H_
