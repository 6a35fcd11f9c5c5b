// Decoders for the raw facts behind the device identifier: ATA identify words,
// storage-descriptor serial texts, adapter addresses and the answers of the
// fallback commands. Portable and stateless (no Windows headers), so they are
// fuzzed natively; callable from any thread.
#ifndef INSTALLER_UTILS_DEVICE_SERIAL_H_
#define INSTALLER_UTILS_DEVICE_SERIAL_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Every part of the machine text passes through a buffer of this size, so a
// disk serial or an address has at most kDevicePartSize - 1 characters.
constexpr size_t kDevicePartSize = 100;

// Bytes of one IDENTIFY DEVICE answer (256 little-endian words).
constexpr size_t kIdentifyDataSize = 512;

// Words |first_word|..|last_word| of ATA identify data as text: each word gives
// its high byte, then its low byte; the text ends at a zero byte and loses its
// trailing blanks. Words beyond |size| bytes are not read.
std::string IdentifyWordsToText(const uint8_t* identify, size_t size, int first_word, int last_word);

// The serial text of a storage device descriptor of |size| bytes, found at
// |offset|: hexadecimal text of the serial's bytes is decoded, plain printable
// text is taken as it is; with |flip| every neighbouring pair of characters is
// swapped (an odd last character is lost). Offsets of 0 or less, offsets past
// the buffer and unprintable plain text give an empty result.
std::string DecodeStorageSerial(const char* descriptor, size_t size, long offset, bool flip);

// "%02X" of the first six bytes: twelve upper-case hexadecimal digits.
std::string FormatAdapterAddress(const uint8_t* address);

// Removes trailing blanks.
std::string TrimTrailingBlanks(std::string text);

// What a command printed after |heading|, with every blank, carriage return
// and line feed removed and cut to 511 characters; empty when the heading is
// missing.
std::string ParseCommandAnswer(const std::string& output, const std::string& heading);

#endif  // INSTALLER_UTILS_DEVICE_SERIAL_H_
