#include "ui/core/global_skin.h"

#include <cwchar>

#include "base/log/log.h"
#include "ui/core/global_resources.h"
#include "ui/core/resource_archive.h"

namespace ui {

namespace {

std::wstring Attribute(const MarkupNode& node, const wchar_t* name) {
  for (int i = 0; i < node.AttributeCount(); ++i) {
    if (std::wcscmp(node.AttributeNameAt(i), name) == 0) return node.AttributeValue(i);
  }
  return std::wstring();
}

bool IsTrue(const MarkupNode& node, const wchar_t* name) { return Attribute(node, name) == L"true"; }

// Decimal with an optional sign; anything else (or nothing) gives |fallback|.
int ParseSize(const std::wstring& text, int fallback) {
  if (text.empty()) return fallback;
  wchar_t* end = nullptr;
  long value = std::wcstol(text.c_str(), &end, 10);
  if (end == text.c_str()) return fallback;
  if (value > 10000) value = 10000;  // a font size beyond this is a typo
  if (value < -10000) value = -10000;
  return static_cast<int>(value);
}

void ApplyFont(const MarkupNode& node) {
  const std::wstring face = Attribute(node, L"name");
  if (face.empty()) return;
  GlobalResources::AddFont(Attribute(node, L"id"), face, ParseSize(Attribute(node, L"size"), 12),
                           IsTrue(node, L"bold"), IsTrue(node, L"underline"), IsTrue(node, L"italic"),
                           IsTrue(node, L"default"));
}

}  // namespace

bool LoadSkinMarkup(const std::wstring& markup, MarkupDocument* document) {
  if (!markup.empty() && markup[0] == L'<') return document->Load(markup);
  if (IsArchiveMounted()) {
    std::string bytes;
    if (ReadArchiveMemberBytes(ResourceRoot() + markup, &bytes))
      return document->LoadBytes(bytes.data(), bytes.size(), MarkupEncoding::kUtf8);
  }
  return document->LoadFile(markup, MarkupEncoding::kUtf8);
}

std::wstring BuildClassAttributes(const MarkupNode& element) {
  std::wstring list;
  for (int i = 0; i < element.AttributeCount(); ++i) {
    const wchar_t* name = element.AttributeNameAt(i);
    const wchar_t* value = element.AttributeValue(i);
    if (std::wcscmp(name, L"name") == 0) continue;
    if (std::wcscmp(name, L"value") == 0) {
      list += value;
    } else if (std::wcscmp(name, L"_value") == 0) {
      list += L" value=\"";
      list += value;
      list += L"\"";
    } else {
      list += L' ';
      list += name;
      list += L"=\"";
      list += value;
      list += L"\"";
    }
  }
  size_t start = 0;
  while (start < list.size() && (list[start] == L' ' || list[start] < 30)) ++start;
  return list.substr(start);
}

bool ApplyGlobalSkin(const MarkupNode& root) {
  if (!root.IsValid() || std::wcscmp(root.ElementName(), L"Global") != 0) return false;

  // The three colours name TextColor entries that the children define, so
  // they are resolved once the children are in the table.
  std::wstring link, link_hover, selected;
  bool has_link = false, has_link_hover = false, has_selected = false;
  for (int i = 0; i < root.AttributeCount(); ++i) {
    const wchar_t* name = root.AttributeNameAt(i);
    const wchar_t* value = root.AttributeValue(i);
    if (std::wcscmp(name, L"defaultfontcolor") == 0) {
      GlobalResources::SetDefaultTextColorName(value);
    } else if (std::wcscmp(name, L"disabledfontcolor") == 0) {
      GlobalResources::SetDisabledTextColorName(value);
    } else if (std::wcscmp(name, L"linkfontcolor") == 0) {
      link = value;
      has_link = true;
    } else if (std::wcscmp(name, L"linkhoverfontcolor") == 0) {
      link_hover = value;
      has_link_hover = true;
    } else if (std::wcscmp(name, L"selectedcolor") == 0) {
      selected = value;
      has_selected = true;
    }
  }

  for (MarkupNode child = root.FirstChild(); child.IsValid(); child = child.NextSibling()) {
    const wchar_t* element = child.ElementName();
    if (std::wcscmp(element, L"Font") == 0) {
      ApplyFont(child);
    } else if (std::wcscmp(element, L"TextColor") == 0) {
      const std::wstring name = Attribute(child, L"name");
      if (!name.empty()) GlobalResources::AddTextColor(name, Attribute(child, L"value"));
    } else if (std::wcscmp(element, L"Class") == 0) {
      const std::wstring name = Attribute(child, L"name");
      if (!name.empty()) GlobalResources::AddClass(name, BuildClassAttributes(child));
    }
  }

  if (has_link) GlobalResources::SetLinkFontColor(GlobalResources::GetTextColor(link));
  if (has_link_hover) GlobalResources::SetLinkHoverFontColor(GlobalResources::GetTextColor(link_hover));
  if (has_selected) GlobalResources::SetSelectedColor(GlobalResources::GetTextColor(selected));
  return true;
}

bool LoadGlobalSkin(const std::wstring& markup) {
  MarkupDocument document;
  if (!LoadSkinMarkup(markup, &document)) {
    QLOG_ERR(L"global skin: cannot load {0}: {1}") << markup << document.ErrorText();
    return false;
  }
  return ApplyGlobalSkin(document.RootNode());
}

}  // namespace ui
