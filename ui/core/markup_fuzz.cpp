// Fuzz target: parses any bytes as skin markup in the encoding chosen by the
// first byte, then walks the whole tree without recursion and reads every
// attribute, so the node's re-scan of the tokenised start tags runs too.
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "ui/core/markup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const ui::MarkupEncoding encoding = static_cast<ui::MarkupEncoding>(data[0] % 3);
  ui::MarkupDocument doc;
  if (!doc.LoadBytes(data + 1, size - 1, encoding)) {
    if (doc.ErrorText()[0] == 0 || doc.RootNode().IsValid()) __builtin_trap();
    return 0;
  }
  std::vector<ui::MarkupNode> pending;
  if (doc.RootNode().IsValid()) pending.push_back(doc.RootNode());
  wchar_t buffer[32];
  size_t characters = 0;  // touches every string the nodes hand out
  while (!pending.empty()) {
    ui::MarkupNode node = pending.back();
    pending.pop_back();
    characters += std::wcslen(node.ElementName()) + std::wcslen(node.ElementText());
    const int count = node.AttributeCount();
    if (count > ui::MarkupNode::kMaxAttributes) __builtin_trap();
    for (int i = 0; i < count; ++i) {
      const wchar_t* name = node.AttributeNameAt(i);
      characters += std::wcslen(name) + std::wcslen(node.AttributeValue(i));
      if (!node.AttributeValue(name, buffer, 32)) __builtin_trap();
    }
    if (node.NextSibling().IsValid()) pending.push_back(node.NextSibling());
    if (node.FirstChild().IsValid()) pending.push_back(node.FirstChild());
  }
  if (characters > size) __builtin_trap();  // everything comes out of the input's own text
  return 0;
}
