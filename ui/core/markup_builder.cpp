#include "ui/core/markup_builder.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <map>
#include <vector>

#include "base/log/log.h"
#include "ui/box/box.h"
#include "ui/box/child_box.h"
#include "ui/box/list_box.h"
#include "ui/box/tab_box.h"
#include "ui/control/attribute_values.h"
#include "ui/control/button.h"
#include "ui/control/check_box.h"
#include "ui/control/circle_progress.h"
#include "ui/control/combo.h"
#include "ui/control/control.h"
#include "ui/control/label.h"
#include "ui/control/option.h"
#include "ui/control/progress.h"
#include "ui/control/rich_edit.h"
#include "ui/control/scroll_bar.h"
#include "ui/core/global_skin.h"
#include "ui/window/window.h"

namespace ui {

namespace {

std::map<std::wstring, ControlCreator>& CreatorTable() {
  static std::map<std::wstring, ControlCreator> table = [] {
    std::map<std::wstring, ControlCreator> t;
    t[L"Control"] = [] { return std::make_unique<Control>(); };
    t[L"Box"] = [] { return std::unique_ptr<Control>(std::make_unique<Box>()); };
    t[L"HBox"] = [] { return std::unique_ptr<Control>(std::make_unique<HBox>()); };
    t[L"VBox"] = [] { return std::unique_ptr<Control>(std::make_unique<VBox>()); };
    t[L"TabBox"] = [] { return std::unique_ptr<Control>(std::make_unique<TabBox>()); };
    t[L"TileBox"] = [] { return std::unique_ptr<Control>(std::make_unique<TileBox>()); };
    t[L"ChildBox"] = [] { return std::unique_ptr<Control>(std::make_unique<ChildBox>()); };
    t[L"Label"] = [] { return std::unique_ptr<Control>(std::make_unique<Label>()); };
    t[L"Button"] = [] { return std::unique_ptr<Control>(std::make_unique<Button>()); };
    t[L"CheckBox"] = [] { return std::unique_ptr<Control>(std::make_unique<CheckBox>()); };
    t[L"Option"] = [] { return std::unique_ptr<Control>(std::make_unique<Option>()); };
    t[L"LabelBox"] = [] { return std::unique_ptr<Control>(std::make_unique<LabelBox>()); };
    t[L"ButtonBox"] = [] { return std::unique_ptr<Control>(std::make_unique<ButtonBox>()); };
    t[L"CheckBoxBox"] = [] { return std::unique_ptr<Control>(std::make_unique<CheckBoxBox>()); };
    t[L"OptionBox"] = [] { return std::unique_ptr<Control>(std::make_unique<OptionBox>()); };
    t[L"Progress"] = [] { return std::unique_ptr<Control>(std::make_unique<Progress>()); };
    t[L"CircleProgress"] = [] { return std::unique_ptr<Control>(std::make_unique<CircleProgress>()); };
    t[L"RichEdit"] = [] { return std::unique_ptr<Control>(std::make_unique<RichEdit>()); };
    t[L"HyperlinkText"] = [] { return std::unique_ptr<Control>(std::make_unique<HyperlinkText>()); };
    t[L"ScrollBar"] = [] { return std::unique_ptr<Control>(std::make_unique<ScrollBar>()); };
    t[L"Combo"] = [] { return std::unique_ptr<Control>(std::make_unique<Combo>()); };
    t[L"ListBox"] = [] { return std::unique_ptr<Control>(std::make_unique<ListBox>()); };
    t[L"HListBox"] = [] { return std::unique_ptr<Control>(std::make_unique<ListBox>(std::make_unique<HLayout>())); };
    t[L"VListBox"] = [] { return std::unique_ptr<Control>(std::make_unique<ListBox>(std::make_unique<VLayout>())); };
    t[L"TileListBox"] = [] {
      return std::unique_ptr<Control>(std::make_unique<ListBox>(std::make_unique<TileLayout>()));
    };
    t[L"ListContainerElement"] = [] { return std::unique_ptr<Control>(std::make_unique<ListContainerElement>()); };
    return t;
  }();
  return table;
}

// Files whose build is under way, outermost first, shared by every
// builder (Include and ChildBox start builders of their own).
std::vector<std::wstring>& FilesBeingBuilt() {
  static std::vector<std::wstring> files;
  return files;
}

int& TreeDepth() {
  static int depth = 0;
  return depth;
}

struct DepthGuard {
  DepthGuard() { ++TreeDepth(); }
  ~DepthGuard() { --TreeDepth(); }
};

// One file under two spellings is still one file.
std::wstring FileKey(const std::wstring& markup) {
  if (!markup.empty() && markup[0] == L'<') return std::wstring();
  std::wstring key;
  for (wchar_t c : markup) {
    if (c == L'/') c = L'\\';
    if (c == L'\\' && !key.empty() && key.back() == L'\\') continue;
    key += static_cast<wchar_t>(std::towlower(c));
  }
  return key;
}

// Builds under way (text or file) and the files built inside the outermost
// one: bounding depth and count alone still lets a chain of distinct files,
// each including the next many times, multiply into millions of builds.
int& BuildNesting() {
  static int nesting = 0;
  return nesting;
}
int& NestedBuilds() {
  static int builds = 0;
  return builds;
}

// Pushes |key| for the life of the object, unless it is already being
// built, the chain is too deep or the outermost build has made too many
// nested builds (then ok() is false).
class BuildingFile {
 public:
  explicit BuildingFile(const std::wstring& key) : key_(key) {
    if (BuildNesting()++ == 0) {
      NestedBuilds() = 0;
    } else if (++NestedBuilds() > MarkupBuilder::kMaxNestedBuilds) {
      if (NestedBuilds() == MarkupBuilder::kMaxNestedBuilds + 1) {
        QLOG_ERR(L"markup: more than {0} included files in one build; the rest is not built")
            << MarkupBuilder::kMaxNestedBuilds;
      }
      return;
    }
    if (key_.empty()) {
      ok_ = FilesBeingBuilt().size() < MarkupBuilder::kMaxIncludeDepth;
      if (!ok_) QLOG_ERR(L"markup: includes nest deeper than {0}; not built") << MarkupBuilder::kMaxIncludeDepth;
      return;
    }
    std::vector<std::wstring>& files = FilesBeingBuilt();
    if (std::find(files.begin(), files.end(), key_) != files.end()) {
      QLOG_ERR(L"markup: {0} includes itself (directly or through others); not built") << key_;
      return;
    }
    if (files.size() >= MarkupBuilder::kMaxIncludeDepth) {
      QLOG_ERR(L"markup: includes nest deeper than {0} at {1}; not built") << MarkupBuilder::kMaxIncludeDepth
                                                                          << key_;
      return;
    }
    files.push_back(key_);
    pushed_ = true;
    ok_ = true;
  }
  ~BuildingFile() {
    if (pushed_) FilesBeingBuilt().pop_back();
    --BuildNesting();
  }
  bool ok() const { return ok_; }

 private:
  std::wstring key_;
  bool ok_ = false;
  bool pushed_ = false;
};

std::map<std::wstring, std::shared_ptr<MarkupDocument>>& DocumentCache() {
  static std::map<std::wstring, std::shared_ptr<MarkupDocument>> cache;
  return cache;
}

std::wstring Attribute(const MarkupNode& node, const wchar_t* name) {
  for (int i = 0; i < node.AttributeCount(); ++i) {
    if (std::wcscmp(node.AttributeNameAt(i), name) == 0) return node.AttributeValue(i);
  }
  return std::wstring();
}

bool HasAttribute(const MarkupNode& node, const wchar_t* name) {
  for (int i = 0; i < node.AttributeCount(); ++i) {
    if (std::wcscmp(node.AttributeNameAt(i), name) == 0) return true;
  }
  return false;
}

bool IsResourceElement(const wchar_t* name) {
  return std::wcscmp(name, L"Image") == 0 || std::wcscmp(name, L"Font") == 0 ||
         std::wcscmp(name, L"Class") == 0 || std::wcscmp(name, L"TextColor") == 0;
}

const wchar_t* const kWindowAttributes[] = {
    L"size",           L"heightpercent", L"sizebox",      L"caption",        L"textid",
    L"roundcorner",    L"mininfo",       L"maxinfo",      L"shadowattached", L"shadowimage",
    L"shadowcorner",   L"alphafixcorner", L"custom_shadow",
};

bool IsWindowAttribute(const wchar_t* name) {
  for (const wchar_t* known : kWindowAttributes) {
    if (std::wcscmp(name, known) == 0) return true;
  }
  return false;
}

std::vector<std::wstring> SplitSpaces(const std::wstring& text) {
  std::vector<std::wstring> parts;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(L' ', pos);
    if (end == std::wstring::npos) end = text.size();
    if (end > pos) parts.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return parts;
}

// Makes a window root of a built top-level control; false when it cannot
// be one (the control is then destroyed).
bool AdoptAsRoot(std::unique_ptr<Control> control, Window* window) {
  if (!control || !window) return false;
  Box* box = dynamic_cast<Box*>(control.get());
  if (!box) {
    QLOG_ERR(L"markup: the top-level {0} is not a box; a window root must be one") << control->GetType();
    return false;
  }
  control.release();
  window->AttachRoot(std::unique_ptr<Box>(box));
  return true;
}

}  // namespace

void RegisterControlCreator(const std::wstring& element, ControlCreator creator) {
  CreatorTable()[element] = std::move(creator);
}

std::unique_ptr<Control> CreateControlByName(const std::wstring& element) {
  auto& table = CreatorTable();
  auto it = table.find(element);
  if (it == table.end()) return nullptr;
  return it->second();
}

MarkupBuilder::MarkupBuilder(ControlFactoryHook callback) : callback_(std::move(callback)) {}

Control* MarkupBuilder::Create(const std::wstring& markup, Window* window, Box* parent, Box* init_box) {
  const std::wstring key = FileKey(markup);
  BuildingFile building(key);
  if (!building.ok()) return nullptr;
  if (!LoadSkinMarkup(markup, &document_)) {
    QLOG_ERR(L"markup: cannot load {0}: {1}") << (key.empty() ? std::wstring(L"(text)") : markup)
                                              << document_.ErrorText();
    return nullptr;
  }
  if (parent || init_box) return Build(document_, key, window, parent, init_box, nullptr);
  std::unique_ptr<Control> root;
  Build(document_, key, window, nullptr, nullptr, &root);
  Control* raw = root.get();
  return AdoptAsRoot(std::move(root), window) ? raw : nullptr;
}

std::unique_ptr<Control> MarkupBuilder::CreateRoot(const std::wstring& markup, Window* window) {
  const std::wstring key = FileKey(markup);
  BuildingFile building(key);
  if (!building.ok()) return nullptr;
  if (!LoadSkinMarkup(markup, &document_)) {
    QLOG_ERR(L"markup: cannot load {0}: {1}") << markup << document_.ErrorText();
    return nullptr;
  }
  std::unique_ptr<Control> root;
  Build(document_, key, window, nullptr, nullptr, &root);
  return root;
}

Control* MarkupBuilder::CreateCached(const std::wstring& file, Window* window, Box* parent) {
  const std::wstring key = FileKey(file);
  BuildingFile building(key);
  if (!building.ok()) return nullptr;
  std::shared_ptr<MarkupDocument>& slot = DocumentCache()[key.empty() ? file : key];
  if (!slot) {
    auto document = std::make_shared<MarkupDocument>();
    if (!LoadSkinMarkup(file, document.get())) {
      QLOG_ERR(L"markup: cannot load {0}: {1}") << file << document->ErrorText();
      DocumentCache().erase(key.empty() ? file : key);
      return nullptr;
    }
    slot = document;
  }
  // The walk may add to the cache; hold the document, not the slot.
  std::shared_ptr<MarkupDocument> document = slot;
  MarkupBuilder builder;
  return builder.Build(*document, key, window, parent, nullptr, nullptr);
}

void MarkupBuilder::ClearDocumentCache() { DocumentCache().clear(); }

Control* MarkupBuilder::Build(const MarkupDocument& document, const std::wstring& /*key*/, Window* window,
                              Box* parent, Box* init_box, std::unique_ptr<Control>* orphan) {
  MarkupNode root = document.RootNode();
  if (!root.IsValid()) return nullptr;
  if (window) {
    if (std::wcscmp(root.ElementName(), L"Global") == 0) {
      ApplyGlobalSkin(root);
    } else if (std::wcscmp(root.ElementName(), L"Window") == 0 && window->HasNativeWindow()) {
      for (int i = 0; i < root.AttributeCount(); ++i) {
        if (IsWindowAttribute(root.AttributeNameAt(i)))
          window->SetAttribute(root.AttributeNameAt(i), root.AttributeValue(i));
      }
      for (MarkupNode child = root.FirstChild(); child.IsValid(); child = child.NextSibling()) {
        if (std::wcscmp(child.ElementName(), L"Class") != 0) continue;
        const std::wstring name = Attribute(child, L"name");
        if (!name.empty()) window->AddClass(name, BuildClassAttributes(child));
      }
    }
  }
  MarkupNode content;
  for (MarkupNode child = root.FirstChild(); child.IsValid(); child = child.NextSibling()) {
    if (!IsResourceElement(child.ElementName())) {
      content = child;
      break;
    }
  }
  if (!content.IsValid()) return nullptr;
  if (init_box) {
    for (int i = 0; i < content.AttributeCount(); ++i)
      init_box->SetAttribute(content.AttributeNameAt(i), content.AttributeValue(i));
    Walk(content, init_box, window, nullptr);
    return init_box;
  }
  return Walk(root, parent, window, orphan);
}

Control* MarkupBuilder::Walk(const MarkupNode& node, Control* parent, Window* window,
                             std::unique_ptr<Control>* orphan) {
  DepthGuard depth;
  if (TreeDepth() > kMaxTreeDepth) {
    QLOG_ERR(L"markup: elements nest deeper than {0}; the rest of this branch is not built") << kMaxTreeDepth;
    return nullptr;
  }
  Control* first = nullptr;
  for (MarkupNode child = node.FirstChild(); child.IsValid(); child = child.NextSibling()) {
    const wchar_t* element = child.ElementName();
    if (IsResourceElement(element)) continue;

    if (std::wcscmp(element, L"Include") == 0) {
      if (!child.HasAnyAttribute()) continue;
      std::wstring source = Attribute(child, L"source");
      if (source.empty()) continue;
      if (source.size() > kMaxSourceLength) source.resize(kMaxSourceLength);
      int count = HasAttribute(child, L"count") ? ParseLength(Attribute(child, L"count")) : 1;
      if (count > kMaxIncludeCount) {
        QLOG_WAR(L"markup: Include of {0} asks for {1} copies; {2} built") << source << count << kMaxIncludeCount;
        count = kMaxIncludeCount;
      }
      Box* box = dynamic_cast<Box*>(parent);
      if (!box) {
        QLOG_WAR(L"markup: Include of {0} has no box to add to; ignored") << source;
        continue;
      }
      for (int i = 0; i < count; ++i) {
        MarkupBuilder builder(callback_);
        Control* built = builder.Create(source, window, box);
        if (!built) break;  // refused or empty: the next copy would be too
        if (!first) first = built;
      }
      continue;
    }

    std::unique_ptr<Control> control = CreateControlByName(element);
    if (!control) {
      const bool event = std::wcscmp(element, L"Event") == 0;
      const bool bubbled = std::wcscmp(element, L"BubbledEvent") == 0;
      if (event || bubbled) {
        if (parent)
          AttachMarkupEvent(child, parent, bubbled);
        else
          QLOG_WAR(L"markup: {0} at the top level has no control to attach to; ignored") << element;
        continue;
      }
      if (const ControlFactoryHook& hook = GlobalResources::GetControlFactoryHook())
        control.reset(hook(element));
      if (!control && callback_) control.reset(callback_(element));
      if (!control) continue;  // unknown: the element and its subtree are skipped
    }
    control->SetWindow(window);
    for (int i = 0; i < child.AttributeCount(); ++i) control->SetAttribute(child.AttributeNameAt(i), child.AttributeValue(i));
    if (child.HasChildElements()) Walk(child, control.get(), window, nullptr);

    if (parent) {
      Box* box = dynamic_cast<Box*>(parent);
      if (!box) {
        QLOG_ERR(L"markup: {0} is inside {1}, which is not a box; not built") << element << parent->GetType();
        return nullptr;  // |control| is destroyed here
      }
      Control* raw = control.get();
      if (box->Add(raw)) {
        control.release();
        if (!first) first = raw;
      }
      continue;
    }
    if (orphan && !*orphan) {
      first = control.get();
      *orphan = std::move(control);
    } else {
      QLOG_WAR(L"markup: a second top-level {0} has no owner; destroyed") << element;
    }
  }
  return first;
}

void MarkupBuilder::AttachMarkupEvent(const MarkupNode& node, Control* owner, bool bubbled) {
  Box* box = dynamic_cast<Box*>(owner);
  if (bubbled && !box) return;
  const std::vector<std::wstring> types = SplitSpaces(Attribute(node, L"type"));
  const std::vector<std::wstring> receivers = SplitSpaces(Attribute(node, L"receiver"));
  const std::wstring attributes = Attribute(node, L"applyattribute");
  for (const std::wstring& type_name : types) {
    const int type = EventTypeFromName(type_name);
    for (const std::wstring& receiver : receivers) {
      // The handler lives in |owner|'s lists, so |owner| is alive whenever it runs.
      EventHandler reaction = [owner, receiver, attributes](EventArgs*) {
        Control* target = nullptr;
        if (receiver.size() >= 2 && receiver[0] == L'.' && (receiver[1] == L'/' || receiver[1] == L'\\')) {
          const std::wstring name = receiver.substr(2);
          if (Box* owner_box = dynamic_cast<Box*>(owner)) {
            target = owner_box->FindDescendant(name);
          } else if (!owner->GetName().empty() && _wcsicmp(owner->GetName().c_str(), name.c_str()) == 0) {
            target = owner;
          }
        } else if (Window* window = owner->GetWindow()) {
          target = window->FindControl(receiver);
        }
        if (target) target->ApplyAttributeList(attributes);
        return true;
      };
      if (bubbled)
        box->AddMarkupBubbledHandler(type, std::move(reaction));
      else
        owner->AddMarkupHandler(type, std::move(reaction));
    }
  }
}

}  // namespace ui
