// ChildBox takes its content from another markup file ("xmlfile"), built
// when the box is initialised in its window. Each file is parsed once
// (the builder's document cache). UI thread only.
#ifndef UI_BOX_CHILD_BOX_H_
#define UI_BOX_CHILD_BOX_H_

#include "ui/box/box.h"

namespace ui {

class ChildBox : public Box {
 public:
  ChildBox();
  std::wstring GetType() const override { return L"ChildBox"; }

  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void OnFirstInit() override;

  const std::wstring& GetChildFile() const { return xml_file_; }

 private:
  std::wstring xml_file_;
};

}  // namespace ui

#endif  // UI_BOX_CHILD_BOX_H_
