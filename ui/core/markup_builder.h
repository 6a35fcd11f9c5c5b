// MarkupBuilder turns a markup file (or text) into a tree of controls: it
// creates controls by element name through the element table, applies
// their attributes in document order, expands Include elements, attaches
// markup events, and hands a Window root's attributes and classes to the
// window. Skin files are input: a file is never built inside its own build
// (through Include or ChildBox), include depth, include counts and tree
// depth are bounded, and everything built lands in an owner or is
// destroyed. A builder serves one build. UI thread only.
#ifndef UI_CORE_MARKUP_BUILDER_H_
#define UI_CORE_MARKUP_BUILDER_H_

#include <functional>
#include <memory>
#include <string>

#include "ui/core/global_resources.h"
#include "ui/core/markup.h"

namespace ui {

class Box;
class Control;
class Window;

using ControlCreator = std::function<std::unique_ptr<Control>()>;

// The element table: element name to a creator. Later work adds the
// concrete controls here; an existing name is replaced.
void RegisterControlCreator(const std::wstring& element, ControlCreator creator);
// A new control for |element|, or null when the table has no such name.
std::unique_ptr<Control> CreateControlByName(const std::wstring& element);

class MarkupBuilder {
 public:
  // Bounds on what skin input may ask for.
  static constexpr int kMaxTreeDepth = 200;
  static constexpr size_t kMaxIncludeDepth = 16;
  static constexpr int kMaxIncludeCount = 100;
  static constexpr size_t kMaxSourceLength = 499;
  // Files built (through Include or ChildBox) inside one outermost build.
  static constexpr int kMaxNestedBuilds = 1000;

  // |callback| makes controls for names neither the table nor the global
  // hook knows (the window host's CreateControl); it returns an object the
  // builder then owns.
  explicit MarkupBuilder(ControlFactoryHook callback = nullptr);
  MarkupBuilder(const MarkupBuilder&) = delete;
  MarkupBuilder& operator=(const MarkupBuilder&) = delete;

  // Builds |markup| ("<..." text or a file name). With |init_box|, the
  // first content element of the root configures that box and its children
  // go into it; the box is the result. With |parent|, the top-level
  // controls are added to it; the first one is the result. With neither,
  // the first top-level control becomes |window|'s root (it must be a box;
  // any further top-level controls are destroyed). Null when nothing was
  // built.
  Control* Create(const std::wstring& markup, Window* window, Box* parent = nullptr, Box* init_box = nullptr);
  // Like Create without parent and init box, but hands the first
  // top-level control to the caller.
  std::unique_ptr<Control> CreateRoot(const std::wstring& markup, Window* window);

  // Builds |file| into |parent| from a document parsed once per file.
  static Control* CreateCached(const std::wstring& file, Window* window, Box* parent);
  static void ClearDocumentCache();

 private:
  Control* Build(const MarkupDocument& document, const std::wstring& key, Window* window, Box* parent,
                 Box* init_box, std::unique_ptr<Control>* orphan);
  Control* Walk(const MarkupNode& node, Control* parent, Window* window, std::unique_ptr<Control>* orphan);
  void AttachMarkupEvent(const MarkupNode& node, Control* owner, bool bubbled);

  ControlFactoryHook callback_;
  MarkupDocument document_;
};

}  // namespace ui

#endif  // UI_CORE_MARKUP_BUILDER_H_
