#include "ui/control/control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/box/box.h"
#include "ui/box/tab_box.h"
#include "ui/control/tree_test_support.h"

namespace ui {
namespace {

using testing::Pixel;
using testing::Rgb;

class ControlTest : public testing::TreeTest {
 protected:
  std::vector<std::string> log_;
  EventHandler Record(const std::string& what, bool result = true) {
    return [this, what, result](EventArgs*) {
      log_.push_back(what);
      return result;
    };
  }
};

// A leaf's event runs the leaf's handlers (its type, then "all"), then
// bubbles through every box's bubbled handlers (type, "all") up to the
// root, where it stops. A box's own handlers are for its own events only.
// A handler answering false stops the later handlers and the bubbling.
TEST_F(ControlTest, EventsBubbleFromLeafToRoot) {
  const wchar_t* markup =
      L"<Window><VBox name=\"root\"><HBox name=\"mid\"><Control name=\"leaf\"/></HBox></VBox></Window>";
  struct Case {
    const char* stopper;  // the handler that answers false, or ""
    std::vector<std::string> expected;
  } cases[] = {
      {"", {"leaf:41", "leaf:all", "mid:41", "mid:all", "root:41", "root:all"}},
      {"leaf:41", {"leaf:41"}},
      {"leaf:all", {"leaf:41", "leaf:all"}},
      {"mid:41", {"leaf:41", "leaf:all", "mid:41"}},
      {"root:41", {"leaf:41", "leaf:all", "mid:41", "mid:all", "root:41"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stopper);
    ASSERT_TRUE(Build(markup));
    log_.clear();
    Control* leaf = Find(L"leaf");
    Box* mid = dynamic_cast<Box*>(Find(L"mid"));
    Box* root = dynamic_cast<Box*>(Find(L"root"));
    ASSERT_TRUE(leaf && mid && root);
    auto r = [&](const char* what) { return Record(what, std::string(what) != c.stopper); };
    leaf->Subscribe(kEventAll, r("leaf:all"));
    leaf->Subscribe(kEventClick, r("leaf:41"));
    mid->Subscribe(kEventClick, r("mid:own"));
    mid->SubscribeBubbled(kEventClick, r("mid:41"));
    mid->SubscribeBubbled(kEventAll, r("mid:all"));
    root->SubscribeBubbled(kEventAll, r("root:all"));
    root->SubscribeBubbled(kEventClick, r("root:41"));
    EXPECT_EQ(leaf->SendEvent(kEventClick), std::string(c.stopper).rfind("leaf", 0) != 0);
    EXPECT_EQ(log_, c.expected);
  }
}

// "all" answering false stops the markup handlers and the default reaction
// (no push) for every type; a handler of a destroyed control is skipped
// and the event goes on.
TEST_F(ControlTest, WildcardStopsDefaultReactionAndDeadHandlersAreSkipped) {
  ASSERT_TRUE(Build(L"<Window><HBox><Control name=\"c\"/><Control name=\"other\"/></HBox></Window>"));
  Control* c = Find(L"c");
  c->Subscribe(kEventAll, [](EventArgs*) { return false; });
  c->SendEvent(kEventMouseButtonDown);
  EXPECT_EQ(c->GetState(), kStateNormal);

  ASSERT_TRUE(Build(L"<Window><HBox name=\"row\"><Control name=\"c\"/><Control name=\"other\"/></HBox></Window>"));
  c = Find(L"c");
  Box* row = dynamic_cast<Box*>(Find(L"row"));
  Control* other = Find(L"other");
  int other_calls = 0;
  c->Subscribe(kEventMouseButtonDown, WeakHandler(other, [&](EventArgs*) {
                 ++other_calls;
                 return false;
               }));
  row->SetDefersDeletion(false);
  ASSERT_TRUE(row->Remove(other));
  EXPECT_EQ(Find(L"other"), nullptr);
  c->SendEvent(kEventMouseButtonDown);
  EXPECT_EQ(other_calls, 0);
  EXPECT_EQ(c->GetState(), kStatePushed);  // the dead handler did not stop it
}

// A handler that destroys its own control (or its box) ends the dispatch
// quietly: no later handler, no default reaction, no bubbling on freed
// memory (run under heap checking).
TEST_F(ControlTest, HandlerDestroyingItsControlEndsDispatch) {
  for (bool deferred : {false, true}) {
    SCOPED_TRACE(deferred ? "deferred release" : "immediate release");
    ASSERT_TRUE(Build(L"<Window><VBox name=\"root\"><HBox name=\"mid\"><Control name=\"leaf\"/></HBox>"
                      L"</VBox></Window>"));
    Box* root = dynamic_cast<Box*>(Find(L"root"));
    Box* mid = dynamic_cast<Box*>(Find(L"mid"));
    Control* leaf = Find(L"leaf");
    root->SetDefersDeletion(deferred);
    mid->SetDefersDeletion(deferred);
    log_.clear();
    // The leaf removes itself; then the box removes itself on the next event.
    leaf->Subscribe(kEventClick, [&](EventArgs*) {
      log_.push_back("leaf");
      mid->Remove(leaf);
      return true;
    });
    leaf->Subscribe(kEventClick, Record("leaf after"));
    mid->SubscribeBubbled(kEventClick, Record("mid"));
    EXPECT_FALSE(leaf->SendEvent(kEventClick) && !deferred);
    if (deferred) {
      // Queued, not yet freed: the event went on normally.
      EXPECT_EQ(window_.PendingReleaseCount(), 1u);
      window_.ReleasePending();
      log_.clear();
    } else {
      EXPECT_EQ(log_, std::vector<std::string>{"leaf"});
      log_.clear();
    }
    EXPECT_EQ(mid->GetCount(), 0u);

    mid->Subscribe(kEventSelect, [&](EventArgs*) {
      log_.push_back("mid self");
      root->Remove(mid);
      return true;
    });
    mid->Subscribe(kEventSelect, Record("mid after"));
    root->SubscribeBubbled(kEventSelect, Record("root"));
    mid->SendEvent(kEventSelect);
    if (!deferred) {
      EXPECT_EQ(log_, std::vector<std::string>{"mid self"});
    }
    window_.ReleasePending();
    EXPECT_EQ(root->GetCount(), 0u);
    EXPECT_EQ(Find(L"mid"), nullptr);
  }
}

// Mouse enter/leave, press, release inside and outside, disabling: the
// state and the painted pixel follow, with colours named in global.xml.
TEST_F(ControlTest, StateColoursAndImagesPaint) {
  const std::wstring normal = WriteSolidBmp(L"n.bmp", 60, 20, 0x102030);
  const std::wstring hot = WriteSolidBmp(L"h.bmp", 60, 20, 0x405060);
  const std::wstring pushed = WriteSolidBmp(L"p.bmp", 60, 20, 0x708090);
  const std::wstring disabled = WriteSolidBmp(L"d.bmp", 60, 20, 0xA0B0C0);
  const uint32_t red = Rgb(GlobalResources::GetTextColor(L"red"));
  const uint32_t green = Rgb(GlobalResources::GetTextColor(L"green"));
  const uint32_t blue = Rgb(GlobalResources::GetTextColor(L"blue"));
  const uint32_t gray = Rgb(GlobalResources::GetTextColor(L"gray"));
  ASSERT_NE(red, 0u);

  struct Step {
    const char* what;
    int event;       // sent to the control; -1 = disable, -2 = enable
    POINT point;     // the mouse position for the event
    ControlState state;
    uint32_t colour_pixel;
    uint32_t image_pixel;
  } steps[] = {
      {"at rest", 0, {0, 0}, kStateNormal, red, 0x102030},
      {"mouse enters", kEventMouseEnter, {5, 5}, kStateHot, green, 0x405060},
      {"pressed", kEventMouseButtonDown, {5, 5}, kStatePushed, blue, 0x708090},
      {"released outside: normal, no click", kEventMouseButtonUp, {500, 5}, kStateNormal, red, 0x102030},
      {"pressed again", kEventMouseButtonDown, {5, 5}, kStatePushed, blue, 0x708090},
      {"released inside: hot and a click", kEventMouseButtonUp, {5, 5}, kStateHot, green, 0x405060},
      {"mouse leaves", kEventMouseLeave, {500, 5}, kStateNormal, red, 0x102030},
      {"disabled", -1, {5, 5}, kStateDisabled, gray, 0xA0B0C0},
      {"a disabled control ignores the mouse", kEventMouseEnter, {5, 5}, kStateDisabled, gray, 0xA0B0C0},
      {"enabled again", -2, {5, 5}, kStateNormal, red, 0x102030},
  };
  const std::wstring markup =
      L"<Window><HBox><Control name=\"col\" width=\"60\" height=\"20\" normalcolor=\"red\" hotcolor=\"green\""
      L" pushedcolor=\"blue\" disabledcolor=\"gray\"/>"
      L"<Control name=\"img\" width=\"60\" height=\"20\" normalimage=\"file='" + normal + L"'\" hotimage=\"" + hot +
      L"\" pushedimage=\"" + pushed + L"\" disabledimage=\"" + disabled + L"\"/>"
      L"<Control name=\"hex\" width=\"20\" height=\"20\" bkcolor=\"#ff0000ff\"/>"
      L"<Control name=\"clear\" width=\"20\" height=\"20\" bkcolor=\"red\" alpha=\"0\"/></HBox></Window>";
  ASSERT_TRUE(Build(markup));
  Control* col = Find(L"col");
  Control* img = Find(L"img");
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    for (Control* c : {col, img}) {
      const RECT pos = c->GetPos();
      window_.SetLastMousePos(POINT{pos.left + s.point.x, pos.top + s.point.y});
      window_.SetHoverControl(s.event == kEventMouseLeave ? nullptr : c);
      if (s.event == -1) c->SetEnabled(false);
      else if (s.event == -2) c->SetEnabled(true);
      else if (s.event > 0) c->SendEvent(s.event);
      EXPECT_EQ(c->GetState(), s.state);
      // The hot fade runs on the framework timer; finish it by hand.
      AnimationPlayer* hot = c->Animations()->PlayerFor(kFadeHot);
      ASSERT_TRUE(hot);
      if (s.event == kEventMouseEnter && s.state == kStateHot) {
        EXPECT_TRUE(hot->IsPlaying());
        EXPECT_LT(c->GetHotAlpha(), 255);
      }
      if (hot->IsPlaying()) hot->AdvanceForTesting(1000);
    }
    std::unique_ptr<IRenderContext> surface = PaintWindow(160, 20);
    EXPECT_EQ(Rgb(Pixel(surface.get(), 30, 10)), s.colour_pixel);
    EXPECT_EQ(Rgb(Pixel(surface.get(), 90, 10)), s.image_pixel);
    // A hexadecimal "colour" names no table entry and paints nothing; alpha 0 hides.
    EXPECT_EQ(Rgb(Pixel(surface.get(), 130, 10)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(Pixel(surface.get(), 150, 10)), 0xFFFFFFu);
  }
}

// Attribute readings: classes in order (the later wins), a class naming
// itself or a cycle expands once, "nofocus" with any value, short lists and
// broken attribute lists change nothing they cannot read.
TEST_F(ControlTest, AttributesAndClasses) {
  GlobalResources::AddClass(L"wide", L"width=\"50\" height=\"5\"");
  GlobalResources::AddClass(L"tall", L"height=\"70\"");
  GlobalResources::AddClass(L"loop_a", L"class=\"loop_b\" width=\"11\"");
  GlobalResources::AddClass(L"loop_b", L"class=\"loop_a\" height=\"12\"");
  GlobalResources::AddClass(L"self", L"class=\"self\" width=\"13\"");
  ASSERT_TRUE(Build(
      L"<Window><VBox><Control name=\"ab\" class=\"wide tall\"/><Control name=\"cyc\" class=\"loop_a\"/>"
      L"<Control name=\"me\" class=\"self  unknown\"/>"
      L"<Control name=\"nf\" nofocus=\"false\" margin=\"1,2\" renderoffset=\"3\" borderround=\"4,\"/>"
      L"<Control name=\"ok\" margin=\"1,2,3,4\" bordersize=\"1,2,3,4\" state=\"pushed\" alpha=\"300\"/>"
      L"</VBox></Window>"));
  Control* ab = Find(L"ab");
  EXPECT_EQ(ab->GetFixedWidth(), 50);
  EXPECT_EQ(ab->GetFixedHeight(), 70);
  EXPECT_EQ(Find(L"cyc")->GetFixedWidth(), 11);
  EXPECT_EQ(Find(L"cyc")->GetFixedHeight(), 12);
  EXPECT_EQ(Find(L"me")->GetFixedWidth(), 13);
  Control* nf = Find(L"nf");
  EXPECT_TRUE(nf->IsNoFocus());
  EXPECT_EQ(nf->GetMargin().left, 0);
  EXPECT_EQ(nf->GetRenderOffset().x, 0);
  EXPECT_EQ(nf->GetBorderRound().cx, 0);
  Control* ok = Find(L"ok");
  EXPECT_EQ(ok->GetMargin().bottom, 4);
  EXPECT_EQ(ok->GetBorderSizes().right, 3);
  EXPECT_EQ(ok->GetState(), kStatePushed);
  EXPECT_EQ(ok->GetAlpha(), 255);
  ok->ApplyAttributeList(L"width=\"21\" height=");
  ok->ApplyAttributeList(L"value");
  ok->ApplyAttributeList(L"height=\"22");
  EXPECT_EQ(ok->GetFixedWidth(), 21);
  EXPECT_EQ(ok->GetFixedHeight(), kStretch);
}

// An auto-sized root re-arranged from below: RelayoutUpward reaches the
// root and marks it, without coming back to itself.
TEST_F(ControlTest, RelayoutUpwardStopsAtAnAutoRoot) {
  ASSERT_TRUE(Build(L"<Window><VBox width=\"auto\" height=\"auto\"><HBox width=\"auto\" height=\"auto\">"
                    L"<Control name=\"c\" width=\"10\" height=\"10\"/></HBox></VBox></Window>"));
  Arrange(100, 100);
  window_.SetArrangePending(false);
  Find(L"c")->SetAttribute(L"width", L"30");
  EXPECT_TRUE(window_.IsArrangePending());
  EXPECT_EQ(window_.GetRoot()->MeasureSize(SIZE{100, 100}).cx, 30);
  Find(L"c")->SetAttribute(L"width", L"auto");
  EXPECT_TRUE(window_.IsArrangePending());
}

// Membership: only children can be removed; a box's removal destroys the
// child once it is out of the list.
TEST_F(ControlTest, RemoveOnlyChildren) {
  ASSERT_TRUE(Build(L"<Window><VBox name=\"a\"><Control name=\"x\"/></VBox></Window>"));
  Box* a = window_.GetRoot();
  Control stranger;
  EXPECT_FALSE(a->Remove(&stranger));
  EXPECT_FALSE(a->Remove(nullptr));
  EXPECT_FALSE(a->RemoveAt(5));
  EXPECT_FALSE(a->AddAt(nullptr, 0));
  EXPECT_FALSE(a->AddAt(std::make_unique<Control>().get(), 7));
  EXPECT_EQ(a->GetCount(), 1u);
  a->SetDefersDeletion(false);
  EXPECT_TRUE(a->Remove(Find(L"x")));
  EXPECT_EQ(a->GetCount(), 0u);
  EXPECT_EQ(Find(L"x"), nullptr);
}

// The tab box shows one child: the first visible one without "selectedid";
// insertions at or before the selection move it; removal of the selection
// selects child 0; re-selecting sends nothing.
TEST_F(ControlTest, TabBoxSelection) {
  ASSERT_TRUE(Build(L"<Window><TabBox name=\"tabs\"><Control name=\"p0\" visible=\"false\"/>"
                    L"<Control name=\"p1\"/><Control name=\"p2\"/></TabBox></Window>"));
  TabBox* tabs = dynamic_cast<TabBox*>(Find(L"tabs"));
  ASSERT_TRUE(tabs);
  EXPECT_EQ(tabs->GetCurSel(), 1);
  EXPECT_TRUE(Find(L"p1")->IsVisible());
  EXPECT_FALSE(Find(L"p2")->IsVisible());
  EXPECT_EQ(Find(L"p2")->GetAlpha(), 0);

  std::vector<std::pair<WPARAM, LPARAM>> selects;
  tabs->Subscribe(kEventSelect, [&](EventArgs* args) {
    selects.emplace_back(args->wparam, args->lparam);
    return true;
  });
  EXPECT_TRUE(tabs->SelectItem(1));
  EXPECT_TRUE(selects.empty());
  EXPECT_FALSE(tabs->SelectItem(3));
  EXPECT_FALSE(tabs->SelectItem(-1));
  EXPECT_TRUE(tabs->SelectItem(2));
  ASSERT_EQ(selects.size(), 1u);
  EXPECT_EQ(selects[0], std::make_pair(WPARAM(2), LPARAM(1)));
  EXPECT_TRUE(Find(L"p2")->IsVisible());
  EXPECT_FALSE(Find(L"p1")->IsVisible());
  EXPECT_FALSE(Find(L"p1")->IsMouseEnabled());

  auto inserted = std::make_unique<Control>();
  inserted->SetName(L"new");
  ASSERT_TRUE(tabs->AddAt(inserted.release(), 2));
  EXPECT_EQ(tabs->GetCurSel(), 3);
  EXPECT_FALSE(Find(L"new")->IsVisible());
  tabs->SetDefersDeletion(false);
  EXPECT_TRUE(tabs->Remove(Find(L"p2")));
  EXPECT_EQ(tabs->GetCurSel(), 0);
  EXPECT_TRUE(Find(L"p0")->IsMouseEnabled());
  EXPECT_EQ(Find(L"p0")->GetAlpha(), 255);
  EXPECT_TRUE(tabs->Remove(Find(L"p1")));
  EXPECT_EQ(tabs->GetCurSel(), 0);
  tabs->RemoveAll();
  EXPECT_EQ(tabs->GetCurSel(), -1);
  EXPECT_FALSE(tabs->SelectItem(0));

  // "selectedid" names a child before it is added; fade switching with no
  // old child (-1) switches without reading one.
  ASSERT_TRUE(Build(L"<Window><TabBox name=\"t2\" selectedid=\"1\" fadeswitch=\"true\"><Control name=\"q0\"/>"
                    L"<Control name=\"q1\"/></TabBox></Window>"));
  TabBox* t2 = dynamic_cast<TabBox*>(Find(L"t2"));
  EXPECT_EQ(t2->GetCurSel(), 1);
  EXPECT_EQ(Find(L"q1")->GetAlpha(), 255);
  EXPECT_EQ(Find(L"q0")->GetAlpha(), 0);
  ASSERT_TRUE(Build(L"<Window><TabBox name=\"t3\" fadeswitch=\"true\"><Control name=\"r0\" visible=\"false\"/>"
                    L"</TabBox></Window>"));
  TabBox* t3 = dynamic_cast<TabBox*>(Find(L"t3"));
  EXPECT_EQ(t3->GetCurSel(), -1);
  EXPECT_TRUE(t3->SelectItem(0));
  EXPECT_EQ(t3->GetCurSel(), 0);
  EXPECT_TRUE(Find(L"r0")->IsVisible());
}

// Fade switching slides the new page in from one box width away (from the
// right going forward) and the old one out the other way, turned off when
// its slide ends.
TEST_F(ControlTest, TabBoxFadeSwitchSlides) {
  ASSERT_TRUE(Build(L"<Window><TabBox name=\"tabs\" fadeswitch=\"true\"><Control name=\"s0\"/>"
                    L"<Control name=\"s1\"/></TabBox></Window>"));
  Arrange(100, 50);
  TabBox* tabs = dynamic_cast<TabBox*>(Find(L"tabs"));
  Control* s0 = Find(L"s0");
  Control* s1 = Find(L"s1");
  ASSERT_TRUE(tabs->SelectItem(1));
  EXPECT_EQ(s1->GetRenderOffset().x, -100);
  EXPECT_EQ(s1->GetAlpha(), 255);
  EXPECT_EQ(s0->GetAlpha(), 255);  // still sliding out
  AnimationPlayer* in = s1->Animations()->PlayerFor(kFadeInoutXFromRight);
  AnimationPlayer* out = s0->Animations()->PlayerFor(kFadeInoutXFromRight);
  ASSERT_TRUE(in && out);
  in->AdvanceForTesting(40);
  EXPECT_GT(s1->GetRenderOffset().x, -100);
  EXPECT_LT(s1->GetRenderOffset().x, 0);
  in->AdvanceForTesting(100000);
  out->AdvanceForTesting(100000);
  EXPECT_EQ(s1->GetRenderOffset().x, 0);
  EXPECT_EQ(s0->GetAlpha(), 0);
  EXPECT_FALSE(s0->IsMouseEnabled());
  EXPECT_EQ(s0->GetRenderOffset().x, 0);
  // Back: the old page comes in from the left.
  ASSERT_TRUE(tabs->SelectItem(0));
  EXPECT_EQ(s0->GetRenderOffset().x, 100);
}

}  // namespace
}  // namespace ui
