// CWinHttp: the HTTP client over the system's WinHTTP library, a complete
// alternative to the WinINet client behind MakeHttpClient type 2. Server
// certificates are not checked. Owned by its caller until Destroy(); one
// operation at a time on one thread.
#ifndef INSTALLER_HTTPCLIENT_WINHTTP_H_
#define INSTALLER_HTTPCLIENT_WINHTTP_H_

#include <windows.h>
#include <winhttp.h>

#include <string>

#include "base/win32/scoped_handle.h"
#include "installer/HttpClient/HttpHeader.h"
#include "installer/HttpClient/HttpInterface.h"

class IWinHttp : public IHttpBase {
 public:
  virtual std::string Request(const wchar_t* url, int type, const char* post_data, const wchar_t* headers) = 0;
  virtual std::string Request(const char* url, int type, const char* post_data, const char* headers) = 0;
  // Milliseconds; they apply from the next operation's session on.
  virtual void SetTimeouts(int connect_ms, int send_ms, int receive_ms) = 0;
  virtual ~IWinHttp() = default;
};

class CWinHttp : public IWinHttp {
 public:
  static constexpr int kDefaultTimeoutMs = 5000;

  CWinHttp();
  ~CWinHttp() override;
  CWinHttp(const CWinHttp&) = delete;
  CWinHttp& operator=(const CWinHttp&) = delete;

  void SetProgressSink(IHttpCallback* callback, void* param) override;
  double QueryRemoteSize(const wchar_t* url) override;
  // A failed download deletes its file.
  bool FetchToFile(const wchar_t* url, const wchar_t* file_path) override;
  bool FetchToMemory(const wchar_t* url, char** data, int* length) override;
  void Destroy() override;
  int LastErrorCode() override;
  void AddHeader(const char* name, const char* value) override;
  int LastStatusCode() override;
  std::string Request(const wchar_t* url, int type, const char* post_data, const wchar_t* headers) override;
  std::string Request(const char* url, int type, const char* post_data, const char* headers) override;
  void SetTimeouts(int connect_ms, int send_ms, int receive_ms) override;

 private:
  struct WinHttpHandleTraits {
    static HINTERNET InvalidValue() { return nullptr; }
    static void Free(HINTERNET handle) { ::WinHttpCloseHandle(handle); }
  };
  using ScopedWinHttp = base::win32::ScopedGeneric<HINTERNET, WinHttpHandleTraits>;

  // Closes the three handles and opens a new session; false (code 1) if
  // the session cannot be opened.
  bool OpenSession();
  void CloseHandles();
  // Connects, opens, sends and receives the response head; on failure
  // stores the code and answers false.
  bool SendRequest(const std::wstring& host, const std::wstring& path, unsigned short port, bool secure,
                   int type, const char* post_data, const std::wstring* extra_headers);
  bool SendGet(const wchar_t* url);
  // A response header as a number read from its decimal text (48 bytes).
  bool QueryNumber(DWORD query, int64_t* value);
  void ReadStatus();
  std::string RequestParts(const std::wstring& host, const std::wstring& path, unsigned short port, bool secure,
                           int type, const char* post_data, const std::wstring* headers);
  void Notify(int state, double total, double received);

  int http_code_ = 0;
  ScopedWinHttp session_;
  ScopedWinHttp connection_;
  ScopedWinHttp request_;
  int connect_timeout_ = kDefaultTimeoutMs;
  int send_timeout_ = kDefaultTimeoutMs;
  int receive_timeout_ = kDefaultTimeoutMs;
  CHttpHeader header_;
  void* callback_param_ = nullptr;
  IHttpCallback* callback_ = nullptr;
  int error_code_ = HIE_NONE;
};

#endif  // INSTALLER_HTTPCLIENT_WINHTTP_H_
