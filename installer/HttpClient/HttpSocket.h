// CHttpSocket: the HTTP/1.1 client written over Windows Sockets (plain HTTP
// only; a URL whose port is 443 is refused). Made by MakeHttpClient type 0
// and owned by its caller until Destroy(); one operation at a time on one
// thread.
#ifndef INSTALLER_HTTPCLIENT_HTTPSOCKET_H_
#define INSTALLER_HTTPCLIENT_HTTPSOCKET_H_

#include <winsock2.h>

#include <functional>
#include <string>

#include "installer/HttpClient/HttpHeader.h"
#include "installer/HttpClient/HttpInterface.h"
#include "installer/HttpClient/HttpUrl.h"

class ISocketHttp : public IHttpBase {
 public:
  // Dotted IPv4 address of the last connection (empty before one).
  virtual const wchar_t* ResolvedAddress() = 0;
  virtual ~ISocketHttp() = default;
};

class CHttpSocket : public ISocketHttp {
 public:
  static constexpr int kReceiveBufferSize = 4096;
  static constexpr DWORD kReceiveTimeoutMs = 10000;

  CHttpSocket();
  ~CHttpSocket() override;
  CHttpSocket(const CHttpSocket&) = delete;
  CHttpSocket& operator=(const CHttpSocket&) = delete;

  void SetProgressSink(IHttpCallback* callback, void* param) override;
  // The socket client cannot ask for a size: always 0.
  double QueryRemoteSize(const wchar_t* url) override;
  bool FetchToFile(const wchar_t* url, const wchar_t* file_path) override;
  bool FetchToMemory(const wchar_t* url, char** data, int* length) override;
  void Destroy() override;
  int LastErrorCode() override;
  void AddHeader(const char* name, const char* value) override;
  int LastStatusCode() override;
  const wchar_t* ResolvedAddress() override;

 private:
  class ScopedSocket {
   public:
    ScopedSocket() = default;
    ~ScopedSocket() { Reset(); }
    ScopedSocket(const ScopedSocket&) = delete;
    ScopedSocket& operator=(const ScopedSocket&) = delete;
    SOCKET Get() const { return socket_; }
    bool Valid() const { return socket_ != INVALID_SOCKET; }
    void Reset(SOCKET s = INVALID_SOCKET);

   private:
    SOCKET socket_ = INVALID_SOCKET;
  };

  // How one request of an operation ended when it raised nothing.
  enum class Step { kSucceeded, kRefused, kRedirect };

  Step FetchToFileOnce(const std::wstring& url, const std::wstring& path, bool* file_created,
                       std::wstring* next_url);
  Step FetchToMemoryOnce(const std::wstring& url, char** data, int* length, std::wstring* next_url);
  // Runs |once| for |url| and for each redirect target after it, up to
  // kHttpMaxRedirects hops (then raises); true when the last one succeeded.
  bool FollowRedirects(std::wstring url,
                       const std::function<Step(const std::wstring& url, std::wstring* next_url)>& once);
  // Resolves, opens a socket and connects; on failure stores the code and
  // answers false.
  bool Connect(const std::string& host, unsigned short port);
  // Points the Host header at |host| (Connect's target) and sends a GET.
  void SendRequest(const std::string& host, const std::string& path);
  // Receives until the response head is complete; the bytes after it stay
  // in |reader|. Raises what a failed receive or a closed stream means.
  CHttpHeader ReceiveHead(ResponseHeadReader* reader);
  // The absolute URL a 3xx response leads to; raises if it has no Location.
  std::wstring RedirectTarget(const CHttpHeader& response, const HttpUrlParts& from) const;
  void Notify(int state, double total, double received);

  int http_code_ = 0;
  ScopedSocket socket_;
  std::wstring ip_address_;
  CHttpHeader header_;
  void* callback_param_ = nullptr;
  IHttpCallback* callback_ = nullptr;
  int error_code_ = HIE_NONE;
  // The Host value this client inserted for its last target, so that a
  // redirect to another host replaces it (a caller's own Host stays).
  std::string own_host_;
  bool winsock_started_ = false;
};

#endif  // INSTALLER_HTTPCLIENT_HTTPSOCKET_H_
