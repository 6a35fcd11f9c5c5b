// Winsock for the connect check, before the header brings in windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "installer/HttpClient/WininetHttp.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "installer/HttpClient/HttpClientUtil.h"

using http_internal::AnsiToWide;
using http_internal::MallocBuffer;
using http_internal::ScopedFile;
using http_internal::WideToAnsi;

namespace {

constexpr DWORD kAddAndReplace = HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE;  // 0xA0000000
constexpr size_t kReadBlock = 4096;
// Heads larger than this are not kept for ResponseHeader.
constexpr size_t kMaxResponseHead = 16384;

struct SocketTraits {
  static SOCKET InvalidValue() { return INVALID_SOCKET; }
  static void Free(SOCKET socket) { ::closesocket(socket); }
};
struct AddressTraits {
  static ADDRINFOW* InvalidValue() { return nullptr; }
  static void Free(ADDRINFOW* addresses) { ::FreeAddrInfoW(addresses); }
};

// Whether the session connects to servers itself rather than through a proxy.
bool ConnectsDirectly(HINTERNET session) {
  DWORD size = 0;
  ::InternetQueryOptionW(session, INTERNET_OPTION_PROXY, nullptr, &size);
  if (size < sizeof(INTERNET_PROXY_INFO)) return false;
  std::vector<BYTE> buffer(size);
  if (!::InternetQueryOptionW(session, INTERNET_OPTION_PROXY, buffer.data(), &size)) return false;
  return reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer.data())->dwAccessType == INTERNET_OPEN_TYPE_DIRECT;
}

// True only when a connection to |host|:|port| is still being made after
// |timeout_ms|. Anything else (connected, refused, no address) is left for
// WinINet to find out and report as it does.
bool ConnectTimesOut(const std::wstring& host, uint16_t port, DWORD timeout_ms) {
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  bool timed_out = false;
  {
    ADDRINFOW hints = {};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    const int resolved = ::GetAddrInfoW(host.c_str(), std::to_wstring(port).c_str(), &hints, &found);
    base::win32::ScopedGeneric<ADDRINFOW*, AddressTraits> addresses(resolved == 0 ? found : nullptr);
    base::win32::ScopedGeneric<SOCKET, SocketTraits> probe;
    if (addresses) probe.Reset(::socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP));
    u_long non_blocking = 1;
    if (probe && ::ioctlsocket(probe.Get(), FIONBIO, &non_blocking) == 0 &&
        ::connect(probe.Get(), found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0 &&
        ::WSAGetLastError() == WSAEWOULDBLOCK) {
      fd_set connected, failed;
      FD_ZERO(&connected);
      FD_ZERO(&failed);
      FD_SET(probe.Get(), &connected);
      FD_SET(probe.Get(), &failed);
      timeval wait = {static_cast<long>(timeout_ms / 1000), static_cast<long>(timeout_ms % 1000) * 1000};
      timed_out = ::select(0, nullptr, &connected, &failed, &wait) == 0;
    }
  }
  ::WSACleanup();
  return timed_out;
}

}  // namespace

CWininetHttp::~CWininetHttp() { CloseHandles(); }

void CWininetHttp::SetProgressSink(IHttpCallback* callback, void* param) {
  callback_ = callback;
  callback_param_ = param;
}

void CWininetHttp::Destroy() { delete this; }

int CWininetHttp::LastErrorCode() { return error_code_; }

int CWininetHttp::LastStatusCode() { return http_code_; }

void CWininetHttp::AddHeader(const char* name, const char* value) {
  if (!name || !value || !*name || !*value) return;
  header_.AddHeader(name, value);
}

void CWininetHttp::Notify(int state, double total, double received) {
  if (callback_) callback_->OnTransferProgress(callback_param_, state, total, received);
}

void CWininetHttp::CloseHandles() {
  request_.Reset();
  connection_.Reset();
  session_.Reset();
}

void CWininetHttp::SendOnce(const HttpUrlParts& target, bool post, const std::wstring* extra_headers,
                            const char* post_data) {
  request_.Reset();
  connection_.Reset();
  response_head_.clear();
  connection_.Reset(::InternetConnectW(session_.Get(), target.host.c_str(), target.port, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection_) throw HIE_CONNECT_FAILED;
  // Nothing fetched here is wanted twice; without NO_CACHE_WRITE every range
  // of the installer would also land in the user's internet cache.
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
  // TLS by scheme, per hop; the certificate is checked in full (an expired
  // one included), since what arrives here may run elevated.
  if (target.secure) flags |= INTERNET_FLAG_SECURE;
  request_.Reset(::HttpOpenRequestW(connection_.Get(), post ? L"POST" : L"GET", target.path.c_str(), L"HTTP/1.1",
                                    nullptr, nullptr, flags, 0));
  if (!request_) throw HIE_OPEN_FAILED;
  ApplyTimeouts(request_.Get());
  std::string block = header_.HeaderBlock();
  ::HttpAddRequestHeadersA(request_.Get(), block.c_str(), static_cast<DWORD>(block.size()), kAddAndReplace);

  // Wine's WinINet leaves its socket blocking and sits out the system's two
  // minutes of connect retries whatever the connect timeout says: a server
  // that takes no connection is found out here, within the bound.
  if (connect_timeout_ms_ && ConnectsDirectly(session_.Get()) &&
      ConnectTimesOut(target.host, target.port, connect_timeout_ms_)) {
    ::SetLastError(ERROR_INTERNET_TIMEOUT);
    throw HIE_SEND_FAILED;
  }

  const wchar_t* extra = extra_headers ? extra_headers->c_str() : nullptr;
  DWORD extra_length = extra_headers ? static_cast<DWORD>(extra_headers->size()) : 0;
  DWORD data_length = post_data ? static_cast<DWORD>(strlen(post_data)) : 0;
  if (!::HttpSendRequestW(request_.Get(), extra, extra_length, const_cast<char*>(post_data), data_length))
    throw HIE_SEND_FAILED;

  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!::HttpQueryInfoW(request_.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
    status = 0;
  http_code_ = static_cast<int>(status);
  response_head_.clear();
  std::string head;
  if (QueryHeaderText(HTTP_QUERY_RAW_HEADERS_CRLF, kMaxResponseHead, &head)) response_head_ = head;
}

std::wstring CWininetHttp::QueryLocation() {
  DWORD bytes = 0;
  ::HttpQueryInfoW(request_.Get(), HTTP_QUERY_LOCATION, nullptr, &bytes, nullptr);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return std::wstring();
  std::wstring location(bytes / sizeof(wchar_t) + 1, L'\0');
  if (!::HttpQueryInfoW(request_.Get(), HTTP_QUERY_LOCATION, &location[0], &bytes, nullptr)) return std::wstring();
  location.resize(bytes / sizeof(wchar_t));
  return location;
}

void CWininetHttp::OpenRequest(HttpUrlParts target, bool post, const std::wstring* extra_headers,
                               const char* post_data) {
  CloseHandles();
  session_.Reset(::InternetOpenW(L"Http-connect", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session_) throw HIE_OPEN_FAILED;
  ApplyTimeouts(session_.Get());
  for (int redirects = 0;; ++redirects) {
    SendOnce(target, post, extra_headers, post_data);
    const int status = http_code_;
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) break;
    std::wstring location = QueryLocation();
    if (location.empty()) break;  // nowhere to go: this is the answer
    if (redirects == kHttpMaxRedirects) throw HIE_HTTP_ERROR;
    // As browsers and WinINet itself do: 303, and 301/302 after a POST,
    // continue as a GET without the body; 307 and 308 repeat the request.
    if (status == 303 || (post && (status == 301 || status == 302))) {
      post = false;
      post_data = nullptr;
    }
    target = SplitHttpUrl(ResolveRedirectUrl(target, location));
  }
  if (http_code_ == 404) throw HIE_HTTP_ERROR;
}

void CWininetHttp::OpenGet(const wchar_t* url) {
  if (!url || !*url) throw HIE_URL_EMPTY;
  OpenRequest(SplitHttpUrl(std::wstring(url)), false, nullptr, nullptr);
}

bool CWininetHttp::QueryHeaderText(DWORD query, size_t buffer_bytes, std::string* value) {
  std::string buffer(buffer_bytes + 1, '\0');
  DWORD length = static_cast<DWORD>(buffer_bytes);
  if (!::HttpQueryInfoA(request_.Get(), query, &buffer[0], &length, nullptr)) return false;
  buffer.resize(std::min<size_t>(length, buffer_bytes));
  *value = buffer;
  return true;
}

double CWininetHttp::QueryRemoteSize(const wchar_t* url) {
  try {
    OpenGet(url);
    std::string text;
    int64_t length = 0;
    if (!QueryHeaderText(HTTP_QUERY_CONTENT_LENGTH, 4096, &text) || !ParseContentLength(text, &length))
      throw HIE_QUERY_FAILED;
    // The body is not wanted: closing the request now ends the connection,
    // or the server would go on sending the whole file beside the ranges.
    // The head stays readable (ResponseHeader).
    CloseHandles();
    return static_cast<double>(length);
  } catch (HttpInterfaceError error) {
    error_code_ = error;
    return 0;
  }
}

bool CWininetHttp::FetchToFile(const wchar_t* url, const wchar_t* file_path) {
  try {
    OpenGet(url);
    std::string text;
    int64_t total = 0;
    if (!QueryHeaderText(HTTP_QUERY_CONTENT_LENGTH, 1024, &text) || !ParseContentLength(text, &total))
      throw HIE_QUERY_FAILED;
    const DWORD block = total < static_cast<int64_t>(kReadBlock) ? static_cast<DWORD>(total) : kReadBlock;
    MallocBuffer buffer(static_cast<char*>(malloc(std::max<DWORD>(block, 1))));
    if (!buffer) throw HIE_READ_FAILED;

    const std::wstring path = http_internal::WideOrEmpty(file_path);
    http_internal::CreateParentFolders(path);
    ScopedFile file(_wfopen(path.c_str(), L"wb+"));
    if (!file) throw HIE_FILE_OPEN_FAILED;

    int64_t received = 0;
    while (block > 0) {
      if (callback_ && callback_->ShouldStop()) throw HIE_STOPPED;
      DWORD read = 0;
      if (!::InternetReadFile(request_.Get(), buffer.get(), block, &read) || read == 0) break;
      if (fwrite(buffer.get(), 1, read, file.get()) != read) throw HIE_FILE_WRITE_FAILED;
      received += read;
      Notify(XFER_RUNNING, static_cast<double>(total), static_cast<double>(received));
    }
    // Closed here exactly once; a failure leaves the bytes written so far.
    if (fclose(file.release()) != 0) throw HIE_FILE_WRITE_FAILED;
    if (received != total) throw HIE_READ_FAILED;
    Notify(XFER_DONE, static_cast<double>(total), static_cast<double>(received));
    return true;
  } catch (HttpInterfaceError error) {
    error_code_ = error;
    Notify(XFER_FAILED, 0, 0);
    return false;
  }
}

bool CWininetHttp::FetchToMemory(const wchar_t* url, char** data, int* length) {
  if (!data || !length) return false;
  *data = nullptr;
  *length = 0;
  try {
    OpenGet(url);
    wchar_t text[512] = {};  // 1,024 bytes
    DWORD text_bytes = sizeof(text) - sizeof(wchar_t);
    bool known = true;
    int64_t size = kHttpMaxMemoryBody;
    if (!::HttpQueryInfoW(request_.Get(), HTTP_QUERY_CONTENT_LENGTH, text, &text_bytes, nullptr)) {
      if (::GetLastError() != ERROR_HTTP_HEADER_NOT_FOUND) throw HIE_QUERY_FAILED;
      known = false;  // read up to the limit
    } else {
      std::string value = WideToAnsi(text);
      size_t first = value.find_first_not_of(" \t");
      if (first != std::string::npos && value[first] == '-') throw HIE_TOO_LARGE;
      if (!ParseContentLength(value, &size)) throw HIE_QUERY_FAILED;
      if (size > kHttpMaxMemoryBody) throw HIE_TOO_LARGE;
    }

    MallocBuffer buffer(static_cast<char*>(malloc(static_cast<size_t>(std::max<int64_t>(size, 1)))));
    if (!buffer) throw HIE_TOO_LARGE;
    int64_t filled = 0;
    while (filled < size) {
      DWORD read = 0;
      if (!::InternetReadFile(request_.Get(), buffer.get() + filled, static_cast<DWORD>(size - filled), &read) ||
          read == 0)
        break;
      filled += read;
    }
    if (known && filled != size) throw HIE_READ_FAILED;
    if (!known && filled == size) {
      // The buffer is full: a body longer than the limit must not pass as
      // complete.
      char probe = 0;
      DWORD read = 0;
      if (::InternetReadFile(request_.Get(), &probe, 1, &read) && read > 0) throw HIE_TOO_LARGE;
    }
    *length = static_cast<int>(filled);
    *data = buffer.release();
    return true;
  } catch (HttpInterfaceError error) {
    error_code_ = error;
    return false;
  }
}

std::string CWininetHttp::ReadWholeBody() {
  std::string body;
  char block[kReadBlock];
  for (;;) {
    DWORD read = 0;
    if (!::InternetReadFile(request_.Get(), block, sizeof(block), &read) || read == 0) break;
    body.append(block, read);
  }
  return body;
}

std::string CWininetHttp::RequestParts(const HttpUrlParts& target, int type, const char* post_data,
                                       const std::wstring* headers) {
  try {
    OpenRequest(target, type != 0, headers, post_data);
    return ReadWholeBody();
  } catch (HttpInterfaceError error) {
    error_code_ = error;
    return std::string();
  }
}

std::string CWininetHttp::Request(const wchar_t* url, int type, const char* post_data, const wchar_t* headers) {
  if (!url || !*url) {
    error_code_ = HIE_REQUEST_URL_EMPTY;
    return std::string();
  }
  std::wstring extra = headers ? std::wstring(headers) : std::wstring();
  return RequestParts(SplitHttpUrl(std::wstring(url)), type, post_data, headers ? &extra : nullptr);
}

std::string CWininetHttp::Request(const char* url, int type, const char* post_data, const char* headers) {
  if (!url || !*url) {
    error_code_ = HIE_REQUEST_URL_EMPTY;
    return std::string();
  }
  HttpUrlPartsA narrow = SplitHttpUrl(std::string(url));
  HttpUrlParts parts;
  parts.host = AnsiToWide(narrow.host);
  parts.path = AnsiToWide(narrow.path);
  parts.port = narrow.port;
  std::wstring extra = headers ? AnsiToWide(headers) : std::wstring();
  return RequestParts(parts, type, post_data, headers ? &extra : nullptr);
}

IHttpBase* MakeWininetClient() { return new CWininetHttp(); }

std::string CWininetHttp::ResponseHeader(const char* name) {
  if (!name || !*name) return std::string();
  const size_t name_length = strlen(name);
  auto lower = [](char c) { return static_cast<char>(tolower(static_cast<unsigned char>(c))); };
  // The head as WinINet gives it: the status line, then "Name: value"
  // lines, each ended by CR LF. Names compare in any case.
  size_t line = response_head_.find("\r\n");
  while (line != std::string::npos) {
    line += 2;
    const size_t end = response_head_.find("\r\n", line);
    const size_t stop = end == std::string::npos ? response_head_.size() : end;
    const size_t colon = response_head_.find(':', line);
    if (colon != std::string::npos && colon < stop && colon - line == name_length &&
        std::equal(name, name + name_length, response_head_.begin() + static_cast<std::ptrdiff_t>(line),
                   [&](char a, char b) { return lower(a) == lower(b); })) {
      size_t first = colon + 1;
      while (first < stop && (response_head_[first] == ' ' || response_head_[first] == '\t')) ++first;
      size_t last = stop;
      while (last > first && (response_head_[last - 1] == ' ' || response_head_[last - 1] == '\t')) --last;
      return response_head_.substr(first, last - first);
    }
    line = end;
  }
  return std::string();
}

void CWininetHttp::SetTimeouts(DWORD connect_ms, DWORD receive_ms) {
  connect_timeout_ms_ = connect_ms;
  receive_timeout_ms_ = receive_ms;
}

// Set on the session and again on each request, since not every WinINet
// passes a session's timeouts on to its requests.
void CWininetHttp::ApplyTimeouts(HINTERNET handle) {
  if (connect_timeout_ms_) {
    DWORD value = connect_timeout_ms_;
    ::InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &value, sizeof(value));
  }
  if (receive_timeout_ms_) {
    DWORD value = receive_timeout_ms_;
    ::InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, sizeof(value));
    ::InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &value, sizeof(value));
  }
}
