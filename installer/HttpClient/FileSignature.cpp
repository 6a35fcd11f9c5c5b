#include "installer/HttpClient/FileSignature.h"

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

namespace {

// Closes the trust provider's state, which a verification keeps open so
// that the signer can be read from it.
class TrustState {
 public:
  TrustState(WINTRUST_DATA* data, GUID* action) : data_(data), action_(action) {}
  ~TrustState() {
    data_->dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(nullptr, action_, data_);
  }
  TrustState(const TrustState&) = delete;
  TrustState& operator=(const TrustState&) = delete;

 private:
  WINTRUST_DATA* data_;
  GUID* action_;
};

}  // namespace

bool VerifySignature(const std::wstring& path, const std::wstring& expected_signer, SignatureCheck* check) {
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof(file);
  file.pcwszFilePath = path.c_str();
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
  check->status = ::WinVerifyTrust(nullptr, &action, &data);
  TrustState state(&data, &action);
  check->signer.clear();
  if (CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data.hWVTStateData)) {
    CRYPT_PROVIDER_SGNR* signer = ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
    if (signer && signer->csCertChain > 0 && signer->pasCertChain[0].pCert) {
      wchar_t name[256] = {};
      ::CertGetNameStringW(signer->pasCertChain[0].pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
      check->signer = name;
    }
  }
  return check->status == 0 && !check->signer.empty() &&
         ::CompareStringOrdinal(check->signer.c_str(), -1, expected_signer.c_str(), -1, TRUE) == CSTR_EQUAL;
}
