// The Authenticode signature of a file, checked by the system's trust
// provider without asking the network (no revocation look-up: a download
// may be verified offline). Stateless; any thread.
#ifndef INSTALLER_HTTPCLIENT_FILESIGNATURE_H_
#define INSTALLER_HTTPCLIENT_FILESIGNATURE_H_

#include <string>

struct SignatureCheck {
  long status = 0;     // WinVerifyTrust's answer; 0 when the signature holds
  std::wstring signer;  // the signing certificate's display name, when read
};

// Whether |path| carries a valid signature whose signer's display name is
// |expected_signer| (compared without regard to case).
bool VerifySignature(const std::wstring& path, const std::wstring& expected_signer, SignatureCheck* check);

#endif  // INSTALLER_HTTPCLIENT_FILESIGNATURE_H_
