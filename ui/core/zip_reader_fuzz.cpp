// Fuzz target: opens any bytes as an archive, lists, looks up and extracts
// every entry (with a password, so the decryption path runs too). Extraction
// gets a buffer of exactly the declared size: the sanitizer catches any write
// past it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/core/zip_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ui::ZipReader reader;
  if (reader.Open(data, size, "fuzz") != ui::kZipOk) return 0;
  const int count = reader.EntryCount();
  size_t budget = 64u << 20;  // bytes extracted per input, to keep runs fast
  for (int i = 0; i < count && i < 1000; ++i) {
    ui::ZipEntryInfo info;
    if (reader.GetEntryInfo(i, &info) != ui::kZipOk) __builtin_trap();
    const std::string name = reader.StoredName(i);
    const int found = reader.FindEntry(name, false);
    if (!name.empty() && name.size() <= ui::ZipReader::kMaxNameBytes && (found < 0 || found > i)) {
      __builtin_trap();  // a stored name must find itself or an earlier twin
    }
    reader.FindEntry(name, true);
    if (info.uncompressed_size > budget) continue;
    budget -= info.uncompressed_size;
    std::vector<uint8_t> out(info.uncompressed_size);
    reader.Extract(i, out.data(), out.size());
  }
  return 0;
}
