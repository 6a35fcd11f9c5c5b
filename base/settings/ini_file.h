// The key-value store of the settings grammar shared by "product.ini",
// "lang.ini" and the "gdstrings.ini" string tables: UTF-8 lines of
// key=value, trimmed, ";" in a key makes a comment, later keys win, and only
// "\r" and "\n" are unescaped when a value is read. An IniFile belongs to
// whoever holds it and is used from one thread at a time. Portable.
#ifndef BASE_SETTINGS_INI_FILE_H_
#define BASE_SETTINGS_INI_FILE_H_

#include <cstddef>
#include <map>
#include <string>

class IniFile {
 public:
  // A physical line longer than this many bytes is read from a file in
  // pieces that count as lines of their own.
  static constexpr size_t kFileLineBytes = 4095;

  IniFile() = default;
  virtual ~IniFile() = default;

  // Parses |size| bytes and adds them to the map without clearing it; a NUL
  // byte ends a line like LF does. Always true.
  bool LoadFromMemory(const void* data, size_t size);
  // Clears the map, then reads the file in text mode. False when it cannot
  // be opened.
  bool LoadFromFile(const std::wstring& path);
  void Clear() { values_.clear(); }

  // The value with "\r" and "\n" resolved; empty for an empty or absent key.
  std::wstring GetValue(const std::wstring& key) const;
  std::string GetValueUtf8(const std::wstring& key) const;

  // The raw entries in key order.
  const std::map<std::wstring, std::wstring>& entries() const { return values_; }

 private:
  // Applies the grammar to one line given as UTF-8 bytes.
  void ParseLine(const char* data, size_t size);

  std::map<std::wstring, std::wstring> values_;
};

#endif  // BASE_SETTINGS_INI_FILE_H_
