// The header model of the HTTP clients: a request's header set with the
// default headers, or a parsed response head; plus the pieces that read a
// response head off the wire. Portable (no Windows headers) so the parsing
// of what a server sends runs under sanitizers and libFuzzer. Each object
// belongs to the client (and thread) that made it.
#ifndef INSTALLER_HTTPCLIENT_HTTPHEADER_H_
#define INSTALLER_HTTPCLIENT_HTTPHEADER_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

class CHttpHeader {
 public:
  // Names ordered by plain byte comparison and matched exactly: "Accept"
  // sorts before "Accept-Language", upper case before lower case.
  using HeaderMap = std::map<std::string, std::string>;

  CHttpHeader() = default;
  // Parses a response head: the bytes before the blank line that ends it.
  explicit CHttpHeader(const std::string& head);
  virtual ~CHttpHeader() = default;

  // Does nothing if either is empty; never replaces a value already set.
  void AddHeader(const std::string& name, const std::string& value);
  std::string GetValue(const std::string& name) const;
  void RemoveHeader(const std::string& name);
  // Inserts "Host" (without a port) unless the host is empty or one is set.
  void SetHost(const std::string& host);
  void SetUri(const std::string& new_uri) { uri = new_uri; }

  // Inserts the defaults that are missing and writes every header as
  // "name: value\r\n" in map order: what the library clients add to a request.
  std::string HeaderBlock();
  // The socket client's whole request head, ending with the blank line.
  // "POST " only for type 1; no body follows either way.
  std::string RequestHead(int type);

  int status = 0;
  std::string version;  // response: first 8 characters of the status line
  std::string reason;
  std::string uri;      // request target of the socket client
  HeaderMap headers;

 private:
  void AddDefaults();
};

// The request headers every client adds when the caller has not set them.
extern const char kDefaultUserAgent[];
extern const char kDefaultAccept[];
extern const char kDefaultConnection[];
extern const char kDefaultAcceptLanguage[];

// Reads a Content-Length value: optional blanks, decimal digits, optional
// blanks, nothing else, at most 2^53 so that it is exact as a double.
// Anything else (empty, a sign, letters, an overflow) is not a length.
bool ParseContentLength(const std::string& text, int64_t* length);

// A satisfied byte range as a 206 reply's "Content-Range" names it:
// "bytes FIRST-LAST/TOTAL" with FIRST <= LAST < TOTAL, blanks allowed only
// around the value, numbers as for ParseContentLength. "*" totals and
// unsatisfied ranges ("bytes */TOTAL") are not ranges.
struct ContentRange {
  int64_t first = 0;
  int64_t last = 0;
  int64_t total = 0;
};
bool ParseContentRange(const std::string& text, ContentRange* range);

// Collects the bytes of a response until its head is complete, however the
// reads split it, and never holds more than |max_head| bytes of head.
class ResponseHeadReader {
 public:
  enum class State {
    kNeedMore,   // no blank line yet
    kComplete,   // head() and body() are ready
    kTooLarge,   // the head passed the limit before its blank line
  };

  static constexpr size_t kDefaultMaxHead = 64 * 1024;

  explicit ResponseHeadReader(size_t max_head = kDefaultMaxHead) : max_head_(max_head) {}

  // Adds one read. Once complete (or too large) further bytes are refused.
  State Append(const char* data, size_t size);
  State state() const { return state_; }
  // The bytes before the blank line, and those after it from the reads so far.
  const std::string& head() const { return head_; }
  const std::string& body() const { return body_; }
  void Reset();

 private:
  size_t max_head_;
  State state_ = State::kNeedMore;
  std::string buffer_;
  std::string head_;
  std::string body_;
};

#endif  // INSTALLER_HTTPCLIENT_HTTPHEADER_H_
