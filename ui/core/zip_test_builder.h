// Test helper: writes small ZIP images in memory (stored or deflated members,
// directory entries, traditional encryption, extra fields) and records where
// each part landed so tests can damage them on purpose. Written from the ZIP
// application note independently of the reader, with its own CRC and cipher,
// so a fault in the reader's versions shows up as a failed round trip.
#ifndef UI_CORE_ZIP_TEST_BUILDER_H_
#define UI_CORE_ZIP_TEST_BUILDER_H_

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <deque>

namespace ui {
namespace test {

inline uint32_t TestCrc32(const std::string& data, uint32_t crc = 0) {
  crc = ~crc;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

inline uint32_t CrcByte(uint32_t crc, unsigned char c) {
  crc ^= c;
  for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  return crc;
}

class TestCipher {
 public:
  explicit TestCipher(const std::string& password) {
    for (unsigned char c : password) Update(c);
  }
  unsigned char Encrypt(unsigned char plain) {
    unsigned temp = (keys_[2] & 0xffff) | 2;
    unsigned char cipher = plain ^ static_cast<unsigned char>(((temp * (temp ^ 1)) >> 8) & 0xff);
    Update(plain);
    return cipher;
  }

 private:
  void Update(unsigned char c) {
    keys_[0] = CrcByte(keys_[0], c);
    keys_[1] = keys_[1] + (keys_[0] & 0xff);
    keys_[1] = keys_[1] * 134775813u + 1;
    keys_[2] = CrcByte(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
  }
  uint32_t keys_[3] = {305419896u, 591751049u, 878082192u};
};

inline std::string RawDeflate(const std::string& data, int level = 9) {
  z_stream zs{};
  deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

struct TestMember {
  std::string name;
  std::string data;
  bool deflate = true;
  std::string password;  // non-empty: encrypted
  bool data_descriptor = false;
  uint16_t dos_time = 0x6000;  // 12:00:00
  uint16_t dos_date = 0x5C21;  // 2026-01-01
  uint16_t version_made_by = 0x0314;  // Unix
  uint32_t external_attributes = 0100644u << 16;
  std::string central_extra;
  // Overrides of what the central directory declares, for damaged images.
  int64_t declared_size = -1;
  int64_t declared_compressed_size = -1;
  int64_t declared_crc = -1;
  int64_t declared_local_offset = -1;
  // Filled by Build().
  uint32_t local_offset = 0;
  uint32_t data_offset = 0;
  uint32_t payload_size = 0;
  uint16_t flags_ = 0;
  uint32_t crc_ = 0;
};

class TestZipBuilder {
 public:
  TestMember& Add(const std::string& name, const std::string& data, bool deflate = true) {
    TestMember m;
    m.name = name;
    m.data = data;
    m.deflate = deflate;
    members_.push_back(m);
    return members_.back();
  }
  TestMember& AddDirectory(const std::string& name) {
    TestMember& m = Add(name, std::string(), false);
    m.external_attributes = (040755u << 16) | 0x10;
    return m;
  }
  TestMember& member(size_t i) { return members_[i]; }

  uint32_t central_offset() const { return central_offset_; }
  uint32_t end_offset() const { return end_offset_; }

  std::string Build() {
    std::string out;
    for (TestMember& m : members_) {
      std::string payload = m.deflate ? RawDeflate(m.data) : m.data;
      const uint32_t crc = TestCrc32(m.data);
      uint16_t flags = 0x0800;  // UTF-8 names
      if (m.data_descriptor) flags |= 0x0008;
      if (!m.password.empty()) {
        flags |= 0x0001;
        TestCipher cipher(m.password);
        std::string header(12, '\0');
        for (int i = 0; i < 11; ++i) header[i] = static_cast<char>(0x5A ^ (i * 37));
        header[11] = static_cast<char>(m.data_descriptor ? (m.dos_time >> 8) : (crc >> 24));
        std::string encrypted;
        for (char c : header + payload) encrypted.push_back(static_cast<char>(cipher.Encrypt(c)));
        payload = encrypted;
      }
      m.local_offset = static_cast<uint32_t>(out.size());
      Put32(&out, 0x04034b50);
      Put16(&out, 20);
      Put16(&out, flags);
      Put16(&out, m.deflate ? 8 : 0);
      Put16(&out, m.dos_time);
      Put16(&out, m.dos_date);
      Put32(&out, m.data_descriptor ? 0 : crc);
      Put32(&out, m.data_descriptor ? 0 : static_cast<uint32_t>(payload.size()));
      Put32(&out, m.data_descriptor ? 0 : static_cast<uint32_t>(m.data.size()));
      Put16(&out, static_cast<uint16_t>(m.name.size()));
      Put16(&out, 0);
      out += m.name;
      m.data_offset = static_cast<uint32_t>(out.size());
      m.payload_size = static_cast<uint32_t>(payload.size());
      out += payload;
      if (m.data_descriptor) {
        Put32(&out, 0x08074b50);
        Put32(&out, crc);
        Put32(&out, static_cast<uint32_t>(payload.size()));
        Put32(&out, static_cast<uint32_t>(m.data.size()));
      }
      m.flags_ = flags;
      m.crc_ = crc;
    }
    central_offset_ = static_cast<uint32_t>(out.size());
    for (TestMember& m : members_) {
      Put32(&out, 0x02014b50);
      Put16(&out, m.version_made_by);
      Put16(&out, 20);
      Put16(&out, m.flags_);
      Put16(&out, m.deflate ? 8 : 0);
      Put16(&out, m.dos_time);
      Put16(&out, m.dos_date);
      Put32(&out, m.declared_crc >= 0 ? static_cast<uint32_t>(m.declared_crc) : m.crc_);
      Put32(&out, m.declared_compressed_size >= 0 ? static_cast<uint32_t>(m.declared_compressed_size)
                                                  : m.payload_size);
      Put32(&out, m.declared_size >= 0 ? static_cast<uint32_t>(m.declared_size)
                                       : static_cast<uint32_t>(m.data.size()));
      Put16(&out, static_cast<uint16_t>(m.name.size()));
      Put16(&out, static_cast<uint16_t>(m.central_extra.size()));
      Put16(&out, 0);  // comment
      Put16(&out, 0);  // disk
      Put16(&out, 0);  // internal attributes
      Put32(&out, m.external_attributes);
      Put32(&out, m.declared_local_offset >= 0 ? static_cast<uint32_t>(m.declared_local_offset)
                                               : m.local_offset);
      out += m.name;
      out += m.central_extra;
    }
    end_offset_ = static_cast<uint32_t>(out.size());
    Put32(&out, 0x06054b50);
    Put16(&out, 0);
    Put16(&out, 0);
    Put16(&out, static_cast<uint16_t>(members_.size()));
    Put16(&out, static_cast<uint16_t>(members_.size()));
    Put32(&out, end_offset_ - central_offset_);
    Put32(&out, central_offset_);
    Put16(&out, 0);
    return out;
  }

  static void Put16(std::string* out, uint16_t v) {
    out->push_back(static_cast<char>(v & 0xff));
    out->push_back(static_cast<char>(v >> 8));
  }
  static void Put32(std::string* out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v & 0xffff));
    Put16(out, static_cast<uint16_t>(v >> 16));
  }
  static void Patch32(std::string* image, size_t at, uint32_t v) {
    std::string bytes;
    Put32(&bytes, v);
    image->replace(at, 4, bytes);
  }

 private:
  std::deque<TestMember> members_;  // stable references for Add()'s callers
  uint32_t central_offset_ = 0;
  uint32_t end_offset_ = 0;
};

}  // namespace test
}  // namespace ui

#endif  // UI_CORE_ZIP_TEST_BUILDER_H_
