#include "installer/utils/device_id.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "installer/utils/public_fun.h"
#include "installer/utils/setup_launcher.h"

namespace {

bool IsLowerHex(const std::string& text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Addresses by service name; a missing name does not answer.
device_id_internal::AddressQuery FakeAdapters(std::map<std::wstring, std::vector<uint8_t>> adapters) {
  return [adapters](const std::wstring& service, std::vector<uint8_t>* address) {
    auto it = adapters.find(service);
    if (it == adapters.end()) return false;
    *address = it->second;
    return true;
  };
}

// The smallest address wins, whatever the order of the cards.
TEST(NetworkCardsTest, SmallestAddressWins) {
  auto query = FakeAdapters({
      {L"card_a", {0x00, 0xAA, 0x01, 0x02, 0x03, 0x04}},
      {L"card_b", {0x00, 0x1B, 0xFF, 0xFF, 0xFF, 0xFF}},
      {L"card_c", {0x10, 0x00, 0x00, 0x00, 0x00, 0x00}},
      {L"short", {0x00, 0x00, 0x00}},  // fewer than six bytes: skipped
  });
  DevicePart out = {};
  ASSERT_TRUE(device_id_internal::PickSmallestAddress({L"card_a", L"card_b", L"card_c", L"short", L"gone"}, query,
                                                      out));
  EXPECT_STREQ("001BFFFFFFFF", out);
  ASSERT_TRUE(device_id_internal::PickSmallestAddress({L"card_c", L"card_b", L"card_a"}, query, out));
  EXPECT_STREQ("001BFFFFFFFF", out);
  ASSERT_TRUE(device_id_internal::PickSmallestAddress({L"card_c"}, query, out));
  EXPECT_STREQ("100000000000", out);

  std::memset(out, 0, sizeof(out));
  EXPECT_FALSE(device_id_internal::PickSmallestAddress({L"gone", L"short"}, query, out));
  EXPECT_FALSE(device_id_internal::PickSmallestAddress({}, query, out));
  EXPECT_STREQ("", out);
}

// The vendor is the one the system names, and the feature word's bits are
// the ones the system reports present.
TEST(DeviceIdTest, ProcessorPartIsTheSystemsProcessor) {
  const std::string processor = ProcessorPart();
  ASSERT_EQ(21u, processor.size()) << processor;
  EXPECT_EQ(':', processor[12]);
  EXPECT_TRUE(IsLowerHex(processor.substr(13))) << processor;
  char vendor[64] = {};
  DWORD size = sizeof(vendor) - 1;
  ASSERT_EQ(ERROR_SUCCESS, ::RegGetValueA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                                          "VendorIdentifier", RRF_RT_REG_SZ, nullptr, vendor, &size));
  EXPECT_EQ(std::string(vendor), processor.substr(0, 12));
  const unsigned long features = std::strtoul(processor.substr(13).c_str(), nullptr, 16);
  const struct {
    DWORD feature;
    int bit;
  } bits[] = {{PF_RDTSC_INSTRUCTION_AVAILABLE, 4}, {PF_COMPARE_EXCHANGE_DOUBLE, 8}, {PF_MMX_INSTRUCTIONS_AVAILABLE, 23},
              {PF_XMMI_INSTRUCTIONS_AVAILABLE, 25}, {PF_XMMI64_INSTRUCTIONS_AVAILABLE, 26}};
  for (const auto& b : bits)
    EXPECT_EQ(::IsProcessorFeaturePresent(b.feature) != FALSE, ((features >> b.bit) & 1) != 0) << "bit " << b.bit;
}

// The machine text is the processor part, then the first disk serial that
// a method delivers (without its trailing blanks), then the first address.
TEST(DeviceIdTest, MachineTextJoinsTheFirstAnswers) {
  using Method = bool (*)(DevicePart&);
  auto first = [](std::initializer_list<Method> methods) {
    for (Method method : methods) {
      DevicePart out = {};
      if (method(out)) {
        std::string text = out;
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text;
      }
    }
    return std::string();
  };
  const std::string disk = first({ReadDiskSerialSmartWithDeviceMap, ReadDiskSerialScsiMiniport,
                                  ReadDiskSerialStorageQuery, ReadDiskSerialSmart});
  const std::string address = first({ReadMacFromNetworkCards, ReadMacFromNetbios});
  EXPECT_EQ(ProcessorPart() + disk + address, ComposeMachineText());
  if (!address.empty()) {
    EXPECT_EQ(12u, address.size()) << address;
    EXPECT_EQ(std::string::npos, address.find_first_not_of("0123456789ABCDEF")) << address;
  }
}

// 32 lower-case hexadecimal digits, the MD5 of the machine text, the same
// on every thread.
TEST(DeviceIdTest, IdentifierIsStableMd5) {
  std::string id = GetDeviceId();
  ASSERT_EQ(32u, id.size());
  EXPECT_TRUE(IsLowerHex(id)) << id;
  EXPECT_EQ(MD5Hex(ComposeMachineText()), id);
  std::vector<std::string> seen(4);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = GetDeviceId(); });
  for (std::thread& t : threads) t.join();
  for (const std::string& other : seen) EXPECT_EQ(id, other);
}

uint64_t Ticks(const SYSTEMTIME& time) {
  FILETIME file = {};
  ::SystemTimeToFileTime(&time, &file);
  return (static_cast<uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

// Without wmic the fallback is the SQM machine id, or else the local time
// of the call to the millisecond and a number from 1 to 9999.
TEST(DeviceIdTest, FallbackWithoutWmicIsTheMachineIdOrTheTime) {
  launcher_internal::SetSystemToolFolderForTesting(ExecutableFolder() + L"varno_no_tools\\");
  SYSTEMTIME before, after;
  ::GetLocalTime(&before);
  const std::string text = device_id_internal::FallbackMachineText();
  ::GetLocalTime(&after);
  launcher_internal::SetSystemToolFolderForTesting(L"");

  char machine_id[257] = {};
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    DWORD size = sizeof(machine_id) - 1;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\SQMClient", 0, KEY_READ | view, &key) != ERROR_SUCCESS)
      continue;
    const LONG read = ::RegGetValueA(key, nullptr, "MachineId", RRF_RT_REG_SZ, nullptr, machine_id, &size);
    ::RegCloseKey(key);
    if (read == ERROR_SUCCESS && machine_id[0]) break;
    machine_id[0] = 0;
  }
  if (machine_id[0]) {
    EXPECT_EQ(machine_id, text);
    return;
  }
  SYSTEMTIME at = {};
  int year, month, day, hour, minute, second, millisecond, number = 0;
  ASSERT_EQ(8, std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d:%3d:%4d", &year, &month, &day, &hour, &minute,
                           &second, &millisecond, &number))
      << text;
  char again[64];
  std::snprintf(again, sizeof(again), "%04d-%02d-%02d %02d:%02d:%02d:%03d:%04d", year, month, day, hour, minute,
                second, millisecond, number);
  EXPECT_EQ(again, text);
  EXPECT_GE(number, 1);
  EXPECT_LE(number, 9999);
  at.wYear = static_cast<WORD>(year);
  at.wMonth = static_cast<WORD>(month);
  at.wDay = static_cast<WORD>(day);
  at.wHour = static_cast<WORD>(hour);
  at.wMinute = static_cast<WORD>(minute);
  at.wSecond = static_cast<WORD>(second);
  at.wMilliseconds = static_cast<WORD>(millisecond);
  EXPECT_LE(Ticks(before), Ticks(at)) << text;
  EXPECT_LE(Ticks(at), Ticks(after)) << text;
}

}  // namespace
