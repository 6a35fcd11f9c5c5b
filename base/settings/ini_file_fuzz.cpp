// Fuzz target: parses any bytes with the settings grammar and reads back
// every key, plain and as UTF-8, and runs the language catalogue's piece
// split over every value.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/util/string_util.h"
#include "base/settings/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  IniFile ini;
  ini.LoadFromMemory(data, size);
  for (const auto& entry : ini.entries()) {
    if (entry.first.find(L';') != std::wstring::npos) __builtin_trap();
    const std::wstring value = ini.GetValue(entry.first);
    if (value.size() > entry.second.size()) __builtin_trap();  // unescaping only shortens
    ini.GetValueUtf8(entry.first);
    base::SplitText(value, L",");
  }
  return 0;
}
