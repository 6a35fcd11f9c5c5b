// The socket client against nginx and the scripted peer on 127.0.0.1.
#include "installer/HttpClient/HttpSocket.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "installer/HttpClient/testing/http_test_support.h"

namespace {

using http_testing::NginxUrl;
using http_testing::Pattern;
using http_testing::PeerUrl;
using http_testing::ReadFile;
using http_testing::RecordingCallback;
using http_testing::Servers;
using http_testing::TlsUrl;

class HttpSocketTest : public http_testing::ClientTest<CHttpSocket> {
 protected:
  // Every progress report carried |total| and counted up to |last|.
  void ExpectRunningReports(double total, double last) {
    double previous = 0;
    int running = 0;
    for (const auto& e : callback_.events) {
      EXPECT_EQ(e.param, &callback_);
      if (e.state != XFER_RUNNING) continue;
      ++running;
      EXPECT_EQ(e.total, total);
      EXPECT_GT(e.received, previous);
      previous = e.received;
    }
    EXPECT_GT(running, 0);
    EXPECT_EQ(previous, last);
  }


};

// The request as the peer received it: headers in byte order, Host between
// Connection and Range, nothing after the blank line.
TEST_F(HttpSocketTest, HeaderOrderOnTheWire) {
  client_.AddHeader("Range", "bytes=0-5");
  std::string echo;
  ASSERT_TRUE(Fetch(PeerUrl(L"/echo"), &echo));
  EXPECT_EQ(echo,
            "GET /echo HTTP/1.1\r\n"
            "Accept: */*\r\n"
            "Accept-Language: zh-CN,zh;q=0.9\r\n"
            "Connection: Keep-Alive\r\n"
            "Host: 127.0.0.1\r\n"
            "Range: bytes=0-5\r\n"
            "User-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
            "Chrome/80.0.4044.92 Safari/537.36\r\n"
            "\r\n");
  EXPECT_STREQ(client_.ResolvedAddress(), L"127.0.0.1");
  EXPECT_EQ(client_.LastStatusCode(), 200);
}

TEST_F(HttpSocketTest, CallerUserAgentReplacesDefault) {
  client_.AddHeader("User-Agent", "VarnoTest/2.0");
  client_.AddHeader("User-Agent", "Ignored/1.0");
  std::string echo;
  ASSERT_TRUE(Fetch(PeerUrl(L"/echo"), &echo));
  EXPECT_NE(echo.find("\r\nUser-Agent: VarnoTest/2.0\r\n"), std::string::npos) << echo;
  EXPECT_EQ(echo.find("Mozilla"), std::string::npos);
  EXPECT_EQ(echo.find("Ignored"), std::string::npos);
}

// A range answered with exactly the range (nginx 206) gives exactly those
// bytes and XFER_DONE.
TEST_F(HttpSocketTest, RangeDownloadsExactlyTheRange) {
  client_.AddHeader("Range", "bytes=1000-4999");
  std::wstring file = scratch_.File(L"range.bin");
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/pattern-1m.bin").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastStatusCode(), 206);
  EXPECT_EQ(ReadFile(file), Pattern(4000, 1000));
  ExpectRunningReports(4000, 4000);
  ExpectDoneOnce(4000, 4000);
  EXPECT_EQ(client_.LastErrorCode(), HIE_NONE);
}

TEST_F(HttpSocketTest, WholeFileThroughManyReads) {
  std::wstring file = scratch_.File(L"whole.bin");
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/pattern-1m.bin").c_str(), file.c_str()));
  EXPECT_EQ(ReadFile(file), Pattern(1 << 20));
  ExpectRunningReports(1 << 20, 1 << 20);
  ExpectDoneOnce(1 << 20, 1 << 20);
}

// An existing file is replaced, not appended to.
TEST_F(HttpSocketTest, ReplacesExistingFile) {
  std::wstring file = scratch_.File(L"old.bin");
  http_testing::WriteFile(file, std::string(50000, 'x'));
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/small.txt").c_str(), file.c_str()));
  EXPECT_EQ(ReadFile(file), "hello from nginx\n");
}

TEST_F(HttpSocketTest, ZeroLengthGivesEmptyFile) {
  std::wstring file = scratch_.File(L"empty.bin");
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/empty.bin").c_str(), file.c_str()));
  EXPECT_TRUE(http_testing::FileExists(file));
  EXPECT_EQ(ReadFile(file), "");
  ExpectDoneOnce(0, 0);
}

// Without a Content-Length the body runs to the close: all of it arrives,
// and the total stays 0 (unknown) in every report.
TEST_F(HttpSocketTest, NoContentLengthReadsToClose) {
  std::wstring file = scratch_.File(L"nolength.bin");
  ASSERT_TRUE(client_.FetchToFile(PeerUrl(L"/nolength").c_str(), file.c_str()));
  EXPECT_EQ(ReadFile(file), Pattern(10000));
  ExpectRunningReports(0, 10000);
  ExpectDoneOnce(0, 10000);
}

// Header names match exactly: a lower-case length header is not the
// length, so the total stays 0.
TEST_F(HttpSocketTest, LowerCaseLengthNameLeavesTotalZero) {
  std::wstring file = scratch_.File(L"lower.bin");
  ASSERT_TRUE(client_.FetchToFile(PeerUrl(L"/lower").c_str(), file.c_str()));
  EXPECT_EQ(ReadFile(file), "hello");
  for (const auto& e : callback_.events) EXPECT_EQ(e.total, 0);
  ExpectDoneOnce(0, 5);
}

// Fewer bytes than announced, then a close: a failure, not a short file.
TEST_F(HttpSocketTest, ShortBodyFailsAndDeletesFile) {
  std::wstring file = scratch_.File(L"short.bin");
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/short").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_READ_FAILED);
  EXPECT_FALSE(http_testing::FileExists(file));
  ExpectFailedOnce();
}

TEST_F(HttpSocketTest, Status400FailsWithHttpError) {
  std::wstring file = scratch_.File(L"400.bin");
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/status/400").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_HTTP_ERROR);
  EXPECT_EQ(client_.LastStatusCode(), 400);
  EXPECT_FALSE(http_testing::FileExists(file));
  ExpectFailedOnce();

  ExpectMemoryFetchFails(PeerUrl(L"/status/400"), HIE_HTTP_ERROR);
}

// Other statuses are not errors here: a 404's or a 500's body is stored.
TEST_F(HttpSocketTest, OtherErrorStatusesStoreTheirBody) {
  std::wstring file = scratch_.File(L"404.bin");
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/no-such-file").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastStatusCode(), 404);
  EXPECT_NE(ReadFile(file).find("404 Not Found"), std::string::npos);

  ASSERT_TRUE(client_.FetchToFile(PeerUrl(L"/status/500").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastStatusCode(), 500);
  EXPECT_EQ(ReadFile(file), "status 500 body");
  EXPECT_EQ(client_.LastErrorCode(), HIE_NONE);
}

// "https://" (on any port) is refused at once, as a connection failure:
// no report, no connection, no file. "http://" to port 443 is plain HTTP,
// which nginx's TLS port answers with a 400.
TEST_F(HttpSocketTest, RefusesHttpsWithConnectError) {
  std::wstring file = scratch_.File(L"tls.bin");
  const std::wstring alt = TlsUrl(Servers().tls_alt_port, L"/small.txt");
  for (const wchar_t* url : {L"https://127.0.0.1/small.txt", alt.c_str()}) {
    SCOPED_TRACE(url);
    CHttpSocket client;
    EXPECT_FALSE(client.FetchToFile(url, file.c_str()));
    EXPECT_EQ(client.LastErrorCode(), HIE_CONNECT_FAILED);
    char* data = nullptr;
    int length = 0;
    CHttpSocket memory;
    EXPECT_FALSE(memory.FetchToMemory(url, &data, &length));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(memory.LastErrorCode(), HIE_CONNECT_FAILED);
    EXPECT_STREQ(client.ResolvedAddress(), L"");
  }
  EXPECT_TRUE(callback_.events.empty());
  EXPECT_FALSE(http_testing::FileExists(file));
  EXPECT_FALSE(client_.FetchToFile(L"http://127.0.0.1:443/small.txt", file.c_str()));
  EXPECT_EQ(client_.LastStatusCode(), 400);
}

// A chunked body is refused rather than written with its chunk-size lines.
TEST_F(HttpSocketTest, ChunkedBodyIsRefused) {
  std::wstring file = scratch_.File(L"chunked.bin");
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/chunked").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_READ_FAILED);
  EXPECT_FALSE(http_testing::FileExists(file));
  ExpectFailedOnce();
  ExpectMemoryFetchFails(PeerUrl(L"/chunked"), HIE_READ_FAILED);
}

// Absolute, root-relative and folder-relative redirects are followed.
TEST_F(HttpSocketTest, FollowsRedirects) {
  struct {
    const wchar_t* path;
    size_t size;
  } cases[] = {{L"/redirect/abs", 5000}, {L"/redirect/rel", 5000}, {L"/redirect/relative", 4000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    callback_.events.clear();
    std::wstring file = scratch_.File(L"redirected.bin");
    ASSERT_TRUE(client_.FetchToFile(PeerUrl(c.path).c_str(), file.c_str()));
    EXPECT_EQ(client_.LastStatusCode(), 200);
    EXPECT_EQ(ReadFile(file), Pattern(c.size));
    ExpectDoneOnce(static_cast<double>(c.size), static_cast<double>(c.size));

    std::string body;
    ASSERT_TRUE(Fetch(PeerUrl(c.path), &body));
    EXPECT_EQ(body, Pattern(c.size));
  }
}

// A redirect loop ends after a bounded number of hops with HIE_HTTP_ERROR,
// absolute or relative, file or memory.
TEST_F(HttpSocketTest, RedirectLoopsEnd) {
  for (const wchar_t* path : {L"/redirect/loop", L"/redirect/relloop"}) {
    SCOPED_TRACE(path);
    callback_.events.clear();
    std::wstring file = scratch_.File(L"loop.bin");
    EXPECT_FALSE(client_.FetchToFile(PeerUrl(path).c_str(), file.c_str()));
    EXPECT_EQ(client_.LastErrorCode(), HIE_HTTP_ERROR);
    EXPECT_EQ(client_.LastStatusCode(), 302);
    EXPECT_FALSE(http_testing::FileExists(file));
    ExpectFailedOnce();

    ExpectMemoryFetchFails(PeerUrl(path), HIE_HTTP_ERROR);
  }
}

TEST_F(HttpSocketTest, RedirectWithoutLocationFails) {
  std::wstring file = scratch_.File(L"nowhere.bin");
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/redirect/nolocation").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_HTTP_ERROR);
  EXPECT_FALSE(http_testing::FileExists(file));
}

// A redirect to https ends in the TLS refusal; the half-made file goes.
TEST_F(HttpSocketTest, RedirectToHttpsIsRefused) {
  std::wstring file = scratch_.File(L"to-tls.bin");
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/redirect/https").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_CONNECT_FAILED);
  EXPECT_FALSE(http_testing::FileExists(file));
  std::string body;
  EXPECT_FALSE(Fetch(PeerUrl(L"/redirect/https"), &body));
}

// The Host header follows a redirect to another host name; a Host the
// caller set stays.
TEST_F(HttpSocketTest, HostFollowsCrossHostRedirect) {
  std::string echo;
  ASSERT_TRUE(Fetch(PeerUrl(L"/redirect/cross"), &echo));
  EXPECT_NE(echo.find("\r\nHost: localhost\r\n"), std::string::npos) << echo;
  EXPECT_EQ(echo.find("Host: 127.0.0.1"), std::string::npos) << echo;

  CHttpSocket own_host;
  own_host.AddHeader("Host", "custom.test");
  char* data = nullptr;
  int length = 0;
  ASSERT_TRUE(own_host.FetchToMemory(PeerUrl(L"/redirect/cross").c_str(), &data, &length));
  std::string custom(data, static_cast<size_t>(length));
  free(data);
  EXPECT_NE(custom.find("\r\nHost: custom.test\r\n"), std::string::npos) << custom;
}

// Heads that do not arrive in one read, or exceed one read.
TEST_F(HttpSocketTest, HeadSplitOrLongerThanOneRead) {
  for (const wchar_t* path : {L"/split", L"/bighead"}) {
    SCOPED_TRACE(path);
    callback_.events.clear();
    std::wstring file = scratch_.File(L"head.bin");
    ASSERT_TRUE(client_.FetchToFile(PeerUrl(path).c_str(), file.c_str()));
    EXPECT_EQ(client_.LastStatusCode(), 200);
    EXPECT_EQ(ReadFile(file), Pattern(20));
    ExpectDoneOnce(20, 20);

    std::string body;
    ASSERT_TRUE(Fetch(PeerUrl(path), &body));
    EXPECT_EQ(body, Pattern(20));
  }
  // "HTTP/1.1 200" with one space only.
  std::string body;
  ASSERT_TRUE(Fetch(PeerUrl(L"/onespace"), &body));
  EXPECT_EQ(body, "hello");
  EXPECT_EQ(client_.LastStatusCode(), 200);
}

TEST_F(HttpSocketTest, TrickledBodyReportsEachBlock) {
  std::wstring file = scratch_.File(L"trickle.bin");
  ASSERT_TRUE(client_.FetchToFile(PeerUrl(L"/trickle").c_str(), file.c_str()));
  EXPECT_EQ(ReadFile(file), Pattern(2000));
  EXPECT_GE(callback_.Count(XFER_RUNNING), 5);
  ExpectRunningReports(2000, 2000);
  ExpectDoneOnce(2000, 2000);
}

TEST_F(HttpSocketTest, UnparsableLengthFails) {
  for (const wchar_t* path : {L"/badlength", L"/neglength"}) {
    SCOPED_TRACE(path);
    callback_.events.clear();
    std::wstring file = scratch_.File(L"badlength.bin");
    EXPECT_FALSE(client_.FetchToFile(PeerUrl(path).c_str(), file.c_str()));
    EXPECT_EQ(client_.LastErrorCode(), HIE_QUERY_FAILED);
    EXPECT_FALSE(http_testing::FileExists(file));
    ExpectFailedOnce();

    ExpectMemoryFetchFails(PeerUrl(path), HIE_QUERY_FAILED);
  }
}

TEST_F(HttpSocketTest, StreamClosedInsideTheHead) {
  std::wstring file = scratch_.File(L"nohead.bin");
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/noheadclose").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_NO_HEADER);
  EXPECT_FALSE(http_testing::FileExists(file));
  ExpectFailedOnce();
  std::string body;
  EXPECT_FALSE(Fetch(PeerUrl(L"/noheadclose"), &body));
  EXPECT_EQ(client_.LastErrorCode(), HIE_NO_HEADER);
}

// Resolve and connect failures store their code and skip the callback in a
// file download; in memory they are HIE_OPEN_FAILED.
TEST_F(HttpSocketTest, ResolveAndConnectFailures) {
  std::wstring file = scratch_.File(L"unreachable.bin");
  // A 64-character label is not a valid host name: it fails to resolve
  // without any query leaving the machine.
  std::wstring bad_host = L"http://" + std::wstring(64, L'a') + L".invalid/x";
  EXPECT_FALSE(client_.FetchToFile(bad_host.c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_RESOLVE_FAILED);
  // Port 1 on loopback has no listener.
  EXPECT_FALSE(client_.FetchToFile(L"http://127.0.0.1:1/x", file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_CONNECT_FAILED);
  EXPECT_TRUE(callback_.events.empty());
  EXPECT_FALSE(http_testing::FileExists(file));

  std::string body;
  EXPECT_FALSE(Fetch(L"http://127.0.0.1:1/x", &body));
  EXPECT_EQ(client_.LastErrorCode(), HIE_OPEN_FAILED);
}

// A server that goes quiet mid-body: the 10 s receive timeout ends the
// download with HIE_SOCKET_FAILED instead of waiting for ever.
TEST_F(HttpSocketTest, ReceiveTimeoutEndsStalledDownload) {
  std::wstring file = scratch_.File(L"stalled.bin");
  DWORD start = ::GetTickCount();
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/slowbody?ms=12000").c_str(), file.c_str()));
  DWORD elapsed = ::GetTickCount() - start;
  EXPECT_EQ(client_.LastErrorCode(), HIE_SOCKET_FAILED);
  // The body would have come 12 s on: the failure shows the timeout fired
  // first, and not before its 10 s.
  EXPECT_GE(elapsed, 9000u);
  EXPECT_FALSE(http_testing::FileExists(file));
  ExpectFailedOnce();
}

TEST_F(HttpSocketTest, TargetFileCannotBeCreated) {
  // The socket client creates no folders.
  std::wstring file = scratch_.File(L"missing\\folder\\file.bin");
  EXPECT_FALSE(client_.FetchToFile(NginxUrl(L"/small.txt").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_FILE_OPEN_FAILED);
  ExpectFailedOnce();
}

TEST_F(HttpSocketTest, StopRequestEndsTheDownload) {
  callback_.stop_after = 0;
  std::wstring file = scratch_.File(L"stopped.bin");
  EXPECT_FALSE(client_.FetchToFile(NginxUrl(L"/pattern-1m.bin").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_STOPPED);
  EXPECT_FALSE(http_testing::FileExists(file));
  ExpectFailedOnce();
}

TEST_F(HttpSocketTest, MemoryDownloads) {
  std::string body;
  ASSERT_TRUE(Fetch(NginxUrl(L"/pattern-1m.bin"), &body));
  EXPECT_EQ(body, Pattern(1 << 20));

  // Limits: no length (0), above 8 MiB, and a body that ends early.
  EXPECT_FALSE(Fetch(PeerUrl(L"/nolength"), &body));
  EXPECT_EQ(client_.LastErrorCode(), HIE_TOO_LARGE);
  EXPECT_FALSE(Fetch(NginxUrl(L"/pattern-9m.bin"), &body));
  EXPECT_EQ(client_.LastErrorCode(), HIE_TOO_LARGE);
  EXPECT_FALSE(Fetch(PeerUrl(L"/short"), &body));
  EXPECT_EQ(client_.LastErrorCode(), HIE_READ_FAILED);
  EXPECT_FALSE(Fetch(NginxUrl(L"/empty.bin"), &body));
  EXPECT_EQ(client_.LastErrorCode(), HIE_TOO_LARGE);
  // Null outputs are refused outright.
  int length = 0;
  EXPECT_FALSE(client_.FetchToMemory(NginxUrl(L"/small.txt").c_str(), nullptr, &length));
}

// The code of the last failure survives a later success.
TEST_F(HttpSocketTest, ErrorCodeSurvivesSuccess) {
  std::wstring file = scratch_.File(L"sticky.bin");
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/status/400").c_str(), file.c_str()));
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/small.txt").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_HTTP_ERROR);
  EXPECT_EQ(client_.LastStatusCode(), 200);
}

}  // namespace
