// CHttpDownloader fetches the product installer: one URL into one file of a
// download folder, as up to eight byte ranges fetched in parallel into part
// files that are then joined. It reports progress (sent) and the end of each
// attempt (posted) to a window. The wizard creates it, calls it from the UI
// thread and keeps it for the life of the process. Its progress poll,
// download and part threads end before the destructor returns; a size query
// the server never answers is left to end on its own, touching nothing of
// the downloader.
#ifndef INSTALLER_HTTPCLIENT_HTTPDOWNLOADER_H_
#define INSTALLER_HTTPCLIENT_HTTPDOWNLOADER_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/synchronization/lock.h"
#include "base/synchronization/waitable_event.h"
#include "base/win32/scoped_handle.h"
#include "installer/HttpClient/HttpInterface.h"

// Sent (SendMessageW) from the progress poll; lParam points to a
// DownloadProgress valid only during the call.
constexpr UINT WM_DOWNLOAD_PROGRESS = WM_USER + 101;  // 0x465
// Posted when an attempt ends; lParam is 1 for a complete, joined file.
constexpr UINT WM_DOWNLOAD_FINISHED = WM_USER + 102;  // 0x466

class CHttpDownloader;

struct DownloadProgress {
  CHttpDownloader* downloader;
  int percent;
  double downloaded;  // bytes over all parts
  double total;       // bytes over all parts
};

namespace download_plan {

// The parallel requests of one download.
constexpr int kMaxParts = 8;

// One part's bytes, both ends inclusive.
struct ByteRange {
  int64_t first;
  int64_t last;
  int64_t length() const { return last - first + 1; }
};

// Splits |size| bytes into |parts| contiguous ranges: each gets size / parts
// bytes and the last one the remainder too. A file smaller than |parts|
// bytes gets one range per byte; size 0 (or less) gets none.
std::vector<ByteRange> SplitRanges(int64_t size, int parts = kMaxParts);

// |target| followed by ".<first>-<last>".
std::wstring PartFilePath(const std::wstring& target, const ByteRange& range);

// The characters after the URL's last '/' up to the first '?', '&' or the
// end; empty when the URL ends in '/' or has no '/'.
std::wstring FileNameFromUrl(const std::wstring& url);

// What a part's reply amounts to.
enum PartVerdict {
  PART_COMPLETE,    // exactly its bytes arrived
  PART_FAILED,      // the request or its reply went wrong
  PART_NO_RANGES,   // the server answered a range request with the whole file
};

struct PartReply {
  bool fetched;          // the client reported success
  int status;            // HTTP status of the reply (0 when none was read)
  bool ranged;           // the request carried a Range header
  bool whole_file;       // the part covers the whole file
  int64_t expected;      // the part's length
  int64_t file_length;   // bytes in the part file (-1 when it is missing)
  // For a ranged request: the range asked for, the file's size, and the
  // reply's "Content-Range" (empty when it had none).
  int64_t first = 0;
  int64_t last = -1;
  int64_t total = 0;
  std::string content_range;
};

// Clients report a stored 404/500 body or a whole file sent for a range as
// a completed request, so only the status and the file's length tell; a 206
// counts only when its "Content-Range" names exactly the range asked for
// and the file's size, since the right length of other bytes would be
// joined into a corrupt file otherwise.
PartVerdict JudgePartReply(const PartReply& reply);

}  // namespace download_plan

class CHttpDownloader : public IHttpCallback {
 public:
  // |download_dir| is used as a plain prefix and so ends with a backslash.
  // Starts the size query and the progress poll at once.
  CHttpDownloader(HWND notify_window, const std::wstring& url, const std::wstring& download_dir);
  // Stops a running attempt (no finished message is posted for it) and
  // waits for every thread, handling messages sent to this thread's windows
  // meanwhile so a progress message in flight cannot dead-lock the wait.
  virtual ~CHttpDownloader();
  CHttpDownloader(const CHttpDownloader&) = delete;
  CHttpDownloader& operator=(const CHttpDownloader&) = delete;

  std::wstring GetDownloadFilePath() const;

  // The SHA-256 the joined file must have (64 hexadecimal digits; empty:
  // none). A file that differs is deleted and the attempt fails, so bytes
  // that are not the vendor's never run elevated. Any thread; applies from
  // the next Start().
  void SetExpectedSha256(const std::string& hex);
  // The display name of the certificate that must have signed the joined
  // file (Authenticode; empty: no check). A file unsigned, signed by anyone
  // else, or changed since signing is deleted and the attempt fails. Any
  // thread; applies from the next Start().
  void SetExpectedSigner(const std::wstring& signer);

  // Runs one attempt on a thread of its own and returns at once. Refused
  // (false) while an attempt runs; any thread may call it.
  bool Start();
  bool IsRunning() const { return running_.load(); }

  // Start of the last attempt to the end of its transfers.
  double GetElapsedSeconds() const;

  // Called by the part clients on their part's thread; |param| is the part.
  void OnTransferProgress(void* param, int state, double total_size, double downloaded_size) override;
  // True while the downloader is being destroyed, or once a part got a reply
  // that spoils its attempt (the other parts then stop early).
  bool ShouldStop() override;

  // Joins |parts| in order into |target| (replaced): the first part file is
  // renamed, the others appended; each part file is deleted once used. On
  // failure neither the target nor any part file is left behind.
  static bool JoinPartFiles(const std::wstring& target, const std::vector<std::wstring>& parts);

  // Replaces the factory the downloader makes its clients with (null
  // restores MakeHttpClient), so a test can make client creation fail.
  using ClientFactory = bool (*)(IHttpBase** client, int type);
  static void SetClientFactoryForTesting(ClientFactory factory);
  // The clients' connect and receive timeouts (30 s each by default).
  static void SetTimeoutsForTesting(DWORD connect_ms, DWORD receive_ms);
  // The first pause before a part's retry (1000 ms by default; the later
  // ones double it).
  static void SetRetryPauseForTesting(DWORD first_pause_ms);

  // A part is fetched this many times at most when its failures look
  // passing (a dropped connection, a timeout, 5xx, 408 or 429).
  static constexpr int kPartTries = 4;

  // Waits up to |timeout_ms| for the size query started at construction
  // to store its answer.
  bool WaitForSizeQueryForTesting(DWORD timeout_ms);
  // Size-query threads of every downloader that have not ended yet, so a
  // test can see one out that its downloader did not wait for.
  static int SizeQueriesRunningForTesting();

  // The remote size found by the size query started at construction:
  // 125829120 (120 MiB) until it answers, 0 after a failed query. Read by
  // the wizard for its free-space check.
  static constexpr double kUnknownFileSize = 125829120.0;
  std::atomic<double> m_fileSize{kUnknownFileSize};

 private:
  struct Part;
  struct SizeQuery;
  using Thread = base::win32::ScopedHandle;

  // The remote length asked on a thread of its own, so that a server that
  // never answers holds up neither the download thread's end nor the
  // destructor: 0 on failure or when the downloader is being destroyed.
  // |validator| receives the file's version for "If-Range" (or nothing).
  int64_t AskLength(std::string* validator);
  void RunDownload();
  // Fetches |ranges| (one unranged request when |ranged| is false, each
  // range with "If-Range: |validator|" when it is not empty) into
  // part files of |target|; true when every part is complete. Sets
  // |*no_ranges| when the server answered a range with the whole file.
  bool RunParts(const std::wstring& target, const std::vector<download_plan::ByteRange>& ranges, bool ranged,
                int64_t size, const std::string& validator, bool* no_ranges);
  void RunPart(Part* part);
  // One request for what |part| still lacks, appended to its file; the
  // verdict, and whether trying again may help.
  download_plan::PartVerdict FetchPartOnce(Part* part, IHttpBase* client, bool* passing, DWORD* retry_after_ms);
  // Waits |ms|, or less when the attempt stops; false when it stopped.
  bool PauseBeforeRetry(DWORD ms);
  // True when |target| has the expected digest and signer (each when one
  // is expected); else deletes it.
  bool VerifyPayload(const std::wstring& target);
  void PollProgress();
  void ReportProgress();
  void ClearParts();
  void Post(bool success);
  static int64_t NowNanoseconds();

  const HWND m_notifyWindow;
  const std::wstring m_url;
  const std::wstring m_downloadDir;
  const std::wstring m_fileName;

  // Guards |m_parts|; the records' counters are atomics of their own.
  base::Lock parts_lock_;
  std::vector<std::unique_ptr<Part>> m_parts;

  std::atomic<int64_t> start_time_{0};
  std::atomic<int64_t> end_time_{0};
  std::atomic<int> last_percent_{0};
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};   // the destructor has begun
  std::atomic<bool> run_spoiled_{false};  // the current attempt cannot succeed as started

  // Serialises the poll's and the download thread's progress reports, so
  // the percentages reach the window in rising order.
  base::Lock report_lock_;
  base::WaitableEvent quit_{true, false};
  base::WaitableEvent size_answered_{true, false};

  // The size query started at construction; its thread outlives the
  // downloader if the server never answers, and then writes nowhere.
  std::shared_ptr<SizeQuery> size_query_;
  Thread progress_thread_;
  Thread download_thread_;  // touched only by Start() and the destructor
  std::mutex sha256_lock_;  // Protects |expected_sha256_| and |expected_signer_|.
  std::string expected_sha256_;
  std::wstring expected_signer_;

  // Serialises Start() with the end of a run (clearing |running_| and
  // posting the result), so a Start() from the finished message's handler
  // is never refused.
  base::Lock start_lock_;
};

#endif  // INSTALLER_HTTPCLIENT_HTTPDOWNLOADER_H_
