#include "installer/HttpClient/HttpDownloader.h"

#include <process.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

#include "base/util/string_util.h"
#include "installer/HttpClient/FileSha256.h"
#include "installer/HttpClient/FileSignature.h"
#include "installer/HttpClient/HttpHeader.h"
#include "installer/HttpClient/WininetHttp.h"
#include "base/log/log.h"

namespace download_plan {

std::vector<ByteRange> SplitRanges(int64_t size, int parts) {
  std::vector<ByteRange> ranges;
  if (size <= 0 || parts <= 0) return ranges;
  // Below one byte per part the written rule would make empty ranges.
  if (size < parts) parts = static_cast<int>(size);
  const int64_t step = size / parts;
  const int64_t last_length = size - (parts - 1) * step;
  for (int i = 0; i < parts; ++i) {
    const int64_t first = i * step;
    ranges.push_back({first, first + (i == parts - 1 ? last_length : step) - 1});
  }
  return ranges;
}

std::wstring PartFilePath(const std::wstring& target, const ByteRange& range) {
  return target + L"." + std::to_wstring(range.first) + L"-" + std::to_wstring(range.last);
}

std::wstring FileNameFromUrl(const std::wstring& url) {
  const size_t slash = url.rfind(L'/');
  if (slash == std::wstring::npos) return std::wstring();
  const std::wstring rest = url.substr(slash + 1);
  std::wstring name = rest.substr(0, rest.find_first_of(L"?&"));
  // The name becomes a path in the download folder: one that could climb out
  // of it or is no file name at all counts as none.
  if (name == L"." || name == L".." || name.find_first_of(L"\\/:*\"<>|") != std::wstring::npos) return std::wstring();
  for (wchar_t c : name) {
    if (c < 0x20) return std::wstring();
  }
  return name;
}

PartVerdict JudgePartReply(const PartReply& reply) {
  if (reply.ranged && reply.status == 200 && !reply.whole_file) return PART_NO_RANGES;
  if (!reply.fetched || reply.file_length != reply.expected) return PART_FAILED;
  if (reply.ranged) {
    // 206 is the answer to a range; a whole-file range may come back as 200.
    if (reply.status == 200 && reply.whole_file) return PART_COMPLETE;
    if (reply.status != 206) return PART_FAILED;
    ContentRange range;
    if (!ParseContentRange(reply.content_range, &range)) return PART_FAILED;
    return range.first == reply.first && range.last == reply.last && range.total == reply.total ? PART_COMPLETE
                                                                                                  : PART_FAILED;
  }
  return reply.status == 200 ? PART_COMPLETE : PART_FAILED;
}

}  // namespace download_plan

using download_plan::ByteRange;
using download_plan::PartVerdict;

struct CHttpDownloader::SizeQuery {
  std::wstring url;
  std::atomic<int64_t> length{0};
  std::mutex validator_lock;  // Protects |validator|.
  std::string validator;      // the file's version for "If-Range"
  base::WaitableEvent answered{true, false};
  std::mutex owner_lock;  // Protects |owner|.
  CHttpDownloader* owner = nullptr;  // null once nobody waits for the answer
};

struct CHttpDownloader::Part {
  IHttpCallback* owner = nullptr;
  // The client's last report while it runs, the verdict once it has ended.
  std::atomic<int> state{XFER_RUNNING};
  int index = 0;
  ByteRange range{0, -1};
  std::atomic<int64_t> downloaded{0};
  // Bytes of the range already in the part file from earlier tries; the
  // current try asks for the rest.
  std::atomic<int64_t> have{0};
  // The client of the current try; used on the part's thread only.
  IHttpBase* client = nullptr;
  int64_t length = 0;
  std::wstring url;
  std::wstring path;
  bool ranged = true;
  bool whole_file = false;
  std::string validator;  // "If-Range" of a ranged request, when the server gave one
  int64_t file_size = 0;  // the whole file's
  // Set on the part's thread when the reply's length is not the part's.
  std::atomic<bool> wrong_reply{false};
  // Written by the part's thread, read after it was joined.
  PartVerdict verdict = download_plan::PART_FAILED;
  Thread thread;
};

namespace {

constexpr DWORD kJoinBlock = 1 << 20;
// WinINet lets a process open only two connections per HTTP/1.1 server
// unless told otherwise, which would leave six of the eight parts queued.
constexpr DWORD kConnectionsPerServer = 16;

struct ClientDestroyer {
  void operator()(IHttpBase* client) const { client->Destroy(); }
};
using ClientOwner = std::unique_ptr<IHttpBase, ClientDestroyer>;

std::atomic<CHttpDownloader::ClientFactory> g_client_factory{nullptr};

// A server that stops sending would otherwise hold a part, the attempt and
// the downloader's destructor for good: WinINet under Wine never gives up.
std::atomic<DWORD> g_connect_timeout_ms{30000};
std::atomic<DWORD> g_receive_timeout_ms{30000};
std::atomic<DWORD> g_retry_pause_ms{1000};
std::atomic<int> g_size_queries_running{0};
// A server's Retry-After is followed up to this.
constexpr DWORD kMaxRetryAfterMs = 10000;

ClientOwner MakePartClient() {
  IHttpBase* client = nullptr;
  CHttpDownloader::ClientFactory factory = g_client_factory.load();
  if (!(factory ? factory : &MakeHttpClient)(&client, HTTP_CLIENT_WININET) || !client) return ClientOwner();
  if (auto* wininet = dynamic_cast<IWininetHttp*>(client))
    wininet->SetTimeouts(g_connect_timeout_ms.load(), g_receive_timeout_ms.load());
  return ClientOwner(client);
}

unsigned __stdcall ThreadMain(void* arg) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(arg));
  (*body)();
  return 0;
}

bool StartThread(std::function<void()> run, base::win32::ScopedHandle* thread) {
  auto body = std::make_unique<std::function<void()>>(std::move(run));
  uintptr_t handle = _beginthreadex(nullptr, 0, &ThreadMain, body.get(), 0, nullptr);
  if (!handle) return false;
  body.release();  // the thread owns it now
  thread->Reset(reinterpret_cast<HANDLE>(handle));
  return true;
}

// Waits for |thread| while handling messages that other threads send to
// this thread's windows: the progress report is sent synchronously, and
// the wizard destroys the downloader on the thread that owns the window.
void WaitHandlingSentMessages(HANDLE thread) {
  if (!thread) return;
  for (;;) {
    // A message sent before the wait began and already seen by the caller's
    // last look at the queue would not wake it: handle what waits first.
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    DWORD result = ::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (result == WAIT_OBJECT_0 + 1) continue;
    if (result != WAIT_OBJECT_0) ::WaitForSingleObject(thread, INFINITE);
    return;
  }
}

int64_t FileLength(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool DeleteIfPresent(const std::wstring& path) {
  if (::DeleteFileW(path.c_str())) return true;
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Appends the whole of |from| to |to|.
bool AppendFile(const std::wstring& to, const std::wstring& from) {
  base::win32::ScopedHandle out(
      ::CreateFileW(to.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  base::win32::ScopedHandle in(::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!out || !in) return false;
  std::vector<char> block(1 << 16);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(in.Get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) return false;
    if (read == 0) return true;
    DWORD written = 0;
    if (!::WriteFile(out.Get(), block.data(), read, &written, nullptr) || written != read) return false;
  }
}

// A part file already appended to the target. A scanner or indexer may
// hold it open for a moment, so the delete is tried a few times; what
// still stands is named in the log rather than left in silence.
void DeleteAppendedPart(const std::wstring& path) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (DeleteIfPresent(path)) return;
    ::Sleep(20 << attempt);
  }
  const DWORD error = ::GetLastError();
  QLOG_ERR(L"download part file left behind: {0}, error:{1}") << path << error;
}

// Beside the part files of a failed attempt: the URL and the size they
// belong to, one per line, in UTF-8.
std::wstring KeptRecordPath(const std::wstring& target) { return target + L".parts"; }

bool ReadRecord(const std::wstring& record, std::string* url, int64_t* size) {
  FILE* file = _wfopen(record.c_str(), L"rb");
  if (!file) return false;
  char buffer[8192];
  const size_t n = std::fread(buffer, 1, sizeof(buffer), file);
  std::fclose(file);
  const std::string text(buffer, n);
  const size_t line = text.find('\n');
  if (line == std::string::npos) return false;
  *url = text.substr(0, line);
  const size_t end = text.find('\n', line + 1);
  return ParseContentLength(text.substr(line + 1, end == std::string::npos ? end : end - line - 1), size);
}

// Removes the part files a record names, the ".more" files of their
// retries, and the record.
void DeleteKeptWork(const std::wstring& target) {
  const std::wstring record = KeptRecordPath(target);
  std::string url;
  int64_t size = 0;
  if (ReadRecord(record, &url, &size) && size > 0) {
    for (const ByteRange& range : download_plan::SplitRanges(size)) {
      const std::wstring path = download_plan::PartFilePath(target, range);
      DeleteIfPresent(path);
      DeleteIfPresent(path + L".more");
    }
  }
  DeleteIfPresent(record);
}

// Whether the record beside |target| names |url| and |size|; a record for
// anything else is removed with its part files.
bool ReadKeptRecord(const std::wstring& target, const std::wstring& url, int64_t size) {
  std::string kept_url;
  int64_t kept_size = 0;
  if (!ReadRecord(KeptRecordPath(target), &kept_url, &kept_size)) return false;
  if (kept_url == base::WideToUtf8(url) && kept_size == size) return true;
  DeleteKeptWork(target);
  return false;
}

void WriteKeptRecord(const std::wstring& record, const std::wstring& url, int64_t size) {
  FILE* file = _wfopen(record.c_str(), L"wb");
  if (!file) return;
  const std::string text = base::WideToUtf8(url) + "\n" + std::to_string(size) + "\n";
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

void RaiseConnectionLimit() {
  static std::once_flag once;
  std::call_once(once, [] {
    DWORD limit = kConnectionsPerServer;
    ::InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &limit, sizeof(limit));
    ::InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &limit, sizeof(limit));
  });
}

// What identifies the file's version for "If-Range": a strong entity tag,
// else the modification date (a weak tag may not be used there); empty
// when the server gave neither.
std::string RangeValidator(IHttpBase* client) {
  auto* wininet = dynamic_cast<IWininetHttp*>(client);
  if (!wininet) return std::string();
  const std::string tag = wininet->ResponseHeader("ETag");
  if (!tag.empty() && tag.compare(0, 2, "W/") != 0) return tag;
  return wininet->ResponseHeader("Last-Modified");
}

// The length the server announces for the whole file: 0 on failure, -1
// when no client could be made. |validator| receives the file's version.
int64_t QueryRemoteLength(const std::wstring& url, std::string* validator) {
  ClientOwner client = MakePartClient();
  if (!client) {
    QLOG_ERR(L"download get file length: no http client");
    return -1;
  }
  // Only the length is wanted: asked for its first byte, a server that
  // serves ranges answers 206 with the size in Content-Range and sends one
  // byte, where a plain GET would send the whole file beside the parts.
  client->AddHeader("Range", "bytes=0-0");
  double length = client->QueryRemoteSize(url.c_str());
  *validator = RangeValidator(client.get());
  const DWORD last_error = ::GetLastError();
  QLOG_ERR(L"download get file length last error:{0}") << last_error;
  QLOG_ERR(L"download get file length http error:{0}") << client->LastErrorCode();
  const int status = client->LastStatusCode();
  if (length > 0 && status == 206) {
    ContentRange range;
    auto* wininet = dynamic_cast<IWininetHttp*>(client.get());
    if (wininet && ParseContentRange(wininet->ResponseHeader("Content-Range"), &range) && range.first == 0) {
      length = static_cast<double>(range.total);
    } else {
      QLOG_ERR(L"download get file length: no usable Content-Range");
      length = 0;
    }
  } else if (length > 0 && status != 200) {
    // The client reads the length of any reply; an error page is not the file.
    QLOG_ERR(L"download get file length http status:{0}") << status;
    length = 0;
  }
  return length > 0 ? static_cast<int64_t>(length) : 0;
}

}  // namespace

CHttpDownloader::CHttpDownloader(HWND notify_window, const std::wstring& url, const std::wstring& download_dir)
    : m_notifyWindow(notify_window),
      m_url(url),
      m_downloadDir(download_dir),
      m_fileName(download_plan::FileNameFromUrl(url)) {
  RaiseConnectionLimit();
  if (!StartThread([this] { PollProgress(); }, &progress_thread_)) {
    const DWORD error = ::GetLastError();
    QLOG_ERR(L"download progress thread not started, error:{0}") << error;
  }
  size_query_ = std::make_shared<SizeQuery>();
  size_query_->url = m_url;
  size_query_->owner = this;
  std::shared_ptr<SizeQuery> query = size_query_;
  base::win32::ScopedHandle size_thread;
  g_size_queries_running.fetch_add(1);
  const bool started = StartThread(
      [query] {
        std::string validator;
        const int64_t length = QueryRemoteLength(query->url, &validator);
        query->length.store(length);
        query->answered.Signal();
        {
          std::lock_guard<std::mutex> hold(query->owner_lock);
          // Before the answer the estimate stays; no client at all keeps it too.
          if (query->owner && length >= 0) query->owner->m_fileSize.store(static_cast<double>(length));
          if (query->owner) query->owner->size_answered_.Signal();
        }
        g_size_queries_running.fetch_sub(1);
      },
      &size_thread);
  if (!started) {
    g_size_queries_running.fetch_sub(1);
    const DWORD error = ::GetLastError();
    QLOG_ERR(L"download size thread not started, error:{0}") << error;
    size_answered_.Signal();
  }
}

CHttpDownloader::~CHttpDownloader() {
  stopping_.store(true);
  quit_.Signal();
  {
    std::lock_guard<std::mutex> hold(size_query_->owner_lock);
    size_query_->owner = nullptr;
  }
  WaitHandlingSentMessages(download_thread_.Get());
  WaitHandlingSentMessages(progress_thread_.Get());
  ClearParts();
  // Quitting gives up what a failed attempt kept for a Retry.
  if (!m_fileName.empty()) DeleteKeptWork(GetDownloadFilePath());
}

std::wstring CHttpDownloader::GetDownloadFilePath() const { return m_downloadDir + m_fileName; }

bool CHttpDownloader::Start() {
  base::ScopedLock start(start_lock_);
  if (stopping_.load()) return false;
  if (running_.exchange(true)) {
    // A second run would share the first one's part files.
    QLOG_ERR(L"download already running, start refused");
    return false;
  }
  // The previous run has posted its result and is about to return.
  if (download_thread_.Valid()) {
    ::WaitForSingleObject(download_thread_.Get(), INFINITE);
    download_thread_.Reset();
  }
  last_percent_.store(0);
  run_spoiled_.store(false);
  if (!StartThread([this] { RunDownload(); }, &download_thread_)) {
    const DWORD error = ::GetLastError();
    QLOG_ERR(L"download thread not started, error:{0}") << error;
    running_.store(false);
    Post(false);
    return false;
  }
  return true;
}

double CHttpDownloader::GetElapsedSeconds() const {
  const int64_t start = start_time_.load();
  const int64_t end = end_time_.load();
  if (end < start) return 0;  // still running
  return static_cast<double>(end - start) / 1e9;
}

void CHttpDownloader::OnTransferProgress(void* param, int state, double total_size, double downloaded_size) {
  Part* part = static_cast<Part*>(param);
  if (!part || total_size < downloaded_size) return;
  // An error page (a 503 to try again later, say) is no part of the file,
  // and its length says nothing about the reply the part will get.
  const int status = part->client ? part->client->LastStatusCode() : 0;
  if (status != 200 && status != 206) return;
  const int64_t have = part->have.load();
  if (state == XFER_RUNNING && static_cast<int64_t>(total_size) != part->length - have) {
    // The whole file sent for a range, or any other length: this attempt
    // cannot succeed, so no part should keep downloading for it.
    part->wrong_reply.store(true);
    run_spoiled_.store(true);
  }
  // Bytes kept from earlier tries count too: the progress never goes back.
  const int64_t downloaded = have + static_cast<int64_t>(downloaded_size);
  if (downloaded > part->downloaded.load()) part->downloaded.store(downloaded);
  part->state.store(state);
}

bool CHttpDownloader::ShouldStop() { return stopping_.load() || run_spoiled_.load(); }

int64_t CHttpDownloader::NowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t CHttpDownloader::AskLength(std::string* validator) {
  validator->clear();
  auto query = std::make_shared<SizeQuery>();
  query->url = m_url;
  base::win32::ScopedHandle thread;  // closed at once: the query ends on its own
  g_size_queries_running.fetch_add(1);
  if (!StartThread(
          [query] {
            std::string found;
            query->length.store(QueryRemoteLength(query->url, &found));
            {
              std::lock_guard<std::mutex> hold(query->validator_lock);
              query->validator = found;
            }
            query->answered.Signal();
            g_size_queries_running.fetch_sub(1);
          },
          &thread)) {
    g_size_queries_running.fetch_sub(1);
    return std::max<int64_t>(QueryRemoteLength(m_url, validator), 0);
  }
  HANDLE events[] = {query->answered.handle(), quit_.handle()};
  if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) return 0;
  std::lock_guard<std::mutex> hold(query->validator_lock);
  *validator = query->validator;
  return std::max<int64_t>(query->length.load(), 0);
}

void CHttpDownloader::RunDownload() {
  start_time_.store(NowNanoseconds());
  end_time_.store(0);
  ClearParts();
  QLOG_APP(L"start download");
  std::string validator;
  const int64_t size = AskLength(&validator);
  QLOG_APP(L"download file size:{0}") << size;

  bool ok = false;
  if (m_fileName.empty()) {
    // The target would be the download folder itself.
    QLOG_ERR(L"download url names no file: {0}") << m_url;
    end_time_.store(NowNanoseconds());
  } else if (size > 0 && !stopping_.load()) {
    const std::wstring target = GetDownloadFilePath();
    QLOG_APP(L"create download thread");
    bool no_ranges = false;
    ok = RunParts(target, download_plan::SplitRanges(size), true, size, validator, &no_ranges);
    if (!ok && no_ranges && !stopping_.load()) {
      QLOG_WAR(L"download server ignores ranges, fetching the file in one piece");
      run_spoiled_.store(false);
      ok = RunParts(target, {ByteRange{0, size - 1}}, false, size, std::string(), &no_ranges);
    }
    end_time_.store(NowNanoseconds());
    if (ok) {
      std::vector<std::wstring> paths;
      for (const auto& part : m_parts) paths.push_back(part->path);  // only this thread changes the list
      ok = JoinPartFiles(target, paths);
      if (ok) ok = VerifyPayload(target);
      // The window sees 100 before the finished message.
      if (ok) ReportProgress();
    }
  } else {
    end_time_.store(NowNanoseconds());
  }
  ClearParts();

  base::ScopedLock start(start_lock_);
  running_.store(false);
  if (!stopping_.load()) Post(ok);
}

bool CHttpDownloader::RunParts(const std::wstring& target, const std::vector<ByteRange>& ranges, bool ranged,
                               int64_t size, const std::string& validator, bool* no_ranges) {
  *no_ranges = false;
  std::vector<Part*> started;
  // Work kept by a failed attempt for this very URL and size is used again;
  // what an attempt for another URL or size left is removed.
  const bool reuse = ranged && ReadKeptRecord(target, m_url, size);
  int64_t kept_bytes = 0;
  {
    base::ScopedLock lock(parts_lock_);
    m_parts.clear();
    for (size_t i = 0; i < ranges.size(); ++i) {
      auto part = std::make_unique<Part>();
      part->owner = this;
      part->index = static_cast<int>(i);
      part->range = ranges[i];
      part->length = ranges[i].length();
      part->url = m_url;
      part->path = download_plan::PartFilePath(target, ranges[i]);
      part->ranged = ranged;
      part->validator = validator;
      part->file_size = size;
      part->whole_file = ranges[i].first == 0 && ranges[i].last == size - 1;
      Part* raw = part.get();
      const int64_t kept = reuse ? FileLength(part->path) : -1;
      if (kept == part->length) {
        part->verdict = download_plan::PART_COMPLETE;
        part->downloaded.store(kept);
        part->state.store(XFER_DONE);
        kept_bytes += kept;
        m_parts.push_back(std::move(part));
        continue;
      }
      if (kept > 0 && kept < part->length) {
        part->have.store(kept);
        part->downloaded.store(kept);
        kept_bytes += kept;
      } else {
        DeleteIfPresent(part->path);
      }
      if (!StartThread([this, raw] { RunPart(raw); }, &part->thread)) {
        const DWORD error = ::GetLastError();
        QLOG_ERR(L"download failed error. last error:{0},thread index:{1}") << error << raw->index;
        raw->state.store(XFER_FAILED);
      } else {
        started.push_back(raw);
      }
      m_parts.push_back(std::move(part));
    }
  }
  if (kept_bytes > 0) QLOG_APP(L"download keeps {0} bytes of the last attempt") << kept_bytes;
  for (Part* part : started) ::WaitForSingleObject(part->thread.Get(), INFINITE);

  bool complete = true;
  for (const auto& part : m_parts) {
    if (part->verdict == download_plan::PART_NO_RANGES) *no_ranges = true;
    if (part->verdict != download_plan::PART_COMPLETE) complete = false;
  }
  const std::wstring record = KeptRecordPath(target);
  if (!complete && ranged && !*no_ranges && !stopping_.load()) {
    // Every byte in the part files came in a reply that named its range:
    // a Retry continues from them.
    WriteKeptRecord(record, m_url, size);
  } else {
    if (!complete) {
      for (const auto& part : m_parts) DeleteIfPresent(part->path);
    }
    DeleteIfPresent(record);
  }
  return complete;
}

void CHttpDownloader::RunPart(Part* part) {
  PartVerdict verdict = download_plan::PART_FAILED;
  for (int attempt = 1;; ++attempt) {
    ClientOwner client = MakePartClient();
    if (!client) {
      QLOG_ERR(L"download part has no http client, thread index:{0}") << part->index;
      break;
    }
    bool passing = false;
    DWORD retry_after_ms = 0;
    verdict = FetchPartOnce(part, client.get(), &passing, &retry_after_ms);
    if (verdict != download_plan::PART_FAILED || !passing || attempt == kPartTries || ShouldStop()) break;
    // 1 s, 2 s, 4 s, each up to a quarter longer so that the parts of many
    // installers do not come back at once; a server's Retry-After, up to a
    // bound, where it asks for more.
    DWORD pause = g_retry_pause_ms.load() << (attempt - 1);
    pause += static_cast<DWORD>(::GetTickCount() * 2654435761u % (pause / 4 + 1));
    pause = std::max(pause, std::min(retry_after_ms, kMaxRetryAfterMs));
    QLOG_WAR(L"download part retry {0} of {1} in {2} ms, from byte {3}, thread index:{4}")
        << attempt << kPartTries - 1 << pause << part->range.first + part->have.load() << part->index;
    if (!PauseBeforeRetry(pause)) break;
  }
  // Stop the other parts at once: the whole file comes in one piece next.
  if (verdict == download_plan::PART_NO_RANGES) run_spoiled_.store(true);
  part->verdict = verdict;
  part->state.store(verdict == download_plan::PART_COMPLETE ? XFER_DONE : XFER_FAILED);
}

bool CHttpDownloader::PauseBeforeRetry(DWORD ms) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (ShouldStop()) return false;
    const DWORD waited = ::GetTickCount() - start;
    if (waited >= ms) return true;
    if (quit_.TimedWait(base::Duration::FromMilliseconds(std::min<DWORD>(ms - waited, 50)))) return false;
  }
}

PartVerdict CHttpDownloader::FetchPartOnce(Part* part, IHttpBase* client, bool* passing, DWORD* retry_after_ms) {
  const int64_t have = part->have.load();
  // A retry fetches the rest into a file of its own and appends what came
  // right, so bytes kept from earlier tries are never fetched again.
  const std::wstring path = have > 0 ? part->path + L".more" : part->path;
  client->SetProgressSink(this, part);
  if (part->ranged) {
    const std::string range =
        "bytes=" + std::to_string(part->range.first + have) + "-" + std::to_string(part->range.last);
    client->AddHeader("Range", range.c_str());
    // A file republished during the download then comes whole (200) rather
    // than as a range of the new build to join with ranges of the old one;
    // the attempt falls back to one piece of a single version.
    if (!part->validator.empty()) client->AddHeader("If-Range", part->validator.c_str());
  }
  part->client = client;
  const bool ok = client->FetchToFile(part->url.c_str(), path.c_str());
  const DWORD last_error = ::GetLastError();
  part->client = nullptr;
  download_plan::PartReply reply;
  reply.fetched = ok;
  reply.status = client->LastStatusCode();
  reply.ranged = part->ranged;
  reply.whole_file = part->whole_file && have == 0;
  reply.expected = part->length - have;
  reply.file_length = FileLength(path);
  reply.first = part->range.first + have;
  reply.last = part->range.last;
  reply.total = part->file_size;
  auto* wininet = dynamic_cast<IWininetHttp*>(client);
  if (wininet) reply.content_range = wininet->ResponseHeader("Content-Range");
  PartVerdict verdict = download_plan::JudgePartReply(reply);

  // The bytes of a reply cut short are kept when the reply was the right
  // one: a 206 naming exactly this range (or, unranged, a 200).
  download_plan::PartReply whole_reply = reply;
  whole_reply.fetched = true;
  whole_reply.file_length = reply.expected;
  const bool right_reply = !part->wrong_reply.load() && download_plan::JudgePartReply(whole_reply) ==
                                                            download_plan::PART_COMPLETE;
  // A retry's bytes go onto the part file; a wrong reply (an error page,
  // other bytes) leaves nothing, and an earlier try's bytes stay as they are.
  const int64_t arrived = std::max<int64_t>(reply.file_length, 0);
  if (have > 0) {
    if (right_reply && arrived > 0 && !AppendFile(part->path, path)) {
      QLOG_ERR(L"download part cannot keep its bytes, thread index:{0}") << part->index;
      verdict = download_plan::PART_FAILED;
    }
    DeleteIfPresent(path);
  } else if (!right_reply) {
    DeleteIfPresent(part->path);
  }
  const int64_t length = FileLength(part->path);
  if (verdict == download_plan::PART_COMPLETE && have > 0) {
    verdict = length == part->length ? download_plan::PART_COMPLETE : download_plan::PART_FAILED;
  } else if (verdict != download_plan::PART_COMPLETE && right_reply && length > have && length < part->length) {
    part->have.store(length);
  }

  if (ok) {
    QLOG_APP(L"download fnished thread index:{0}") << part->index;
    if (verdict != download_plan::PART_COMPLETE) {
      QLOG_ERR(L"download part rejected, http status:{0}, bytes:{1} of {2}, range:{3}, thread index:{4}")
          << reply.status << reply.file_length << reply.expected << base::Utf8ToWide(reply.content_range)
          << part->index;
    }
  } else {
    QLOG_ERR(L"download failed error. last error:{0},thread index:{1}") << last_error << part->index;
    QLOG_ERR(L"download failed error:{0},thread index:{1}") << client->LastErrorCode() << part->index;
  }

  // Worth another try: the connection or the server's moment, never a reply
  // that was plainly wrong (another range, another size, 4xx).
  const int status = reply.status;
  const int error = client->LastErrorCode();
  const bool transient_status = status >= 500 || status == 408 || status == 429;
  const bool transient_error = !ok && (status == 206 || status == 200 || status == 0) && right_reply &&
                               error != HIE_STOPPED && error != HIE_FILE_OPEN_FAILED &&
                               error != HIE_FILE_WRITE_FAILED;
  *passing = verdict == download_plan::PART_FAILED && !part->wrong_reply.load() &&
             (transient_status || transient_error || (!ok && status == 0 && error != HIE_STOPPED));
  *retry_after_ms = 0;
  if (transient_status && wininet) {
    int64_t seconds = 0;
    if (ParseContentLength(wininet->ResponseHeader("Retry-After"), &seconds))
      *retry_after_ms = static_cast<DWORD>(std::min<int64_t>(seconds, kMaxRetryAfterMs / 1000) * 1000);
  }
  return verdict;
}

void CHttpDownloader::PollProgress() {
  while (!quit_.TimedWait(base::Duration::FromMilliseconds(500))) ReportProgress();
}

void CHttpDownloader::ReportProgress() {
  base::ScopedLock report(report_lock_);
  if (stopping_.load()) return;
  int64_t downloaded = 0;
  int64_t total = 0;
  {
    base::ScopedLock lock(parts_lock_);
    if (m_parts.empty()) return;
    for (const auto& part : m_parts) {
      // A reply longer than its part must not push the sum past 100 %.
      if (!part->wrong_reply.load()) downloaded += std::min(part->downloaded.load(), part->length);
      total += part->length;
    }
  }
  if (!m_notifyWindow || total <= 0) return;
  const int percent = static_cast<int>(static_cast<double>(downloaded) / static_cast<double>(total) * 100.0);
  if (percent <= last_percent_.load()) return;
  last_percent_.store(percent);
  DownloadProgress progress{this, percent, static_cast<double>(downloaded), static_cast<double>(total)};
  ::SendMessageW(m_notifyWindow, WM_DOWNLOAD_PROGRESS, 0, reinterpret_cast<LPARAM>(&progress));
  QLOG_APP(L"download progress:{0}") << percent;
}

void CHttpDownloader::ClearParts() {
  base::ScopedLock lock(parts_lock_);
  m_parts.clear();
}

void CHttpDownloader::Post(bool success) {
  QLOG_APP(L"download finished, result:{0}") << (success ? 1 : 0);
  if (m_notifyWindow) ::PostMessageW(m_notifyWindow, WM_DOWNLOAD_FINISHED, 0, success ? 1 : 0);
}

bool CHttpDownloader::JoinPartFiles(const std::wstring& target, const std::vector<std::wstring>& parts) {
  size_t next = 0;  // the first part file not used yet
  auto fail = [&](const wchar_t* what, const std::wstring& path) {
    const DWORD error = ::GetLastError();
    QLOG_ERR(L"download join failed: {0} {1}, error:{2}") << what << path << error;
    DeleteIfPresent(target);
    for (size_t i = next; i < parts.size(); ++i) DeleteIfPresent(parts[i]);
    return false;
  };
  if (parts.empty()) return fail(L"no part files for", target);
  if (!DeleteIfPresent(target)) return fail(L"cannot delete", target);
  // The first part becomes the target; the parts sit beside it, so this is
  // a rename and saves copying an eighth of the file.
  if (!::MoveFileExW(parts[0].c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
    return fail(L"cannot rename", parts[0]);
  next = 1;
  if (parts.size() == 1) return true;

  base::win32::ScopedHandle out(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!out) return fail(L"cannot open", target);
  LARGE_INTEGER zero = {};
  if (!::SetFilePointerEx(out.Get(), zero, nullptr, FILE_END)) {
    out.Reset();
    return fail(L"cannot seek", target);
  }
  std::vector<char> block(kJoinBlock);
  for (; next < parts.size(); ++next) {
    const std::wstring& path = parts[next];
    base::win32::ScopedHandle in(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) {
      out.Reset();
      return fail(L"cannot open", path);
    }
    for (;;) {
      DWORD read = 0;
      if (!::ReadFile(in.Get(), block.data(), kJoinBlock, &read, nullptr)) {
        in.Reset();
        out.Reset();
        return fail(L"cannot read", path);
      }
      if (read == 0) break;
      DWORD written = 0;
      if (!::WriteFile(out.Get(), block.data(), read, &written, nullptr) || written != read) {
        in.Reset();
        out.Reset();
        return fail(L"cannot write", target);
      }
    }
    in.Reset();
    DeleteAppendedPart(path);
  }
  if (!::CloseHandle(out.Release())) {
    return fail(L"cannot close", target);
  }
  return true;
}

void CHttpDownloader::SetExpectedSha256(const std::string& hex) {
  const std::string normal = NormalizeSha256(hex);
  if (!hex.empty() && normal.empty()) QLOG_ERR(L"download sha256 is not 64 hex digits, not checked");
  std::lock_guard<std::mutex> hold(sha256_lock_);
  expected_sha256_ = normal;
}

void CHttpDownloader::SetExpectedSigner(const std::wstring& signer) {
  std::lock_guard<std::mutex> hold(sha256_lock_);
  expected_signer_ = signer;
}

bool CHttpDownloader::VerifyPayload(const std::wstring& target) {
  std::string expected;
  std::wstring signer;
  {
    std::lock_guard<std::mutex> hold(sha256_lock_);
    expected = expected_sha256_;
    signer = expected_signer_;
  }
  if (!expected.empty()) {
    const std::string actual = Sha256OfFile(target);
    if (actual != expected) {
      QLOG_ERR(L"download sha256 mismatch, expected:{0} got:{1}") << base::Utf8ToWide(expected)
                                                                   << base::Utf8ToWide(actual);
      DeleteIfPresent(target);
      return false;
    }
    QLOG_APP(L"download sha256 verified");
  }
  if (!signer.empty()) {
    SignatureCheck check;
    if (!VerifySignature(target, signer, &check)) {
      QLOG_ERR(L"download signature refused, status:{0} signer:{1} expected:{2}")
          << static_cast<int64_t>(static_cast<unsigned long>(check.status)) << check.signer << signer;
      DeleteIfPresent(target);
      return false;
    }
    QLOG_APP(L"download signature verified, signer:{0}") << check.signer;
  }
  return true;
}

void CHttpDownloader::SetClientFactoryForTesting(ClientFactory factory) { g_client_factory.store(factory); }

void CHttpDownloader::SetRetryPauseForTesting(DWORD first_pause_ms) { g_retry_pause_ms.store(first_pause_ms); }

void CHttpDownloader::SetTimeoutsForTesting(DWORD connect_ms, DWORD receive_ms) {
  g_connect_timeout_ms.store(connect_ms);
  g_receive_timeout_ms.store(receive_ms);
}

int CHttpDownloader::SizeQueriesRunningForTesting() { return g_size_queries_running.load(); }

bool CHttpDownloader::WaitForSizeQueryForTesting(DWORD timeout_ms) {
  return size_answered_.TimedWait(base::Duration::FromMilliseconds(timeout_ms));
}
