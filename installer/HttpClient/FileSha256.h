// The SHA-256 digest of a file, read in blocks through the system's
// BCrypt. Stateless; any thread.
#ifndef INSTALLER_HTTPCLIENT_FILESHA256_H_
#define INSTALLER_HTTPCLIENT_FILESHA256_H_

#include <string>

// 64 lower-case hexadecimal digits; empty when the file cannot be read or
// hashing fails.
std::string Sha256OfFile(const std::wstring& path);

// |text| when it is 64 hexadecimal digits, in lower case; else empty.
std::string NormalizeSha256(const std::string& text);

#endif  // INSTALLER_HTTPCLIENT_FILESHA256_H_
