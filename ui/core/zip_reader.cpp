#include "ui/core/zip_reader.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>

#include "base/util/string_util.h"
#include "ui/core/resource_archive.h"

namespace ui {
namespace {

constexpr uint32_t kEndRecordSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kEncryptionHeaderSize = 12;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint16_t kExtraUnixTime = 0x5455;  // "UT"

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Local time of a DOS stamp, as seconds since the epoch in UTC.
int64_t DosTimeToUnix(uint16_t dos_date, uint16_t dos_time) {
  std::tm t{};
  t.tm_year = ((dos_date >> 9) & 0x7f) + 80;
  t.tm_mon = ((dos_date >> 5) & 0x0f) - 1;
  t.tm_mday = dos_date & 0x1f;
  t.tm_hour = (dos_time >> 11) & 0x1f;
  t.tm_min = (dos_time >> 5) & 0x3f;
  t.tm_sec = (dos_time & 0x1f) * 2;
  t.tm_isdst = -1;
  std::time_t value = std::mktime(&t);
  return value == static_cast<std::time_t>(-1) ? 0 : static_cast<int64_t>(value);
}

// Drops what would let the name escape a target folder: a drive, leading
// separators, and everything up to any parent-folder step.
std::wstring SanitizeName(std::wstring name) {
  if (name.size() >= 2 && name[1] == L':' &&
      ((name[0] >= L'a' && name[0] <= L'z') || (name[0] >= L'A' && name[0] <= L'Z'))) {
    name.erase(0, 2);
  }
  static const wchar_t* const kParentSteps[] = {L"\\..\\", L"\\../", L"/../", L"/..\\"};
  for (;;) {
    size_t start = name.find_first_not_of(L"\\/");
    name.erase(0, start == std::wstring::npos ? name.size() : start);
    // A leading "../" climbs out as well as an inner one does.
    if (name.compare(0, 3, L"../") == 0 || name.compare(0, 3, L"..\\") == 0) {
      name.erase(0, 3);
      continue;
    }
    size_t cut = std::wstring::npos;
    for (const wchar_t* step : kParentSteps) {
      size_t found = name.rfind(step);
      if (found != std::wstring::npos && (cut == std::wstring::npos || found > cut)) cut = found;
    }
    if (cut == std::wstring::npos) break;
    name.erase(0, cut + 4);
  }
  return name;
}

uint32_t AttributesOf(uint16_t version_made_by, uint32_t external, const std::wstring& name) {
  const int host = version_made_by >> 8;
  uint32_t attributes = 0;
  if (host == 3 /* Unix */ || host == 19 /* OS X */) {
    const uint32_t mode = external >> 16;
    if ((mode & 0170000) == 0040000) attributes |= kZipAttrDirectory;
    if (mode != 0 && (mode & 0200) == 0) attributes |= kZipAttrReadOnly;
    size_t slash = name.find_last_of(L"/\\", name.size() >= 2 ? name.size() - 2 : 0);
    size_t base = slash == std::wstring::npos ? 0 : slash + 1;
    if (base < name.size() && name[base] == L'.') attributes |= kZipAttrHidden;
    // Unix tools also store the DOS bits in the low byte; keep those too.
    attributes |= external & (kZipAttrReadOnly | kZipAttrHidden | kZipAttrSystem |
                              kZipAttrDirectory | kZipAttrArchive);
    if (!(attributes & kZipAttrDirectory)) attributes |= kZipAttrArchive;
  } else {
    attributes = external & (kZipAttrReadOnly | kZipAttrHidden | kZipAttrSystem |
                             kZipAttrDirectory | kZipAttrArchive);
  }
  if (!name.empty() && (name.back() == L'/' || name.back() == L'\\')) attributes |= kZipAttrDirectory;
  return attributes;
}

// The traditional PKWARE stream cipher (ZIP application note, 6.1).
class ZipCipher {
 public:
  explicit ZipCipher(const std::string& password) {
    for (char c : password) Update(static_cast<uint8_t>(c));
  }
  uint8_t Decrypt(uint8_t cipher_byte) {
    const uint32_t temp = (keys_[2] | 2) & 0xffff;
    const uint8_t plain = cipher_byte ^ static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
    Update(plain);
    return plain;
  }

 private:
  void Update(uint8_t plain_byte) {
    const z_crc_t* table = get_crc_table();
    keys_[0] = table[(keys_[0] ^ plain_byte) & 0xff] ^ (keys_[0] >> 8);
    keys_[1] = (keys_[1] + (keys_[0] & 0xff)) * 134775813u + 1;
    keys_[2] = table[(keys_[2] ^ (keys_[1] >> 24)) & 0xff] ^ (keys_[2] >> 8);
  }
  uint32_t keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

}  // namespace

int ZipReader::Open(const void* data, size_t size, const std::string& password) {
  Close();
  if (!data || size < kEndRecordSize) return kZipBadArgument;
  data_ = static_cast<const uint8_t*>(data);
  size_ = size;
  // The end record sits in the last 22 bytes plus at most a 64 KiB comment.
  const size_t lowest = size > kEndRecordSize + 0xffff ? size - kEndRecordSize - 0xffff : 0;
  // The signature may also occur inside the comment: try every candidate
  // from the end until one leads to a consistent central directory.
  for (size_t pos = size - kEndRecordSize + 1; pos-- > lowest;) {
    if (Read32(data_ + pos) != kEndRecordSignature) continue;
    if (pos + kEndRecordSize + Read16(data_ + pos + 20) > size) continue;
    if (ReadCentralDirectory(pos)) {
      password_ = password;
      return kZipOk;
    }
  }
  Close();
  return kZipCorrupt;
}

bool ZipReader::ReadCentralDirectory(size_t end_record) {
  const uint8_t* end = data_ + end_record;
  const uint16_t this_disk = Read16(end + 4);
  const uint16_t directory_disk = Read16(end + 6);
  const uint16_t count_here = Read16(end + 8);
  const uint16_t count = Read16(end + 10);
  const uint32_t directory_size = Read32(end + 12);
  const uint32_t directory_offset = Read32(end + 16);
  if (this_disk != 0 || directory_disk != 0 || count_here != count) return false;
  if (count == 0xffff || directory_offset == 0xffffffffu) return false;  // ZIP64
  if (directory_offset > end_record || directory_size > end_record - directory_offset) return false;

  entries_.clear();
  entries_.reserve(count);
  size_t pos = directory_offset;
  const size_t limit = directory_offset + directory_size;
  for (uint16_t i = 0; i < count; ++i) {
    if (limit - pos < kCentralHeaderSize) return false;
    const uint8_t* h = data_ + pos;
    if (Read32(h) != kCentralSignature) return false;
    Entry e;
    e.version_made_by = Read16(h + 4);
    e.flags = Read16(h + 8);
    e.method = Read16(h + 10);
    e.dos_time = Read16(h + 12);
    e.dos_date = Read16(h + 14);
    e.crc = Read32(h + 16);
    e.compressed_size = Read32(h + 20);
    e.uncompressed_size = Read32(h + 24);
    e.name_length = Read16(h + 28);
    e.extra_length = Read16(h + 30);
    const uint16_t comment_length = Read16(h + 32);
    e.external_attributes = Read32(h + 38);
    e.local_header_offset = Read32(h + 42);
    const size_t variable = static_cast<size_t>(e.name_length) + e.extra_length + comment_length;
    if (limit - pos - kCentralHeaderSize < variable) return false;
    e.name_offset = pos + kCentralHeaderSize;
    e.extra_offset = e.name_offset + e.name_length;
    entries_.push_back(e);
    pos += kCentralHeaderSize + variable;
  }
  return true;
}

void ZipReader::Close() {
  data_ = nullptr;
  size_ = 0;
  entries_.clear();
  password_.clear();
}

int ZipReader::FindEntry(const std::string& utf8_name, bool case_sensitive) const {
  if (!IsOpen() || utf8_name.empty() || utf8_name.size() > kMaxNameBytes) return -1;
  const char* wanted = utf8_name.data();
  for (size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    if (e.name_length != utf8_name.size()) continue;
    const char* stored = reinterpret_cast<const char*>(data_ + e.name_offset);
    bool same = true;
    for (size_t k = 0; k < utf8_name.size() && same; ++k) {
      same = case_sensitive ? stored[k] == wanted[k] : FoldAscii(stored[k]) == FoldAscii(wanted[k]);
    }
    if (same) return static_cast<int>(i);
  }
  return -1;
}

std::string ZipReader::StoredName(int index) const {
  if (index < 0 || index >= EntryCount()) return std::string();
  const Entry& e = entries_[index];
  return std::string(reinterpret_cast<const char*>(data_ + e.name_offset), e.name_length);
}

int ZipReader::GetEntryInfo(int index, ZipEntryInfo* info) const {
  if (!info) return kZipBadArgument;
  if (!IsOpen()) return kZipNotOpen;
  if (index < 0 || index >= EntryCount()) return kZipNotFound;
  const Entry& e = entries_[index];
  ZipEntryInfo out;
  out.index = index;
  const std::string stored = StoredName(index);
  out.name = SanitizeName(base::DecodeUtf8(stored.data(), stored.size()));
  out.uncompressed_size = e.uncompressed_size;
  out.compressed_size = e.compressed_size;
  out.attributes = AttributesOf(e.version_made_by, e.external_attributes, out.name);
  out.encrypted = (e.flags & kFlagEncrypted) != 0;
  out.method = e.method;
  out.modified_time = out.accessed_time = out.created_time = DosTimeToUnix(e.dos_date, e.dos_time);

  // Extra fields: tag, length, data. Only "UT" is of interest.
  const uint8_t* p = data_ + e.extra_offset;
  size_t left = e.extra_length;
  while (left >= 4) {
    const uint16_t tag = Read16(p);
    const uint16_t length = Read16(p + 2);
    if (length > left - 4) break;
    if (tag == kExtraUnixTime && length >= 1) {
      const uint8_t flags = p[4];
      const uint8_t* field = p + 5;
      size_t field_left = length - 1;
      int64_t* targets[] = {&out.modified_time, &out.accessed_time, &out.created_time};
      for (int bit = 0; bit < 3; ++bit) {
        if (!(flags & (1 << bit))) continue;
        // The central copy usually carries only the modification time.
        if (field_left < 4) break;
        *targets[bit] = static_cast<int32_t>(Read32(field));
        field += 4;
        field_left -= 4;
      }
    }
    p += 4 + length;
    left -= 4 + length;
  }
  *info = out;
  return kZipOk;
}

int ZipReader::LocateData(const Entry& e, size_t* offset) const {
  const size_t local = e.local_header_offset;
  if (local > size_ || size_ - local < kLocalHeaderSize) return kZipCorrupt;
  const uint8_t* h = data_ + local;
  if (Read32(h) != kLocalSignature) return kZipCorrupt;
  const size_t start = local + kLocalHeaderSize + Read16(h + 26) + Read16(h + 28);
  if (start > size_ || size_ - start < e.compressed_size) return kZipCorrupt;
  *offset = start;
  return kZipOk;
}

int ZipReader::CheckDeclaredSize(int index) const {
  if (!IsOpen()) return kZipNotOpen;
  if (index < 0 || index >= EntryCount()) return kZipNotFound;
  const Entry& e = entries_[index];
  // The data lies inside the image, so the image bounds it before any local
  // header is read.
  if (e.compressed_size > size_) return kZipCorrupt;
  uint64_t data = e.compressed_size;
  if (e.flags & kFlagEncrypted) {
    if (data < kEncryptionHeaderSize) return kZipCorrupt;
    data -= kEncryptionHeaderSize;
  }
  if (e.method == kMethodStored) return e.uncompressed_size == data ? kZipOk : kZipCorrupt;
  if (e.method == kMethodDeflate) return e.uncompressed_size <= data * kMaxDeflateRatio ? kZipOk : kZipCorrupt;
  return kZipUnsupported;
}

int ZipReader::Extract(int index, void* buffer, size_t buffer_size) const {
  if (!IsOpen()) return kZipNotOpen;
  if (index < 0 || index >= EntryCount()) return kZipNotFound;
  const Entry& e = entries_[index];
  if (buffer_size < e.uncompressed_size) return kZipBufferTooSmall;
  if (!buffer && e.uncompressed_size != 0) return kZipBadArgument;
  if (e.flags & kFlagStrongEncryption) return kZipUnsupported;
  if (e.method != kMethodStored && e.method != kMethodDeflate) return kZipUnsupported;
  int result = CheckDeclaredSize(index);
  if (result != kZipOk) return result;

  size_t offset = 0;
  result = LocateData(e, &offset);
  if (result != kZipOk) return result;
  const uint8_t* source = data_ + offset;
  size_t source_size = e.compressed_size;

  std::unique_ptr<ZipCipher> cipher;
  const bool encrypted = (e.flags & kFlagEncrypted) != 0;
  if (encrypted) {
    if (source_size < kEncryptionHeaderSize) return kZipCorrupt;
    cipher = std::make_unique<ZipCipher>(password_);
    uint8_t last = 0;
    for (size_t i = 0; i < kEncryptionHeaderSize; ++i) last = cipher->Decrypt(source[i]);
    // The header's last byte repeats the CRC's top byte (or, for entries
    // written with a data descriptor, the time's high byte).
    const uint8_t check = (e.flags & kFlagDataDescriptor) ? static_cast<uint8_t>(e.dos_time >> 8)
                                                          : static_cast<uint8_t>(e.crc >> 24);
    if (last != check) return kZipBadPassword;
    source += kEncryptionHeaderSize;
    source_size -= kEncryptionHeaderSize;
  }

  uint8_t* out = static_cast<uint8_t*>(buffer);
  const size_t declared = e.uncompressed_size;
  if (e.method == kMethodStored) {
    if (source_size != declared) return kZipCorrupt;
    if (cipher) {
      for (size_t i = 0; i < declared; ++i) out[i] = cipher->Decrypt(source[i]);
    } else if (declared) {
      std::memcpy(out, source, declared);
    }
  } else {
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return kZipInflateError;
    std::unique_ptr<uint8_t[]> plain;
    if (cipher) plain.reset(new uint8_t[kChunkSize]);
    uint8_t overflow = 0;  // catches output beyond the declared size
    zs.next_out = out;
    zs.avail_out = static_cast<uInt>(declared);
    size_t consumed = 0;
    result = kZipOk;
    for (;;) {
      if (zs.avail_out == 0) {
        zs.next_out = &overflow;
        zs.avail_out = 1;
      }
      if (zs.avail_in == 0 && consumed < source_size) {
        const size_t piece = std::min(kChunkSize, source_size - consumed);
        if (cipher) {
          for (size_t i = 0; i < piece; ++i) plain[i] = cipher->Decrypt(source[consumed + i]);
          zs.next_in = plain.get();
        } else {
          zs.next_in = source + consumed;
        }
        zs.avail_in = static_cast<uInt>(piece);
        consumed += piece;
      }
      const int status = inflate(&zs, Z_NO_FLUSH);
      if (zs.total_out > declared) {
        result = kZipCorrupt;
        break;
      }
      if (status == Z_STREAM_END) break;
      if (status == Z_BUF_ERROR && zs.avail_in == 0 && consumed == source_size) {
        result = kZipCorrupt;  // the stream ends before its final block
        break;
      }
      if (status != Z_OK) {
        result = status == Z_DATA_ERROR ? kZipCorrupt : kZipInflateError;
        break;
      }
    }
    const uLong produced = zs.total_out;
    inflateEnd(&zs);
    if (result == kZipOk && produced != declared) result = kZipCorrupt;
    if (result != kZipOk) return encrypted ? kZipBadPassword : result;
  }

  uLong crc = crc32(0L, Z_NULL, 0);
  // crc32 takes a uInt length; feed large buffers in pieces.
  for (size_t done = 0; done < declared;) {
    const size_t piece = std::min<size_t>(declared - done, 1u << 30);
    crc = crc32(crc, out + done, static_cast<uInt>(piece));
    done += piece;
  }
  if (crc != e.crc) return encrypted ? kZipBadPassword : kZipCorrupt;
  return kZipOk;
}

}  // namespace ui
