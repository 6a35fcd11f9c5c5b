// The HTTP client interface shared by the socket, WinINet and WinHTTP
// clients, the progress callback they report through, their error codes and
// the factory that makes them. A client serves one request at a time on one
// thread; whoever calls MakeHttpClient owns the object until Destroy().
#ifndef INSTALLER_HTTPCLIENT_HTTPINTERFACE_H_
#define INSTALLER_HTTPCLIENT_HTTPINTERFACE_H_

// Transfer states handed to IHttpCallback::OnTransferProgress.
enum HttpTransferState {
  XFER_RUNNING = 0,  // after each block written: expected total, bytes so far
  XFER_FAILED = 1,   // once, when the operation fails; both sizes 0
  XFER_DONE = 2,     // once, when the received count reached the total
};

// Raised inside a client operation and caught at its boundary, where it
// becomes the value LastErrorCode() reports. Nothing else throws.
enum HttpInterfaceError {
  HIE_NONE = 0,
  HIE_OPEN_FAILED = 1,
  HIE_CONNECT_FAILED = 2,
  HIE_SEND_FAILED = 3,
  HIE_QUERY_FAILED = 4,
  HIE_HTTP_ERROR = 5,
  HIE_URL_EMPTY = 6,
  HIE_FILE_OPEN_FAILED = 7,
  HIE_READ_FAILED = 8,
  HIE_RESOLVE_FAILED = 9,
  HIE_SOCKET_FAILED = 10,
  HIE_STOPPED = 11,
  HIE_TOO_LARGE = 12,
  HIE_NO_HEADER = 13,
  HIE_REQUEST_URL_EMPTY = 14,
  HIE_FILE_WRITE_FAILED = 15,
};

// Request types wherever an operation takes one.
enum HttpRequestType {
  HTTP_REQUEST_GET = 0,
  HTTP_REQUEST_POST = 1,  // any value but 0 posts
};

// The largest body FetchToMemory holds (8 MiB).
constexpr int kHttpMaxMemoryBody = 0x800000;

// Redirects a client follows within one operation; one more ends the
// operation with HIE_HTTP_ERROR.
constexpr int kHttpMaxRedirects = 10;

// Receives a download's progress. Called on the thread that runs the
// client operation, synchronously, between two reads.
class IHttpCallback {
 public:
  virtual void OnTransferProgress(void* param, int state, double total_size, double downloaded_size) = 0;
  virtual bool ShouldStop() = 0;

 protected:
  ~IHttpCallback() = default;
};

// The operations every client offers, in their fixed slot order. The
// destructor is not among them: each client's own interface declares it
// after its further operations, and callers release a client with Destroy().
class IHttpBase {
 public:
  virtual void SetProgressSink(IHttpCallback* callback, void* param) = 0;
  // Remote length from the response's Content-Length; 0 on failure.
  virtual double QueryRemoteSize(const wchar_t* url) = 0;
  virtual bool FetchToFile(const wchar_t* url, const wchar_t* file_path) = 0;
  // |*data| is allocated with malloc; the caller frees it.
  virtual bool FetchToMemory(const wchar_t* url, char** data, int* length) = 0;
  virtual void Destroy() = 0;
  virtual int LastErrorCode() = 0;
  // Added to every later request of this object; a name already present
  // keeps its first value.
  virtual void AddHeader(const char* name, const char* value) = 0;
  virtual int LastStatusCode() = 0;

 protected:
  ~IHttpBase() = default;
};

// Client kinds for MakeHttpClient.
enum HttpClientType {
  HTTP_CLIENT_SOCKET = 0,
  HTTP_CLIENT_WININET = 1,
  HTTP_CLIENT_WINHTTP = 2,
};

// Stores a new client of |type| in |*client| (null for an unknown type) and
// returns whether one was stored.
bool MakeHttpClient(IHttpBase** client, int type);

#endif  // INSTALLER_HTTPCLIENT_HTTPINTERFACE_H_
