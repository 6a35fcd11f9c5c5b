#include "installer/HttpClient/WinHttp.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "installer/HttpClient/HttpClientUtil.h"
#include "installer/HttpClient/HttpUrl.h"

using http_internal::AnsiToWide;
using http_internal::MallocBuffer;
using http_internal::WideOrEmpty;

namespace {

constexpr DWORD kAddAndReplace = WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE;  // 0xA0000000
constexpr DWORD kReadBlock = 4096;
// A larger buffer is taken when more is available at once, up to this.
constexpr DWORD kMaxReadBlock = 1 << 20;

}  // namespace

CWinHttp::CWinHttp() { OpenSession(); }

CWinHttp::~CWinHttp() { CloseHandles(); }

void CWinHttp::SetProgressSink(IHttpCallback* callback, void* param) {
  callback_ = callback;
  callback_param_ = param;
}

void CWinHttp::Destroy() { delete this; }

int CWinHttp::LastErrorCode() { return error_code_; }

int CWinHttp::LastStatusCode() { return http_code_; }

void CWinHttp::AddHeader(const char* name, const char* value) {
  if (!name || !value || !*name || !*value) return;
  header_.AddHeader(name, value);
}

void CWinHttp::SetTimeouts(int connect_ms, int send_ms, int receive_ms) {
  connect_timeout_ = connect_ms;
  send_timeout_ = send_ms;
  receive_timeout_ = receive_ms;
}

void CWinHttp::Notify(int state, double total, double received) {
  if (callback_) callback_->OnTransferProgress(callback_param_, state, total, received);
}

void CWinHttp::CloseHandles() {
  request_.Reset();
  connection_.Reset();
  session_.Reset();
}

bool CWinHttp::OpenSession() {
  CloseHandles();
  session_.Reset(::WinHttpOpen(L"Microsoft Internet Explorer", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session_) {
    error_code_ = HIE_OPEN_FAILED;
    return false;
  }
  ::WinHttpSetTimeouts(session_.Get(), 0, connect_timeout_, send_timeout_, receive_timeout_);
  return true;
}

bool CWinHttp::SendRequest(const std::wstring& host, const std::wstring& path, unsigned short port,
                           bool secure, int type,
                           const char* post_data, const std::wstring* extra_headers) {
  connection_.Reset(::WinHttpConnect(session_.Get(), host.c_str(), port, 0));
  if (!connection_) {
    error_code_ = HIE_CONNECT_FAILED;
    return false;
  }
  request_.Reset(::WinHttpOpenRequest(connection_.Get(), type != 0 ? L"POST" : L"GET", path.c_str(), nullptr,
                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                      secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request_) {
    error_code_ = HIE_OPEN_FAILED;
    return false;
  }
  std::wstring block = AnsiToWide(header_.HeaderBlock());
  ::WinHttpAddRequestHeaders(request_.Get(), block.c_str(), static_cast<DWORD>(-1L), kAddAndReplace);

  DWORD data_length = post_data ? static_cast<DWORD>(strlen(post_data)) : 0;
  if (!::WinHttpSendRequest(request_.Get(), extra_headers ? extra_headers->c_str() : WINHTTP_NO_ADDITIONAL_HEADERS,
                            extra_headers ? static_cast<DWORD>(-1L) : 0,
                            post_data ? const_cast<char*>(post_data) : WINHTTP_NO_REQUEST_DATA, data_length,
                            data_length, 0)) {
    error_code_ = HIE_SEND_FAILED;
    return false;
  }
  if (!::WinHttpReceiveResponse(request_.Get(), nullptr)) {
    error_code_ = HIE_OPEN_FAILED;
    return false;
  }
  return true;
}

bool CWinHttp::SendGet(const wchar_t* url) {
  HttpUrlParts parts = SplitHttpUrl(WideOrEmpty(url));
  return SendRequest(parts.host, parts.path, parts.port, parts.secure, 0, nullptr, nullptr);
}

bool CWinHttp::QueryNumber(DWORD query, int64_t* value) {
  wchar_t text[24] = {};  // 48 bytes
  DWORD bytes = sizeof(text) - sizeof(wchar_t);
  if (!::WinHttpQueryHeaders(request_.Get(), query, WINHTTP_HEADER_NAME_BY_INDEX, text, &bytes,
                             WINHTTP_NO_HEADER_INDEX))
    return false;
  return ParseContentLength(http_internal::WideToAnsi(text), value);
}

void CWinHttp::ReadStatus() {
  int64_t status = 0;
  http_code_ = QueryNumber(WINHTTP_QUERY_STATUS_CODE, &status) ? static_cast<int>(status) : 0;
}

double CWinHttp::QueryRemoteSize(const wchar_t* url) {
  if (!OpenSession() || !SendGet(url)) return 0;
  ReadStatus();
  int64_t length = 0;
  if (!QueryNumber(WINHTTP_QUERY_CONTENT_LENGTH, &length)) {
    error_code_ = HIE_QUERY_FAILED;
    return 0;
  }
  // The length of an error page is not the size of the file asked for.
  if (http_code_ == 404) {
    error_code_ = HIE_HTTP_ERROR;
    return 0;
  }
  return static_cast<double>(length);
}

bool CWinHttp::FetchToFile(const wchar_t* url, const wchar_t* file_path) {
  if (!OpenSession() || !SendGet(url)) {
    Notify(XFER_FAILED, 0, 0);
    return false;
  }
  const std::wstring path = WideOrEmpty(file_path);
  base::win32::ScopedHandle file;
  bool ok = false;
  int64_t final_total = 0;
  try {
    ReadStatus();
    int64_t total = 0;
    if (!QueryNumber(WINHTTP_QUERY_CONTENT_LENGTH, &total)) throw HIE_QUERY_FAILED;
    if (http_code_ == 404) throw HIE_HTTP_ERROR;
    file.Reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) throw HIE_FILE_OPEN_FAILED;
    LARGE_INTEGER size;
    size.QuadPart = total;
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get()) ||
        !::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN))
      throw HIE_FILE_WRITE_FAILED;

    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request_.Get(), &available)) throw HIE_QUERY_FAILED;
    std::vector<char> buffer(kReadBlock);
    int64_t received = 0;
    while (available > 0) {
      if (callback_ && callback_->ShouldStop()) throw HIE_STOPPED;
      if (available > buffer.size()) buffer.resize(std::min(available, kMaxReadBlock));
      DWORD read = 0;
      DWORD want = std::min<DWORD>(available, static_cast<DWORD>(buffer.size()));
      if (!::WinHttpReadData(request_.Get(), buffer.data(), want, &read)) throw HIE_READ_FAILED;
      if (read == 0) break;
      DWORD written = 0;
      if (!::WriteFile(file.Get(), buffer.data(), read, &written, nullptr) || written != read)
        throw HIE_FILE_WRITE_FAILED;
      received += read;
      Notify(XFER_RUNNING, static_cast<double>(total), static_cast<double>(received));
      if (!::WinHttpQueryDataAvailable(request_.Get(), &available)) throw HIE_READ_FAILED;
    }
    // The file was sized in advance: a stream that ended early would leave
    // zeros where the missing bytes belong.
    if (received != total) throw HIE_READ_FAILED;
    final_total = total;
    ok = true;
  } catch (HttpInterfaceError error) {
    error_code_ = error;
  }
  bool created = file.Valid();
  file.Reset();
  if (!ok && created) ::DeleteFileW(path.c_str());
  // As every client's callers expect: one final report either way.
  if (ok) {
    Notify(XFER_DONE, static_cast<double>(final_total), static_cast<double>(final_total));
  } else {
    Notify(XFER_FAILED, 0, 0);
  }
  return ok;
}

bool CWinHttp::FetchToMemory(const wchar_t* url, char** data, int* length) {
  if (!data || !length) return false;
  *data = nullptr;
  *length = 0;
  if (!OpenSession()) return false;
  try {
    if (!SendGet(url)) throw HIE_OPEN_FAILED;
    ReadStatus();
    int64_t size = 0;
    if (!QueryNumber(WINHTTP_QUERY_CONTENT_LENGTH, &size)) throw HIE_QUERY_FAILED;
    if (http_code_ == 404) throw HIE_HTTP_ERROR;
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request_.Get(), &available)) throw HIE_QUERY_FAILED;
    if (size > kHttpMaxMemoryBody) throw HIE_TOO_LARGE;

    MallocBuffer buffer(static_cast<char*>(malloc(static_cast<size_t>(std::max<int64_t>(size, 1)))));
    if (!buffer) throw HIE_TOO_LARGE;
    int64_t filled = 0;
    while (filled < size && available > 0) {
      DWORD want = static_cast<DWORD>(std::min<int64_t>(available, size - filled));
      DWORD read = 0;
      if (!::WinHttpReadData(request_.Get(), buffer.get() + filled, want, &read)) throw HIE_READ_FAILED;
      if (read == 0) break;
      filled += read;
      if (filled < size && !::WinHttpQueryDataAvailable(request_.Get(), &available)) throw HIE_READ_FAILED;
    }
    if (filled != size) throw HIE_READ_FAILED;  // fewer bytes than announced
    *length = static_cast<int>(filled);
    *data = buffer.release();
    return true;
  } catch (HttpInterfaceError error) {
    error_code_ = error;
    return false;
  }
}

std::string CWinHttp::RequestParts(const std::wstring& host, const std::wstring& path, unsigned short port,
                                   bool secure, int type, const char* post_data, const std::wstring* headers) {
  if (!OpenSession() || !SendRequest(host, path, port, secure, type, post_data, headers)) return std::string();
  ReadStatus();
  if (http_code_ == 404) {
    error_code_ = HIE_HTTP_ERROR;
    return std::string();
  }
  std::string body;
  std::vector<char> buffer(kReadBlock);
  for (;;) {
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request_.Get(), &available)) {
      error_code_ = HIE_READ_FAILED;
      return std::string();
    }
    if (available == 0) return body;
    if (available > buffer.size()) buffer.resize(std::min(available, kMaxReadBlock));
    DWORD read = 0;
    DWORD want = std::min<DWORD>(available, static_cast<DWORD>(buffer.size()));
    if (!::WinHttpReadData(request_.Get(), buffer.data(), want, &read)) {
      error_code_ = HIE_READ_FAILED;
      return std::string();
    }
    if (read == 0) return body;
    body.append(buffer.data(), read);
  }
}

std::string CWinHttp::Request(const wchar_t* url, int type, const char* post_data, const wchar_t* headers) {
  HttpUrlParts parts = SplitHttpUrl(WideOrEmpty(url));
  std::wstring extra = WideOrEmpty(headers);
  return RequestParts(parts.host, parts.path, parts.port, parts.secure, type, post_data,
                      headers ? &extra : nullptr);
}

std::string CWinHttp::Request(const char* url, int type, const char* post_data, const char* headers) {
  HttpUrlPartsA parts = SplitHttpUrl(http_internal::NarrowOrEmpty(url));
  std::wstring extra = headers ? AnsiToWide(headers) : std::wstring();
  return RequestParts(AnsiToWide(parts.host), AnsiToWide(parts.path), parts.port, parts.secure, type,
                      post_data,
                      headers ? &extra : nullptr);
}
