#include "installer/HttpClient/testing/http_test_support.h"

#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace http_testing {

namespace {

int PortFromEnvironment(const char* name) {
  const char* value = getenv(name);
  return value ? atoi(value) : 0;
}

std::wstring WideFromEnvironment(const char* name) {
  const char* value = getenv(name);
  if (!value) return std::wstring();
  std::wstring wide;
  for (const char* p = value; *p; ++p) wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  return wide;
}

// The subject of every test root certificate make_certs.sh writes.
const wchar_t kTestRootSubject[] = L"VARNO Test Root";

// Certificates are added through the system store (which writes them to the
// machine's registry store when closed) and removed through the registry
// store itself: a deletion through the system store's collection does not
// reach the registry under Wine.
HCERTSTORE OpenMachineRoot(bool registry_only) {
  return ::CertOpenStore(registry_only ? CERT_STORE_PROV_SYSTEM_REGISTRY_W : CERT_STORE_PROV_SYSTEM_W, 0, 0,
                         CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
}

int RemoveTestRoots() {
  HCERTSTORE store = OpenMachineRoot(true);
  if (!store) return -1;
  int removed = 0;
  for (;;) {
    PCCERT_CONTEXT cert = ::CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_W,
                                                       kTestRootSubject, nullptr);
    if (!cert) break;
    if (!::CertDeleteCertificateFromStore(cert)) break;  // frees |cert|
    ++removed;
  }
  ::CertCloseStore(store, 0);
  return removed;
}

}  // namespace

const TestServers& Servers() {
  static const TestServers servers = [] {
    TestServers s;
    s.http_port = PortFromEnvironment("VARNO_HTTP_PORT");
    s.https_port = PortFromEnvironment("VARNO_HTTPS_PORT");
    s.tls_alt_port = PortFromEnvironment("VARNO_TLS_ALT_PORT");
    s.tls_self_port = PortFromEnvironment("VARNO_TLS_SELF_PORT");
    s.tls_expired_port = PortFromEnvironment("VARNO_TLS_EXPIRED_PORT");
    s.peer_port = PortFromEnvironment("VARNO_PEER_PORT");
    s.ca_der_path = WideFromEnvironment("VARNO_TEST_CA");
    s.available = s.http_port && s.https_port == 443 && s.tls_alt_port && s.tls_self_port &&
                  s.tls_expired_port && s.peer_port && !s.ca_der_path.empty();
    return s;
  }();
  return servers;
}

bool RequireServers() {
  if (Servers().available) return true;
  ADD_FAILURE() << "the loopback servers are missing: run this binary through "
                   "installer/HttpClient/testing/run_http_tests.sh";
  return false;
}

std::wstring NginxUrl(const std::wstring& path) {
  return L"http://127.0.0.1:" + std::to_wstring(Servers().http_port) + path;
}

std::wstring PeerUrl(const std::wstring& path) {
  return L"http://127.0.0.1:" + std::to_wstring(Servers().peer_port) + path;
}

std::wstring TlsUrl(int port, const std::wstring& path) {
  return L"https://127.0.0.1:" + std::to_wstring(port) + path;
}

std::string Narrow(const std::wstring& ascii) {
  std::string out;
  for (wchar_t c : ascii) out += static_cast<char>(c);
  return out;
}

std::string Pattern(size_t size, size_t start) {
  std::string out(size, '\0');
  for (size_t k = 0; k < size; ++k) {
    size_t i = start + k;
    out[k] = static_cast<char>((i * 31 + (i >> 8) * 7 + (i >> 16)) & 0xFF);
  }
  return out;
}

void RecordingCallback::OnTransferProgress(void* param, int state, double total_size, double downloaded_size) {
  events.push_back({param, state, total_size, downloaded_size});
}

bool RecordingCallback::ShouldStop() {
  int asked = questions++;
  return stop_after >= 0 && asked >= stop_after;
}

int RecordingCallback::Count(int state) const {
  int n = 0;
  for (const Event& e : events) n += e.state == state;
  return n;
}

ScratchFolder::ScratchFolder() {
  static int serial = 0;
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"varno_http_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
          std::to_wstring(++serial) + L"\\";
  RemoveTree(path_);
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

bool FileExists(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFile(const std::wstring& path) {
  std::string bytes;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return bytes;
  char block[65536];
  size_t n;
  while ((n = fread(block, 1, sizeof(block), file)) > 0) bytes.append(block, n);
  fclose(file);
  return bytes;
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(file, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

void RemoveTree(const std::wstring& path) {
  std::wstring folder = path;
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  if (folder.empty()) return;
  WIN32_FIND_DATAW found;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(child.c_str());
      }
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(folder.c_str());
}

void TestRootEnvironment::SetUp() {
  if (!Servers().available) return;  // RequireServers reports it per test
  RemoveTestRoots();
  std::string der = ReadFile(Servers().ca_der_path);
  ASSERT_FALSE(der.empty()) << "cannot read the test root certificate";
  HCERTSTORE store = OpenMachineRoot(false);
  ASSERT_NE(store, nullptr) << "cannot open the machine root store: " << ::GetLastError();
  BOOL added = ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                                  reinterpret_cast<const BYTE*>(der.data()),
                                                  static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                  nullptr);
  DWORD error = ::GetLastError();
  // Closing writes the certificate to the registry, where the chain engine
  // of every later connection of this process finds it.
  ::CertCloseStore(store, 0);
  ASSERT_TRUE(added) << "cannot add the test root certificate: " << error;
}

void TestRootEnvironment::TearDown() {
  if (!Servers().available) return;
  EXPECT_GE(RemoveTestRoots(), 1) << "the test root certificate was not removed";
}

}  // namespace http_testing

namespace http_testing {

int64_t NginxBytesServed(const std::string& path, int* requests) {
  if (requests) *requests = 0;
  const char* log = std::getenv("VARNO_NGINX_ACCESS_LOG");
  if (!log || !*log) return -1;
  const std::string text = ReadFile(std::wstring(log, log + strlen(log)));
  // Combined format: ... "GET /target HTTP/1.1" STATUS BYTES "referer" ...
  int64_t total = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t request = line.find('"');
    const size_t request_end = request == std::string::npos ? request : line.find('"', request + 1);
    if (request_end == std::string::npos) continue;
    if (line.substr(request, request_end - request).find(path) == std::string::npos) continue;
    long long status = 0, bytes = 0;
    if (sscanf(line.c_str() + request_end + 1, "%lld %lld", &status, &bytes) != 2) continue;
    total += bytes;
    if (requests) ++*requests;
  }
  return total;
}

}  // namespace http_testing
