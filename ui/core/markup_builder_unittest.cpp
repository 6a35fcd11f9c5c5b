#include "ui/core/markup_builder.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/box/box.h"
#include "ui/box/child_box.h"
#include "ui/control/tree_test_support.h"

namespace ui {
namespace {

// Counts the live instances, so a test sees what leaks.
int g_live = 0;
class Counted : public Box {
 public:
  Counted() { ++g_live; }
  ~Counted() override { --g_live; }
};

class MarkupBuilderTest : public testing::TreeTest {
 protected:
  void SetUp() override {
    TreeTest::SetUp();
    RegisterControlCreator(L"Counted", [] { return std::unique_ptr<Control>(std::make_unique<Counted>()); });
    g_live = 0;
  }
  static std::string Narrow(const std::wstring& w) { return base::WideToUtf8(w); }
  static size_t Depth(Control* c) {
    size_t depth = 0;
    for (Box* b = dynamic_cast<Box*>(c); b && b->GetCount() > 0; b = dynamic_cast<Box*>(b->GetItemAt(0))) ++depth;
    return depth;
  }
};

// The Window root's attributes go to a window with its native window, in
// document order, the others are not handed on; its classes become window
// classes. Without a native window none are applied and the tree is still
// built.
TEST_F(MarkupBuilderTest, WindowRootAttributesAndClasses) {
  const wchar_t* markup =
      L"<Window size=\"640,360\" bogus=\"1\" caption=\"0,0,0,36\" roundcorner=\"4,4\">"
      L"<Class name=\"tree_btn\" _value=\"5\" width=\"24\"/><VBox><Control name=\"b\" class=\"tree_btn\"/></VBox></Window>";
  ASSERT_TRUE(Build(markup));
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"size", L"640,360"}, {L"caption", L"0,0,0,36"}, {L"roundcorner", L"4,4"}};
  EXPECT_EQ(window_.attributes, expected);
  EXPECT_EQ(window_.GetClassAttributes(L"tree_btn"), L"value=\"5\" width=\"24\"");
  EXPECT_EQ(Find(L"b")->GetFixedWidth(), 24);

  testing::RecordingWindow bare;
  bare.native = false;
  MarkupBuilder builder;
  ASSERT_TRUE(builder.Create(markup, &bare));
  EXPECT_TRUE(bare.attributes.empty());
  EXPECT_TRUE(bare.FindControl(L"b"));
  EXPECT_EQ(bare.FindControl(L"b")->GetFixedWidth(), kStretch);
}

// Include builds its file count times into the current box; a file that
// includes itself, a cycle of includes and a ChildBox leading back to its
// own file are refused where they close the loop; count is bounded.
TEST_F(MarkupBuilderTest, IncludesAreBoundedAndCyclesRefused) {
  const std::wstring item = WriteFile(L"item.xml", "<Window><Counted/></Window>");
  const std::wstring self = TempDir() + L"self.xml";
  WriteFile(L"self.xml", "<Window><VBox name=\"outer\"><Include source=\"" + Narrow(self) +
                             "\"/><Control name=\"x\"/></VBox></Window>");
  const std::wstring a = TempDir() + L"a.xml";
  const std::wstring b = TempDir() + L"b.xml";
  WriteFile(L"a.xml", "<Window><VBox name=\"a\"><Include source=\"" + Narrow(b) + "\"/></VBox></Window>");
  WriteFile(L"b.xml", "<Window><HBox name=\"b\"><Include source=\"" + Narrow(a) + "\"/></HBox></Window>");
  const std::wstring child = TempDir() + L"child.xml";
  WriteFile(L"child.xml",
            "<Window><VBox name=\"c\"><ChildBox name=\"cb\" xmlfile=\"" + Narrow(child) + "\"/></VBox></Window>");

  // Three copies of a one-control file.
  ASSERT_TRUE(Build(L"<Window><VBox name=\"three\"><Include source=\"" + item + L"\" count=\"3\"/></VBox></Window>"));
  EXPECT_EQ(window_.GetRoot()->GetCount(), 3u);
  EXPECT_EQ(g_live, 3);
  // A million copies asked for, a bounded number built.
  ASSERT_TRUE(Build(L"<Window><VBox><Include source=\"" + item + L"\" count=\"1000000\"/></VBox></Window>"));
  EXPECT_EQ(window_.GetRoot()->GetCount(), static_cast<size_t>(MarkupBuilder::kMaxIncludeCount));
  EXPECT_EQ(g_live, MarkupBuilder::kMaxIncludeCount);

  // Self-include: the file is built once, its include refused.
  MarkupBuilder self_builder;
  ASSERT_TRUE(self_builder.Create(self, &window_));
  EXPECT_EQ(window_.GetRoot()->GetCount(), 1u);
  EXPECT_TRUE(Find(L"x"));

  // a includes b includes a: b is built inside a, a not again.
  MarkupBuilder cycle_builder;
  ASSERT_TRUE(cycle_builder.Create(a, &window_));
  Box* root = window_.GetRoot();
  ASSERT_EQ(root->GetCount(), 1u);
  Box* inner = dynamic_cast<Box*>(root->GetItemAt(0));
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->GetName(), L"b");
  EXPECT_EQ(inner->GetCount(), 0u);

  // A ChildBox whose file holds a ChildBox of the same file ends.
  MarkupBuilder child_builder;
  ASSERT_TRUE(child_builder.Create(child, &window_));
  EXPECT_LE(Depth(window_.GetRoot()), 6u);
  EXPECT_GE(Depth(window_.GetRoot()), 1u);

  // Distinct files each including the next a hundred times would multiply
  // into 100^6 builds; the whole build stops at a fixed number of files.
  for (int level = 0; level < 6; ++level) {
    const std::string next = level == 5 ? Narrow(item) : Narrow(TempDir()) + "fan" + std::to_string(level + 1) + ".xml";
    WriteFile(L"fan" + std::to_wstring(level) + L".xml",
              "<Window><Box><Include source=\"" + next + "\" count=\"100\"/></Box></Window>");
  }
  g_live = 0;
  MarkupBuilder fan_builder;
  ASSERT_TRUE(fan_builder.Create(TempDir() + L"fan0.xml", &window_));
  EXPECT_GT(g_live, 0);
  EXPECT_LE(g_live, MarkupBuilder::kMaxNestedBuilds);
}

// A 4 MiB-class document nesting far deeper than any skin: the build stops
// at the fixed depth instead of exhausting the stack, and tears down clean.
TEST_F(MarkupBuilderTest, DeepNestingStopsAtTheBound) {
  const int levels = 100000;
  std::wstring text = L"<Window>";
  text.reserve(levels * 11 + 32);
  for (int i = 0; i < levels; ++i) text += L"<Counted>";
  for (int i = 0; i < levels; ++i) text += L"</Counted>";
  text += L"</Window>";
  ASSERT_TRUE(Build(text));
  const size_t depth = Depth(window_.GetRoot());
  EXPECT_LE(depth, static_cast<size_t>(MarkupBuilder::kMaxTreeDepth));
  EXPECT_GE(depth, static_cast<size_t>(MarkupBuilder::kMaxTreeDepth) - 2);
  window_.AttachRoot(nullptr);
  EXPECT_EQ(g_live, 0);
}

// What has no place is destroyed, never leaked: a control inside a
// non-box, a second top-level control, events at the top level (ignored).
TEST_F(MarkupBuilderTest, EverythingBuiltHasAnOwner) {
  ASSERT_TRUE(Build(L"<Window><Event type=\"select\" receiver=\"after\" applyattribute=\"width=&quot;5&quot;\"/>"
                    L"<Counted name=\"top\"><Control name=\"p\"><Counted name=\"orphan\"/><Counted/></Control>"
                    L"<Counted name=\"after\"/></Counted><Counted name=\"second\"/><Include source=\"x.xml\"/>"
                    L"</Window>"));
  EXPECT_EQ(Find(L"orphan"), nullptr);
  EXPECT_EQ(Find(L"second"), nullptr);
  EXPECT_TRUE(Find(L"p"));
  EXPECT_TRUE(Find(L"after"));
  EXPECT_EQ(g_live, 2);  // top and after
  window_.AttachRoot(nullptr);
  EXPECT_EQ(g_live, 0);
}

// Markup events apply their attribute lists to receivers found in the
// window's name table or, with "./", in the owner's subtree (ignoring
// case); on a plain control "./" matches only the control itself. Bubbled
// events see what comes up from descendants; unknown types never fire.
TEST_F(MarkupBuilderTest, MarkupEventsApplyAttributes) {
  ASSERT_TRUE(Build(
      L"<Window><VBox name=\"page\">"
      L"<BubbledEvent type=\"select unselect\" receiver=\"./INNER  target\" applyattribute=\"width=&quot;33&quot;\"/>"
      L"<BubbledEvent type=\"nosuchevent\" receiver=\"target\" applyattribute=\"height=&quot;1&quot;\"/>"
      L"<HBox><Control name=\"btn\">"
      L"<Event type=\"buttondown\" receiver=\"target ./btn ./target\" applyattribute=\"bkcolor=&quot;red&quot;\"/>"
      L"<BubbledEvent type=\"buttondown\" receiver=\"target\" applyattribute=\"height=&quot;2&quot;\"/>"
      L"</Control><Control name=\"inner\"/></HBox><Control name=\"target\"/></VBox></Window>"));
  Control* btn = Find(L"btn");
  Control* target = Find(L"target");
  Control* inner = Find(L"inner");
  btn->SendEvent(kEventMouseButtonDown);
  EXPECT_EQ(target->GetBkColor(), L"red");
  EXPECT_EQ(btn->GetBkColor(), L"red");
  EXPECT_EQ(btn->GetState(), kStatePushed);  // the reaction let the event go on
  EXPECT_EQ(target->GetFixedHeight(), kStretch);  // no bubbled events on a plain control
  EXPECT_EQ(inner->GetFixedWidth(), kStretch);
  btn->SendEvent(kEventSelect);
  EXPECT_EQ(inner->GetFixedWidth(), 33);
  EXPECT_EQ(target->GetFixedWidth(), 33);
  EXPECT_EQ(target->GetFixedHeight(), kStretch);
}

// A ChildBox builds its file when initialised in its window, each file
// parsed once; a missing file leaves it empty.
TEST_F(MarkupBuilderTest, ChildBoxBuildsItsFile) {
  const std::wstring page = WriteFile(L"page.xml", "<Window><HBox name=\"loaded\"><Counted/></HBox></Window>");
  ASSERT_TRUE(Build(L"<Window><VBox><ChildBox name=\"one\" xmlfile=\"" + page +
                    L"\"/><ChildBox name=\"two\" xmlfile=\"" + page +
                    L"\"/><ChildBox name=\"none\" xmlfile=\"missing_file.xml\"/></VBox></Window>"));
  EXPECT_EQ(dynamic_cast<Box*>(Find(L"one"))->GetCount(), 1u);
  EXPECT_EQ(dynamic_cast<Box*>(Find(L"two"))->GetCount(), 1u);
  EXPECT_EQ(dynamic_cast<Box*>(Find(L"none"))->GetCount(), 0u);
  EXPECT_EQ(g_live, 2);
  // The file changes on disk; the parsed document is what builds.
  WriteFile(L"page.xml", "<Window><HBox name=\"changed\"/></Window>");
  ASSERT_TRUE(Build(L"<Window><VBox><ChildBox xmlfile=\"" + page + L"\"/></VBox></Window>"));
  EXPECT_TRUE(Find(L"loaded"));
  EXPECT_EQ(Find(L"changed"), nullptr);
}

}  // namespace
}  // namespace ui
