// CWininetHttp: the HTTP client over the system's WinINet library, and the
// only kind the running installer creates (MakeHttpClient type 1): the
// downloader's size query and range downloads, and the telemetry POSTs.
// Owned by its caller until Destroy(); one operation at a time on one thread.
#ifndef INSTALLER_HTTPCLIENT_WININETHTTP_H_
#define INSTALLER_HTTPCLIENT_WININETHTTP_H_

#include <windows.h>
#include <wininet.h>

#include <string>

#include "base/win32/scoped_handle.h"
#include "installer/HttpClient/HttpHeader.h"
#include "installer/HttpClient/HttpInterface.h"
#include "installer/HttpClient/HttpUrl.h"

class IWininetHttp : public IHttpBase {
 public:
  // Sends |post_data| as the body (GET for type 0, else POST) and returns
  // the response body; what was read so far (empty) on failure.
  virtual std::string Request(const wchar_t* url, int type, const char* post_data, const wchar_t* headers) = 0;
  virtual std::string Request(const char* url, int type, const char* post_data, const char* headers) = 0;
  // Bounds connecting and each wait for data (0: WinINet's defaults, which
  // under Wine never give up on a server that stops sending).
  virtual void SetTimeouts(DWORD connect_ms, DWORD receive_ms) = 0;
  virtual ~IWininetHttp() = default;
  // The value of the last response's header |name|; empty when it has none
  // (or after a failure before any response).
  virtual std::string ResponseHeader(const char* name) = 0;
};

class CWininetHttp : public IWininetHttp {
 public:
  CWininetHttp() = default;
  ~CWininetHttp() override;
  CWininetHttp(const CWininetHttp&) = delete;
  CWininetHttp& operator=(const CWininetHttp&) = delete;

  void SetProgressSink(IHttpCallback* callback, void* param) override;
  double QueryRemoteSize(const wchar_t* url) override;
  // A failed download leaves what was written in the file.
  bool FetchToFile(const wchar_t* url, const wchar_t* file_path) override;
  bool FetchToMemory(const wchar_t* url, char** data, int* length) override;
  void Destroy() override;
  int LastErrorCode() override;
  void AddHeader(const char* name, const char* value) override;
  int LastStatusCode() override;
  std::string Request(const wchar_t* url, int type, const char* post_data, const wchar_t* headers) override;
  std::string Request(const char* url, int type, const char* post_data, const char* headers) override;
  void SetTimeouts(DWORD connect_ms, DWORD receive_ms) override;
  std::string ResponseHeader(const char* name) override;

 private:
  struct InternetHandleTraits {
    static HINTERNET InvalidValue() { return nullptr; }
    static void Free(HINTERNET handle) { ::InternetCloseHandle(handle); }
  };
  using ScopedInternet = base::win32::ScopedGeneric<HINTERNET, InternetHandleTraits>;

  // Opens session, connection and request for |target|, adds the header
  // block, sends and reads the status, following redirects itself (up to
  // kHttpMaxRedirects; WinINet's own following has no bound under Wine).
  // Raises on failure.
  void OpenRequest(HttpUrlParts target, bool post, const std::wstring* extra_headers, const char* post_data);
  // One hop: connection and request for |target|, sent, status stored.
  void SendOnce(const HttpUrlParts& target, bool post, const std::wstring* extra_headers, const char* post_data);
  std::wstring QueryLocation();
  void OpenGet(const wchar_t* url);
  // Reads a response header as text; false if the query fails.
  bool QueryHeaderText(DWORD query, size_t buffer_bytes, std::string* value);
  std::string ReadWholeBody();
  std::string RequestParts(const HttpUrlParts& target, int type, const char* post_data,
                           const std::wstring* headers);
  void CloseHandles();
  void Notify(int state, double total, double received);
  void ApplyTimeouts(HINTERNET handle);

  int http_code_ = 0;
  std::string response_head_;  // of the last reply, kept past its request
  ScopedInternet session_;
  ScopedInternet connection_;
  ScopedInternet request_;
  CHttpHeader header_;
  void* callback_param_ = nullptr;
  IHttpCallback* callback_ = nullptr;
  int error_code_ = HIE_NONE;
  DWORD connect_timeout_ms_ = 0;
  DWORD receive_timeout_ms_ = 0;
};

#endif  // INSTALLER_HTTPCLIENT_WININETHTTP_H_
