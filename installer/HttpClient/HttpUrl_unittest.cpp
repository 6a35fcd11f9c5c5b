#include "installer/HttpClient/HttpUrl.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Both forms must agree on every case; each case is checked in both.
struct UrlCase {
  const char* url;
  const char* host;
  const char* path;
  int port;
  bool secure;
};

const UrlCase kCases[] = {
    // Scheme, host, path with the query kept.
    {"http://example.test/a/b?x=1", "example.test", "/a/b?x=1", 80, false},
    // A bare host with a port: path "/".
    {"name:8080", "name", "/", 8080, false},
    {"https://secure.test/file.exe", "secure.test", "/file.exe", 443, true},
    {"https://secure.test", "secure.test", "/", 443, true},
    // The scheme decides, not the port: https with 8443 is TLS to 8443,
    // http with 443 is plain HTTP.
    {"https://secure.test:8443/x", "secure.test", "/x", 8443, true},
    {"http://plain.test:443/x", "plain.test", "/x", 443, false},
    // Leading junk before the scheme is skipped.
    {"  http://junk.test/p", "junk.test", "/p", 80, false},
    // No scheme at all: the whole text is host and path.
    {"host.test/dir/f.bin", "host.test", "/dir/f.bin", 80, false},
    // A colon with no digits gives port 0; only leading digits count.
    {"http://h.test:/x", "h.test", "/x", 0, false},
    {"http://h.test:81abc/x", "h.test", "/x", 81, false},
    // A port beyond 16 bits does not wrap round to another port.
    {"http://h.test:65536/x", "h.test", "/x", 0, false},
    {"http://h.test:99999999999999999999/x", "h.test", "/x", 0, false},
    {"http://h.test:65535/x", "h.test", "/x", 65535, false},
    // The earlier scheme wins: a URL in the query does not redirect the host.
    {"https://a.test/go?next=http://b.test/", "a.test", "/go?next=http://b.test/", 443, true},
    {"http://a.test/go?next=https://b.test/", "a.test", "/go?next=https://b.test/", 80, false},
    // Only the first ':' of the host splits.
    {"http://h.test:82:83/x", "h.test", "/x", 82, false},
    {"", "", "/", 80, false},
    {"http://", "", "/", 80, false},
};

TEST(HttpUrlTest, WideAndNarrowFormsSplitAlike) {
  for (const UrlCase& c : kCases) {
    SCOPED_TRACE(c.url);
    HttpUrlPartsA narrow = SplitHttpUrl(std::string(c.url));
    EXPECT_EQ(narrow.host, c.host);
    EXPECT_EQ(narrow.path, c.path);
    EXPECT_EQ(narrow.port, c.port);
    EXPECT_EQ(narrow.secure, c.secure);

    std::wstring wide_url(c.url, c.url + strlen(c.url));
    HttpUrlParts wide = SplitHttpUrl(wide_url);
    EXPECT_EQ(wide.host, std::wstring(c.host, c.host + strlen(c.host)));
    EXPECT_EQ(wide.path, std::wstring(c.path, c.path + strlen(c.path)));
    EXPECT_EQ(wide.port, c.port);
    EXPECT_EQ(wide.secure, c.secure);
  }
}

// Non-ASCII text passes through the wide form untouched.
TEST(HttpUrlTest, WideFormKeepsNonAsciiPath) {
  HttpUrlParts parts = SplitHttpUrl(std::wstring(L"http://h.test/\x4e0b\x8f7d/setup.exe"));
  EXPECT_EQ(parts.host, L"h.test");
  EXPECT_EQ(parts.path, L"/\x4e0b\x8f7d/setup.exe");
}

TEST(HttpUrlTest, ResolvesRedirectLocations) {
  HttpUrlParts from = SplitHttpUrl(std::wstring(L"http://h.test:8080/dir/sub/file.bin?x=1"));
  EXPECT_EQ(ResolveRedirectUrl(from, L"http://other.test/a"), L"http://other.test/a");
  EXPECT_EQ(ResolveRedirectUrl(from, L"https://other.test/a"), L"https://other.test/a");
  EXPECT_EQ(ResolveRedirectUrl(from, L"/root/b?y=2"), L"http://h.test:8080/root/b?y=2");
  EXPECT_EQ(ResolveRedirectUrl(from, L"next.bin"), L"http://h.test:8080/dir/sub/next.bin");
  EXPECT_EQ(ResolveRedirectUrl(from, L"?page=2"), L"http://h.test:8080/dir/sub/?page=2");
  EXPECT_EQ(ResolveRedirectUrl(from, L"//cdn.test/c"), L"http://cdn.test/c");
  EXPECT_EQ(ResolveRedirectUrl(from, L""), L"");

  // After "https://" the result stays on TLS, on any port; "http://" on
  // port 443 stays plain.
  HttpUrlParts secure = SplitHttpUrl(std::wstring(L"https://s.test/a/b"));
  EXPECT_EQ(ResolveRedirectUrl(secure, L"/c"), L"https://s.test:443/c");
  EXPECT_EQ(SplitHttpUrl(ResolveRedirectUrl(secure, L"/c")).port, 443);
  EXPECT_EQ(ResolveRedirectUrl(secure, L"//t.test/d"), L"https://t.test/d");
  HttpUrlParts mirror = SplitHttpUrl(std::wstring(L"https://m.test:8443/a/b"));
  EXPECT_EQ(ResolveRedirectUrl(mirror, L"c"), L"https://m.test:8443/a/c");
  EXPECT_TRUE(SplitHttpUrl(ResolveRedirectUrl(mirror, L"c")).secure);
  HttpUrlParts plain_443 = SplitHttpUrl(std::wstring(L"http://p.test:443/a"));
  EXPECT_EQ(ResolveRedirectUrl(plain_443, L"/c"), L"http://p.test:443/c");
  EXPECT_FALSE(SplitHttpUrl(ResolveRedirectUrl(plain_443, L"/c")).secure);

  // A path without a folder resolves against the root.
  HttpUrlParts bare = SplitHttpUrl(std::wstring(L"h.test"));
  EXPECT_EQ(ResolveRedirectUrl(bare, L"x"), L"http://h.test:80/x");
}

}  // namespace
