#include "installer/HttpClient/HttpSocket.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "installer/HttpClient/HttpClientUtil.h"

using http_internal::AnsiToWide;
using http_internal::MallocBuffer;
using http_internal::ScopedFile;
using http_internal::WideOrEmpty;
using http_internal::WideToAnsi;

void CHttpSocket::ScopedSocket::Reset(SOCKET s) {
  if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
  socket_ = s;
}

namespace {

// This client reads bodies as they stand; a chunked one would have its
// chunk-size lines written into the file and be reported as a success.
bool IsChunked(const CHttpHeader& response) {
  std::string coding = response.GetValue("Transfer-Encoding");
  for (char& c : coding) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return coding.find("chunked") != std::string::npos;
}

}  // namespace

CHttpSocket::CHttpSocket() {
  WSADATA data;
  winsock_started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

CHttpSocket::~CHttpSocket() {
  socket_.Reset();
  if (winsock_started_) ::WSACleanup();
}

void CHttpSocket::SetProgressSink(IHttpCallback* callback, void* param) {
  callback_ = callback;
  callback_param_ = param;
}

double CHttpSocket::QueryRemoteSize(const wchar_t*) { return 0; }

void CHttpSocket::Destroy() { delete this; }

int CHttpSocket::LastErrorCode() { return error_code_; }

int CHttpSocket::LastStatusCode() { return http_code_; }

const wchar_t* CHttpSocket::ResolvedAddress() { return ip_address_.c_str(); }

void CHttpSocket::AddHeader(const char* name, const char* value) {
  if (!name || !value || !*name || !*value) return;
  header_.AddHeader(name, value);
}

void CHttpSocket::Notify(int state, double total, double received) {
  if (callback_) callback_->OnTransferProgress(callback_param_, state, total, received);
}

bool CHttpSocket::Connect(const std::string& host, unsigned short port) {
  try {
    hostent* entry = ::gethostbyname(host.c_str());
    if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0])
      throw HIE_RESOLVE_FAILED;
    const unsigned char* b = reinterpret_cast<const unsigned char*>(entry->h_addr_list[0]);
    char ip[16];
    snprintf(ip, sizeof(ip), "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    ip_address_ = AnsiToWide(ip);

    socket_.Reset();
    socket_.Reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket_.Valid()) throw HIE_SOCKET_FAILED;
    DWORD timeout = kReceiveTimeoutMs;
    ::setsockopt(socket_.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                 sizeof(timeout));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = ::inet_addr(ip);
    if (::connect(socket_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
      throw HIE_CONNECT_FAILED;
    return true;
  } catch (HttpInterfaceError error) {
    error_code_ = error;
    socket_.Reset();
    return false;
  }
}

void CHttpSocket::SendRequest(const std::string& host, const std::string& path) {
  if (!own_host_.empty() && header_.GetValue("Host") == own_host_) header_.RemoveHeader("Host");
  header_.SetHost(host);
  own_host_ = header_.GetValue("Host") == host ? host : std::string();
  header_.SetUri(path);
  std::string request = header_.RequestHead(0);
  int sent = ::send(socket_.Get(), request.data(), static_cast<int>(request.size()), 0);
  if (sent != static_cast<int>(request.size())) throw HIE_SEND_FAILED;
}

CHttpHeader CHttpSocket::ReceiveHead(ResponseHeadReader* reader) {
  std::vector<char> buffer(kReceiveBufferSize + 1);
  for (;;) {
    if (callback_ && callback_->ShouldStop()) throw HIE_STOPPED;
    int n = ::recv(socket_.Get(), buffer.data(), kReceiveBufferSize, 0);
    if (n == SOCKET_ERROR) throw HIE_SOCKET_FAILED;
    // The stream ended before the blank line: there is no response.
    if (n == 0) throw HIE_NO_HEADER;
    switch (reader->Append(buffer.data(), static_cast<size_t>(n))) {
      case ResponseHeadReader::State::kNeedMore:
        continue;
      case ResponseHeadReader::State::kTooLarge:  // no sane server sends that much head
        throw HIE_NO_HEADER;
      case ResponseHeadReader::State::kComplete: {
        CHttpHeader response(reader->head());
        http_code_ = response.status;
        return response;
      }
    }
  }
}

std::wstring CHttpSocket::RedirectTarget(const CHttpHeader& response, const HttpUrlParts& from) const {
  // A relative location is resolved against the current URL and fetched
  // over a new connection, like an absolute one, so that no byte of the
  // redirect's own body can be taken for the next response.
  std::wstring target = ResolveRedirectUrl(from, AnsiToWide(response.GetValue("Location")));
  if (target.empty()) throw HIE_HTTP_ERROR;  // a redirect that leads nowhere
  return target;
}

CHttpSocket::Step CHttpSocket::FetchToFileOnce(const std::wstring& url, const std::wstring& path,
                                               bool* file_created, std::wstring* next_url) {
  HttpUrlParts parts = SplitHttpUrl(url);
  if (parts.secure) {  // no TLS here
    error_code_ = HIE_CONNECT_FAILED;
    return Step::kRefused;
  }
  std::string host = WideToAnsi(parts.host);
  if (!Connect(host, parts.port)) return Step::kRefused;
  SendRequest(host, WideToAnsi(parts.path));

  if (http_internal::FileExists(path)) ::DeleteFileW(path.c_str());
  ScopedFile file(_wfopen(path.c_str(), L"wb+"));
  if (!file) throw HIE_FILE_OPEN_FAILED;
  *file_created = true;

  ResponseHeadReader reader;
  CHttpHeader response = ReceiveHead(&reader);
  if (response.status >= 301 && response.status <= 399) {
    *next_url = RedirectTarget(response, parts);
    return Step::kRedirect;
  }
  if (response.status == 400) throw HIE_HTTP_ERROR;
  if (IsChunked(response)) throw HIE_READ_FAILED;

  // Without a Content-Length the body runs until the server closes.
  bool length_known = false;
  int64_t total = 0;
  std::string length_text = response.GetValue("Content-Length");
  if (!length_text.empty()) {
    if (!ParseContentLength(length_text, &total)) throw HIE_QUERY_FAILED;
    length_known = true;
  }
  int64_t received = 0;
  auto write = [&](const char* data, size_t size) {
    // Bytes past the announced length belong to no file.
    if (length_known) size = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), total - received));
    if (size == 0) return;
    if (fwrite(data, 1, size, file.get()) != size) throw HIE_FILE_WRITE_FAILED;
    received += static_cast<int64_t>(size);
    Notify(XFER_RUNNING, static_cast<double>(total), static_cast<double>(received));
  };
  write(reader.body().data(), reader.body().size());

  std::vector<char> buffer(kReceiveBufferSize + 1);
  while (!length_known || received < total) {
    if (callback_ && callback_->ShouldStop()) throw HIE_STOPPED;
    int n = ::recv(socket_.Get(), buffer.data(), kReceiveBufferSize, 0);
    if (n == SOCKET_ERROR) throw HIE_SOCKET_FAILED;
    if (n == 0) {
      if (length_known) throw HIE_READ_FAILED;  // fewer bytes than announced
      break;
    }
    write(buffer.data(), static_cast<size_t>(n));
  }
  if (fflush(file.get()) != 0) throw HIE_FILE_WRITE_FAILED;
  Notify(XFER_DONE, static_cast<double>(total), static_cast<double>(received));
  return Step::kSucceeded;
}

bool CHttpSocket::FollowRedirects(
    std::wstring url, const std::function<Step(const std::wstring& url, std::wstring* next_url)>& once) {
  for (int redirects = 0;; ++redirects) {
    std::wstring next;
    const Step step = once(url, &next);
    if (step != Step::kRedirect) return step == Step::kSucceeded;
    socket_.Reset();
    if (redirects == kHttpMaxRedirects) throw HIE_HTTP_ERROR;
    url = next;
  }
}

bool CHttpSocket::FetchToFile(const wchar_t* url, const wchar_t* file_path) {
  const std::wstring target = WideOrEmpty(url);
  const std::wstring path = WideOrEmpty(file_path);
  bool file_created = false;
  bool ok = false;
  try {
    ok = FollowRedirects(target, [&](const std::wstring& hop, std::wstring* next) {
      return FetchToFileOnce(hop, path, &file_created, next);
    });
  } catch (HttpInterfaceError error) {
    error_code_ = error;
    Notify(XFER_FAILED, 0, 0);
    ok = false;
  }
  socket_.Reset();
  if (!ok && file_created) ::DeleteFileW(path.c_str());
  return ok;
}

CHttpSocket::Step CHttpSocket::FetchToMemoryOnce(const std::wstring& url, char** data, int* length,
                                                 std::wstring* next_url) {
  HttpUrlParts parts = SplitHttpUrl(url);
  if (parts.secure) {
    error_code_ = HIE_CONNECT_FAILED;
    return Step::kRefused;
  }
  std::string host = WideToAnsi(parts.host);
  if (!Connect(host, parts.port)) throw HIE_OPEN_FAILED;
  SendRequest(host, WideToAnsi(parts.path));

  ResponseHeadReader reader;
  CHttpHeader response = ReceiveHead(&reader);
  if (response.status == 400) throw HIE_HTTP_ERROR;
  if (response.status >= 301 && response.status <= 399) {
    *next_url = RedirectTarget(response, parts);
    return Step::kRedirect;
  }
  if (IsChunked(response)) throw HIE_READ_FAILED;

  int64_t announced = 0;
  std::string length_text = response.GetValue("Content-Length");
  if (!length_text.empty() && !ParseContentLength(length_text, &announced)) throw HIE_QUERY_FAILED;
  if (announced == 0 || announced > kHttpMaxMemoryBody) throw HIE_TOO_LARGE;
  const size_t size = static_cast<size_t>(announced);

  MallocBuffer body(static_cast<char*>(malloc(size)));
  if (!body) throw HIE_TOO_LARGE;
  size_t filled = std::min(size, reader.body().size());
  memcpy(body.get(), reader.body().data(), filled);
  while (filled < size) {
    int want = static_cast<int>(std::min<size_t>(size - filled, kReceiveBufferSize));
    int n = ::recv(socket_.Get(), body.get() + filled, want, 0);
    if (n == SOCKET_ERROR) throw HIE_SOCKET_FAILED;
    if (n == 0) throw HIE_READ_FAILED;  // closed before the announced length
    filled += static_cast<size_t>(n);
  }
  *length = static_cast<int>(size);
  *data = body.release();
  return Step::kSucceeded;
}

bool CHttpSocket::FetchToMemory(const wchar_t* url, char** data, int* length) {
  if (!data || !length) return false;
  *data = nullptr;
  *length = 0;
  const std::wstring target = WideOrEmpty(url);
  bool ok = false;
  try {
    ok = FollowRedirects(target, [&](const std::wstring& hop, std::wstring* next) {
      return FetchToMemoryOnce(hop, data, length, next);
    });
  } catch (HttpInterfaceError error) {
    error_code_ = error;
    *data = nullptr;
    *length = 0;
    ok = false;
  }
  socket_.Reset();
  return ok;
}
