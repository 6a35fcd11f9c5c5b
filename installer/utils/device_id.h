// The device identifier that every analytics event and report carries: the
// MD5 of the processor signature, the first readable disk serial and the
// smallest adapter address, so the raw facts never leave the machine.
// Free functions, callable from any thread; GetDeviceId() computes once per
// process behind a lock and then answers from its cache.
#ifndef INSTALLER_UTILS_DEVICE_ID_H_
#define INSTALLER_UTILS_DEVICE_ID_H_

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "installer/utils/device_serial.h"

// Output buffer of one disk or adapter method.
using DevicePart = char[kDevicePartSize];

// 32 lower-case hexadecimal digits, the same for the whole process.
std::string GetDeviceId();

// The raw machine text: processor part, disk serial, adapter address.
// Never cached.
std::string ComposeMachineText();

// "%s:%08x" of the CPUID vendor text and the feature word of leaf 1.
std::string ProcessorPart();

// Disk methods, tried in this order. Each fills |out| with a zero-terminated
// serial and answers true when it found one.
bool ReadDiskSerialSmartWithDeviceMap(DevicePart& out);
bool ReadDiskSerialScsiMiniport(DevicePart& out);
bool ReadDiskSerialStorageQuery(DevicePart& out);
bool ReadDiskSerialSmart(DevicePart& out);

// Adapter methods, tried in this order; |out| gets twelve upper-case digits.
bool ReadMacFromNetworkCards(DevicePart& out);
bool ReadMacFromNetbios(DevicePart& out);

namespace device_id_internal {

// Asks the driver of one network-card service for its permanent address;
// answers the bytes it returned, or false.
using AddressQuery = std::function<bool(const std::wstring& service, std::vector<uint8_t>* address)>;

// The address that sorts first (lstrcmpA) over |services|; adapters that do
// not answer, or answer fewer than six bytes, are skipped.
bool PickSmallestAddress(const std::vector<std::wstring>& services, const AddressQuery& query,
                         DevicePart& out);

// The raw text used when the machine text is empty: WMI's processor id, its
// disk serial, the SQM machine id, or a time-and-random text, the first that
// is not empty.
std::string FallbackMachineText();

}  // namespace device_id_internal

#endif  // INSTALLER_UTILS_DEVICE_ID_H_
