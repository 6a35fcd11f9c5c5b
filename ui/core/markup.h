// Parser of the skin's small XML dialect: elements, double-quoted attributes,
// five character entities, comments and processing instructions. The document
// owns one UTF-16 copy of the text and tokenises it in place, so names and
// values are pointers into that copy; MarkupNode is a light cursor over one
// element, valid while its document lives and is not reloaded. A document and
// its nodes belong to one thread (the UI thread). Portable.
#ifndef UI_CORE_MARKUP_H_
#define UI_CORE_MARKUP_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ui {

enum class MarkupEncoding {
  kUtf8 = 0,
  kUtf16 = 1,  // requires a byte-order mark
  kAnsi = 2,   // the system code page (natively: Latin-1)
};

class MarkupDocument;

class MarkupNode {
 public:
  // Attributes beyond this count are not visible through the node.
  static constexpr int kMaxAttributes = 64;

  MarkupNode() = default;

  bool IsValid() const { return owner_ != nullptr; }
  // Null for an invalid node.
  const wchar_t* ElementName() const;
  // The element's text content with entities decoded; empty for an empty
  // element, null for an invalid node.
  const wchar_t* ElementText() const;
  MarkupNode FirstChild() const;
  MarkupNode NextSibling() const;
  bool HasChildElements() const;

  bool HasAnyAttribute() const { return AttributeCount() > 0; }
  int AttributeCount() const;
  // "" for an index outside 0..count-1, null for an invalid node.
  const wchar_t* AttributeNameAt(int index) const;
  const wchar_t* AttributeValue(int index) const;
  // Copies the value of the first attribute named exactly |name| into
  // |buffer|, which holds |max| characters including the terminator (the
  // value is cut to max - 1). Returns whether the attribute exists.
  bool AttributeValue(const wchar_t* name, wchar_t* buffer, size_t max) const;

 private:
  friend class MarkupDocument;
  MarkupNode(const MarkupDocument* owner, uint32_t index) : owner_(owner), index_(index) {}
  void MapAttributes() const;

  const MarkupDocument* owner_ = nullptr;
  uint32_t index_ = 0;
  // Filled on first attribute access by re-scanning the start tag.
  mutable int attribute_count_ = -1;
  mutable uint32_t attributes_[kMaxAttributes][2] = {};  // name, value offsets
};

class MarkupDocument {
 public:
  // Files above this size are refused.
  static constexpr size_t kMaxFileSize = 4194304;

  MarkupDocument();
  ~MarkupDocument();
  MarkupDocument(const MarkupDocument&) = delete;
  MarkupDocument& operator=(const MarkupDocument&) = delete;

  // Each load discards the previous content first. On failure the document
  // is empty and ErrorText()/ErrorPosition() say why and where.
  bool Load(const std::wstring& text);
  bool Load(const wchar_t* text, size_t length);
  // A relative |path| is taken below the resource path (ResourceRoot()).
  bool LoadFile(const std::wstring& path, MarkupEncoding encoding = MarkupEncoding::kUtf8);
  bool LoadBytes(const void* bytes, size_t size, MarkupEncoding encoding);
  void Release();

  // Both are empty after a successful load.
  const wchar_t* ErrorText() const { return error_text_; }
  const wchar_t* ErrorPosition() const { return error_position_; }

  // The first element, or an invalid node when the document holds none.
  MarkupNode RootNode() const;

 private:
  friend class MarkupNode;

  // Offsets are in UTF-16 units from the start of the text; links are
  // indexes into the table, 0 meaning none (entry 0 is a placeholder).
  struct Element {
    uint32_t start;   // element name
    uint32_t child;   // first child
    uint32_t next;    // next sibling
    uint32_t parent;
    uint32_t data;    // text content, or the "/" of "/>"
  };

  bool Parse();
  bool ParseAttributes(size_t* pos);
  // Copies text up to |end| (or the terminator) from |*pos| to |*dest|,
  // decoding entities; leaves |*pos| at |end| or the terminator.
  void ParseData(size_t* pos, size_t* dest, wchar_t end);
  void SkipWhitespace(size_t* pos) const;
  uint32_t AppendElement(uint32_t start, uint32_t parent);
  bool Fail(const wchar_t* message, size_t pos);
  void SetError(const wchar_t* message, const wchar_t* position);

  bool LoadText(std::wstring text);

  std::wstring text_;
  std::vector<Element> elements_;
  wchar_t error_text_[100];
  wchar_t error_position_[50];
};

}  // namespace ui

#endif  // UI_CORE_MARKUP_H_
