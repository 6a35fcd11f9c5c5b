// Feeds arbitrary bytes through the path a server's answer takes in the
// socket client: split into reads, collected into a head, parsed, its
// Content-Length and Location read. Also splits the bytes as a URL, since
// a Location becomes one.
#include <cstddef>
#include <cstdint>
#include <string>

#include "installer/HttpClient/HttpHeader.h"
#include "installer/HttpClient/HttpUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the read size, the rest is the stream.
  const size_t chunk = 1 + data[0] % 64;
  const char* stream = reinterpret_cast<const char*>(data + 1);
  const size_t length = size - 1;

  ResponseHeadReader reader(1024);
  size_t offset = 0;
  while (offset < length && reader.state() == ResponseHeadReader::State::kNeedMore) {
    size_t n = chunk < length - offset ? chunk : length - offset;
    reader.Append(stream + offset, n);
    offset += n;
  }
  if (reader.state() == ResponseHeadReader::State::kComplete) {
    if (reader.head().size() > 1024) __builtin_trap();
    CHttpHeader response(reader.head());
    if (response.status < 0) __builtin_trap();
    int64_t content_length = 0;
    if (ParseContentLength(response.GetValue("Content-Length"), &content_length) &&
        (content_length < 0 || content_length > (int64_t{1} << 53)))
      __builtin_trap();
    ContentRange range;
    if (ParseContentRange(response.GetValue("Content-Range"), &range) &&
        (range.first < 0 || range.first > range.last || range.last >= range.total))
      __builtin_trap();
    HttpUrlPartsA location = SplitHttpUrl(response.GetValue("Location"));
    if (location.path.empty()) __builtin_trap();
    // Whatever was parsed can be written back out as a request.
    response.SetUri(location.path);
    response.RequestHead(0);
  }

  std::string text(stream, length);
  HttpUrlPartsA narrow = SplitHttpUrl(text);
  std::wstring wide(text.begin(), text.end());
  HttpUrlParts wide_parts = SplitHttpUrl(wide);
  if (narrow.port != wide_parts.port || narrow.host.size() != wide_parts.host.size()) __builtin_trap();
  return 0;
}
