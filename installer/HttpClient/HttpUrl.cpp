#include "installer/HttpClient/HttpUrl.h"

namespace {

template <typename Char>
struct Literals;

template <>
struct Literals<wchar_t> {
  static constexpr const wchar_t* kHttp = L"http://";
  static constexpr const wchar_t* kHttps = L"https://";
};

template <>
struct Literals<char> {
  static constexpr const char* kHttp = "http://";
  static constexpr const char* kHttps = "https://";
};

// The leading decimal digits as a port; 0 when there are none or when the
// number does not fit 16 bits (wrapping would reach an unrelated port).
template <typename Char>
uint16_t ParsePort(const std::basic_string<Char>& text) {
  uint32_t value = 0;
  for (Char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<uint32_t>(c - '0');
    if (value > 0xFFFF) return 0;
  }
  return static_cast<uint16_t>(value);
}

template <typename Char, typename Parts>
Parts Split(const std::basic_string<Char>& url) {
  using String = std::basic_string<Char>;
  Parts parts;
  parts.port = 80;
  const String http = Literals<Char>::kHttp;
  const String https = Literals<Char>::kHttps;
  // The scheme may stand anywhere (leading junk is tolerated), but the
  // earlier of the two wins, so that "https://a/?next=http://b" stays on a.
  size_t http_at = url.find(http);
  size_t https_at = url.find(https);
  String rest;
  if (http_at != String::npos && (https_at == String::npos || http_at < https_at)) {
    rest = url.substr(http_at + http.size());
  } else if (https_at != String::npos) {
    parts.port = 443;
    parts.secure = true;
    rest = url.substr(https_at + https.size());
  } else {
    rest = url;
  }
  size_t slash = rest.find('/');
  if (slash != String::npos) {
    parts.host = rest.substr(0, slash);
    parts.path = rest.substr(slash);
  } else {
    parts.host = rest;
    parts.path = String(1, '/');
  }
  size_t colon = parts.host.find(':');
  if (colon != String::npos) {
    parts.port = ParsePort(parts.host.substr(colon + 1));
    parts.host.erase(colon);
  }
  return parts;
}

}  // namespace

HttpUrlParts SplitHttpUrl(const std::wstring& url) { return Split<wchar_t, HttpUrlParts>(url); }

HttpUrlPartsA SplitHttpUrl(const std::string& url) { return Split<char, HttpUrlPartsA>(url); }

std::wstring ResolveRedirectUrl(const HttpUrlParts& from, const std::wstring& location) {
  if (location.empty()) return std::wstring();
  auto starts_with = [&location](const wchar_t* prefix) { return location.rfind(prefix, 0) == 0; };
  if ((starts_with(L"http://") && location.size() > 6) || (starts_with(L"https://") && location.size() > 7))
    return location;
  const wchar_t* scheme = from.secure ? L"https:" : L"http:";
  if (starts_with(L"//")) return scheme + location;
  // The port is written out so that the result splits to the same one.
  std::wstring origin = std::wstring(scheme) + L"//" + from.host + L":" + std::to_wstring(from.port);
  if (location[0] == L'/') return origin + location;
  std::wstring folder = from.path.substr(0, from.path.find_first_of(L"?#"));
  size_t slash = folder.rfind(L'/');
  folder.erase(slash == std::wstring::npos ? 0 : slash + 1);
  if (folder.empty()) folder = L"/";
  return origin + folder + location;
}
