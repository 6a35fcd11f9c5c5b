#include "ui/control/link_markup.h"

namespace ui {

namespace {

const wchar_t kOpen[] = L"{link:";
const wchar_t kClose[] = L"{/link}";
constexpr size_t kOpenLength = sizeof(kOpen) / sizeof(kOpen[0]) - 1;
constexpr size_t kCloseLength = sizeof(kClose) / sizeof(kClose[0]) - 1;

void Append(std::vector<LinkSpan>* spans, const std::wstring& text, const std::wstring& name) {
  if (text.empty()) return;
  if (name.empty() && !spans->empty() && spans->back().name.empty()) {
    spans->back().text += text;
    return;
  }
  spans->push_back(LinkSpan{text, name});
}

}  // namespace

std::vector<LinkSpan> ParseLinkMarkup(const std::wstring& markup) {
  std::vector<LinkSpan> spans;
  size_t pos = 0;
  while (pos < markup.size()) {
    const size_t open = markup.find(kOpen, pos);
    if (open == std::wstring::npos) {
      Append(&spans, markup.substr(pos), std::wstring());
      break;
    }
    Append(&spans, markup.substr(pos, open - pos), std::wstring());
    const size_t name_start = open + kOpenLength;
    const size_t name_end = markup.find(L'}', name_start);
    const size_t close = name_end == std::wstring::npos ? std::wstring::npos : markup.find(kClose, name_end + 1);
    if (close == std::wstring::npos) {
      Append(&spans, markup.substr(open), std::wstring());
      break;
    }
    // Another opening before this link ends: this one is not a link. The
    // inner opening lies beyond |open|, so the scan always advances.
    const size_t inner = markup.find(kOpen, name_start);
    if (inner != std::wstring::npos && inner < close) {
      Append(&spans, markup.substr(open, inner - open), std::wstring());
      pos = inner;
      continue;
    }
    const std::wstring name = markup.substr(name_start, name_end - name_start);
    Append(&spans, markup.substr(name_end + 1, close - name_end - 1), name);
    pos = close + kCloseLength;
  }
  return spans;
}

std::wstring LinkNameAt(const std::vector<LinkRange>& ranges, long cp) {
  for (const LinkRange& range : ranges) {
    if (cp >= range.start && cp < range.end) return range.name;
  }
  return std::wstring();
}

}  // namespace ui
