#include "ui/core/markup.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

#include "base/util/file_util.h"
#include "base/util/string_util.h"
#include "ui/core/resource_archive.h"

namespace ui {
namespace {

bool IsNameChar(wchar_t c) {
  return c == L'_' || c == L':' || (c != 0 && std::iswalnum(static_cast<wint_t>(c)));
}

struct Entity {
  const wchar_t* name;  // without the "&"
  size_t length;
  wchar_t value;
};
const Entity kEntities[] = {
    {L"amp;", 4, L'&'}, {L"apos;", 5, L'\''}, {L"gt;", 3, L'>'}, {L"quot;", 5, L'"'}, {L"lt;", 3, L'<'},
};

void CopyLimited(wchar_t* out, size_t capacity, const wchar_t* text) {
  size_t i = 0;
  if (text) {
    for (; i + 1 < capacity && text[i]; ++i) out[i] = text[i];
  }
  out[i] = 0;
}

std::wstring DecodeAnsi(const char* data, size_t size) {
  std::wstring out;
#ifdef _WIN32
  if (size == 0 || size > 0x7fffffff) return out;
  const int length = ::MultiByteToWideChar(CP_ACP, 0, data, static_cast<int>(size), nullptr, 0);
  if (length <= 0) return out;
  out.resize(length);
  ::MultiByteToWideChar(CP_ACP, 0, data, static_cast<int>(size), &out[0], length);
#else
  out.reserve(size);
  for (size_t i = 0; i < size; ++i) out.push_back(static_cast<unsigned char>(data[i]));
#endif
  return out;
}

// Size of an open file, or -1 when it cannot be told.
int64_t FileSize(FILE* file) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  const int64_t size = _ftelli64(file);
  if (_fseeki64(file, 0, SEEK_SET) != 0) return -1;
#else
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  const int64_t size = ftello(file);
  if (fseeko(file, 0, SEEK_SET) != 0) return -1;
#endif
  return size;
}

}  // namespace

// ---------------------------------------------------------------- MarkupNode

const wchar_t* MarkupNode::ElementName() const {
  if (!owner_) return nullptr;
  return owner_->text_.data() + owner_->elements_[index_].start;
}

const wchar_t* MarkupNode::ElementText() const {
  if (!owner_) return nullptr;
  return owner_->text_.data() + owner_->elements_[index_].data;
}

MarkupNode MarkupNode::FirstChild() const {
  if (!owner_ || owner_->elements_[index_].child == 0) return MarkupNode();
  return MarkupNode(owner_, owner_->elements_[index_].child);
}

MarkupNode MarkupNode::NextSibling() const {
  if (!owner_ || owner_->elements_[index_].next == 0) return MarkupNode();
  return MarkupNode(owner_, owner_->elements_[index_].next);
}

bool MarkupNode::HasChildElements() const { return owner_ && owner_->elements_[index_].child != 0; }

int MarkupNode::AttributeCount() const {
  if (!owner_) return 0;
  if (attribute_count_ < 0) MapAttributes();
  return attribute_count_;
}

const wchar_t* MarkupNode::AttributeNameAt(int index) const {
  if (!owner_) return nullptr;
  if (index < 0 || index >= AttributeCount()) return L"";
  return owner_->text_.data() + attributes_[index][0];
}

const wchar_t* MarkupNode::AttributeValue(int index) const {
  if (!owner_) return nullptr;
  if (index < 0 || index >= AttributeCount()) return L"";
  return owner_->text_.data() + attributes_[index][1];
}

bool MarkupNode::AttributeValue(const wchar_t* name, wchar_t* buffer, size_t max) const {
  if (!owner_ || !name) return false;
  const int count = AttributeCount();
  for (int i = 0; i < count; ++i) {
    if (std::wcscmp(owner_->text_.data() + attributes_[i][0], name) != 0) continue;
    if (buffer && max > 0) CopyLimited(buffer, max, owner_->text_.data() + attributes_[i][1]);
    return true;
  }
  return false;
}

// The parse left the start tag as: name, terminator, then for every
// attribute whitespace, name, terminator, whitespace, quote, value,
// terminator; the data offset bounds the tag.
void MarkupNode::MapAttributes() const {
  attribute_count_ = 0;
  const wchar_t* text = owner_->text_.data();
  const MarkupDocument::Element& element = owner_->elements_[index_];
  size_t pos = element.start + std::wcslen(text + element.start) + 1;
  const size_t end = element.data;
  while (pos < end && attribute_count_ < kMaxAttributes) {
    owner_->SkipWhitespace(&pos);
    if (pos >= end) break;
    const wchar_t c = text[pos];
    if (c == 0 || c == L'>' || c == L'/') break;
    const size_t name = pos;
    pos += std::wcslen(text + pos) + 1;
    owner_->SkipWhitespace(&pos);
    if (pos >= end || text[pos] != L'"') break;
    ++pos;
    attributes_[attribute_count_][0] = static_cast<uint32_t>(name);
    attributes_[attribute_count_][1] = static_cast<uint32_t>(pos);
    ++attribute_count_;
    pos += std::wcslen(text + pos) + 1;
  }
}

// ------------------------------------------------------------ MarkupDocument

MarkupDocument::MarkupDocument() { SetError(L"", L""); }

MarkupDocument::~MarkupDocument() = default;

void MarkupDocument::Release() {
  text_.clear();
  text_.shrink_to_fit();
  elements_.clear();
  elements_.shrink_to_fit();
}

void MarkupDocument::SetError(const wchar_t* message, const wchar_t* position) {
  CopyLimited(error_text_, sizeof(error_text_) / sizeof(error_text_[0]), message);
  CopyLimited(error_position_, sizeof(error_position_) / sizeof(error_position_[0]), position);
}

bool MarkupDocument::Fail(const wchar_t* message, size_t pos) {
  SetError(message, pos < text_.size() ? text_.data() + pos : L"");
  Release();
  return false;
}

MarkupNode MarkupDocument::RootNode() const {
  if (elements_.size() < 2) return MarkupNode();
  return MarkupNode(this, 1);
}

bool MarkupDocument::Load(const std::wstring& text) { return LoadText(text); }

bool MarkupDocument::Load(const wchar_t* text, size_t length) {
  return LoadText(text ? std::wstring(text, length) : std::wstring());
}

bool MarkupDocument::LoadText(std::wstring text) {
  Release();
  SetError(L"", L"");
  // Offsets are 32-bit; no skin comes anywhere near this.
  if (text.size() >= 0x7fffffff) {
    SetError(L"File too large", L"");
    return false;
  }
  text_ = std::move(text);  // the one copy of the text, tokenised in place
  return Parse();
}

bool MarkupDocument::LoadBytes(const void* bytes, size_t size, MarkupEncoding encoding) {
  Release();
  SetError(L"", L"");
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  if (!p) size = 0;
  std::wstring text;
  switch (encoding) {
    case MarkupEncoding::kUtf8:
      if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) p += 3, size -= 3;
      text = base::DecodeUtf8(reinterpret_cast<const char*>(p), size);
      break;
    case MarkupEncoding::kAnsi:
      text = DecodeAnsi(reinterpret_cast<const char*>(p), size);
      break;
    case MarkupEncoding::kUtf16: {
      const bool little = size >= 2 && p[0] == 0xFF && p[1] == 0xFE;
      const bool big = size >= 2 && p[0] == 0xFE && p[1] == 0xFF;
      if (!little && !big) {
        SetError(L"Expected byte order mark", L"");
        return false;
      }
      text.reserve(size / 2);
      for (size_t i = 2; i + 1 < size; i += 2) {
        text.push_back(static_cast<wchar_t>(little ? (p[i] | (p[i + 1] << 8)) : ((p[i] << 8) | p[i + 1])));
      }
      break;
    }
    default:
      SetError(L"Unknown encoding", L"");
      return false;
  }
  return LoadText(std::move(text));
}

bool MarkupDocument::LoadFile(const std::wstring& path, MarkupEncoding encoding) {
  Release();
  SetError(L"", L"");
  const std::wstring full = IsRelativePath(path) ? ResourceRoot() + path : path;
  FILE* file = base::OpenFileForReading(full, false);
  if (!file) {
    SetError(L"Error opening file", L"");
    return false;
  }
  const int64_t size = FileSize(file);
  if (size == 0) {
    std::fclose(file);
    SetError(L"File is empty", L"");
    return false;
  }
  if (size < 0 || size > static_cast<int64_t>(kMaxFileSize)) {
    std::fclose(file);
    SetError(L"File too large", L"");
    return false;
  }
  std::unique_ptr<char[]> bytes(new char[static_cast<size_t>(size)]);
  const size_t read = std::fread(bytes.get(), 1, static_cast<size_t>(size), file);
  std::fclose(file);
  if (read < static_cast<size_t>(size)) {
    SetError(L"Could not read file", L"");
    return false;
  }
  return LoadBytes(bytes.get(), read, encoding);
}

void MarkupDocument::SkipWhitespace(size_t* pos) const {
  const wchar_t* text = text_.data();
  while (text[*pos] != 0 && static_cast<uint32_t>(text[*pos]) <= 32) ++*pos;
}

uint32_t MarkupDocument::AppendElement(uint32_t start, uint32_t parent) {
  if (elements_.size() == elements_.capacity()) {
    elements_.reserve(elements_.capacity() + elements_.capacity() / 2 + 500);
  }
  elements_.push_back(Element{start, 0, 0, parent, 0});
  return static_cast<uint32_t>(elements_.size() - 1);
}

void MarkupDocument::ParseData(size_t* pos, size_t* dest, wchar_t end) {
  wchar_t* text = text_.data();
  while (text[*pos] != 0 && text[*pos] != end) {
    if (text[*pos] == L'&') {
      bool decoded = false;
      for (const Entity& entity : kEntities) {
        if (std::wcsncmp(text + *pos + 1, entity.name, entity.length) == 0) {
          text[(*dest)++] = entity.value;
          *pos += 1 + entity.length;
          decoded = true;
          break;
        }
      }
      if (decoded) continue;
    }
    text[(*dest)++] = text[(*pos)++];
  }
}

bool MarkupDocument::ParseAttributes(size_t* pos) {
  wchar_t* text = text_.data();
  for (;;) {
    SkipWhitespace(pos);
    const wchar_t c = text[*pos];
    if (c == 0 || c == L'>' || c == L'/') return true;
    while (IsNameChar(text[*pos])) ++*pos;
    const size_t name_end = *pos;
    SkipWhitespace(pos);
    if (text[*pos] != L'=') return Fail(L"Error while parsing attributes", *pos);
    text[(*pos)++] = L' ';
    text[name_end] = 0;
    SkipWhitespace(pos);
    if (text[*pos] != L'"') return Fail(L"Expected attribute value", *pos);
    ++*pos;
    size_t dest = *pos;
    ParseData(pos, &dest, L'"');
    if (text[*pos] == 0) return Fail(L"Error while parsing attribute string", *pos);
    // Terminate the value and blank the gap left by decoded entities and the
    // closing quote, so the node's re-scan steps over them as whitespace.
    text[dest] = 0;
    for (size_t fill = dest + 1; fill <= *pos; ++fill) text[fill] = L' ';
    ++*pos;
  }
}

// Iterative, so that deep nesting cannot exhaust the stack: the element
// table's parent links are the way back up.
bool MarkupDocument::Parse() {
  wchar_t* text = text_.data();
  elements_.clear();
  AppendElement(0, 0);  // placeholder: index 0 means "none"
  uint32_t parent = 0;
  uint32_t previous = 0;  // last element at the current level
  size_t pos = 0;

  // Checks "</name>" at |*at| for element |index|.
  auto close_element = [&](uint32_t index, size_t* at) -> bool {
    text[*at] = 0;  // also ends the content of the element, if it ran up to here
    *at += 2;
    SkipWhitespace(at);
    const wchar_t* name = text + elements_[index].start;
    const size_t length = std::wcslen(name);
    if (std::wcsncmp(text + *at, name, length) != 0) return Fail(L"Unmatched closing tag", *at);
    *at += length;
    SkipWhitespace(at);
    if (text[*at] != L'>') return Fail(L"Unmatched closing tag", *at);
    ++*at;
    return true;
  };

  for (;;) {
    SkipWhitespace(&pos);
    if (text[pos] == 0) {
      if (parent <= 1) return true;
      return Fail(L"Expected start tag", pos);
    }
    if (text[pos] != L'<') return Fail(L"Expected start tag", pos);
    if (text[pos + 1] == L'/') {
      // The end of the current list of children: the parent's closing tag.
      if (parent == 0) return true;
      if (!close_element(parent, &pos)) return false;
      previous = parent;
      parent = elements_[parent].parent;
      continue;
    }
    text[pos++] = 0;
    SkipWhitespace(&pos);
    if (text[pos] == L'!' || text[pos] == L'?') {
      const wchar_t closing = text[pos] == L'!' ? L'-' : L'?';
      while (text[pos] != 0 && !(text[pos] == closing && text[pos + 1] == L'>')) ++pos;
      if (text[pos] != 0) pos += 2;
      continue;
    }

    const uint32_t index = AppendElement(static_cast<uint32_t>(pos), parent);
    if (previous != 0) {
      elements_[previous].next = index;
    } else if (parent != 0) {
      elements_[parent].child = index;
    }
    previous = index;

    const size_t name_start = pos;
    while (IsNameChar(text[pos])) ++pos;
    if (pos == name_start) return Fail(L"Error parsing element name", pos);
    const size_t name_end = pos;
    if (!ParseAttributes(&pos)) return false;
    SkipWhitespace(&pos);
    if (text[pos] == L'/' && text[pos + 1] == L'>') {
      elements_[index].data = static_cast<uint32_t>(pos);
      text[pos] = 0;
      text[name_end] = 0;
      pos += 2;
      continue;
    }
    if (text[pos] != L'>') return Fail(L"Expected start-tag closing", pos);
    text[name_end] = 0;
    ++pos;
    elements_[index].data = static_cast<uint32_t>(pos);
    size_t dest = pos;
    ParseData(&pos, &dest, L'<');
    if (dest < pos) {
      // Decoded entities shortened the text: end it and blank the gap.
      text[dest] = 0;
      for (size_t fill = dest + 1; fill < pos; ++fill) text[fill] = L' ';
    }
    if (text[pos] == 0) {
      if (parent <= 1) return true;
      return Fail(L"Expected end-tag start", pos);
    }
    if (text[pos + 1] != L'/') {
      // Children follow: descend.
      parent = index;
      previous = 0;
      continue;
    }
    if (!close_element(index, &pos)) return false;
  }
}

}  // namespace ui
