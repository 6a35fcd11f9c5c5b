// Loading the skin's markup for the global tables: the markup-name rule
// (text, archive member below the resource path, or file) and the
// processing of a `Global` root with its Font, TextColor and Class children.
// The window builder reuses both. Free functions; UI thread only.
#ifndef UI_CORE_GLOBAL_SKIN_H_
#define UI_CORE_GLOBAL_SKIN_H_

#include <string>

#include "ui/core/markup.h"

namespace ui {

// |markup| starting with "<" is parsed as text. Otherwise, with an archive
// mounted, the member at resource path + |markup| is parsed as UTF-8; when
// it is missing (or nothing is mounted) the file is loaded (a relative name
// below the resource path).
bool LoadSkinMarkup(const std::wstring& markup, MarkupDocument* document);

// The attribute-list string of a Class element: "value" appended as it is,
// "_value" as value="...", others as name="value", each after one space;
// leading spaces and control characters are then removed. The "name"
// attribute is not part of it.
std::wstring BuildClassAttributes(const MarkupNode& element);

// Applies a `Global` root: its attributes, then its Font, TextColor and
// Class children into GlobalResources. Returns false when |root| is not
// named "Global".
bool ApplyGlobalSkin(const MarkupNode& root);

// LoadSkinMarkup + ApplyGlobalSkin for "global.xml" or another name.
bool LoadGlobalSkin(const std::wstring& markup);

}  // namespace ui

#endif  // UI_CORE_GLOBAL_SKIN_H_
