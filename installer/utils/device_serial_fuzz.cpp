// Feeds arbitrary device answers to the decoders: every offset of the input
// as a storage descriptor, the input as identify data and as command output.
#include <cstddef>
#include <cstdint>
#include <string>

#include "installer/utils/device_serial.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  for (size_t offset = 0; offset <= size && offset < 64; ++offset) {
    std::string plain = DecodeStorageSerial(text, size, static_cast<long>(offset), false);
    std::string flipped = DecodeStorageSerial(text, size, static_cast<long>(offset), true);
    // Flipping only reorders, and drops at most the odd last character.
    if (flipped.size() != plain.size() - plain.size() % 2) __builtin_trap();
    if (!plain.empty() && plain.size() >= size) __builtin_trap();
  }
  std::string serial = IdentifyWordsToText(data, size, 10, 19);
  if (serial.size() > 20 || (!serial.empty() && serial.back() == ' ')) __builtin_trap();
  std::string answer = ParseCommandAnswer(std::string(text, size), "ProcessorId");
  if (answer.size() > 511) __builtin_trap();
  if (size >= 6) FormatAdapterAddress(data);
  return 0;
}
