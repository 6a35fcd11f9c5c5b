// The WinHTTP client against nginx (plain and TLS) and the scripted peer.
#include "installer/HttpClient/WinHttp.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "installer/HttpClient/testing/http_test_support.h"

namespace {

using http_testing::NginxUrl;
using http_testing::Pattern;
using http_testing::PeerUrl;
using http_testing::ReadFile;
using http_testing::TlsUrl;
using http_testing::RecordingCallback;
using http_testing::Servers;

const wchar_t* const kNoHeaders = nullptr;

class WinHttpTest : public http_testing::ClientTest<CWinHttp> {
 protected:
  // Block reports counting up to |last|, then one XFER_DONE, as every
  // client's callers expect.
  void ExpectRunningThenDone(double total, double last) {
    ASSERT_FALSE(callback_.events.empty());
    double previous = 0;
    for (size_t i = 0; i + 1 < callback_.events.size(); ++i) {
      const auto& e = callback_.events[i];
      EXPECT_EQ(e.state, XFER_RUNNING);
      EXPECT_EQ(e.param, &callback_);
      EXPECT_EQ(e.total, total);
      EXPECT_GT(e.received, previous);
      previous = e.received;
    }
    EXPECT_EQ(previous, last);
    EXPECT_EQ(callback_.Last()->state, XFER_DONE);
    EXPECT_EQ(callback_.Last()->total, total);
    EXPECT_EQ(callback_.Last()->received, total);
  }
};

TEST_F(WinHttpTest, RangeDownloadsExactlyTheRange) {
  client_.AddHeader("Range", "bytes=1000-4999");
  std::wstring file = scratch_.File(L"range.bin");
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/pattern-1m.bin").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastStatusCode(), 206);
  EXPECT_EQ(ReadFile(file), Pattern(4000, 1000));
  EXPECT_FALSE(callback_.events.empty());
  ExpectRunningThenDone(4000, 4000);
  EXPECT_EQ(client_.LastErrorCode(), HIE_NONE);
}

TEST_F(WinHttpTest, WholeFileAndItsSize) {
  std::wstring file = scratch_.File(L"whole.bin");
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/pattern-1m.bin").c_str(), file.c_str()));
  EXPECT_EQ(ReadFile(file), Pattern(1 << 20));
  ExpectRunningThenDone(1 << 20, 1 << 20);
  CWinHttp sizer;
  EXPECT_EQ(sizer.QueryRemoteSize(NginxUrl(L"/pattern-1m.bin").c_str()), 1048576.0);
  EXPECT_EQ(sizer.LastStatusCode(), 200);
}

TEST_F(WinHttpTest, ZeroLengthGivesEmptyFile) {
  std::wstring file = scratch_.File(L"empty.bin");
  ASSERT_TRUE(client_.FetchToFile(NginxUrl(L"/empty.bin").c_str(), file.c_str()));
  EXPECT_TRUE(http_testing::FileExists(file));
  EXPECT_EQ(ReadFile(file), "");
  ASSERT_EQ(callback_.events.size(), 1u);
  EXPECT_EQ(callback_.Last()->state, XFER_DONE);
}

TEST_F(WinHttpTest, MissingLengthFailsWithQueryError) {
  std::wstring file = scratch_.File(L"nolength.bin");
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/nolength").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_QUERY_FAILED);
  EXPECT_FALSE(http_testing::FileExists(file));
  ExpectFailedOnce();
  CWinHttp sizer;
  EXPECT_EQ(sizer.QueryRemoteSize(PeerUrl(L"/nolength").c_str()), 0.0);
  EXPECT_EQ(sizer.LastErrorCode(), HIE_QUERY_FAILED);
}

TEST_F(WinHttpTest, NotFoundFailsEveryOperation) {
  const std::wstring missing = NginxUrl(L"/no-such-file");
  std::wstring file = scratch_.File(L"404.bin");
  EXPECT_FALSE(client_.FetchToFile(missing.c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_HTTP_ERROR);
  EXPECT_EQ(client_.LastStatusCode(), 404);
  EXPECT_FALSE(http_testing::FileExists(file));
  CWinHttp sizer, memory, request;
  EXPECT_EQ(sizer.QueryRemoteSize(missing.c_str()), 0.0);
  EXPECT_EQ(sizer.LastErrorCode(), HIE_HTTP_ERROR);
  std::string body;
  EXPECT_FALSE(Fetch(memory, missing, &body));
  EXPECT_EQ(memory.LastErrorCode(), HIE_HTTP_ERROR);
  EXPECT_EQ(request.Request(missing.c_str(), 0, nullptr, kNoHeaders), "");
  EXPECT_EQ(request.LastErrorCode(), HIE_HTTP_ERROR);
}

TEST_F(WinHttpTest, RequestReturnsErrorStatusBodyAndPosts) {
  EXPECT_EQ(client_.Request(PeerUrl(L"/status/500").c_str(), 0, nullptr, kNoHeaders), "status 500 body");
  EXPECT_EQ(client_.LastStatusCode(), 500);
  EXPECT_EQ(client_.LastErrorCode(), HIE_NONE);

  std::string url = http_testing::Narrow(PeerUrl(L"/echo"));
  std::string echo = client_.Request(url.c_str(), 1, "a=1&b=2", "X-Extra: narrow");
  EXPECT_EQ(echo.substr(0, 11), "POST /echo ") << echo;
  EXPECT_NE(echo.find("\r\nX-Extra: narrow\r\n"), std::string::npos) << echo;
  EXPECT_NE(echo.find("\r\nContent-Length: 7\r\n"), std::string::npos) << echo;
  EXPECT_EQ(echo.substr(echo.size() - 7), "a=1&b=2");
}

// The header block's values in map order, and a caller's own User-Agent
// instead of the default.
TEST_F(WinHttpTest, HeadersOnTheWire) {
  client_.AddHeader("Range", "bytes=0-5");
  std::string echo = client_.Request(PeerUrl(L"/echo").c_str(), 0, nullptr, kNoHeaders);
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
  CWinHttp own_agent;
  own_agent.AddHeader("User-Agent", "VarnoTest/4.0");
  std::string mine = own_agent.Request(PeerUrl(L"/echo").c_str(), 0, nullptr, kNoHeaders);
  EXPECT_NE(mine.find("\r\nUser-Agent: VarnoTest/4.0\r\n"), std::string::npos) << mine;
  EXPECT_EQ(mine.find("Mozilla"), std::string::npos) << mine;
  EXPECT_EQ(mine.find("Microsoft Internet Explorer"), std::string::npos) << mine;
}

// TLS by scheme on any port, with the certificate checked: the trusted one
// passes on 443 and elsewhere; a self-signed and an expired one fail; and
// "http://" to port 443 stays plain (nginx's TLS port answers 400).
TEST_F(WinHttpTest, TlsBySchemeWithCertificateChecks) {
  std::wstring file = scratch_.File(L"tls.bin");
  ASSERT_TRUE(client_.FetchToFile(L"https://127.0.0.1/pattern-1m.bin", file.c_str()));
  EXPECT_EQ(ReadFile(file), Pattern(1 << 20));
  EXPECT_EQ(callback_.Count(XFER_DONE), 1);
  EXPECT_EQ(client_.Request(TlsUrl(Servers().tls_alt_port, L"/small.txt").c_str(), 0, nullptr, kNoHeaders),
            "hello from nginx\n");
  EXPECT_EQ(client_.LastStatusCode(), 200);
  for (int port : {Servers().tls_self_port, Servers().tls_expired_port}) {
    SCOPED_TRACE(port);
    CWinHttp client;
    EXPECT_EQ(client.Request(TlsUrl(port, L"/small.txt").c_str(), 0, nullptr, kNoHeaders), "");
    EXPECT_NE(client.LastStatusCode(), 200);
    EXPECT_EQ(client.LastErrorCode(), HIE_SEND_FAILED);
  }
  CWinHttp plain;
  plain.Request(L"http://127.0.0.1:443/small.txt", 0, nullptr, kNoHeaders);
  EXPECT_EQ(plain.LastStatusCode(), 400);
}

// The file is sized in advance, so a body that ends early must be caught
// by its count: it fails, and the file is deleted.
TEST_F(WinHttpTest, ShortBodyFailsAndDeletesFile) {
  std::wstring file = scratch_.File(L"short.bin");
  EXPECT_FALSE(client_.FetchToFile(PeerUrl(L"/short").c_str(), file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_READ_FAILED);
  EXPECT_FALSE(http_testing::FileExists(file));
  ExpectFailedOnce();
  CWinHttp memory;
  std::string body;
  EXPECT_FALSE(Fetch(memory, PeerUrl(L"/short"), &body));
  EXPECT_EQ(memory.LastErrorCode(), HIE_READ_FAILED);
}

TEST_F(WinHttpTest, MemoryDownloads) {
  std::string body;
  ASSERT_TRUE(Fetch(client_, NginxUrl(L"/pattern-1m.bin"), &body));
  EXPECT_EQ(body, Pattern(1 << 20));
  CWinHttp big, no_length;
  EXPECT_FALSE(Fetch(big, NginxUrl(L"/pattern-9m.bin"), &body));
  EXPECT_EQ(big.LastErrorCode(), HIE_TOO_LARGE);
  EXPECT_FALSE(Fetch(no_length, PeerUrl(L"/nolength"), &body));
  EXPECT_EQ(no_length.LastErrorCode(), HIE_QUERY_FAILED);
}

TEST_F(WinHttpTest, FailuresBeforeTheBody) {
  std::wstring file = scratch_.File(L"refused.bin");
  EXPECT_FALSE(client_.FetchToFile(L"http://127.0.0.1:1/x", file.c_str()));
  EXPECT_EQ(client_.LastErrorCode(), HIE_SEND_FAILED);
  EXPECT_FALSE(http_testing::FileExists(file));

  CWinHttp memory;
  std::string body;
  EXPECT_FALSE(Fetch(memory, L"http://127.0.0.1:1/x", &body));
  EXPECT_EQ(memory.LastErrorCode(), HIE_OPEN_FAILED);

  CWinHttp folder_target;
  std::wstring folder = scratch_.path().substr(0, scratch_.path().size() - 1);
  EXPECT_FALSE(folder_target.FetchToFile(NginxUrl(L"/small.txt").c_str(), folder.c_str()));
  EXPECT_EQ(folder_target.LastErrorCode(), HIE_FILE_OPEN_FAILED);

  CWinHttp stopped;
  stopped.SetProgressSink(&callback_, nullptr);
  callback_.stop_after = 0;
  EXPECT_FALSE(stopped.FetchToFile(NginxUrl(L"/pattern-1m.bin").c_str(), file.c_str()));
  EXPECT_EQ(stopped.LastErrorCode(), HIE_STOPPED);
  EXPECT_FALSE(http_testing::FileExists(file));
}

// WinHTTP follows redirects itself, and ends a loop on its own.
TEST_F(WinHttpTest, RedirectsAndLoops) {
  std::string body;
  ASSERT_TRUE(Fetch(client_, PeerUrl(L"/redirect/rel"), &body));
  EXPECT_EQ(body, Pattern(5000));
  CWinHttp loop;
  DWORD start = ::GetTickCount();
  EXPECT_EQ(loop.Request(PeerUrl(L"/redirect/loop").c_str(), 0, nullptr, kNoHeaders), "");
  EXPECT_EQ(loop.LastErrorCode(), HIE_OPEN_FAILED);
  EXPECT_LT(::GetTickCount() - start, 10000u);
}

// New timeouts apply from the next operation: a 1 s receive timeout fails
// a body that comes 2.5 s after its head, which the default 5 s waits for.
// (Wine applies the receive timeout to the body only, not to the wait for
// the response head, hence a slow body rather than a slow head.)
TEST_F(WinHttpTest, TimeoutsApplyFromNextOperation) {
  const std::wstring slow = PeerUrl(L"/slowbody?ms=2500");
  EXPECT_EQ(client_.Request(slow.c_str(), 0, nullptr, kNoHeaders), "slow");
  client_.SetTimeouts(1000, 1000, 1000);
  // A failure is the proof: the body would have come, 2.5 s on.
  EXPECT_EQ(client_.Request(slow.c_str(), 0, nullptr, kNoHeaders), "");
  EXPECT_EQ(client_.LastErrorCode(), HIE_READ_FAILED);
}

}  // namespace
