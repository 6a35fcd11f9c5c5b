// Reader of a ZIP image held in memory: central directory, lookup by name,
// entry information and extraction of stored and deflated members, with the
// traditional PKWARE decryption. The caller owns the memory block and keeps it
// alive while the reader is open; one reader belongs to one thread at a time.
// Portable: no Windows headers, so it runs under sanitizers and libFuzzer.
#ifndef UI_CORE_ZIP_READER_H_
#define UI_CORE_ZIP_READER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ui {

// Results of the reader: zero is success, anything else a failure.
enum ZipResult : int {
  kZipOk = 0,
  kZipBadArgument = 1,
  kZipNotOpen = 2,
  kZipNotFound = 3,
  kZipBufferTooSmall = 4,
  kZipCorrupt = 5,
  kZipReadError = 6,
  kZipBadPassword = 7,
  kZipInflateError = 8,
  kZipUnsupported = 9,
};

// File attribute bits, with the values Windows uses for the same meaning.
enum ZipAttribute : uint32_t {
  kZipAttrReadOnly = 0x01,
  kZipAttrHidden = 0x02,
  kZipAttrSystem = 0x04,
  kZipAttrDirectory = 0x10,
  kZipAttrArchive = 0x20,
};

struct ZipEntryInfo {
  int index = -1;
  // Converted from UTF-8 and stripped of drive letters, leading separators
  // and anything up to a "..": safe to append to a target folder.
  std::wstring name;
  uint32_t uncompressed_size = 0;
  uint32_t compressed_size = 0;
  uint32_t attributes = 0;  // ZipAttribute bits
  // Seconds since 1970-01-01 UTC. The DOS stamp is local time; a "UT" extra
  // field, when present, gives the exact Unix times instead.
  int64_t modified_time = 0;
  int64_t accessed_time = 0;
  int64_t created_time = 0;
  bool encrypted = false;
  int method = 0;  // 0 stored, 8 deflate
};

class ZipReader {
 public:
  // Stored names longer than this are never found by name.
  static constexpr size_t kMaxNameBytes = 255;
  // Compressed data is read (and decrypted) in pieces of this size.
  static constexpr size_t kChunkSize = 16384;
  // Deflate's best: a length/distance pair costs at least two bits (one per
  // code: a complete code with two or more symbols, and a lone distance
  // code is sent with one bit) and yields at most 258 bytes, a literal a
  // byte for at least one bit. So no stream inflates to more than
  // 258 / 2 * 8 = 1032 bytes per byte.
  static constexpr uint64_t kMaxDeflateRatio = 1032;

  ZipReader() = default;
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // Reads the end record and the central directory of the image. |password|
  // (copied) decrypts encrypted entries. Any previous image is closed first.
  int Open(const void* data, size_t size, const std::string& password = std::string());
  void Close();
  bool IsOpen() const { return data_ != nullptr; }

  int EntryCount() const { return static_cast<int>(entries_.size()); }

  // Index of the first entry (in central-directory order) whose stored name
  // equals |utf8_name|; the insensitive mode folds only ASCII a-z. -1 when
  // there is none or the name is longer than kMaxNameBytes.
  int FindEntry(const std::string& utf8_name, bool case_sensitive) const;

  // The name bytes exactly as stored (empty for a bad index).
  std::string StoredName(int index) const;
  int GetEntryInfo(int index, ZipEntryInfo* info) const;

  // kZipOk when entry |index|'s declared uncompressed size is one its data
  // can produce: a stored member's equals its data size, a deflated one is
  // at most kMaxDeflateRatio times its data size. Callers check before they
  // allocate the declared size, so a lying directory (a member declaring
  // 4 GiB) costs nothing.
  int CheckDeclaredSize(int index) const;

  // Extracts entry |index| into |buffer|, which must hold at least the
  // declared uncompressed size. Never writes more than that size; data that
  // inflates to more or less, or fails its CRC, is a failure.
  int Extract(int index, void* buffer, size_t buffer_size) const;

 private:
  struct Entry {
    size_t name_offset;  // into the image
    uint16_t name_length;
    uint16_t extra_length;
    size_t extra_offset;
    uint16_t version_made_by;
    uint16_t flags;
    uint16_t method;
    uint16_t dos_time;
    uint16_t dos_date;
    uint32_t crc;
    uint32_t compressed_size;
    uint32_t uncompressed_size;
    uint32_t external_attributes;
    uint32_t local_header_offset;
  };

  bool ReadCentralDirectory(size_t end_record);
  // Offset of the entry's data in the image, after its local header.
  int LocateData(const Entry& entry, size_t* offset) const;

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  std::string password_;
  std::vector<Entry> entries_;
};

}  // namespace ui

#endif  // UI_CORE_ZIP_READER_H_
