// The WinINet client against nginx (plain and TLS) and the scripted peer.
#include <winsock2.h>

#include "installer/HttpClient/WininetHttp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "installer/HttpClient/testing/http_test_support.h"

using http_testing::NginxUrl;
using http_testing::Pattern;
using http_testing::PeerUrl;
using http_testing::ReadFile;
using http_testing::RecordingCallback;
using http_testing::Servers;
using http_testing::TlsUrl;

// Checked from HttpInterface_unittest.cpp (WinINet and WinHTTP headers do
// not mix in one unit).
bool WininetSlotsInOrder(std::string* report) {
  auto slot = [](auto method) {
    struct {
      uintptr_t pointer;
      ptrdiff_t adjustment;
    } representation;
    static_assert(sizeof(method) == sizeof(representation), "unexpected member pointer layout");
    memcpy(&representation, &method, sizeof(representation));
    return static_cast<int>((representation.pointer - 1) / sizeof(void*));
  };
  using WideRequest = std::string (IWininetHttp::*)(const wchar_t*, int, const char*, const wchar_t*);
  using NarrowRequest = std::string (IWininetHttp::*)(const char*, int, const char*, const char*);
  int wide = slot(static_cast<WideRequest>(&IWininetHttp::Request));
  int narrow = slot(static_cast<NarrowRequest>(&IWininetHttp::Request));
  *report = "wide Request at " + std::to_string(wide) + ", narrow at " + std::to_string(narrow);
  return wide == 8 && narrow == 9;
}

bool IsWininetClient(IHttpBase* client) { return dynamic_cast<IWininetHttp*>(client) != nullptr; }

namespace {

class WininetHttpTest : public http_testing::ClientTest<CWininetHttp> {
 protected:
  void ExpectDone(double total) {
    ExpectDoneOnce(total, total);
    double previous = 0;
    for (const auto& e : callback_.events) {
      EXPECT_EQ(e.param, &callback_);
      if (e.state != XFER_RUNNING) continue;
      EXPECT_EQ(e.total, total);
      EXPECT_GT(e.received, previous);
      previous = e.received;
    }
  }

};

// What the downloader does per part: a Range answered with exactly the
// range gives exactly those bytes, block reports and XFER_DONE.
TEST_F(WininetHttpTest, RangeDownloadsExactlyTheRange) {
  client_.AddHeader("Range", "bytes=1000-4999");
  std::wstring file = scratch_.File(L"range.bin");
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/pattern-1m.bin").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastStatusCode(), 206);
  EXPECT_EQ(ReadFile(file), Pattern(4000, 1000));
  EXPECT_GE(callback_.Count(XFER_RUNNING), 1);
  ExpectDone(4000);
  EXPECT_EQ(client_.LastErrorCode(), HIE_NONE);
}

TEST_F(WininetHttpTest, WholeFileAndItsSize) {
  std::wstring file = scratch_.File(L"whole.bin");
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/pattern-1m.bin").c_str(), file.c_str()));
  EXPECT_EQ(ReadFile(file), Pattern(1 << 20));
  EXPECT_EQ(callback_.Count(XFER_RUNNING), 256);  // 4,096-byte blocks
  ExpectDone(1 << 20);

  CWininetHttp sizer;
  EXPECT_EQ(sizer.QueryRemoteSize(NginxUrl(L"/pattern-1m.bin").c_str()), 1048576.0);
  EXPECT_EQ(sizer.LastStatusCode(), 200);
  EXPECT_EQ(sizer.QueryRemoteSize(NginxUrl(L"/pattern-3000.bin").c_str()), 3000.0);
}

// A block smaller than 4 KiB is read in one piece of its own size.
TEST_F(WininetHttpTest, SmallFileReadInOneBlock) {
  std::wstring file = scratch_.File(L"small.bin");
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/pattern-3000.bin").c_str(), file.c_str()));
  EXPECT_EQ(ReadFile(file), Pattern(3000));
  EXPECT_EQ(callback_.Count(XFER_RUNNING), 1);
  ExpectDone(3000);
}

TEST_F(WininetHttpTest, ZeroLengthGivesEmptyFile) {
  std::wstring file = scratch_.File(L"empty.bin");
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/empty.bin").c_str(), file.c_str()));
  EXPECT_TRUE(http_testing::FileExists(file));
  EXPECT_EQ(ReadFile(file), "");
  ExpectDone(0);
}

// Without Content-Length: the size is 0 and the file download fails with 4.
TEST_F(WininetHttpTest, MissingLengthFailsWithQueryError) {
  std::wstring file = scratch_.File(L"nolength.bin");
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/nolength").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_QUERY_FAILED);
  EXPECT_FALSE(http_testing::FileExists(file));
  ExpectFailedOnce();

  CWininetHttp sizer;
  EXPECT_EQ(sizer.QueryRemoteSize(PeerUrl(L"/nolength").c_str()), 0.0);
  EXPECT_EQ(sizer.LastErrorCode(), HIE_QUERY_FAILED);
  EXPECT_EQ(sizer.LastStatusCode(), 200);
}

TEST_F(WininetHttpTest, UnparsableLengthFailsWithQueryError) {
  std::wstring file = scratch_.File(L"bad.bin");
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/badlength").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_QUERY_FAILED);
  CWininetHttp sizer;
  EXPECT_EQ(sizer.QueryRemoteSize(PeerUrl(L"/badlength").c_str()), 0.0);
  EXPECT_EQ(sizer.LastErrorCode(), HIE_QUERY_FAILED);
}

// A 404 fails every operation with 5.
TEST_F(WininetHttpTest, NotFoundFailsEveryOperation) {
  const std::wstring missing = NginxUrl(L"/no-such-file");
  std::wstring file = scratch_.File(L"404.bin");
  EXPECT_FALSE(client_.FetchToFile(missing.c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_HTTP_ERROR);
  EXPECT_EQ(client_.LastStatusCode(), 404);
  EXPECT_FALSE(http_testing::FileExists(file));
  ExpectFailedOnce();

  CWininetHttp other;
  EXPECT_EQ(other.QueryRemoteSize(missing.c_str()), 0.0);
  EXPECT_EQ(other.LastErrorCode(), HIE_HTTP_ERROR);
  CWininetHttp memory;
  std::string body;
  EXPECT_FALSE(Fetch(memory, missing, &body));
  EXPECT_EQ(memory.LastErrorCode(), HIE_HTTP_ERROR);
  CWininetHttp request;
  EXPECT_EQ(request.Request(missing.c_str(), 0, nullptr, static_cast<const wchar_t*>(nullptr)), "");
  EXPECT_EQ(request.LastErrorCode(), HIE_HTTP_ERROR);
}

// Request hands back a 500's body like a success.
TEST_F(WininetHttpTest, RequestReturnsErrorStatusBody) {
  std::string body = client_.Request(PeerUrl(L"/status/500").c_str(), 0, nullptr,
                                     static_cast<const wchar_t*>(nullptr));
  EXPECT_EQ(body, "status 500 body");
  EXPECT_EQ(client_.LastStatusCode(), 500);
  EXPECT_EQ(client_.LastErrorCode(), HIE_NONE);
  EXPECT_EQ(client_.Request(http_testing::Narrow(PeerUrl(L"/status/400")).c_str(), 0, nullptr,
                            static_cast<const char*>(nullptr)),
            "status 400 body");
}

// The telemetry call: a narrow POST with extra headers and a body.
TEST_F(WininetHttpTest, PostCarriesBodyAndExtraHeaders) {
  std::string url = http_testing::Narrow(PeerUrl(L"/echo"));
  std::string echo = client_.Request(url.c_str(), 1, "{\"event\":\"Install_Start\"}",
                                     "Content-Type: application/json\r\n");
  EXPECT_EQ(echo.substr(0, 16), "POST /echo HTTP/") << echo;
  EXPECT_NE(echo.find("\r\nContent-Type: application/json\r\n"), std::string::npos) << echo;
  EXPECT_NE(echo.find("\r\nContent-Length: 25\r\n"), std::string::npos) << echo;
  EXPECT_EQ(echo.substr(echo.size() - 25), "{\"event\":\"Install_Start\"}");

  // Type 0 is GET, but the data still goes out as the body; wide overload.
  std::string get = client_.Request(PeerUrl(L"/echo").c_str(), 0, "abc", L"X-Extra: wide\r\n");
  EXPECT_EQ(get.substr(0, 10), "GET /echo ") << get;
  EXPECT_NE(get.find("\r\nX-Extra: wide\r\n"), std::string::npos) << get;
  EXPECT_EQ(get.substr(get.size() - 3), "abc");
}

// Our headers as the peer saw them: the block's values, in map order, and
// a caller's User-Agent instead of the default and of WinINet's agent.
TEST_F(WininetHttpTest, HeadersOnTheWire) {
  client_.AddHeader("Range", "bytes=0-5");
  std::string echo = client_.Request(PeerUrl(L"/echo").c_str(), 0, nullptr, static_cast<const wchar_t*>(nullptr));
  const char* order[] = {"\r\nAccept: */*\r\n", "\r\nAccept-Language: zh-CN,zh;q=0.9\r\n",
                         "\r\nConnection: Keep-Alive\r\n", "\r\nRange: bytes=0-5\r\n",
                         "\r\nUser-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 "
                         "(KHTML, like Gecko) Chrome/80.0.4044.92 Safari/537.36\r\n"};
  size_t previous = 0;
  for (const char* line : order) {
    size_t at = echo.find(line);
    ASSERT_NE(at, std::string::npos) << line << " missing in\n" << echo;
    EXPECT_GT(at, previous) << line << " out of order in\n" << echo;
    previous = at;
  }
  EXPECT_EQ(echo.find("Http-connect"), std::string::npos) << echo;

  CWininetHttp own_agent;
  own_agent.AddHeader("User-Agent", "VarnoTest/3.0");
  std::string mine = own_agent.Request(PeerUrl(L"/echo").c_str(), 0, nullptr, static_cast<const wchar_t*>(nullptr));
  EXPECT_NE(mine.find("\r\nUser-Agent: VarnoTest/3.0\r\n"), std::string::npos) << mine;
  EXPECT_EQ(mine.find("Mozilla"), std::string::npos) << mine;
}

// The scheme decides TLS, per request: "https://" on 443 or on any other
// port, "http://" in the clear even on port 443 (where nginx's TLS port
// says so with a 400), and one object follows each URL's own scheme.
TEST_F(WininetHttpTest, TlsByScheme) {
  std::wstring file = scratch_.File(L"tls.bin");
  ASSERT_TRUE(client_.FetchToFile(L"https://127.0.0.1/pattern-1m.bin", file.c_str()));
  EXPECT_EQ(ReadFile(file), Pattern(1 << 20));
  ExpectDone(1 << 20);

  const wchar_t* kNoHeaders = nullptr;
  EXPECT_EQ(client_.Request(TlsUrl(Servers().tls_alt_port, L"/small.txt").c_str(), 0, nullptr, kNoHeaders),
            "hello from nginx\n");
  EXPECT_EQ(client_.LastStatusCode(), 200);
  client_.Request(L"http://127.0.0.1:443/small.txt", 0, nullptr, kNoHeaders);
  EXPECT_EQ(client_.LastStatusCode(), 400);
  std::wstring plain = scratch_.File(L"plain.bin");
  EXPECT_TRUE(client_.FetchToFile(NginxUrl(L"/small.txt").c_str(), plain.c_str()));
  EXPECT_EQ(ReadFile(plain), "hello from nginx\n");
  // A redirect from plain HTTP to "https://" switches to TLS for that hop.
  EXPECT_EQ(client_.Request(PeerUrl(L"/redirect/https").c_str(), 0, nullptr, kNoHeaders), "hello from nginx\n");
  EXPECT_EQ(client_.LastErrorCode(), HIE_NONE);
}

// Certificates are checked in full: an unknown issuer and an expired
// certificate both fail the send; the trusted one passes on any port.
TEST_F(WininetHttpTest, CertificateChecks) {
  for (int port : {Servers().tls_self_port, Servers().tls_expired_port}) {
    SCOPED_TRACE(port);
    CWininetHttp client;
    RecordingCallback callback;
    client.SetProgressSink(&callback, &callback);
    std::wstring file = scratch_.File(L"cert.bin");
    EXPECT_FALSE(client.FetchToFile(TlsUrl(port, L"/small.txt").c_str(), file.c_str()));
    EXPECT_EQ(client.LastErrorCode(), HIE_SEND_FAILED);
    EXPECT_EQ(callback.Count(XFER_FAILED), 1);
    EXPECT_FALSE(http_testing::FileExists(file));
  }
  EXPECT_EQ(client_.QueryRemoteSize(TlsUrl(Servers().tls_alt_port, L"/small.txt").c_str()), 17.0);
}

TEST_F(WininetHttpTest, CreatesMissingFolders) {
  std::wstring file = scratch_.File(L"a\\b\\c\\page.txt");
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/dir/sub/page.txt").c_str(), file.c_str()));
  EXPECT_EQ(ReadFile(file), "nested page\n");
}

// A body shorter than announced fails with 8 and keeps what arrived.
TEST_F(WininetHttpTest, ShortBodyKeepsPartialFile) {
  std::wstring file = scratch_.File(L"short.bin");
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/short").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_READ_FAILED);
  ASSERT_TRUE(http_testing::FileExists(file));
  EXPECT_EQ(ReadFile(file), Pattern(400));
  ExpectFailedOnce();
}

TEST_F(WininetHttpTest, EmptyUrls) {
  std::wstring file = scratch_.File(L"none.bin");
  EXPECT_EQ(client_.QueryRemoteSize(nullptr), 0.0);
  EXPECT_EQ(client_.LastErrorCode(), HIE_URL_EMPTY);
  CWininetHttp a, b, c, d;
  EXPECT_FALSE(a.FetchToFile(L"", file.c_str()));
  EXPECT_EQ(a.LastErrorCode(), HIE_URL_EMPTY);
  std::string body;
  EXPECT_FALSE(Fetch(b, L"", &body));
  EXPECT_EQ(b.LastErrorCode(), HIE_URL_EMPTY);
  EXPECT_EQ(c.Request(static_cast<const wchar_t*>(nullptr), 0, nullptr, static_cast<const wchar_t*>(nullptr)), "");
  EXPECT_EQ(c.LastErrorCode(), HIE_REQUEST_URL_EMPTY);
  EXPECT_EQ(d.Request("", 1, "x", static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(d.LastErrorCode(), HIE_REQUEST_URL_EMPTY);
}

TEST_F(WininetHttpTest, TargetThatCannotBeOpened) {
  // The scratch folder itself: a folder cannot be opened as a file.
  std::wstring folder = scratch_.path().substr(0, scratch_.path().size() - 1);
  EXPECT_FALSE(client_.FetchToFile(NginxUrl(L"/small.txt").c_str(), folder.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_FILE_OPEN_FAILED);
  ExpectFailedOnce();
}

// No listener: the connection is made when sending, so the send fails.
TEST_F(WininetHttpTest, NoListenerFailsTheSend) {
  std::wstring file = scratch_.File(L"refused.bin");
  EXPECT_FALSE(client_.FetchToFile(L"http://127.0.0.1:1/x", file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_SEND_FAILED);
  ExpectFailedOnce();
}

// A URL without a host cannot even be connected to.
TEST_F(WininetHttpTest, NoHostFailsTheConnect) {
  std::wstring file = scratch_.File(L"nohost.bin");
  EXPECT_FALSE(client_.FetchToFile(L"http:///small.txt", file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_CONNECT_FAILED);
  ExpectFailedOnce();
}

TEST_F(WininetHttpTest, StopRequestEndsTheDownload) {
  callback_.stop_after = 3;
  std::wstring file = scratch_.File(L"stopped.bin");
  EXPECT_FALSE(client_.FetchToFile(NginxUrl(L"/pattern-1m.bin").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_STOPPED);
  EXPECT_EQ(callback_.Count(XFER_RUNNING), 3);
  ExpectFailedOnce();
}

TEST_F(WininetHttpTest, MemoryDownloads) {
  std::string body;
  ASSERT_TRUE(Fetch(client_, NginxUrl(L"/pattern-1m.bin"), &body));
  EXPECT_EQ(body, Pattern(1 << 20));
  // Unknown length: read to the end.
  ASSERT_TRUE(Fetch(client_, PeerUrl(L"/nolength"), &body));
  EXPECT_EQ(body, Pattern(10000));
  // Content-Length 0.
  ASSERT_TRUE(Fetch(client_, NginxUrl(L"/empty.bin"), &body));
  EXPECT_EQ(body, "");

  CWininetHttp big, unknown_big, huge, negative, short_body;
  EXPECT_FALSE(Fetch(big, NginxUrl(L"/pattern-9m.bin"), &body));
  EXPECT_EQ(big.LastErrorCode(), HIE_TOO_LARGE);
  // Unknown length past 8 MiB is not cut off silently.
  EXPECT_FALSE(Fetch(unknown_big, PeerUrl(L"/bignolength"), &body));
  EXPECT_EQ(unknown_big.LastErrorCode(), HIE_TOO_LARGE);
  EXPECT_FALSE(Fetch(huge, PeerUrl(L"/hugelength"), &body));
  EXPECT_EQ(huge.LastErrorCode(), HIE_TOO_LARGE);
  EXPECT_FALSE(Fetch(negative, PeerUrl(L"/neglength"), &body));
  EXPECT_EQ(negative.LastErrorCode(), HIE_TOO_LARGE);
  EXPECT_FALSE(Fetch(short_body, PeerUrl(L"/short"), &body));
  EXPECT_EQ(short_body.LastErrorCode(), HIE_READ_FAILED);
}

// Redirects are followed (absolute, root- and folder-relative, to another
// host name), a loop ends with HIE_HTTP_ERROR instead of running forever,
// and a POST turns into a GET where browsers do so.
TEST_F(WininetHttpTest, FollowsRedirectsWithinBounds) {
  struct {
    const wchar_t* path;
    size_t size;
  } cases[] = {{L"/redirect/abs", 5000}, {L"/redirect/rel", 5000}, {L"/redirect/relative", 4000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    std::wstring file = scratch_.File(L"redirected.bin");
    ASSERT_TRUE(client_.FetchToFile(PeerUrl(c.path).c_str(), file.c_str()));
    EXPECT_EQ(ReadFile(file), Pattern(c.size));
    EXPECT_EQ(client_.LastStatusCode(), 200);
  }
  std::string echo = client_.Request(PeerUrl(L"/redirect/cross").c_str(), 0, nullptr,
                                     static_cast<const wchar_t*>(nullptr));
  EXPECT_NE(echo.find("\r\nHost: localhost:"), std::string::npos) << echo;

  for (const wchar_t* path : {L"/redirect/loop", L"/redirect/relloop"}) {
    SCOPED_TRACE(path);
    CWininetHttp loop;
    DWORD start = ::GetTickCount();
    EXPECT_EQ(loop.QueryRemoteSize(PeerUrl(path).c_str()), 0.0);
    EXPECT_EQ(loop.LastErrorCode(), HIE_HTTP_ERROR);
    EXPECT_EQ(loop.LastStatusCode(), 302);
    EXPECT_LT(::GetTickCount() - start, 10000u);
  }
  CWininetHttp nowhere;
  EXPECT_EQ(nowhere.Request(PeerUrl(L"/redirect/nolocation").c_str(), 0, nullptr,
                            static_cast<const wchar_t*>(nullptr)),
            "nowhere");
  EXPECT_EQ(nowhere.LastStatusCode(), 302);

  for (int code : {301, 302, 303, 307, 308}) {
    SCOPED_TRACE(code);
    CWininetHttp post;
    std::wstring url = PeerUrl(L"/redirect/status/" + std::to_wstring(code));
    std::string answer = post.Request(url.c_str(), 1, "payload", static_cast<const wchar_t*>(nullptr));
    bool keeps_post = code == 307 || code == 308;
    EXPECT_EQ(answer.substr(0, keeps_post ? 5 : 4), keeps_post ? "POST " : "GET ") << answer;
    EXPECT_EQ(answer.size() >= 7 && answer.substr(answer.size() - 7) == "payload", keeps_post) << answer;
  }
}

// A loopback listener that never accepts, its one-place queue taken by a
// connection of its own: the system then drops every further handshake, so
// a connect to it hangs until the client gives up.
class FullListener {
 public:
  FullListener() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener_, 0) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    // One filler completes its handshake and waits in the queue; the others
    // keep knocking, so the queue stays full.
    for (SOCKET& filler : fillers_) {
      filler = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
      u_long non_blocking = 1;
      ::ioctlsocket(filler, FIONBIO, &non_blocking);
      ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    }
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(fillers_[0], &writable);
    timeval wait = {10, 0};
    if (::select(0, nullptr, &writable, nullptr, &wait) == 1) port_ = ntohs(address.sin_port);
  }
  ~FullListener() {
    for (SOCKET filler : fillers_) ::closesocket(filler);
    ::closesocket(listener_);
    ::WSACleanup();
  }
  FullListener(const FullListener&) = delete;
  FullListener& operator=(const FullListener&) = delete;

  int port() const { return port_; }

 private:
  SOCKET listener_ = INVALID_SOCKET;
  SOCKET fillers_[3] = {INVALID_SOCKET, INVALID_SOCKET, INVALID_SOCKET};
  int port_ = 0;
};

// The connect timeout ends a connection the server never takes, which
// WinINet under Wine would otherwise wait for without end.
TEST_F(WininetHttpTest, ConnectTimeoutEndsAConnectNeverAccepted) {
  FullListener listener;
  ASSERT_NE(listener.port(), 0) << "the listener's queue could not be filled";
  client_.SetTimeouts(2000, 2000);
  const std::wstring file = scratch_.File(L"unaccepted.bin");
  const DWORD start = ::GetTickCount();
  EXPECT_FALSE(client_.FetchToFile(
      (L"http://127.0.0.1:" + std::to_wstring(listener.port()) + L"/setup.exe").c_str(), file.c_str()));
  const DWORD elapsed = ::GetTickCount() - start;
  EXPECT_EQ(client_.LastErrorCode(), HIE_SEND_FAILED);
  EXPECT_GE(elapsed, 1500u) << "refused rather than left hanging: the test proves nothing";
  EXPECT_LT(elapsed, 20000u);
  EXPECT_FALSE(http_testing::FileExists(file));
  ExpectFailedOnce();
}

// The code of the last failure survives a later success.
TEST_F(WininetHttpTest, ErrorCodeSurvivesSuccess) {
  EXPECT_EQ(client_.QueryRemoteSize(NginxUrl(L"/no-such-file").c_str()), 0.0);
  EXPECT_EQ(client_.QueryRemoteSize(NginxUrl(L"/small.txt").c_str()), 17.0);
  EXPECT_EQ(client_.LastErrorCode(), HIE_HTTP_ERROR);
  EXPECT_EQ(client_.LastStatusCode(), 200);
}

}  // namespace
