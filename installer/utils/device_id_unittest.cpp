#include "installer/utils/device_id.h"

#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "installer/utils/public_fun.h"

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

// vendor:features, as CPUID gives them.
TEST(DeviceIdTest, MachineTextStartsWithTheProcessor) {
  std::string processor = ProcessorPart();
  ASSERT_EQ(21u, processor.size()) << processor;
  EXPECT_EQ(':', processor[12]);
  EXPECT_TRUE(IsLowerHex(processor.substr(13)));
  std::string raw = ComposeMachineText();
  EXPECT_EQ(0u, raw.find(processor)) << raw;
  // The rest holds no blanks at the end of the serial and at most a serial
  // (under 100 characters) and an address (12 characters).
  EXPECT_LT(raw.size(), processor.size() + 99 + 12 + 1);
  if (!raw.empty()) {
    EXPECT_NE(' ', raw.back());
  }
  // Which facts this machine offers, for the test log.
  using Method = bool (*)(DevicePart&);
  const struct {
    const char* name;
    Method method;
  } methods[] = {{"SmartWithDeviceMap", ReadDiskSerialSmartWithDeviceMap}, {"ScsiMiniport", ReadDiskSerialScsiMiniport},
                 {"StorageQuery", ReadDiskSerialStorageQuery},           {"Smart", ReadDiskSerialSmart},
                 {"NetworkCards", ReadMacFromNetworkCards},              {"Netbios", ReadMacFromNetbios}};
  for (const auto& m : methods) {
    DevicePart out = {};
    bool delivered = m.method(out);
    std::printf("%s: %s\n", m.name, delivered ? out : "(nothing)");
  }
}

// 32 lower-case hexadecimal digits, the MD5 of the machine text, stable.
TEST(DeviceIdTest, IdentifierIsStableMd5) {
  DWORD start = ::GetTickCount();
  std::string id = GetDeviceId();
  DWORD first_ms = ::GetTickCount() - start;
  ASSERT_EQ(32u, id.size());
  EXPECT_TRUE(IsLowerHex(id)) << id;
  EXPECT_EQ(MD5Hex(ComposeMachineText()), id);
  std::vector<std::string> seen(4);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = GetDeviceId(); });
  for (std::thread& t : threads) t.join();
  for (const std::string& other : seen) EXPECT_EQ(id, other);
  std::printf("first GetDeviceId: %lu ms, machine text: %s\n", static_cast<unsigned long>(first_ms),
              ComposeMachineText().c_str());
}

// The fallback chain always has an answer.
TEST(DeviceIdTest, FallbackTextIsNeverEmpty) {
  DWORD start = ::GetTickCount();
  std::string text = device_id_internal::FallbackMachineText();
  EXPECT_FALSE(text.empty());
  EXPECT_LT(text.size(), 512u);
  std::printf("fallback text: %s (%lu ms)\n", text.c_str(), static_cast<unsigned long>(::GetTickCount() - start));
}

}  // namespace
