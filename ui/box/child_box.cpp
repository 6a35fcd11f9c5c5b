#include "ui/box/child_box.h"

#include "ui/core/markup_builder.h"

namespace ui {

ChildBox::ChildBox() = default;

void ChildBox::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"xmlfile")
    xml_file_ = value;
  else
    Box::SetAttribute(name, value);
}

void ChildBox::OnFirstInit() {
  if (xml_file_.empty()) return;
  if (!MarkupBuilder::CreateCached(xml_file_, GetWindow(), this)) RemoveAll();
}

}  // namespace ui
