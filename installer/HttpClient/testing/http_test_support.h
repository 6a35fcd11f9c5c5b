// Test support for the HTTP clients and their users: the loopback servers
// that run_http_tests.sh started (ports from the environment), the byte
// pattern their files hold, a callback that records every report, scratch
// folders, and the test root certificate that the run trusts. Used from the
// test's main thread only.
#ifndef INSTALLER_HTTPCLIENT_TESTING_HTTP_TEST_SUPPORT_H_
#define INSTALLER_HTTPCLIENT_TESTING_HTTP_TEST_SUPPORT_H_

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "installer/HttpClient/HttpInterface.h"

namespace http_testing {

// Ports and files of the servers of this run. |available| is false when the
// binary was started without run_http_tests.sh.
struct TestServers {
  bool available = false;
  int http_port = 0;         // nginx, plain HTTP
  int https_port = 0;        // nginx, TLS, CA-signed certificate (443)
  int tls_alt_port = 0;      // nginx, TLS, the same certificate
  int tls_self_port = 0;     // nginx, TLS, self-signed (untrusted)
  int tls_expired_port = 0;  // nginx, TLS, CA-signed but expired
  int peer_port = 0;         // the scripted peer
  std::wstring ca_der_path;  // the test root certificate
};
const TestServers& Servers();

// Fails the current test (and returns false) when the servers are missing.
bool RequireServers();

std::wstring NginxUrl(const std::wstring& path);             // http://127.0.0.1:<http>/...
std::wstring PeerUrl(const std::wstring& path);              // http://127.0.0.1:<peer>/...
std::wstring TlsUrl(int port, const std::wstring& path);     // https://127.0.0.1:<port>/...
std::string Narrow(const std::wstring& ascii);

// Bytes |start| .. |start| + |size| - 1 of the pattern the served files hold:
// byte i is (31 i + 7 (i >> 8) + (i >> 16)) mod 256.
std::string Pattern(size_t size, size_t start = 0);

// Everything a client reported, in order.
class RecordingCallback : public IHttpCallback {
 public:
  struct Event {
    void* param;
    int state;
    double total;
    double received;
  };

  void OnTransferProgress(void* param, int state, double total_size, double downloaded_size) override;
  // Answers true from the |stop_after|-th question on (never when negative).
  bool ShouldStop() override;

  int Count(int state) const;
  const Event* Last() const { return events.empty() ? nullptr : &events.back(); }

  std::vector<Event> events;
  int stop_after = -1;
  int questions = 0;
};

// A scratch folder under the temporary folder, removed with its content.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // The folder with a trailing backslash.
  const std::wstring& path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + name; }

 private:
  std::wstring path_;
};

// Body bytes nginx has logged as sent for requests whose target holds
// |path|, summed over the run so far, and how many such requests it
// logged; -1 when the log cannot be read.
int64_t NginxBytesServed(const std::string& path, int* requests = nullptr);

bool FileExists(const std::wstring& path);
// The whole file; empty when it cannot be read (check FileExists first).
std::string ReadFile(const std::wstring& path);
void WriteFile(const std::wstring& path, const std::string& bytes);
void RemoveTree(const std::wstring& path);

// Trusts the run's test root certificate in the Wine prefix's machine root
// store for the life of the test program, and removes it afterwards (and
// any left behind by an earlier run that died). Register it once per test
// binary with ::testing::AddGlobalTestEnvironment.
class TestRootEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;
};

// The fixture every client's tests share: skips without the servers, points
// the client's progress at a recorder, and gives each test a scratch folder.
template <typename Client>
class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!RequireServers()) GTEST_SKIP();
    client_.SetProgressSink(&callback_, &callback_);
  }

  // The one failure report: XFER_FAILED with both sizes 0, and no XFER_DONE.
  void ExpectFailedOnce() {
    ASSERT_NE(callback_.Last(), nullptr);
    EXPECT_EQ(callback_.Last()->state, XFER_FAILED);
    EXPECT_EQ(callback_.Last()->total, 0);
    EXPECT_EQ(callback_.Last()->received, 0);
    EXPECT_EQ(callback_.Count(XFER_FAILED), 1);
    EXPECT_EQ(callback_.Count(XFER_DONE), 0);
  }

  // The one success report as the last one, with no failure report.
  void ExpectDoneOnce(double total, double received) {
    ASSERT_NE(callback_.Last(), nullptr);
    EXPECT_EQ(callback_.Last()->state, XFER_DONE);
    EXPECT_EQ(callback_.Last()->total, total);
    EXPECT_EQ(callback_.Last()->received, received);
    EXPECT_EQ(callback_.Count(XFER_DONE), 1);
    EXPECT_EQ(callback_.Count(XFER_FAILED), 0);
  }

  // FetchToMemory into a string; false when it failed, after checking that
  // the failure handed out no block.
  bool Fetch(Client& client, const std::wstring& url, std::string* body) {
    char* data = reinterpret_cast<char*>(1);
    int length = -1;
    if (!client.FetchToMemory(url.c_str(), &data, &length)) {
      EXPECT_EQ(data, nullptr);
      EXPECT_EQ(length, 0);
      return false;
    }
    body->assign(data, static_cast<size_t>(length));
    free(data);
    return true;
  }
  bool Fetch(const std::wstring& url, std::string* body) { return Fetch(client_, url, body); }

  // A fresh client's FetchToMemory of |url| fails with |code|.
  void ExpectMemoryFetchFails(const std::wstring& url, int code) {
    Client memory_client;
    char* data = nullptr;
    int length = 0;
    EXPECT_FALSE(memory_client.FetchToMemory(url.c_str(), &data, &length));
    EXPECT_EQ(memory_client.LastErrorCode(), code);
  }

  Client client_;
  RecordingCallback callback_;
  ScratchFolder scratch_;
};

}  // namespace http_testing

#endif  // INSTALLER_HTTPCLIENT_TESTING_HTTP_TEST_SUPPORT_H_
