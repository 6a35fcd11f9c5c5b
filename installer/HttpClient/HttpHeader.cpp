#include "installer/HttpClient/HttpHeader.h"

const char kDefaultUserAgent[] =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/80.0.4044.92 Safari/537.36";
const char kDefaultAccept[] = "*/*";
const char kDefaultConnection[] = "Keep-Alive";
const char kDefaultAcceptLanguage[] = "zh-CN,zh;q=0.9";

namespace {

const char kLineEnd[] = "\r\n";
const char kNameSeparator[] = ": ";

// The decimal value of the leading digits of |text|, 0 if there are none.
// Saturates instead of overflowing: a status code has three digits anyway.
int LeadingNumber(const std::string& text) {
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (value > 99999999) return 999999999;
    value = value * 10 + (c - '0');
  }
  return value;
}

void ParseStatusLine(const std::string& line, CHttpHeader* header) {
  header->version = line.substr(0, 8);
  size_t first = line.find(' ');
  if (first == std::string::npos) return;
  size_t second = line.find(' ', first + 1);
  if (second == std::string::npos) {
    // "HTTP/1.1 200": the code runs to the end of the line, no reason.
    header->status = LeadingNumber(line.substr(first + 1));
    return;
  }
  header->status = LeadingNumber(line.substr(first + 1, second - first - 1));
  header->reason = line.substr(second + 1);
}

}  // namespace

CHttpHeader::CHttpHeader(const std::string& head) {
  size_t start = 0;
  bool first_line = true;
  while (start <= head.size()) {
    size_t end = head.find(kLineEnd, start);
    if (end == std::string::npos) end = head.size();
    std::string line = head.substr(start, end - start);
    if (first_line) {
      ParseStatusLine(line, this);
      first_line = false;
    } else {
      size_t separator = line.find(kNameSeparator);
      if (separator != std::string::npos) {
        // emplace keeps an existing value: the first occurrence wins.
        headers.emplace(line.substr(0, separator), line.substr(separator + 2));
      }
    }
    start = end + 2;
  }
}

void CHttpHeader::AddHeader(const std::string& name, const std::string& value) {
  if (name.empty() || value.empty()) return;
  headers.emplace(name, value);
}

std::string CHttpHeader::GetValue(const std::string& name) const {
  auto it = headers.find(name);
  return it == headers.end() ? std::string() : it->second;
}

void CHttpHeader::RemoveHeader(const std::string& name) { headers.erase(name); }

void CHttpHeader::SetHost(const std::string& host) { AddHeader("Host", host); }

void CHttpHeader::AddDefaults() {
  AddHeader("User-Agent", kDefaultUserAgent);
  AddHeader("Accept", kDefaultAccept);
  AddHeader("Connection", kDefaultConnection);
  AddHeader("Accept-Language", kDefaultAcceptLanguage);
}

std::string CHttpHeader::HeaderBlock() {
  AddDefaults();
  std::string block;
  for (const auto& [name, value] : headers) {
    block += name;
    block += kNameSeparator;
    block += value;
    block += kLineEnd;
  }
  return block;
}

std::string CHttpHeader::RequestHead(int type) {
  if (version.empty()) version = "HTTP/1.1";
  std::string head = type == 1 ? "POST " : "GET ";
  head += uri;
  head += ' ';
  head += version;
  head += kLineEnd;
  head += HeaderBlock();
  head += kLineEnd;
  return head;
}

bool ParseContentLength(const std::string& text, int64_t* length) {
  constexpr int64_t kMaxExact = int64_t{1} << 53;
  size_t i = 0;
  const size_t n = text.size();
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (i < n && blank(text[i])) ++i;
  if (i == n || text[i] < '0' || text[i] > '9') return false;
  int64_t value = 0;
  while (i < n && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + (text[i] - '0');
    if (value > kMaxExact) return false;
    ++i;
  }
  while (i < n && blank(text[i])) ++i;
  if (i != n) return false;
  *length = value;
  return true;
}

bool ParseContentRange(const std::string& text, ContentRange* range) {
  constexpr int64_t kMaxExact = int64_t{1} << 53;
  size_t i = 0;
  const size_t n = text.size();
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  auto number = [&](int64_t* value) {
    if (i == n || text[i] < '0' || text[i] > '9') return false;
    int64_t v = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      v = v * 10 + (text[i] - '0');
      if (v > kMaxExact) return false;
      ++i;
    }
    *value = v;
    return true;
  };
  while (i < n && blank(text[i])) ++i;
  if (text.compare(i, 6, "bytes ") != 0) return false;
  i += 6;
  ContentRange parsed;
  if (!number(&parsed.first) || i == n || text[i++] != '-') return false;
  if (!number(&parsed.last) || i == n || text[i++] != '/') return false;
  if (!number(&parsed.total)) return false;
  while (i < n && blank(text[i])) ++i;
  if (i != n || parsed.first > parsed.last || parsed.last >= parsed.total) return false;
  *range = parsed;
  return true;
}

ResponseHeadReader::State ResponseHeadReader::Append(const char* data, size_t size) {
  if (state_ != State::kNeedMore) return state_;
  // Only the last three bytes already held can start the blank line.
  size_t search_from = buffer_.size() < 3 ? 0 : buffer_.size() - 3;
  buffer_.append(data, size);
  size_t end = buffer_.find("\r\n\r\n", search_from);
  if (end == std::string::npos) {
    if (buffer_.size() > max_head_) {
      state_ = State::kTooLarge;
      buffer_.clear();
    }
    return state_;
  }
  if (end > max_head_) {
    state_ = State::kTooLarge;
    buffer_.clear();
    return state_;
  }
  head_ = buffer_.substr(0, end);
  body_ = buffer_.substr(end + 4);
  buffer_.clear();
  state_ = State::kComplete;
  return state_;
}

void ResponseHeadReader::Reset() {
  state_ = State::kNeedMore;
  buffer_.clear();
  head_.clear();
  body_.clear();
}
