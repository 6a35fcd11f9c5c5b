// The demo's helper under Wine:
//   varno_demo_tool trust Z:\...\ca.der  trusts the demo servers' root certificate
//                                        in the prefix's machine root store, so
//                                        the installer's HTTPS clients accept nginx
//   varno_demo_tool untrust               forgets it again
//   varno_demo_tool run                   starts %VARNO_DEMO_COMMAND_LINE% exactly as
//                                        written (Wine would requote arguments given
//                                        from Linux), waits, exits with its code
// A single-threaded console program.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>

namespace {

constexpr wchar_t kSubject[] = L"VARNO Test Root";

HCERTSTORE OpenRoot() {
  return ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
}

int Add(const wchar_t* path) {
  HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::string der(64 * 1024, '\0');
  DWORD read = 0;
  BOOL ok = ::ReadFile(file, &der[0], static_cast<DWORD>(der.size()), &read, nullptr);
  ::CloseHandle(file);
  if (!ok || read == 0) return 1;
  HCERTSTORE store = OpenRoot();
  if (!store) return 1;
  BOOL added = ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                  read, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  ::CertCloseStore(store, 0);  // writes it to the registry
  return added ? 0 : 1;
}

int Remove() {
  HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
  if (!store) return 1;
  for (;;) {
    PCCERT_CONTEXT cert =
        ::CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_W, kSubject, nullptr);
    if (!cert || !::CertDeleteCertificateFromStore(cert)) break;  // frees |cert|
  }
  ::CertCloseStore(store, 0);
  return 0;
}

int Run() {
  std::wstring command(32768, L'\0');
  DWORD n = ::GetEnvironmentVariableW(L"VARNO_DEMO_COMMAND_LINE", &command[0], static_cast<DWORD>(command.size()));
  if (n == 0 || n >= command.size()) return 125;
  command.resize(n);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 126;
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 127;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"trust") return Add(argv[2]);
  if (argc == 2 && std::wstring(argv[1]) == L"untrust") return Remove();
  if (argc == 2 && std::wstring(argv[1]) == L"run") return Run();
  std::fputs("usage: varno_demo_tool trust CA.der | untrust | run\n", stderr);
  return 2;
}
