#include "ui/core/resource_archive.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "base/util/file_util.h"
#include "base/util/string_util.h"
#include "base/log/log.h"

namespace ui {
namespace {

struct ArchiveState {
  ResourceArchive archive;
  std::wstring resource_root;
};

ArchiveState& State() {
  static ArchiveState state;
  return state;
}

// One left-to-right pass over non-overlapping pairs of |c|.
void CollapsePairs(wchar_t c, std::wstring* text) {
  std::wstring out;
  out.reserve(text->size());
  for (size_t i = 0; i < text->size(); ++i) {
    out.push_back((*text)[i]);
    if ((*text)[i] == c && i + 1 < text->size() && (*text)[i + 1] == c) ++i;
  }
  text->swap(out);
}


}  // namespace


std::wstring NormalizeArchivePath(const std::wstring& path) {
  std::wstring s = path;
  std::replace(s.begin(), s.end(), L'\\', L'/');
  CollapsePairs(L'/', &s);
  size_t i = 0;
  while (i < s.size()) {
    const bool segment_start = i == 0 || s[i - 1] == L'/';
    if (segment_start) {
      if (s[i] == L'/') {
        s.erase(i, 1);
        continue;
      }
      if (s.compare(i, 2, L"./") == 0) {
        s.erase(i, 2);
        continue;
      }
      if (s.compare(i, 3, L"../") == 0) {
        s.erase(i, 2);  // leaves the "/" at i
        // Cut back over the previous segment and its separator; a leading
        // ".." has none and simply goes.
        size_t cut = 0;
        if (i >= 2) {
          size_t slash = s.rfind(L'/', i - 2);
          cut = slash == std::wstring::npos ? 0 : slash;
        }
        s.erase(cut, i - cut);
        i = cut;
        continue;
      }
    }
    ++i;
  }
  return s;
}

std::wstring NormalizeFilePath(const std::wstring& path) {
  std::wstring s = path;
  std::replace(s.begin(), s.end(), L'/', L'\\');
  CollapsePairs(L'\\', &s);
  return s;
}

bool IsRelativePath(const std::wstring& path) {
  if (path.empty()) return true;
  if (path[0] == L'\\') return false;
  if (path.size() >= 2 && path[1] == L':') return false;
#ifndef _WIN32
  if (path[0] == L'/') return false;
#endif
  return true;
}

const std::wstring& ResourceRoot() { return State().resource_root; }

void SetResourceRoot(const std::wstring& path) {
  std::wstring root = path;
  if (!root.empty() && root.back() != L'\\' && root.back() != L'/') root.push_back(L'\\');
  State().resource_root = root;
}

bool ResourceArchive::Open(const void* data, size_t size, const std::string& password) {
  const int result = reader_.Open(data, size, password);
  if (result != kZipOk) {
    QLOG_ERR(L"resource archive: cannot open ({0} bytes), code:{1}") << size << result;
    return false;
  }
  return true;
}

int ResourceArchive::Find(const std::wstring& path) const {
  const std::wstring normalized = NormalizeArchivePath(path);
  if (normalized.empty()) return -1;
  const std::string name = base::WideToUtf8(normalized);
  if (name.empty()) return -1;
  return reader_.FindEntry(name, false);
}

uint32_t ResourceArchive::MemberSize(int index) const {
  ZipEntryInfo info;
  if (reader_.GetEntryInfo(index, &info) != kZipOk) return 0;
  // Callers allocate this size: a directory that declares more than the
  // data can hold is refused here, before any allocation.
  const int result = reader_.CheckDeclaredSize(index);
  if (result != kZipOk) {
    QLOG_ERR(L"resource archive: {0} declares {1} bytes from {2}, code:{3}")
        << base::Utf8ToWide(reader_.StoredName(index)) << info.uncompressed_size << info.compressed_size
        << result;
    return 0;
  }
  return info.uncompressed_size;
}

bool ResourceArchive::Extract(int index, void* buffer, size_t size) const {
  const int result = reader_.Extract(index, buffer, size);
  if (result != kZipOk) {
    QLOG_ERR(L"resource archive: cannot extract {0}, code:{1}")
        << base::Utf8ToWide(reader_.StoredName(index)) << result;
    return false;
  }
  return true;
}

bool ResourceArchive::ReadMember(const std::wstring& path, std::string* bytes) const {
  if (!bytes || !IsOpen()) return false;
  const int index = Find(path);
  if (index < 0) return false;
  const uint32_t size = MemberSize(index);
  if (size == 0) return false;
  // A believable size can still be more than a 32-bit process has free;
  // that is a failed read, not an exception leaving this function.
  std::string out;
  try {
    out.resize(size);
  } catch (const std::bad_alloc&) {
    QLOG_ERR(L"resource archive: cannot allocate {0} bytes") << size;
    return false;
  } catch (const std::length_error&) {
    QLOG_ERR(L"resource archive: cannot allocate {0} bytes") << size;
    return false;
  }
  if (!Extract(index, &out[0], out.size())) return false;
  bytes->swap(out);
  return true;
}

bool MountArchiveMemory(const void* data, size_t size, const std::string& password) {
  ResourceArchive& archive = State().archive;
  archive.Close();
  return archive.Open(data, size, password);
}

void UnmountArchive() { State().archive.Close(); }

bool IsArchiveMounted() { return State().archive.IsOpen(); }

const ResourceArchive* MountedArchive() {
  return IsArchiveMounted() ? &State().archive : nullptr;
}

bool ReadArchiveMemberBytes(const std::wstring& path, std::string* bytes) {
  if (path.empty() || !IsArchiveMounted()) return false;
  return State().archive.ReadMember(path, bytes);
}

bool ReadResourceBytes(const std::wstring& path, std::string* bytes) {
  if (IsArchiveMounted()) return ReadArchiveMemberBytes(path, bytes);
  // No size limit of our own beyond what a 32-bit process can hold.
  return base::ReadFileBytes(NormalizeFilePath(path), bytes, static_cast<size_t>(-1) / 2);
}


}  // namespace ui
