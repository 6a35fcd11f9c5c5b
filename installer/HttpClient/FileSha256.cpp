#include "installer/HttpClient/FileSha256.h"

#include <vector>

#include "base/util/string_util.h"
#include "base/win32/scoped_handle.h"
#include "base/win32/bcrypt_handles.h"

namespace {

constexpr DWORD kBlock = 1 << 20;

}  // namespace

std::string Sha256OfFile(const std::wstring& path) {
  base::win32::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return std::string();
  ScopedBcryptAlgorithm algorithm;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm.Receive(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
    return std::string();
  ScopedBcryptHash hash;
  if (!BCRYPT_SUCCESS(::BCryptCreateHash(algorithm.Get(), hash.Receive(), nullptr, 0, nullptr, 0, 0)))
    return std::string();
  std::vector<unsigned char> block(kBlock);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), block.data(), kBlock, &read, nullptr)) return std::string();
    if (read == 0) break;
    if (!BCRYPT_SUCCESS(::BCryptHashData(hash.Get(), block.data(), read, 0))) return std::string();
  }
  unsigned char digest[32];
  if (!BCRYPT_SUCCESS(::BCryptFinishHash(hash.Get(), digest, sizeof(digest), 0))) return std::string();
  std::string hex;
  for (unsigned char b : digest) base::AppendFormatted(hex, "%02x", b);
  return hex;
}

std::string NormalizeSha256(const std::string& text) {
  if (text.size() != 64) return std::string();
  std::string lower;
  for (char c : text) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::string();
    lower.push_back(c);
  }
  return lower;
}
