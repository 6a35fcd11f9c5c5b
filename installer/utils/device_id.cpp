#include "installer/utils/device_id.h"

#include <windows.h>
#include <winioctl.h>
#include <nb30.h>
#include <cpuid.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <random>

#include "base/synchronization/lock.h"
#include "base/util/string_util.h"
#include "base/win32/scoped_handle.h"
#include "installer/utils/public_fun.h"
#include "installer/utils/setup_launcher.h"

namespace {

// Control codes and records of the drive and adapter queries, by value so
// that the record sizes the drivers expect are visible here.
constexpr DWORD kSmartGetVersion = 0x74080;
constexpr DWORD kSmartReceiveDriveData = 0x7C088;
constexpr DWORD kScsiMiniport = 0x4D008;
constexpr DWORD kScsiMiniportIdentify = 0x1B0501;
constexpr DWORD kStorageQueryProperty = 0x2D1400;
constexpr DWORD kNdisQueryGlobalStats = 0x170002;
constexpr DWORD kOidPermanentAddress = 0x01010101;

constexpr BYTE kIdentifyDevice = 0xEC;
constexpr BYTE kIdentifyPacketDevice = 0xA1;

// SENDCMDINPARAMS without its one-byte data tail, and the 16-byte status
// header that precedes the identify data in SENDCMDOUTPARAMS.
constexpr DWORD kCommandRecordSize = sizeof(SENDCMDINPARAMS) - 1;
constexpr size_t kOutputHeaderSize = 16;
static_assert(sizeof(GETVERSIONINPARAMS) == 24, "SMART version record");
static_assert(kCommandRecordSize == 32, "SMART command record");
static_assert(sizeof(SENDCMDOUTPARAMS) - 1 == kOutputHeaderSize, "SMART output header");

struct SrbIoControl {  // SRB_IO_CONTROL of the miniport interface
  ULONG HeaderLength;
  UCHAR Signature[8];
  ULONG Timeout;
  ULONG ControlCode;
  ULONG ReturnCode;
  ULONG Length;
};
static_assert(sizeof(SrbIoControl) == 28, "miniport header");

constexpr int kDriveProbes = 16;
// The identify words: serial number 10-19, model number from 27 on.
constexpr int kSerialFirstWord = 10;
constexpr int kSerialLastWord = 19;
constexpr size_t kModelOffset = 27 * 2;

struct RegistryKeyTraits {
  static HKEY InvalidValue() { return nullptr; }
  static void Free(HKEY key) { ::RegCloseKey(key); }
};
using ScopedRegistryKey = base::win32::ScopedGeneric<HKEY, RegistryKeyTraits>;

bool Deliver(const std::string& text, DevicePart& out) {
  // An empty serial would hide a readable one of a later method.
  if (text.empty() || text.size() >= kDevicePartSize) return false;
  std::memcpy(out, text.c_str(), text.size() + 1);
  return true;
}

base::win32::ScopedHandle OpenDevice(const std::wstring& path, DWORD access, DWORD share) {
  return base::win32::ScopedHandle(
      ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
}

std::wstring PhysicalDrive(int drive) { return base::FormatText(L"\\\\.\\PhysicalDrive%d", drive); }

bool Control(const base::win32::ScopedHandle& device, DWORD code, void* in, DWORD in_size, void* out,
             DWORD out_size, DWORD* returned) {
  *returned = 0;
  return ::DeviceIoControl(device.Get(), code, in, in_size, out, out_size, returned, nullptr) != FALSE;
}

// The UTF-16 that some commands write into a pipe, as narrow text.
std::string NarrowCommandOutput(const std::string& output) {
  if (output.size() < 2 || output[0] != '\xFF' || output[1] != '\xFE') return output;
  std::wstring wide;
  for (size_t i = 2; i + 1 < output.size(); i += 2)
    wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(output[i]) |
                                        (static_cast<unsigned char>(output[i + 1]) << 8)));
  return base::WideToUtf8(wide);
}

// Runs a program of the system folder with |arguments| and reads the text
// after |heading| in what it writes.
std::string CommandAnswer(const std::wstring& program, const std::string& arguments, const std::string& heading) {
  CaptureOptions options;
  options.wait_ms = 500;
  options.max_bytes = 10000;
  options.own_startup_info = true;
  std::string output;
  if (!CaptureCommandOutput(SystemToolPath(program), base::Utf8ToWide(arguments), options, &output))
    return std::string();
  return ParseCommandAnswer(NarrowCommandOutput(output), heading);
}

std::string SqmMachineId(REGSAM view) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\SQMClient", 0, KEY_READ | view, &raw) !=
      ERROR_SUCCESS)
    return std::string();
  ScopedRegistryKey key(raw);
  char value[257] = {};
  DWORD size = 256;
  DWORD type = 0;
  if (::RegQueryValueExA(key.Get(), "MachineId", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return std::string();
  // A stored value need not carry its terminator.
  value[size < 256 ? size : 256] = '\0';
  return value;
}

std::string GeneratedMachineText() {
  static std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<int> draw(1, 9999);
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return base::FormatText("%04d-%02d-%02d %02d:%02d:%02d:%03d:%04d", now.wYear, now.wMonth, now.wDay, now.wHour,
                          now.wMinute, now.wSecond, now.wMilliseconds, draw(generator));
}

bool NdisPermanentAddress(const std::wstring& service, std::vector<uint8_t>* address) {
  base::win32::ScopedHandle adapter =
      OpenDevice(L"\\\\.\\" + service, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!adapter.Valid()) return false;
  DWORD oid = kOidPermanentAddress;
  uint8_t buffer[260] = {};
  DWORD returned = 0;
  if (!Control(adapter, kNdisQueryGlobalStats, &oid, sizeof(oid), buffer, sizeof(buffer), &returned) ||
      returned == 0)
    return false;
  address->assign(buffer, buffer + std::min<DWORD>(returned, sizeof(buffer)));
  return true;
}

std::vector<std::wstring> NetworkCardServices() {
  std::vector<std::wstring> services;
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards", 0,
                      KEY_ENUMERATE_SUB_KEYS | KEY_WOW64_32KEY, &raw) != ERROR_SUCCESS)
    return services;
  ScopedRegistryKey cards(raw);
  for (DWORD index = 0;; ++index) {
    wchar_t name[261] = {};
    DWORD name_length = 260;
    LONG status = ::RegEnumKeyExW(cards.Get(), index, name, &name_length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;  // a name longer than 260 characters
    if (status != ERROR_SUCCESS) break;
    HKEY raw_card = nullptr;
    if (::RegOpenKeyExW(cards.Get(), name, 0, KEY_READ | KEY_WOW64_32KEY, &raw_card) != ERROR_SUCCESS) continue;
    ScopedRegistryKey card(raw_card);
    wchar_t service[261] = {};
    DWORD size = 520;
    DWORD type = 0;
    if (::RegQueryValueExW(card.Get(), L"ServiceName", nullptr, &type, reinterpret_cast<BYTE*>(service), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      continue;
    service[std::min<DWORD>(size / sizeof(wchar_t), 260)] = L'\0';
    if (service[0]) services.push_back(service);
  }
  return services;
}

}  // namespace

std::string ProcessorPart() {
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  char vendor[13] = {};
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
  }
  unsigned int features = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) features = edx;
  char part[kDevicePartSize];
  std::snprintf(part, sizeof(part), "%s:%08x", vendor, features);
  return part;
}

bool ReadDiskSerialSmartWithDeviceMap(DevicePart& out) {
  for (int drive = 0; drive < kDriveProbes; ++drive) {
    base::win32::ScopedHandle disk =
        OpenDevice(PhysicalDrive(drive), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!disk.Valid()) continue;
    GETVERSIONINPARAMS version = {};
    DWORD returned = 0;
    if (!Control(disk, kSmartGetVersion, nullptr, 0, &version, sizeof(version), &returned) ||
        version.bIDEDeviceMap == 0)
      continue;
    SENDCMDINPARAMS command = {};
    command.cBufferSize = kIdentifyDataSize;
    command.irDriveRegs.bFeaturesReg = 0;
    command.irDriveRegs.bSectorCountReg = 1;
    command.irDriveRegs.bSectorNumberReg = 1;
    command.irDriveRegs.bCylLowReg = 0;
    command.irDriveRegs.bCylHighReg = 0;
    command.irDriveRegs.bDriveHeadReg = (drive & 1) ? 0xB0 : 0xA0;
    command.irDriveRegs.bCommandReg =
        ((version.bIDEDeviceMap >> drive) & 0x10) ? kIdentifyPacketDevice : kIdentifyDevice;
    command.bDriveNumber = static_cast<BYTE>(drive);
    uint8_t reply[kOutputHeaderSize + kIdentifyDataSize] = {};
    if (!Control(disk, kSmartReceiveDriveData, &command, kCommandRecordSize, reply, sizeof(reply), &returned))
      continue;
    if (Deliver(IdentifyWordsToText(reply + kOutputHeaderSize, kIdentifyDataSize, kSerialFirstWord,
                                    kSerialLastWord),
                out))
      return true;
  }
  return false;
}

bool ReadDiskSerialScsiMiniport(DevicePart& out) {
  constexpr size_t kInputSize = sizeof(SrbIoControl) + kCommandRecordSize;                        // 60
  constexpr size_t kReplySize = sizeof(SrbIoControl) + kOutputHeaderSize + kIdentifyDataSize + 1;  // 557
  static_assert(kInputSize == 60 && kReplySize == 557, "miniport record sizes");
  for (int controller = 0; controller < kDriveProbes; ++controller) {
    base::win32::ScopedHandle port = OpenDevice(base::FormatText(L"\\\\.\\Scsi%d:", controller),
                                                GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!port.Valid()) continue;
    for (int drive = 0; drive < 2; ++drive) {
      uint8_t buffer[kReplySize] = {};
      SrbIoControl header = {};
      header.HeaderLength = sizeof(SrbIoControl);
      std::memcpy(header.Signature, "SCSIDISK", 8);
      header.Timeout = 10000;
      header.ControlCode = kScsiMiniportIdentify;
      header.Length = kOutputHeaderSize + kIdentifyDataSize + 1;
      std::memcpy(buffer, &header, sizeof(header));
      SENDCMDINPARAMS command = {};
      command.irDriveRegs.bCommandReg = kIdentifyDevice;
      command.bDriveNumber = static_cast<BYTE>(drive);
      std::memcpy(buffer + sizeof(SrbIoControl), &command, kCommandRecordSize);
      DWORD returned = 0;
      if (!Control(port, kScsiMiniport, buffer, kInputSize, buffer, kReplySize, &returned)) continue;
      const uint8_t* identify = buffer + sizeof(SrbIoControl) + kOutputHeaderSize;
      if (identify[kModelOffset] == 0) continue;
      if (Deliver(IdentifyWordsToText(identify, kIdentifyDataSize, kSerialFirstWord, kSerialLastWord), out))
        return true;
    }
  }
  return false;
}

bool ReadDiskSerialStorageQuery(DevicePart& out) {
  for (int drive = 0; drive < kDriveProbes; ++drive) {
    base::win32::ScopedHandle disk = OpenDevice(PhysicalDrive(drive), 0, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!disk.Valid()) continue;
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    static_assert(sizeof(query) == 12, "storage query record");
    std::vector<char> descriptor(10000);
    DWORD returned = 0;
    if (!Control(disk, kStorageQueryProperty, &query, sizeof(query), descriptor.data(),
                 static_cast<DWORD>(descriptor.size()), &returned))
      continue;
    // Only the bytes the driver wrote are the descriptor.
    size_t size = std::min<size_t>(returned, descriptor.size());
    if (size < 28) continue;
    DWORD offset = 0;
    std::memcpy(&offset, descriptor.data() + 24, sizeof(offset));
    // A 32-bit offset read as signed: values past 2^31 count as "none".
    long signed_offset = static_cast<long>(static_cast<int32_t>(offset));
    if (Deliver(DecodeStorageSerial(descriptor.data(), size, signed_offset, true), out)) return true;
  }
  return false;
}

bool ReadDiskSerialSmart(DevicePart& out) {
  for (int drive = 0; drive < kDriveProbes; ++drive) {
    base::win32::ScopedHandle disk = OpenDevice(PhysicalDrive(drive), GENERIC_READ | GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!disk.Valid()) continue;
    GETVERSIONINPARAMS version = {};
    DWORD returned = 0;
    if (!Control(disk, kSmartGetVersion, nullptr, 0, &version, sizeof(version), &returned)) continue;
    uint8_t command[sizeof(SENDCMDINPARAMS)] = {};
    static_assert(sizeof(command) == 33, "SMART command record with its data byte");
    command[offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bCommandReg)] = kIdentifyDevice;
    uint8_t reply[545] = {};
    if (!Control(disk, kSmartReceiveDriveData, command, sizeof(command), reply, sizeof(reply), &returned))
      continue;
    if (Deliver(IdentifyWordsToText(reply + kOutputHeaderSize, kIdentifyDataSize, kSerialFirstWord,
                                    kSerialLastWord),
                out))
      return true;
  }
  return false;
}

bool device_id_internal::PickSmallestAddress(const std::vector<std::wstring>& services, const AddressQuery& query,
                                             DevicePart& out) {
  std::string smallest;
  for (const std::wstring& service : services) {
    std::vector<uint8_t> address;
    if (!query(service, &address) || address.size() < 6) continue;
    std::string text = FormatAdapterAddress(address.data());
    if (smallest.empty() || ::lstrcmpA(text.c_str(), smallest.c_str()) < 0) smallest = text;
  }
  return Deliver(smallest, out);
}

bool ReadMacFromNetworkCards(DevicePart& out) {
  return device_id_internal::PickSmallestAddress(NetworkCardServices(), NdisPermanentAddress, out);
}

bool ReadMacFromNetbios(DevicePart& out) {
  LANA_ENUM lanas = {};
  static_assert(sizeof(lanas) == 256, "LANA enumeration");
  NCB ncb = {};
  ncb.ncb_command = NCBENUM;
  ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
  ncb.ncb_length = sizeof(lanas);
  if (::Netbios(&ncb) != NRC_GOODRET || lanas.length == 0) return false;
  UCHAR lana = lanas.lana[0];

  ncb = NCB();
  ncb.ncb_command = NCBRESET;
  ncb.ncb_lana_num = lana;
  ::Netbios(&ncb);

  struct AdapterStatus {
    ADAPTER_STATUS status;
    NAME_BUFFER names[30];
  } adapter = {};
  static_assert(sizeof(adapter) == 600, "adapter status buffer");
  ncb = NCB();
  ncb.ncb_command = NCBASTAT;
  ncb.ncb_lana_num = lana;
  std::memset(ncb.ncb_callname, ' ', NCBNAMSZ);
  ncb.ncb_callname[0] = '*';
  ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&adapter);
  ncb.ncb_length = sizeof(adapter);
  if (::Netbios(&ncb) != NRC_GOODRET) return false;
  return Deliver(FormatAdapterAddress(adapter.status.adapter_address), out);
}

std::string ComposeMachineText() {
  std::string raw = ProcessorPart();

  using DiskMethod = bool (*)(DevicePart&);
  for (DiskMethod method : {ReadDiskSerialSmartWithDeviceMap, ReadDiskSerialScsiMiniport,
                            ReadDiskSerialStorageQuery, ReadDiskSerialSmart}) {
    DevicePart serial = {};
    if (method(serial)) {
      raw += TrimTrailingBlanks(serial);
      break;
    }
  }
  for (DiskMethod method : {ReadMacFromNetworkCards, ReadMacFromNetbios}) {
    DevicePart address = {};
    if (method(address)) {
      raw += address;
      break;
    }
  }
  return raw;
}

std::string device_id_internal::FallbackMachineText() {
  const std::wstring wmic = base::FormatText(L"%lsc.exe", L"wmi");
  std::string raw = CommandAnswer(wmic, base::FormatText("cpu get %sssorid", "proce"), "ProcessorId");
  if (raw.empty()) raw = CommandAnswer(wmic, base::FormatText("%s get serialnumber", "diskdrive"), "SerialNumber");
  if (raw.empty()) raw = SqmMachineId(KEY_WOW64_64KEY);
  if (raw.empty()) raw = SqmMachineId(KEY_WOW64_32KEY);
  if (raw.empty()) raw = GeneratedMachineText();
  return raw;
}

std::string GetDeviceId() {
  // Computed once under the lock; an empty answer is computed again.
  static base::Lock lock;
  static std::string device_id;
  base::ScopedLock hold(lock);
  if (device_id.empty()) {
    std::string raw = ComposeMachineText();
    if (raw.empty()) raw = device_id_internal::FallbackMachineText();
    device_id = MD5Hex(raw);
  }
  return device_id;
}
