// Splits an HTTP URL into host, path and port, in a wide and a narrow form
// that follow the same rule. Portable and stateless; any thread.
//
// The port is 80, or 443 after "https://", or the number after the host's
// first ':'. A client speaks TLS exactly when the scheme is "https://",
// whatever the port: a mirror's "https://host:8443/" must not go out in
// the clear, nor "http://host:443/" try TLS.
#ifndef INSTALLER_HTTPCLIENT_HTTPURL_H_
#define INSTALLER_HTTPCLIENT_HTTPURL_H_

#include <cstdint>
#include <string>

struct HttpUrlParts {
  std::wstring host;
  std::wstring path;  // from the first '/' after the host, query included; "/" if none
  uint16_t port = 80;
  bool secure = false;  // "https://"
};

struct HttpUrlPartsA {
  std::string host;
  std::string path;
  uint16_t port = 80;
  bool secure = false;
};

HttpUrlParts SplitHttpUrl(const std::wstring& url);
HttpUrlPartsA SplitHttpUrl(const std::string& url);

// The URL a redirect's Location leads to from |from|: an absolute
// "http://" or "https://" location as it is; "//host/..." with the current
// scheme; "/..." on the same scheme, host and port; anything else relative
// to the folder of |from|'s path. Empty when |location| is. The result
// splits back to the same scheme, host and port where the location keeps
// them.
std::wstring ResolveRedirectUrl(const HttpUrlParts& from, const std::wstring& location);

#endif  // INSTALLER_HTTPCLIENT_HTTPURL_H_
