#include "installer/HttpClient/HttpHeader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The browser the clients present themselves as.
const char kBrowserAgent[] =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/80.0.4044.92 Safari/537.36";

// A header added twice keeps its first value; empty names or values are
// ignored.
TEST(HttpHeaderTest, FirstValueWinsAndEmptyPartsAreIgnored) {
  CHttpHeader header;
  header.AddHeader("Range", "bytes=0-9");
  header.AddHeader("Range", "bytes=10-19");
  header.AddHeader("X-Empty", "");
  header.AddHeader("", "value");
  EXPECT_EQ(header.GetValue("Range"), "bytes=0-9");
  EXPECT_EQ(header.headers.count("X-Empty"), 0u);
  EXPECT_EQ(header.headers.size(), 1u);
  EXPECT_EQ(header.GetValue("Missing"), "");
  // Names match exactly.
  EXPECT_EQ(header.GetValue("range"), "");
}

// The downloader's request: the defaults and its Range, in byte order.
TEST(HttpHeaderTest, HeaderBlockWritesDefaultsInByteOrder) {
  CHttpHeader header;
  header.AddHeader("Range", "bytes=0-4194303");
  EXPECT_EQ(header.HeaderBlock(),
            "Accept: */*\r\n"
            "Accept-Language: zh-CN,zh;q=0.9\r\n"
            "Connection: Keep-Alive\r\n"
            "Range: bytes=0-4194303\r\n"
            "User-Agent: " + std::string(kBrowserAgent) + "\r\n");
}

// A caller's own User-Agent replaces the default one.
TEST(HttpHeaderTest, CallerUserAgentReplacesDefault) {
  CHttpHeader header;
  header.AddHeader("User-Agent", "VarnoTest/1.0");
  std::string block = header.HeaderBlock();
  EXPECT_NE(block.find("User-Agent: VarnoTest/1.0\r\n"), std::string::npos);
  EXPECT_EQ(block.find("Mozilla"), std::string::npos);
}

// The socket client's request head: request line, headers with Host
// between Connection and Range, and the blank line; POST only for type 1.
TEST(HttpHeaderTest, RequestHeadOfSocketClient) {
  CHttpHeader header;
  header.AddHeader("Range", "bytes=5-9");
  header.SetHost("127.0.0.1");
  header.SetHost("other.test");  // Host, too, keeps its first value
  header.SetUri("/dir/file.bin?x=1");
  std::string head = header.RequestHead(0);
  EXPECT_EQ(head,
            "GET /dir/file.bin?x=1 HTTP/1.1\r\n"
            "Accept: */*\r\n"
            "Accept-Language: zh-CN,zh;q=0.9\r\n"
            "Connection: Keep-Alive\r\n"
            "Host: 127.0.0.1\r\n"
            "Range: bytes=5-9\r\n"
            "User-Agent: " + std::string(kBrowserAgent) + "\r\n"
            "\r\n");
  EXPECT_EQ(header.version, "HTTP/1.1");
  EXPECT_EQ(header.RequestHead(1).substr(0, 5), "POST ");
  EXPECT_EQ(header.RequestHead(2).substr(0, 4), "GET ");

  CHttpHeader old;
  old.version = "HTTP/1.0";
  old.SetUri("/");
  EXPECT_EQ(old.RequestHead(0).substr(0, 16), "GET / HTTP/1.0\r\n");
}

TEST(HttpHeaderTest, ParsesResponseHead) {
  CHttpHeader response(
      "HTTP/1.1 206 Partial Content\r\n"
      "Content-Length: 4000\r\n"
      "Content-Range: bytes 1000-4999/1048576\r\n"
      "Content-Length: 1\r\n"
      "X-Colon: a: b\r\n"
      "NoSeparatorLine\r\n"
      "X-Tight:value");
  EXPECT_EQ(response.version, "HTTP/1.1");
  EXPECT_EQ(response.status, 206);
  EXPECT_EQ(response.reason, "Partial Content");
  EXPECT_EQ(response.GetValue("Content-Length"), "4000");  // the first one counts
  EXPECT_EQ(response.GetValue("Content-Range"), "bytes 1000-4999/1048576");
  EXPECT_EQ(response.GetValue("X-Colon"), "a: b");         // split at the first ": "
  EXPECT_EQ(response.headers.count("NoSeparatorLine"), 0u);
  EXPECT_EQ(response.headers.count("X-Tight"), 0u);        // ":" without a space is no separator
}

// Odd status lines give defined results rather than garbage.
TEST(HttpHeaderTest, OddStatusLines) {
  CHttpHeader one_space("HTTP/1.1 200\r\nContent-Length: 5");
  EXPECT_EQ(one_space.status, 200);
  EXPECT_EQ(one_space.reason, "");
  EXPECT_EQ(one_space.GetValue("Content-Length"), "5");

  CHttpHeader no_space("HTTP/1.1");
  EXPECT_EQ(no_space.status, 0);
  EXPECT_EQ(no_space.version, "HTTP/1.1");

  CHttpHeader short_line("HTTP");
  EXPECT_EQ(short_line.version, "HTTP");

  CHttpHeader letters("HTTP/1.1 abc OK");
  EXPECT_EQ(letters.status, 0);
  EXPECT_EQ(letters.reason, "OK");

  CHttpHeader huge("HTTP/1.1 99999999999999999999 Big");
  EXPECT_EQ(huge.status, 999999999);

  CHttpHeader empty("");
  EXPECT_EQ(empty.status, 0);
  EXPECT_TRUE(empty.headers.empty());
}

TEST(HttpHeaderTest, ContentRangeParsing) {
  ContentRange range;
  ASSERT_TRUE(ParseContentRange("bytes 0-99/100", &range));
  EXPECT_EQ(range.first, 0);
  EXPECT_EQ(range.last, 99);
  EXPECT_EQ(range.total, 100);
  ASSERT_TRUE(ParseContentRange(" bytes 1048576-2097151/9437187 ", &range));
  EXPECT_EQ(range.first, 1048576);
  EXPECT_EQ(range.last, 2097151);
  EXPECT_EQ(range.total, 9437187);
  range = ContentRange{7, 7, 7};
  for (const char* bad : {"", "bytes", "bytes ", "bytes 0-99", "bytes 0-99/", "bytes */100", "bytes 0-99/*",
                          "bytes 5-4/100", "bytes 0-100/100", "bytes -5-9/100", "Bytes 0-9/10", "bytes=0-9/10",
                          "bytes 0 - 9/10", "bytes 0-9/10x", "bytes 0-9/99999999999999999999",
                          "items 0-9/10"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseContentRange(bad, &range));
    EXPECT_EQ(range.first, 7);  // untouched
  }
}

TEST(HttpHeaderTest, ContentLengthParsing) {
  int64_t n = -1;
  EXPECT_TRUE(ParseContentLength("0", &n));
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(ParseContentLength(" 268435456 ", &n));
  EXPECT_EQ(n, 268435456);
  EXPECT_TRUE(ParseContentLength("9007199254740992", &n));  // 2^53
  EXPECT_EQ(n, int64_t{1} << 53);
  n = 7;
  for (const char* bad : {"", " ", "-5", "+5", "12abc", "abc", "1 2", "0x10", "1e3", "4.5",
                          "9007199254740993", "99999999999999999999999"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseContentLength(bad, &n));
    EXPECT_EQ(n, 7);  // untouched
  }
}

// A head that arrives over several reads, split inside the blank line.
TEST(ResponseHeadReaderTest, CollectsHeadAcrossReads) {
  const std::string wire = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
  for (size_t cut = 1; cut < wire.size(); ++cut) {
    SCOPED_TRACE(cut);
    ResponseHeadReader reader;
    ResponseHeadReader::State first = reader.Append(wire.data(), cut);
    ResponseHeadReader::State second = reader.Append(wire.data() + cut, wire.size() - cut);
    EXPECT_EQ(second, ResponseHeadReader::State::kComplete);
    if (cut < wire.find("\r\n\r\n") + 4) {
      EXPECT_EQ(first, ResponseHeadReader::State::kNeedMore);
    }
    EXPECT_EQ(reader.head(), "HTTP/1.1 200 OK\r\nContent-Length: 5");
    // The body holds what came with the reads up to the blank line; a read
    // after the head is complete is the caller's to handle.
    const size_t body_start = wire.find("\r\n\r\n") + 4;
    EXPECT_EQ(reader.body(), cut < body_start ? "hello" : wire.substr(body_start, cut - body_start));
  }
}

TEST(ResponseHeadReaderTest, ByteAtATime) {
  const std::string wire = "HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n";
  ResponseHeadReader reader;
  for (size_t i = 0; i + 1 < wire.size(); ++i) {
    ASSERT_EQ(reader.Append(&wire[i], 1), ResponseHeadReader::State::kNeedMore) << i;
  }
  EXPECT_EQ(reader.Append(&wire.back(), 1), ResponseHeadReader::State::kComplete);
  EXPECT_EQ(reader.body(), "");
  // Once complete, more bytes change nothing.
  EXPECT_EQ(reader.Append("junk", 4), ResponseHeadReader::State::kComplete);
  EXPECT_EQ(reader.body(), "");
}

TEST(ResponseHeadReaderTest, RefusesHeadsOverTheLimit) {
  ResponseHeadReader reader(64);
  std::string line = "X-Filler: " + std::string(40, 'f') + "\r\n";
  EXPECT_EQ(reader.Append(line.data(), line.size()), ResponseHeadReader::State::kNeedMore);
  EXPECT_EQ(reader.Append(line.data(), line.size()), ResponseHeadReader::State::kTooLarge);
  EXPECT_EQ(reader.Append("\r\n\r\n", 4), ResponseHeadReader::State::kTooLarge);

  // A blank line that arrives in the same read but past the limit counts too.
  ResponseHeadReader late(16);
  std::string wire = "HTTP/1.1 200 OK\r\nA-Long-Header: yes\r\n\r\nbody";
  EXPECT_EQ(late.Append(wire.data(), wire.size()), ResponseHeadReader::State::kTooLarge);

  ResponseHeadReader reset(16);
  reset.Append(wire.data(), wire.size());
  reset.Reset();
  EXPECT_EQ(reset.Append("HTTP/1.1 200\r\n\r\n", 16), ResponseHeadReader::State::kComplete);
}

// A NUL inside the head does not end the search for the blank line.
TEST(ResponseHeadReaderTest, BinarySafe) {
  std::string wire("HTTP/1.1 200 OK\r\nX: a\0b\r\n\r\n\0\1", 29);
  ResponseHeadReader reader;
  EXPECT_EQ(reader.Append(wire.data(), wire.size()), ResponseHeadReader::State::kComplete);
  EXPECT_EQ(reader.head().size(), 23u);
  EXPECT_EQ(reader.body(), std::string("\0\1", 2));
}

}  // namespace
