#include "ui/core/resource_archive_win.h"

#include "base/log/log.h"

namespace ui {

ScopedGlobalLock::ScopedGlobalLock(HGLOBAL block)
    : block_(block), data_(block ? ::GlobalLock(block) : nullptr),
      size_(data_ ? ::GlobalSize(block) : 0) {}

ScopedGlobalLock::~ScopedGlobalLock() {
  if (data_) ::GlobalUnlock(block_);
}

bool MountArchive(const wchar_t* name, const wchar_t* type, const std::string& password) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, name, type);
  if (!resource) {
    QLOG_ERR(L"resource archive: resource not found, error:{0}") << ::GetLastError();
    return false;
  }
  // A loaded resource stays mapped until the module unloads: nothing to free.
  HGLOBAL loaded = ::LoadResource(module, resource);
  const DWORD size = ::SizeofResource(module, resource);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data || size == 0) {
    QLOG_ERR(L"resource archive: cannot load resource, error:{0}") << ::GetLastError();
    return false;
  }
  const bool mounted = MountArchiveMemory(data, size, password);
  if (mounted) QLOG_APP(L"resource archive: mounted, {0} bytes") << size;
  return mounted;
}

ScopedGlobalMemory ReadArchiveMember(const std::wstring& path, size_t* size) {
  if (size) *size = 0;
  const ResourceArchive* archive = MountedArchive();
  if (!archive || path.empty()) return ScopedGlobalMemory();
  const int index = archive->Find(path);
  if (index < 0) return ScopedGlobalMemory();
  const uint32_t member_size = archive->MemberSize(index);
  if (member_size == 0) return ScopedGlobalMemory();  // an empty block cannot be locked
  ScopedGlobalMemory block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_NODISCARD, member_size));
  if (!block) {
    QLOG_ERR(L"resource archive: cannot allocate {0} bytes") << member_size;
    return ScopedGlobalMemory();
  }
  void* data = ::GlobalLock(block.Get());
  if (!data) return ScopedGlobalMemory();
  const bool extracted = archive->Extract(index, data, member_size);
  ::GlobalUnlock(block.Get());
  if (!extracted) return ScopedGlobalMemory();
  if (size) *size = member_size;
  return block;
}

}  // namespace ui
