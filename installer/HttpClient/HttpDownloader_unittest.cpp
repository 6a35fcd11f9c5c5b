// The segmented downloader: its range plan, and whole downloads from nginx
// and from the scripted peer (ranges ignored, dropped or refused, a slow
// server), watched by a message-only window of the test thread.
#include <winsock2.h>

#include "installer/HttpClient/HttpDownloader.h"
#include "installer/HttpClient/FileSha256.h"
#include "installer/HttpClient/WininetHttp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "installer/HttpClient/testing/http_test_support.h"

using download_plan::ByteRange;
using download_plan::FileNameFromUrl;
using download_plan::JudgePartReply;
using download_plan::PartFilePath;
using download_plan::PartReply;
using download_plan::SplitRanges;
using http_testing::NginxUrl;
using http_testing::Pattern;
using http_testing::PeerUrl;
using http_testing::ReadFile;

namespace {

// Every range of |size| in order, touching, covering 0 .. size - 1.
void ExpectCovers(const std::vector<ByteRange>& ranges, int64_t size) {
  int64_t next = 0;
  for (const ByteRange& range : ranges) {
    EXPECT_EQ(range.first, next) << "size " << size;
    EXPECT_GE(range.length(), 1) << "size " << size;
    next = range.last + 1;
  }
  EXPECT_EQ(next, size);
}

// The range plan for the sizes the written rule gets wrong or right by a hair.
TEST(DownloadPlanTest, SplitsSizesExactly) {
  std::vector<ByteRange> r = SplitRanges(1000);
  ASSERT_EQ(r.size(), 8u);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(r[i].first, 125 * i);
    EXPECT_EQ(r[i].length(), 125);
  }
  EXPECT_EQ(r[7].first, 875);
  EXPECT_EQ(r[7].last, 999);

  r = SplitRanges(1003);
  ASSERT_EQ(r.size(), 8u);
  EXPECT_EQ(r[6].last, 874);
  EXPECT_EQ(r[7].first, 875);
  EXPECT_EQ(r[7].last, 1002);
  EXPECT_EQ(r[7].length(), 128);

  // Below eight bytes: one part per byte, never an empty range.
  for (int64_t size = 1; size < 8; ++size) {
    r = SplitRanges(size);
    EXPECT_EQ(r.size(), static_cast<size_t>(size));
    ExpectCovers(r, size);
  }
  EXPECT_TRUE(SplitRanges(0).empty());
  EXPECT_TRUE(SplitRanges(-5).empty());

  for (int64_t size : {8LL, 9LL, 15LL, 17LL, 4194311LL, 125829120LL, 5000000007LL}) {
    r = SplitRanges(size);
    EXPECT_EQ(r.size(), 8u);
    ExpectCovers(r, size);
  }
  // Offsets past 2 GiB stay exact.
  r = SplitRanges(5000000007LL);
  EXPECT_EQ(r[7].first, 4375000000LL);
  EXPECT_EQ(r[7].last, 5000000006LL);
}

TEST(DownloadPlanTest, NamesPartFilesAndTakesTheNameFromTheUrl) {
  std::vector<ByteRange> r = SplitRanges(16);
  ASSERT_EQ(r.size(), 8u);
  const std::wstring target = L"C:\\tmp\\setup.exe";
  EXPECT_EQ(PartFilePath(target, r[0]), L"C:\\tmp\\setup.exe.0-1");
  EXPECT_EQ(PartFilePath(target, r[1]), L"C:\\tmp\\setup.exe.2-3");
  EXPECT_EQ(PartFilePath(target, r[7]), L"C:\\tmp\\setup.exe.14-15");
  EXPECT_EQ(PartFilePath(target, SplitRanges(1 << 25)[0]), target + L".0-4194303");

  EXPECT_EQ(FileNameFromUrl(L"http://host/dl/setup.exe?x=1&y=2"), L"setup.exe");
  EXPECT_EQ(FileNameFromUrl(L"http://host/dl/setup.exe&y=2"), L"setup.exe");
  EXPECT_EQ(FileNameFromUrl(L"https://host:8443/a/b/VARNO_x64.exe"), L"VARNO_x64.exe");
  EXPECT_EQ(FileNameFromUrl(L"http://host/dl/"), L"");
  EXPECT_EQ(FileNameFromUrl(L"no-slash"), L"");
  // Names that would leave the download folder, or name no file, are none.
  EXPECT_EQ(FileNameFromUrl(L"http://host/dl/..\\..\\x.exe"), L"");
  EXPECT_EQ(FileNameFromUrl(L"http://host/dl/.."), L"");
  EXPECT_EQ(FileNameFromUrl(L"http://host/dl/C:x.exe"), L"");
  EXPECT_EQ(FileNameFromUrl(L"http://host/dl/a\x01" L"b.exe"), L"");
}

// Only a reply of exactly the part's bytes completes it; a whole file sent
// for a range says the server does not serve ranges.
TEST(DownloadPlanTest, JudgesPartReplies) {
  PartReply reply{true, 206, true, false, 125, 125, 250, 374, 1000, "bytes 250-374/1000"};
  EXPECT_EQ(JudgePartReply(reply), download_plan::PART_COMPLETE);
  // The right length of other bytes, of another file, or unlabelled.
  for (const char* range : {"bytes 0-124/1000", "bytes 250-374/1001", "bytes 250-374/*", "", "bytes 250-373/1000"}) {
    SCOPED_TRACE(range);
    PartReply other = reply;
    other.content_range = range;
    EXPECT_EQ(JudgePartReply(other), download_plan::PART_FAILED);
  }

  PartReply whole = reply;
  whole.status = 200;
  whole.file_length = 1000;
  EXPECT_EQ(JudgePartReply(whole), download_plan::PART_NO_RANGES);
  whole.fetched = false;  // stopped early once its length showed
  whole.file_length = 4096;
  EXPECT_EQ(JudgePartReply(whole), download_plan::PART_NO_RANGES);

  PartReply error_page = reply;
  error_page.status = 500;
  error_page.file_length = 17;
  EXPECT_EQ(JudgePartReply(error_page), download_plan::PART_FAILED);
  error_page.file_length = 125;  // even with the right length
  EXPECT_EQ(JudgePartReply(error_page), download_plan::PART_FAILED);

  PartReply short_file = reply;
  short_file.file_length = 124;
  EXPECT_EQ(JudgePartReply(short_file), download_plan::PART_FAILED);
  PartReply missing = reply;
  missing.file_length = -1;
  EXPECT_EQ(JudgePartReply(missing), download_plan::PART_FAILED);
  PartReply not_fetched = reply;
  not_fetched.fetched = false;
  EXPECT_EQ(JudgePartReply(not_fetched), download_plan::PART_FAILED);

  // A one-byte file's only range may come back as a plain 200.
  PartReply single{true, 200, true, true, 1, 1, 0, 0, 1, ""};
  EXPECT_EQ(JudgePartReply(single), download_plan::PART_COMPLETE);

  PartReply plain{true, 200, false, true, 1000, 1000, 0, 999, 1000, ""};
  EXPECT_EQ(JudgePartReply(plain), download_plan::PART_COMPLETE);
  plain.status = 206;
  EXPECT_EQ(JudgePartReply(plain), download_plan::PART_FAILED);
}

// A message-only window of the test thread that records what the
// downloader sends and posts.
class DownloadWindow {
 public:
  struct Report {
    CHttpDownloader* downloader;
    int percent;
    double downloaded;
    double total;
    DWORD tick;
  };

  DownloadWindow() {
    static const wchar_t kClass[] = L"VarnoDownloaderTestWindow";
    static ATOM atom = [] {
      WNDCLASSEXW wc = {};
      wc.cbSize = sizeof(wc);
      wc.lpfnWndProc = &DownloadWindow::Proc;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.lpszClassName = kClass;
      return ::RegisterClassExW(&wc);
    }();
    EXPECT_NE(atom, 0);
    hwnd_ = ::CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr),
                              this);
    EXPECT_NE(hwnd_, nullptr) << "CreateWindowEx failed: " << ::GetLastError() << " (is DISPLAY set?)";
  }
  ~DownloadWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);
  }
  DownloadWindow(const DownloadWindow&) = delete;
  DownloadWindow& operator=(const DownloadWindow&) = delete;

  HWND hwnd() const { return hwnd_; }

  // Handles messages until |done| holds, for at most |ms| (a bound for a
  // failing run, not a wait); answers |done|.
  bool PumpUntil(const std::function<bool()>& done, DWORD ms = 60000) {
    const DWORD start = ::GetTickCount();
    for (;;) {
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
      if (done()) return true;
      const DWORD spent = ::GetTickCount() - start;
      if (spent >= ms) return false;
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(ms - spent, 50), QS_ALLINPUT);
    }
  }
  bool WaitFinished(size_t count = 1) {
    return PumpUntil([this, count] { return results.size() >= count; });
  }

  // Some reports, rising strictly to 100, each naming |downloader| and the
  // file's size.
  void ExpectRisingReports(CHttpDownloader* downloader, double total) {
    ASSERT_FALSE(reports.empty());
    int previous = 0;
    for (const Report& r : reports) {
      EXPECT_GT(r.percent, previous);
      EXPECT_EQ(r.downloader, downloader);
      EXPECT_EQ(r.total, total);
      EXPECT_LE(r.downloaded, r.total);
      previous = r.percent;
    }
    EXPECT_EQ(reports.back().percent, 100);
    EXPECT_EQ(reports.back().downloaded, total);
  }

  std::function<void()> on_finished;  // called after each finished message is recorded

  std::vector<Report> reports;
  std::vector<LPARAM> results;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<DownloadWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == WM_DOWNLOAD_PROGRESS) {
      EXPECT_EQ(wparam, 0u);
      const auto* p = reinterpret_cast<const DownloadProgress*>(lparam);
      self->reports.push_back({p->downloader, p->percent, p->downloaded, p->total, ::GetTickCount()});
      return 0;
    }
    if (self && message == WM_DOWNLOAD_FINISHED) {
      EXPECT_EQ(wparam, 0u);
      self->results.push_back(lparam);
      if (self->on_finished) self->on_finished();
      return 0;
    }
    return ::DefWindowProcW(hwnd, message, wparam, lparam);
  }

  HWND hwnd_ = nullptr;
};

// Trusts the run's test root for every test of this binary: the signed
// programs chain to it.
::testing::Environment* const kTestRoot =
    ::testing::AddGlobalTestEnvironment(new http_testing::TestRootEnvironment);

class DownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!http_testing::RequireServers()) GTEST_SKIP();
    ASSERT_NE(window_.hwnd(), nullptr);
    // Retries as in use, but with pauses of 20, 40 and 80 ms.
    CHttpDownloader::SetRetryPauseForTesting(20);
  }
  void TearDown() override { CHttpDownloader::SetRetryPauseForTesting(1000); }

  std::unique_ptr<CHttpDownloader> Make(const std::wstring& url) {
    return std::make_unique<CHttpDownloader>(window_.hwnd(), url, scratch_.path());
  }

  // Starts and waits for the finished message; the posted result.
  LPARAM Run(CHttpDownloader* downloader) {
    EXPECT_TRUE(downloader->Start());
    EXPECT_TRUE(window_.WaitFinished()) << "no finished message";
    EXPECT_EQ(window_.results.size(), 1u);
    return window_.results.empty() ? -1 : window_.results.back();
  }

  // The names left in the scratch folder.
  std::vector<std::wstring> Files() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW((scratch_.path() + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return names;
  }

  // A finished download: the posted 1, the exact bytes, no part file left,
  // and progress that rose to 100.
  void ExpectDownloaded(CHttpDownloader* downloader, const std::string& expected) {
    EXPECT_EQ(Run(downloader), 1);
    const std::wstring target = downloader->GetDownloadFilePath();
    ASSERT_TRUE(http_testing::FileExists(target));
    std::string bytes = ReadFile(target);
    EXPECT_EQ(bytes.size(), expected.size());
    EXPECT_TRUE(bytes == expected) << "the joined file differs from the served one";
    EXPECT_EQ(Files().size(), 1u) << "part files left behind";
    window_.ExpectRisingReports(downloader, static_cast<double>(expected.size()));
  }

  // A failed attempt: the posted 0, no target, and at most the part files
  // and their record kept for a Retry, which go with the downloader.
  void ExpectFailed(CHttpDownloader* downloader) {
    EXPECT_EQ(Run(downloader), 0);
    const std::wstring target = downloader->GetDownloadFilePath();
    EXPECT_FALSE(http_testing::FileExists(target)) << "a failed attempt left its target";
    const std::wstring name = target.substr(scratch_.path().size());
    for (const std::wstring& file : Files())
      EXPECT_EQ(file.compare(0, name.size() + 1, name + L"."), 0) << "left behind: " << http_testing::Narrow(file);
  }

  static std::string RangeLog(const std::wstring& log) {
    CWininetHttp client;
    return client.Request(PeerUrl(L"/rangelog/" + log).c_str(), 0, nullptr, static_cast<const wchar_t*>(nullptr));
  }

  // A count the peer keeps under |log| ("sent", "overlap", "after",
  // "asked", "answered"); 0 when it has none, -1 when it cannot be asked.
  static int64_t LogCount(const std::wstring& log, const std::string& key) {
    const std::string text = RangeLog(log);
    if (text.empty()) return -1;
    const size_t at = text.find(key + " ");
    return at == std::string::npos ? 0 : std::atoll(text.c_str() + at + key.size() + 1);
  }

  // The ranges the peer served under |log|, in order.
  std::vector<download_plan::ByteRange> ServedRanges(const std::wstring& log) {
    const std::string text = RangeLog(log);
    std::vector<download_plan::ByteRange> ranges;
    long long first = 0, last = 0;
    for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
      if (sscanf(text.c_str() + at, "%lld-%lld", &first, &last) == 2) ranges.push_back({first, last});
      if (text.find('\n', at) == std::string::npos) break;
    }
    return ranges;
  }

  DownloadWindow window_;
  http_testing::ScratchFolder scratch_;
};

// Eight ranges from nginx joined into the served file; the size query's
// answer replaces the estimate.
TEST_F(DownloaderTest, DownloadsAndJoinsRangesFromNginx) {
  auto downloader = Make(NginxUrl(L"/pattern-9m.bin"));
  EXPECT_EQ(downloader->GetDownloadFilePath(), scratch_.path() + L"pattern-9m.bin");
  ASSERT_TRUE(downloader->WaitForSizeQueryForTesting(30000));
  EXPECT_EQ(downloader->m_fileSize.load(), 9.0 * (1 << 20));
  ExpectDownloaded(downloader.get(), Pattern(9 << 20));
  EXPECT_GT(downloader->GetElapsedSeconds(), 0);
  EXPECT_LT(downloader->GetElapsedSeconds(), 60);

  // A retry on the same object replaces the old file.
  http_testing::WriteFile(downloader->GetDownloadFilePath(), "stale");
  window_.results.clear();
  window_.reports.clear();
  ExpectDownloaded(downloader.get(), Pattern(9 << 20));
}

// What nginx sends for a whole download, both size queries included, stays
// within the file's size and a little more: a size query ends its request
// once it has the length, instead of taking the whole file beside the
// ranges.
TEST_F(DownloaderTest, SizeQueriesDoNotDownloadTheFile) {
  int before_requests = 0;
  const int64_t before = http_testing::NginxBytesServed("/pattern-9m.bin", &before_requests);
  ASSERT_GE(before, 0) << "nginx's access log cannot be read";
  auto downloader = Make(NginxUrl(L"/pattern-9m.bin"));
  ExpectDownloaded(downloader.get(), Pattern(9 << 20));
  downloader.reset();
  // nginx logs a request once it has ended; two size queries and eight ranges.
  int requests = 0;
  int64_t served = 0;
  window_.PumpUntil([&] {
    served = http_testing::NginxBytesServed("/pattern-9m.bin", &requests) - before;
    return requests >= before_requests + 10;
  });
  ASSERT_EQ(requests, before_requests + 10);
  EXPECT_GE(served, 9 << 20);
  EXPECT_LE(served, (9 << 20) + (1 << 20)) << "the size queries took " << served - (9 << 20) << " bytes";
}

// Files of fewer bytes than parts, and just above, come out whole.
TEST_F(DownloaderTest, SmallFilesComeOutWhole) {
  for (int size : {1, 5, 7, 8, 17, 3000}) {
    SCOPED_TRACE(size);
    auto downloader = Make(PeerUrl(L"/ranges/" + std::to_wstring(size)));
    ExpectDownloaded(downloader.get(), Pattern(size));
    ::DeleteFileW(downloader->GetDownloadFilePath().c_str());
    window_.results.clear();
    window_.reports.clear();
  }
}

// The eight ranges are in flight together: the peer holds each until all
// eight have arrived (a downloader fetching them in turn would find it at
// one at a time), and they are exactly the plan's.
TEST_F(DownloaderTest, EightRangesAreFetchedAtOnce) {
  constexpr int64_t kSize = 800003;
  const std::wstring log = L"parallel" + std::to_wstring(::GetTickCount());
  auto downloader = Make(PeerUrl(L"/ranges/800003?together=8&log=" + log));
  ExpectDownloaded(downloader.get(), Pattern(kSize));
  EXPECT_EQ(LogCount(log, "overlap"), 8);
  std::vector<ByteRange> ranges;
  for (const ByteRange& range : ServedRanges(log)) {
    if (range.first != 0 || range.last != 0) ranges.push_back(range);
  }
  std::sort(ranges.begin(), ranges.end(), [](const ByteRange& a, const ByteRange& b) { return a.first < b.first; });
  const std::vector<ByteRange> plan = SplitRanges(kSize);
  ASSERT_EQ(ranges.size(), plan.size());
  for (size_t i = 0; i < plan.size(); ++i) {
    EXPECT_EQ(ranges[i].first, plan[i].first);
    EXPECT_EQ(ranges[i].last, plan[i].last);
  }
}

// One range answered with the whole file spoils the attempt: the other
// parts and the spoiled one stop at once rather than fetch on, and the file
// then comes in one piece. Counted in the bytes the peer sent after the
// spoiling reply's head: a downloader that let the parts run would be sent
// the other parts' rest and the whole file, some 1.9 MiB.
TEST_F(DownloaderTest, ASpoiledAttemptStopsItsOtherParts) {
  constexpr int64_t kSize = 1 << 20;
  const std::wstring log = L"spoil" + std::to_wstring(::GetTickCount());
  // Ranges of 128 KiB in 4 KiB writes 200 ms apart: 6.4 s each.
  auto downloader = Make(PeerUrl(L"/ranges/1048576?ms=200&log=" + log + L"&whole_at=" +
                                 std::to_wstring(SplitRanges(kSize)[3].first)));
  ExpectDownloaded(downloader.get(), Pattern(kSize));
  const int64_t after = LogCount(log, "after");
  EXPECT_GT(after, 0);
  EXPECT_LT(after, 3 * (kSize / 8)) << "bytes sent after the spoiling reply";
}

// A size query that fails posts 0 and starts no part: a missing file, a
// refused connection, an error page (whose length is not the file's) and an
// empty file. After the failed query the size reads 0. A URL without a file
// name fails the same way.
TEST_F(DownloaderTest, FailedSizeQueryPostsFailure) {
  // A port that nobody listens on.
  SOCKET probe = INVALID_SOCKET;
  int closed_port = 0;
  {
    WSADATA wsa;
    ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    int length = sizeof(address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    closed_port = ntohs(address.sin_port);
    ::closesocket(probe);
  }
  const std::wstring urls[] = {
      NginxUrl(L"/no-such-file.bin"),
      L"http://127.0.0.1:" + std::to_wstring(closed_port) + L"/setup.exe",
      PeerUrl(L"/status/500"),
      NginxUrl(L"/empty.bin"),
  };
  for (const std::wstring& url : urls) {
    SCOPED_TRACE(http_testing::Narrow(url));
    auto downloader = Make(url);
    ASSERT_TRUE(downloader->WaitForSizeQueryForTesting(30000));
    EXPECT_EQ(downloader->m_fileSize.load(), 0);
    ExpectFailed(downloader.get());
    EXPECT_TRUE(window_.reports.empty());
    EXPECT_EQ(downloader->IsRunning(), false);
    window_.results.clear();
  }

  // A file the server has, behind a URL whose last '/' leaves no file name.
  auto downloader = Make(PeerUrl(L"/ranges/100?from=/"));
  EXPECT_EQ(downloader->GetDownloadFilePath(), scratch_.path());
  ExpectFailed(downloader.get());
}

// A server that answers every range with the whole file: the download
// falls back to one request and the file is right, not eight copies.
TEST_F(DownloaderTest, ServerIgnoringRangesGetsTheFileInOnePiece) {
  auto downloader = Make(PeerUrl(L"/ranges/300000?ignore=1"));
  ExpectDownloaded(downloader.get(), Pattern(300000));
}

// With the vendor's SHA-256 set, the joined file must have it: a match is a
// success, a mismatch deletes the file and fails the attempt. Digits in
// either case are taken.
TEST_F(DownloaderTest, ExpectedDigestIsChecked) {
  // The hasher against the standard's own example, then the served bytes.
  http_testing::WriteFile(scratch_.File(L"abc.bin"), "abc");
  EXPECT_EQ(Sha256OfFile(scratch_.File(L"abc.bin")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  ::DeleteFileW(scratch_.File(L"abc.bin").c_str());
  http_testing::WriteFile(scratch_.File(L"reference.bin"), Pattern(300000));
  const std::string digest = Sha256OfFile(scratch_.File(L"reference.bin"));
  ::DeleteFileW(scratch_.File(L"reference.bin").c_str());
  ASSERT_EQ(digest.size(), 64u);
  EXPECT_EQ(Sha256OfFile(scratch_.File(L"missing.bin")), "");

  auto good = Make(PeerUrl(L"/ranges/300000"));
  std::string upper = digest;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  good->SetExpectedSha256(upper);
  ExpectDownloaded(good.get(), Pattern(300000));
  good.reset();
  ::DeleteFileW((scratch_.path() + L"300000").c_str());
  window_.results.clear();
  window_.reports.clear();

  auto bad = Make(PeerUrl(L"/ranges/300000"));
  std::string wrong = digest;
  wrong[10] = wrong[10] == '0' ? '1' : '0';
  bad->SetExpectedSha256(wrong);
  EXPECT_EQ(Run(bad.get()), 0);
  EXPECT_TRUE(Files().empty()) << "the file that failed its digest was left";
}

// With a signer set, the joined file must carry a valid signature by that
// name: a program signed by it passes; one signed by another name, one
// changed after signing and an unsigned file are deleted and fail.
TEST_F(DownloaderTest, ExpectedSignerIsChecked) {
  struct {
    const wchar_t* path;
    LPARAM result;
  } cases[] = {{L"/signed.exe", 1}, {L"/other-signer.exe", 0}, {L"/tampered.exe", 0}, {L"/pattern-1m.bin", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(http_testing::Narrow(c.path));
    auto downloader = Make(NginxUrl(c.path));
    downloader->SetExpectedSigner(L"varno test signer");
    EXPECT_EQ(Run(downloader.get()), c.result);
    EXPECT_EQ(http_testing::FileExists(downloader->GetDownloadFilePath()), c.result == 1);
    ::DeleteFileW(downloader->GetDownloadFilePath().c_str());
    window_.results.clear();
    window_.reports.clear();
  }
}

// A server answering every range with 206 and the right length of other
// bytes (honestly labelled in "Content-Range") fails the attempt; nothing
// is joined.
TEST_F(DownloaderTest, RangeOfOtherBytesFailsTheAttempt) {
  auto downloader = Make(PeerUrl(L"/ranges/300000?shift=1000"));
  ExpectFailed(downloader.get());
}

// A Retry after a failed attempt keeps what arrived: complete parts are not
// fetched again, partial ones continue from their length, and the file is
// right. Quitting instead leaves nothing behind.
TEST_F(DownloaderTest, RetryKeepsVerifiedWorkAndQuitRemovesIt) {
  constexpr int64_t kSize = 3000000;
  const int64_t fifth = SplitRanges(kSize)[5].first;
  const std::wstring log = L"retry" + std::to_wstring(::GetTickCount());
  auto downloader = Make(PeerUrl(L"/ranges/3000000?status=404&once=1&ms=5&chunk=16384&status_at=" +
                                 std::to_wstring(fifth) + L"&log=" + log));
  ExpectFailed(downloader.get());
  const size_t first_attempt = ServedRanges(log).size();
  EXPECT_FALSE(Files().empty()) << "the failed attempt kept nothing";
  window_.results.clear();
  window_.reports.clear();
  ExpectDownloaded(downloader.get(), Pattern(kSize));
  const std::vector<download_plan::ByteRange> served = ServedRanges(log);
  int64_t asked_again = 0;
  for (size_t i = first_attempt; i < served.size(); ++i) asked_again += served[i].length();
  EXPECT_LT(asked_again, kSize) << "the Retry fetched everything again";

  // A failed attempt, then the wizard quits: the kept parts and their record go.
  downloader.reset();
  ASSERT_TRUE(::DeleteFileW(scratch_.File(L"3000000").c_str()));
  auto failing = Make(PeerUrl(L"/ranges/300000?status=404&status_at=" + std::to_wstring(SplitRanges(300000)[5].first)));
  window_.results.clear();
  window_.reports.clear();
  ExpectFailed(failing.get());
  EXPECT_FALSE(Files().empty()) << "the failed attempt kept nothing";
  failing.reset();
  EXPECT_TRUE(Files().empty()) << "left behind after quitting: " << Files().size();
}

// Parts and a record that an attempt for another size left are removed, not
// joined: the download starts over and comes out right.
TEST_F(DownloaderTest, LeftoversOfAnotherSizeAreNotReused) {
  const std::wstring target = scratch_.File(L"300000");
  http_testing::WriteFile(target + L".parts", http_testing::Narrow(PeerUrl(L"/ranges/300000")) + "\n299999\n");
  const auto old_ranges = SplitRanges(299999);
  for (const auto& range : old_ranges)
    http_testing::WriteFile(download_plan::PartFilePath(target, range), std::string(range.length(), 'x'));
  auto downloader = Make(PeerUrl(L"/ranges/300000"));
  ExpectDownloaded(downloader.get(), Pattern(300000));
}

// A file republished while its ranges download is never joined from two
// builds: each range names the version the size query saw in "If-Range",
// the server answers the later ones with the whole new file, and the
// attempt falls back to one piece of the new build.
TEST_F(DownloaderTest, FileRepublishedMidDownloadComesFromOneBuild) {
  // Requests 1 and 2 are the size queries; three ranges still get the old
  // build.
  auto downloader = Make(PeerUrl(L"/ranges/300000?switch_after=5&run=" + std::to_wstring(::GetTickCount())));
  std::string republished = Pattern(300000);
  for (char& c : republished) c = static_cast<char>(c ^ 0x5A);
  ExpectDownloaded(downloader.get(), republished);
}

// Passing failures heal by themselves, without a Retry: a range cut off
// half-way continues from the bytes that arrived, and a range answered
// "503, Retry-After: 1" twice is asked again after the server's pause.
TEST_F(DownloaderTest, PassingFailuresOfOnePartHeal) {
  const int64_t third = SplitRanges(3000000)[3].first;
  const std::wstring log = L"heal" + std::to_wstring(::GetTickCount());
  auto dropped = Make(PeerUrl(L"/ranges/3000000?log=" + log + L"&drop_at=" + std::to_wstring(third)));
  ExpectDownloaded(dropped.get(), Pattern(3000000));
  // The bytes sent add up to the file (and a byte per size query): what
  // arrived before the drop was not fetched again.
  const int64_t sent = LogCount(log, "sent");
  EXPECT_GE(sent, 3000000);
  EXPECT_LE(sent, 3000000 + 2) << "bytes fetched again: " << sent - 3000000;
  dropped.reset();
  window_.results.clear();
  window_.reports.clear();
  ::DeleteFileW((scratch_.path() + L"3000000").c_str());

  const int64_t fifth = SplitRanges(300000)[5].first;
  auto busy = Make(PeerUrl(L"/ranges/300000?busy=2&busy_at=" + std::to_wstring(fifth)));
  const DWORD start = ::GetTickCount();
  ExpectDownloaded(busy.get(), Pattern(300000));
  EXPECT_GE(::GetTickCount() - start, 1900u) << "the server's Retry-After was not waited for";
}

// A range refused with 404 fails the attempt at once; one answered with a
// 500 page every time (which the client stores like a body) fails it once
// its tries are used up, within the pauses' time.
TEST_F(DownloaderTest, LastingFailuresFailTheAttempt) {
  const int64_t fifth = SplitRanges(300000)[5].first;
  const std::wstring urls[] = {
      PeerUrl(L"/ranges/300000?status=404&status_at=" + std::to_wstring(fifth)),
      PeerUrl(L"/ranges/300000?status=500&status_at=" + std::to_wstring(fifth)),
  };
  for (const std::wstring& url : urls) {
    SCOPED_TRACE(http_testing::Narrow(url));
    auto downloader = Make(url);
    const DWORD start = ::GetTickCount();
    ExpectFailed(downloader.get());
    EXPECT_LT(::GetTickCount() - start, 10000u);
    window_.results.clear();
    window_.reports.clear();
  }
}

// A server that sends its head and then nothing: the receive timeout ends
// the attempt with a failure instead of leaving the wizard waiting for good.
TEST_F(DownloaderTest, StalledServerFailsWithinTheTimeout) {
  CHttpDownloader::SetTimeoutsForTesting(2000, 1000);
  auto downloader = Make(PeerUrl(L"/ranges/65536?ms=600000"));
  const DWORD start = ::GetTickCount();
  ExpectFailed(downloader.get());
  // Four tries of a second's silence and their pauses; without the timeout
  // the attempt would wait ten minutes.
  EXPECT_LT(::GetTickCount() - start, 30000u);
  CHttpDownloader::SetTimeoutsForTesting(30000, 30000);
}

// A slow server: several reports, rising, at most one per poll, and the
// last one 100 before the finished message.
TEST_F(DownloaderTest, SlowServerReportsRisingProgress) {
  // 8 parts of 32 KiB in 4 KiB writes 300 ms apart: about 2.4 s.
  auto downloader = Make(PeerUrl(L"/ranges/262144?ms=300"));
  ExpectDownloaded(downloader.get(), Pattern(262144));
  ASSERT_GE(window_.reports.size(), 4u);
  // The poll runs every 500 ms; the last report comes from the end of the
  // download and may follow sooner.
  for (size_t i = 1; i + 1 < window_.reports.size(); ++i)
    EXPECT_GE(window_.reports[i].tick - window_.reports[i - 1].tick, 400u) << "report " << i;
  EXPECT_GT(downloader->GetElapsedSeconds(), 2.0);
}

// A second Start while one runs is refused; a Start from the finished
// message's handler, which the wizard's Retry is, always runs. Each run asks
// the size and its eight ranges once: the refused Start ran nothing.
TEST_F(DownloaderTest, SecondStartIsRefusedWhileRunningAndStartFromTheHandlerRuns) {
  const std::wstring log = L"restart" + std::to_wstring(::GetTickCount());
  auto downloader = Make(PeerUrl(L"/ranges/131072?ms=200&log=" + log));
  ASSERT_TRUE(downloader->Start());
  EXPECT_TRUE(downloader->IsRunning());
  EXPECT_FALSE(downloader->Start());
  bool restarted = false;
  window_.on_finished = [&] {
    if (window_.results.size() == 1) restarted = downloader->Start();
  };
  ASSERT_TRUE(window_.WaitFinished(2));
  EXPECT_TRUE(restarted) << "Start from the finished handler was refused";
  EXPECT_EQ(window_.results, (std::vector<LPARAM>{1, 1}));
  EXPECT_EQ(ReadFile(downloader->GetDownloadFilePath()), Pattern(131072));
  downloader.reset();
  int size_queries = 0, ranges = 0;
  for (const ByteRange& range : ServedRanges(log)) (range.first == 0 && range.last == 0 ? size_queries : ranges)++;
  EXPECT_EQ(size_queries, 3);  // the construction's, and one per run
  EXPECT_EQ(ranges, 16);
}

// Destroying the downloader mid-download stops its parts (the peer is
// asked for a fraction of the file) and handles the report waiting in
// SendMessage; nothing reaches the window afterwards.
TEST_F(DownloaderTest, DestroyingMidDownloadStopsTheParts) {
  constexpr int64_t kSize = 1 << 20;
  const std::wstring log = L"destroy" + std::to_wstring(::GetTickCount());
  // 8 parts of 128 KiB in 4 KiB writes a second apart: 32 s.
  auto downloader = Make(PeerUrl(L"/ranges/1048576?ms=1000&log=" + log));
  ASSERT_TRUE(downloader->Start());
  ASSERT_TRUE(window_.PumpUntil([&] { return !window_.reports.empty(); })) << "no progress";
  // The next report waits in SendMessage while this thread handles nothing;
  // the destructor, on this window's thread, must handle it.
  ASSERT_EQ(::MsgWaitForMultipleObjects(0, nullptr, FALSE, 30000, QS_SENDMESSAGE), WAIT_OBJECT_0);
  ASSERT_TRUE(HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE);
  const size_t before = window_.reports.size();
  downloader.reset();
  const size_t reports = window_.reports.size();
  EXPECT_EQ(reports, before + 1) << "the waiting report was not handled";
  const int64_t sent = LogCount(log, "sent");
  EXPECT_GE(sent, 0);
  EXPECT_LT(sent, kSize / 2) << "the parts ran on after the destruction";
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  EXPECT_EQ(window_.reports.size(), reports);
  EXPECT_TRUE(window_.results.empty());
  EXPECT_TRUE(Files().empty()) << "part files left behind";
}

// Both size queries (the construction's and the run's) still wait for the
// peer when the downloader goes: the destructor does not wait for them, and
// their answers, which come later, touch nothing of it (its memory, kept
// by the test and filled with a mark, stays marked) and reach no window.
TEST_F(DownloaderTest, SizeQueriesAnsweredAfterTheDownloaderIsGone) {
  const std::wstring log = L"late" + std::to_wstring(::GetTickCount());
  ASSERT_EQ(CHttpDownloader::SizeQueriesRunningForTesting(), 0);
  alignas(CHttpDownloader) unsigned char storage[sizeof(CHttpDownloader)];
  auto* downloader = new (storage) CHttpDownloader(window_.hwnd(), PeerUrl(L"/slowhead?ms=8000&log=" + log),
                                                   scratch_.path());
  EXPECT_EQ(downloader->m_fileSize.load(), CHttpDownloader::kUnknownFileSize);
  ASSERT_TRUE(downloader->Start());
  ASSERT_TRUE(window_.PumpUntil([&] { return LogCount(log, "asked") == 2; })) << "the size queries never arrived";
  downloader->~CHttpDownloader();
  std::memset(storage, 0xA5, sizeof(storage));
  EXPECT_EQ(LogCount(log, "answered"), 0) << "the destructor waited for the answers";
  EXPECT_EQ(CHttpDownloader::SizeQueriesRunningForTesting(), 2);
  ASSERT_TRUE(window_.PumpUntil([] { return CHttpDownloader::SizeQueriesRunningForTesting() == 0; }));
  EXPECT_EQ(LogCount(log, "answered"), 2);
  EXPECT_EQ(std::count(storage, storage + sizeof(storage), 0xA5), static_cast<long>(sizeof(storage)))
      << "an answer was written into the destroyed downloader";
  EXPECT_TRUE(window_.results.empty());
  EXPECT_TRUE(window_.reports.empty());
}

// Counts the clients made and fails the one numbered |g_fail_client|.
std::atomic<int> g_clients_made{0};
std::atomic<int> g_fail_client{-1};
bool FailingFactory(IHttpBase** client, int type) {
  if (g_clients_made.fetch_add(1) == g_fail_client.load()) {
    *client = nullptr;
    return false;
  }
  return MakeHttpClient(client, type);
}

struct FailingFactoryScope {
  explicit FailingFactoryScope(int fail) {
    g_clients_made = 0;
    g_fail_client = fail;
    CHttpDownloader::SetClientFactoryForTesting(&FailingFactory);
  }
  ~FailingFactoryScope() { CHttpDownloader::SetClientFactoryForTesting(nullptr); }
};

// A part whose client cannot be made fails the attempt (rather than
// leaving it waiting for ever); the other parts' files are removed.
TEST_F(DownloaderTest, PartWithoutClientFailsTheAttempt) {
  {
    FailingFactoryScope scope(4);  // the size queries are clients 0 and 1
    auto downloader = Make(NginxUrl(L"/pattern-1m.bin"));
    ASSERT_TRUE(downloader->WaitForSizeQueryForTesting(30000));
    ExpectFailed(downloader.get());
    EXPECT_EQ(g_clients_made.load(), 10);
  }
  // Without a client for the first size query the estimate stays.
  FailingFactoryScope scope(0);
  auto downloader = Make(NginxUrl(L"/pattern-1m.bin"));
  ASSERT_TRUE(downloader->WaitForSizeQueryForTesting(30000));
  EXPECT_EQ(downloader->m_fileSize.load(), CHttpDownloader::kUnknownFileSize);
}

// Joining renames the first part and appends the rest. When it cannot
// finish (a part missing, a part another program holds unreadable, a
// target another program holds) no joined file and no part file is left;
// a held target keeps its old bytes.
TEST_F(DownloaderTest, JoinsPartFilesOrLeavesNothing) {
  const std::wstring target = scratch_.File(L"joined.bin");
  const std::string data = Pattern(3 * (1 << 20) + 123);
  std::vector<std::wstring> parts;
  auto write_parts = [&] {
    parts.clear();
    size_t offset = 0;
    for (ByteRange r : SplitRanges(static_cast<int64_t>(data.size()), 3)) {
      parts.push_back(PartFilePath(target, r));
      http_testing::WriteFile(parts.back(), data.substr(offset, static_cast<size_t>(r.length())));
      offset += static_cast<size_t>(r.length());
    }
  };
  write_parts();
  http_testing::WriteFile(target, "old content");
  ASSERT_TRUE(CHttpDownloader::JoinPartFiles(target, parts));
  EXPECT_TRUE(ReadFile(target) == data);
  EXPECT_EQ(Files().size(), 1u);
  ASSERT_TRUE(::DeleteFileW(target.c_str()));

  // Held open for anything but reading (it may still be deleted).
  auto hold = [](const std::wstring& path, DWORD share) {
    return base::win32::ScopedHandle(
        ::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
  };
  const struct {
    const char* name;
    int held;  // the part held, -1 for the target, -2 for none
    DWORD share;
  } cases[] = {{"missing part", -2, 0}, {"unreadable part", 1, FILE_SHARE_DELETE},
               {"held target", -1, FILE_SHARE_READ}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write_parts();
    if (c.held == -2) {
      ASSERT_TRUE(::DeleteFileW(parts[1].c_str()));
    }
    if (c.held == -1) http_testing::WriteFile(target, "old content");
    base::win32::ScopedHandle holder;
    if (c.held != -2) {
      holder = hold(c.held == -1 ? target : parts[c.held], c.share);
      ASSERT_TRUE(holder.Valid());
    }
    EXPECT_FALSE(CHttpDownloader::JoinPartFiles(target, parts));
    holder.Reset();
    if (c.held == -1) {
      EXPECT_EQ(ReadFile(target), "old content");
      ASSERT_TRUE(::DeleteFileW(target.c_str()));
    }
    std::vector<std::wstring> left = Files();
    EXPECT_TRUE(left.empty()) << "left behind: " << http_testing::Narrow(left.empty() ? L"" : left[0]);
  }
}

}  // namespace
