#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/box/list_box.h"
#include "ui/box/scrollable_box.h"
#include "ui/control/scroll_bar.h"
#include "ui/control/tree_test_support.h"

namespace ui {
namespace {

using testing::Pixel;
using testing::RectText;
using testing::Rgb;
using testing::SameRect;

class ScrollingTest : public testing::TreeTest {
 protected:
  template <typename T>
  T* Get(const std::wstring& name) {
    T* found = dynamic_cast<T*>(Find(name));
    EXPECT_TRUE(found) << base::WideToUtf8(name);
    return found;
  }
  static void Send(Control* to, int type, POINT point = POINT{0, 0}, WPARAM wparam = 0, wchar_t key = 0) {
    EventArgs args;
    args.type = type;
    args.sender = to;
    args.mouse_point = point;
    args.wparam = wparam;
    args.key = key;
    to->DeliverEvent(&args);
  }
  static void Key(Control* to, wchar_t vk) { Send(to, kEventKeyDown, POINT{0, 0}, vk, vk); }
  static void Wheel(Control* to, int delta) {
    Send(to, kEventMouseScrollWheel, POINT{0, 0}, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))));
  }
  // Runs an animated step to its end.
  static void Glide(ScrollableBox* box) {
    if (AnimationPlayer* player = box->ScrollAnimation()) player->AdvanceForTesting(100000);
  }
  int CountOf(Control* control, int type) {
    auto* counter = new int(0);
    counters_.emplace_back(counter);
    control->Subscribe(type, [counter](EventArgs*) {
      ++*counter;
      return true;
    });
    return static_cast<int>(counters_.size()) - 1;
  }
  int Count(int id) const { return *counters_[id]; }

 private:
  std::vector<std::unique_ptr<int>> counters_;
};

// The bar's parts for every shape: the example of the skin (14 wide, 100
// high, no buttons, range 300), buttons, range 0, a bar too short for a
// thumb, a minimum thumb longer than its rail, horizontal, a 64-bit range.
TEST_F(ScrollingTest, ScrollBarGeometry) {
  const RECT none{0, 0, 0, 0};
  struct Case {
    const char* what;
    RECT bar;
    bool horizontal, buttons;
    int64_t range, pos;
    RECT button1, button2, thumb;
    int64_t free;
  } cases[] = {
      {"thumb 100x100/400 = 25 raised to 30; at 150 its top is (100-30)x150/300 = 35", {0, 0, 14, 100}, false,
       false, 300, 150, none, none, {0, 35, 14, 65}, 70},
      {"at the end the thumb ends at the rail's end", {0, 0, 14, 100}, false, false, 300, 300, none, none,
       {0, 70, 14, 100}, 70},
      {"buttons take 14 each: rail 72, thumb 36 at 18 below button 1", {0, 0, 14, 100}, false, true, 100, 50,
       {0, 0, 14, 14}, {0, 86, 14, 100}, {0, 32, 14, 68}, 36},
      {"range 0: the thumb fills the rail", {0, 0, 14, 100}, false, true, 0, 0, {0, 0, 14, 14}, {0, 86, 14, 100},
       {0, 14, 14, 86}, 0},
      {"too short: two half-length buttons and no thumb", {0, 0, 14, 20}, false, true, 100, 50, {0, 0, 14, 10},
       {0, 10, 14, 20}, none, 0},
      {"the 30 px minimum on a 20 px rail is cut to the rail, nothing left to drag", {0, 0, 10, 40}, false, true,
       1000, 500, {0, 0, 10, 10}, {0, 30, 10, 40}, {0, 10, 10, 30}, 0},
      {"horizontal: thumb 200x200/400 = 100, at 100 it starts 50 in", {0, 0, 200, 10}, true, false, 200, 100, none,
       none, {50, 0, 150, 10}, 100},
      {"a 64-bit range neither overflows nor loses the middle", {0, 0, 14, 100}, false, false, 1000000000000000LL,
       500000000000000LL, none, none, {0, 35, 14, 65}, 70},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScrollBar bar;
    bar.SetHorizontal(c.horizontal);
    bar.SetShowButton1(c.buttons);
    bar.SetShowButton2(c.buttons);
    bar.SetScrollRange(c.range);
    bar.SetScrollPos(c.pos);
    bar.SetPos(c.bar);
    EXPECT_PRED2(SameRect, bar.GetButton1Rect(), c.button1) << RectText(bar.GetButton1Rect());
    EXPECT_PRED2(SameRect, bar.GetButton2Rect(), c.button2) << RectText(bar.GetButton2Rect());
    EXPECT_PRED2(SameRect, bar.GetThumbRect(), c.thumb) << RectText(bar.GetThumbRect());
    EXPECT_EQ(bar.FreeRailLength(), c.free);
  }
  // Range and position clamp each other; a range of 0 hides the bar.
  ScrollBar bar;
  bar.SetAutoHide(false);
  bar.SetScrollRange(300);
  bar.SetScrollPos(400);
  EXPECT_EQ(bar.GetScrollPos(), 300);
  bar.SetScrollRange(100);
  EXPECT_EQ(bar.GetScrollPos(), 100);
  bar.SetScrollRange(-5);
  EXPECT_EQ(bar.GetScrollRange(), 0);
  EXPECT_EQ(bar.GetScrollPos(), 0);
  EXPECT_FALSE(bar.IsVisible());
  bar.SetScrollRange(10);
  EXPECT_TRUE(bar.IsVisible());
}

// A standalone bar from markup: the thumb drag (applied by the repeat
// timer, with the capture held), a thumb that fills its rail not moving,
// held buttons repeating after their delay, rail paging, and the painted
// rail and thumb.
TEST_F(ScrollingTest, ScrollBarInteractionAndPaint) {
  const std::wstring thumb = WriteSolidBmp(L"thumb.bmp", 4, 4, 0x0000FF);
  const std::wstring rail = WriteSolidBmp(L"rail.bmp", 4, 4, 0xFF0000);
  ASSERT_TRUE(Build(L"<Window><Box>"
                    L"<ScrollBar name=\"drag\" width=\"14\" height=\"100\" showbutton1=\"false\" showbutton2=\"false\""
                    L" range=\"300\" value=\"150\" thumbnormalimage=\"file='" + thumb + L"'\""
                    L" railnormalimage=\"file='" + rail + L"'\"/>"
                    L"<ScrollBar name=\"full\" margin=\"20,0,0,0\" width=\"14\" height=\"20\" showbutton1=\"false\""
                    L" showbutton2=\"false\" range=\"50\"/>"
                    L"<ScrollBar name=\"step\" margin=\"40,0,0,0\" width=\"14\" height=\"100\" range=\"300\"/>"
                    L"</Box></Window>"));
  std::unique_ptr<IRenderContext> surface = PaintWindow(100, 100);
  EXPECT_EQ(Rgb(Pixel(surface.get(), 7, 50)), 0x0000FFu);  // the thumb, 35..65
  EXPECT_EQ(Rgb(Pixel(surface.get(), 7, 20)), 0xFF0000u);  // the rail above it
  EXPECT_EQ(Rgb(Pixel(surface.get(), 7, 80)), 0xFF0000u);

  ScrollBar* drag = Get<ScrollBar>(L"drag");
  const int changes = CountOf(drag, kEventScrollChange);
  Send(drag, kEventMouseButtonDown, POINT{5, 40});
  EXPECT_EQ(drag->GetThumbState(), kStatePushed);
  EXPECT_EQ(window_.GetCaptureControl(), drag);
  EXPECT_TRUE(drag->IsRepeating());
  Send(drag, kEventMouseMove, POINT{5, 47});  // 7 px of 70 free: 30 of 300
  EXPECT_EQ(drag->GetScrollPos(), 150);       // the timer applies it
  drag->OnRepeatTimer();
  EXPECT_EQ(drag->GetScrollPos(), 180);
  EXPECT_EQ(Count(changes), 1);
  Send(drag, kEventMouseButtonUp, POINT{5, 47});
  EXPECT_EQ(window_.GetCaptureControl(), nullptr);
  EXPECT_FALSE(drag->IsRepeating());
  EXPECT_EQ(drag->GetThumbState(), kStateHot);  // the thumb is at 42..72 now

  ScrollBar* full = Get<ScrollBar>(L"full");
  ASSERT_EQ(full->FreeRailLength(), 0);
  Send(full, kEventMouseButtonDown, POINT{25, 10});
  Send(full, kEventMouseMove, POINT{25, 60});
  full->OnRepeatTimer();
  EXPECT_EQ(full->GetScrollPos(), 0);
  Send(full, kEventMouseButtonUp, POINT{25, 60});

  ScrollBar* step = Get<ScrollBar>(L"step");
  Send(step, kEventMouseButtonDown, POINT{45, 95});  // button 2: one line of 8 at once
  EXPECT_EQ(step->GetScrollPos(), 8);
  EXPECT_EQ(step->GetButton2State(), kStatePushed);
  for (int i = 0; i < ScrollBar::kRepeatDelayTicks; ++i) step->OnRepeatTimer();
  EXPECT_EQ(step->GetScrollPos(), 8);
  step->OnRepeatTimer();
  EXPECT_EQ(step->GetScrollPos(), 16);
  Send(step, kEventMouseButtonUp, POINT{45, 95});
  EXPECT_EQ(step->GetButton2State(), kStateNormal);
  Send(step, kEventMouseButtonDown, POINT{45, 80});  // the rail after the thumb: a page, the bar's length
  Send(step, kEventMouseButtonUp, POINT{45, 80});
  EXPECT_EQ(step->GetScrollPos(), 116);
  Send(step, kEventMouseButtonDown, POINT{45, 20});  // before it: back
  Send(step, kEventMouseButtonUp, POINT{45, 20});
  EXPECT_EQ(step->GetScrollPos(), 16);
}

// A vertical list of five 100 px children in 200 px: range 300, the bar
// along the right edge, children painted and hit-tested at the position;
// the position survives a relayout clamped, holds the end when asked, and
// a range of 0 hides the bar. Entering and leaving the box fades the bar.
TEST_F(ScrollingTest, ScrollableBoxRangesAndRelayout) {
  ASSERT_TRUE(Build(L"<Window><VListBox name=\"list\" vscrollbar=\"true\">"
                    L"<Control name=\"c0\" height=\"100\" bkcolor=\"green\"/>"
                    L"<Control name=\"c1\" height=\"100\" bkcolor=\"orange\"/>"
                    L"<Control name=\"c2\" height=\"100\" bkcolor=\"yellow\"/>"
                    L"<Control name=\"c3\" height=\"100\" bkcolor=\"green\"/>"
                    L"<Control name=\"c4\" height=\"100\" bkcolor=\"orange\"/></VListBox></Window>"));
  ListBox* list = Get<ListBox>(L"list");
  const int changes = CountOf(list, kEventScrollChange);
  Arrange(200, 200);
  ScrollBar* bar = list->GetVerticalScrollBar();
  ASSERT_TRUE(bar);
  EXPECT_EQ(list->GetScrollRange().cy, 300);
  EXPECT_TRUE(bar->IsVisible());
  EXPECT_PRED2(SameRect, bar->GetPos(), (RECT{192, 0, 200, 200})) << RectText(bar->GetPos());  // "vscrollbar": 8 wide

  list->SetScrollPosY(250);
  EXPECT_EQ(Count(changes), 1);
  EXPECT_EQ(window_.FindControlAt(POINT{10, 10}), Find(L"c2"));
  EXPECT_EQ(window_.FindControlAt(POINT{10, 60}), Find(L"c3"));
  EXPECT_EQ(window_.FindControlAt(POINT{195, 10}), bar);
  std::unique_ptr<IRenderContext> surface = PaintWindow(200, 200);
  EXPECT_EQ(Rgb(Pixel(surface.get(), 10, 10)), 0xFFC53Du);  // c2 (yellow) at 200..300
  EXPECT_EQ(Rgb(Pixel(surface.get(), 10, 60)), 0x1FB36Bu);  // c3 (green) at 300..400

  Arrange(200, 300);  // range 200: the position is clamped
  EXPECT_EQ(list->GetScrollPos().cy, 200);
  EXPECT_EQ(Count(changes), 2);
  Arrange(200, 200);  // range 300 again: the position stays
  EXPECT_EQ(list->GetScrollPos().cy, 200);
  EXPECT_EQ(Count(changes), 2);

  Send(list, kEventMouseLeave);  // auto-hide: out of the box the bar goes
  EXPECT_FALSE(bar->IsVisible());
  window_.SetHoverControl(list);
  Send(list, kEventMouseEnter);
  EXPECT_TRUE(bar->IsVisible());
  window_.SetHoverControl(Find(L"c1"));  // onto a child is not out
  Send(list, kEventMouseLeave);
  EXPECT_TRUE(bar->IsVisible());

  list->SetAttribute(L"holdend", L"true");
  list->ScrollToBottom();
  auto grow = [&] {
    auto child = std::make_unique<Control>();
    child->SetFixedHeight(100);
    ASSERT_TRUE(list->Add(child.release()));
    Arrange(200, 200);
  };
  grow();
  EXPECT_EQ(list->GetScrollRange().cy, 400);
  EXPECT_EQ(list->GetScrollPos().cy, 400);
  list->SetHoldEnd(false);
  grow();
  EXPECT_EQ(list->GetScrollPos().cy, 400);

  Arrange(200, 800);  // everything fits
  EXPECT_EQ(list->GetScrollRange().cy, 0);
  EXPECT_EQ(list->GetScrollPos().cy, 0);
  EXPECT_FALSE(bar->IsVisible());
}

// Wheel, keys and touch: a notch of 120 with a unit of 30 glides 30 px and
// notches while gliding add up; keys page and jump; a box whose mouse is
// off hands the wheel to its parent; a finger drags the content.
TEST_F(ScrollingTest, WheelKeysAndTouch) {
  ASSERT_TRUE(Build(L"<Window><VListBox name=\"outer\" vscrollbar=\"true\">"
                    L"<VListBox name=\"inner\" height=\"100\" vscrollbar=\"true\" vscrollunit=\"30\">"
                    L"<Control height=\"300\"/></VListBox><Control height=\"400\"/></VListBox></Window>"));
  Arrange(200, 200);
  ListBox* outer = Get<ListBox>(L"outer");
  ListBox* inner = Get<ListBox>(L"inner");
  ASSERT_EQ(outer->GetScrollRange().cy, 300);
  ASSERT_EQ(inner->GetScrollRange().cy, 200);

  Wheel(inner, 120);  // up at the top: nowhere to go
  Glide(inner);
  EXPECT_EQ(inner->GetScrollPos().cy, 0);
  Wheel(inner, -120);
  ASSERT_TRUE(inner->ScrollAnimation());
  EXPECT_TRUE(inner->ScrollAnimation()->IsPlaying());
  Glide(inner);
  EXPECT_EQ(inner->GetScrollPos().cy, 30);
  Wheel(inner, -120);
  Wheel(inner, -240);  // more than a unit is a unit
  Glide(inner);
  EXPECT_EQ(inner->GetScrollPos().cy, 90);
  EXPECT_EQ(outer->GetScrollPos().cy, 0);

  const struct {
    wchar_t key;
    LONG pos;
  } keys[] = {{VK_END, 300}, {VK_HOME, 0}, {VK_NEXT, 200}, {VK_PRIOR, 0}, {VK_DOWN, 30}, {VK_UP, 0}};
  for (const auto& k : keys) {
    SCOPED_TRACE(k.key);
    Key(outer, k.key);
    Glide(outer);
    EXPECT_EQ(outer->GetScrollPos().cy, k.pos);
  }

  inner->SetMouseEnabled(false);
  Wheel(inner, -120);
  Glide(outer);
  EXPECT_EQ(inner->GetScrollPos().cy, 90);
  EXPECT_EQ(outer->GetScrollPos().cy, 30);

  Send(outer, kEventPointerDown, POINT{10, 150});
  EXPECT_EQ(window_.GetCaptureControl(), outer);
  Send(outer, kEventPointerMove, POINT{10, 110});  // finger up 40: content follows
  EXPECT_EQ(outer->GetScrollPos().cy, 70);
  Send(outer, kEventPointerMove, POINT{10, 130});
  EXPECT_EQ(outer->GetScrollPos().cy, 50);
  Send(outer, kEventPointerUp, POINT{10, 130});
  EXPECT_EQ(window_.GetCaptureControl(), nullptr);

  // Horizontal only: the wheel and keys act sideways, a unit of 0 is 20.
  ASSERT_TRUE(Build(L"<Window><HListBox name=\"row\" hscrollbar=\"true\" hscrollunit=\"0\">"
                    L"<Control width=\"300\"/></HListBox></Window>"));
  Arrange(100, 50);
  ListBox* row = Get<ListBox>(L"row");
  Wheel(row, -120);
  EXPECT_EQ(row->GetScrollPos().cx, 20);
  Key(row, VK_END);
  EXPECT_EQ(row->GetScrollPos().cx, 200);
}

// Scrolling keeps the background images of children within 730 px of the
// view decoded and releases the others.
TEST_F(ScrollingTest, ImagesNearTheViewStayDecoded) {
  const std::wstring image = WriteSolidBmp(L"bk.bmp", 2, 2, 0x00FF00);
  std::wstring markup = L"<Window><VListBox name=\"list\" vscrollbar=\"true\">";
  for (int i = 0; i < 20; ++i)
    markup += L"<Control name=\"i" + std::to_wstring(i) + L"\" height=\"100\" bkimage=\"" + image + L"\"/>";
  ASSERT_TRUE(Build(markup + L"</VListBox></Window>"));
  Arrange(200, 200);
  ListBox* list = Get<ListBox>(L"list");
  auto decoded = [&](int i) { return Find(L"i" + std::to_wstring(i))->BkImage().info() != nullptr; };
  list->SetScrollPosY(1000);  // kept: 270..1930, children 2 to 19
  for (int i = 0; i < 20; ++i) EXPECT_EQ(decoded(i), i >= 2) << i;
  list->SetScrollPosY(0);  // kept: up to 930, children 0 to 9
  for (int i = 0; i < 20; ++i) EXPECT_EQ(decoded(i), i <= 9) << i;
}

// Selection by keys skips disabled, hidden and non-element items and
// scrolls the selection into view; "unselect" comes before "select" (also
// for the current item); indices and the selection follow insertions and
// removals, so Activate selects the item clicked.
TEST_F(ScrollingTest, ListSelectionAndRenumbering) {
  ASSERT_TRUE(Build(L"<Window><VListBox name=\"list\" vscrollbar=\"true\">"
                    L"<ListContainerElement name=\"e0\" height=\"50\"/>"
                    L"<ListContainerElement name=\"e1\" height=\"50\" enabled=\"false\"/>"
                    L"<ListContainerElement name=\"e2\" height=\"50\" visible=\"false\"/>"
                    L"<ListContainerElement name=\"e3\" height=\"50\"/>"
                    L"<Control name=\"plain\" height=\"50\"/>"
                    L"<ListContainerElement name=\"e5\" height=\"50\"/></VListBox></Window>"));
  Arrange(200, 100);
  ListBox* list = Get<ListBox>(L"list");
  std::vector<std::string> events;
  list->Subscribe(kEventSelect, [&](EventArgs* args) {
    events.push_back("s" + std::to_string(args->wparam) + "/" + std::to_string(static_cast<int>(args->lparam)));
    return true;
  });
  list->SubscribeBubbled(kEventUnSelect, [&](EventArgs* args) {
    events.push_back("u" + std::to_string(list->GetItemIndex(args->sender)));
    return true;
  });
  const struct {
    wchar_t key;
    int selected;
    LONG pos;
    std::vector<std::string> events;
  } steps[] = {
      {VK_HOME, 0, 0, {"s0/-1"}},       {VK_DOWN, 3, 50, {"u0", "s3/0"}},  {VK_DOWN, 5, 150, {"u3", "s5/3"}},
      {VK_DOWN, 5, 150, {}},            {VK_UP, 3, 100, {"u5", "s3/5"}},   {VK_UP, 0, 0, {"u3", "s0/3"}},
      {VK_END, 5, 150, {"u0", "s5/0"}},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.key);
    events.clear();
    Key(list, s.key);
    EXPECT_EQ(list->GetCurSel(), s.selected);
    EXPECT_EQ(list->GetScrollPos().cy, s.pos);
    EXPECT_EQ(events, s.events);
  }
  events.clear();
  EXPECT_TRUE(list->SelectItem(5));
  EXPECT_EQ(events, (std::vector<std::string>{"u5", "s5/5"}));
  EXPECT_TRUE(Get<ListContainerElement>(L"e5")->IsSelected());
  EXPECT_FALSE(list->SelectItem(1));  // disabled: nothing selected now
  EXPECT_EQ(list->GetCurSel(), -1);
  EXPECT_FALSE(Get<ListContainerElement>(L"e5")->IsSelected());

  // Insert before and remove before: the selection and every index move.
  ASSERT_TRUE(list->SelectItem(5));
  auto added = std::make_unique<ListContainerElement>();
  added->SetName(L"n");
  ASSERT_TRUE(list->AddAt(added.release(), 0));
  EXPECT_EQ(list->GetCurSel(), 6);
  ASSERT_TRUE(list->Remove(Find(L"e0")));
  EXPECT_EQ(list->GetCurSel(), 5);
  for (size_t i = 0; i < list->GetCount(); ++i) {
    if (auto* e = dynamic_cast<ListContainerElement*>(list->GetItemAt(i))) {
      EXPECT_EQ(e->GetIndex(), static_cast<int>(i));
      EXPECT_EQ(e->GetOwner(), list);
    }
  }
  Get<ListContainerElement>(L"e3")->Activate();
  EXPECT_EQ(list->GetCurSel(), 3);
  EXPECT_EQ(list->GetItemAt(3), Find(L"e3"));
  EXPECT_TRUE(list->Remove(Find(L"e3")));  // the selected item goes: none
  EXPECT_EQ(list->GetCurSel(), -1);
  Get<ListContainerElement>(L"e5")->Activate();
  EXPECT_EQ(list->GetItemAt(list->GetCurSel()), Find(L"e5"));
  list->RemoveAll();
  EXPECT_EQ(list->GetCurSel(), -1);
}

// An element's own reactions: Return sends "return" and selects, the menu
// request selects and sends "menu", a double click sends "doubleclick", and
// with its mouse off the wheel reaches the list, which with scroll-select
// on moves the selection instead of the view. Scrolling an item to the top
// by name and the item at the top.
TEST_F(ScrollingTest, ListElementsAndTopItem) {
  ASSERT_TRUE(Build(L"<Window><VListBox name=\"list\" vscrollbar=\"true\">"
                    L"<ListContainerElement name=\"a\" height=\"50\"/><ListContainerElement name=\"b\" height=\"50\"/>"
                    L"<ListContainerElement name=\"c\" height=\"50\"/><ListContainerElement name=\"d\" height=\"50\"/>"
                    L"</VListBox></Window>"));
  Arrange(200, 100);
  ListBox* list = Get<ListBox>(L"list");
  ListContainerElement* b = Get<ListContainerElement>(L"b");
  const int returns = CountOf(b, kEventReturn);
  const int menus = CountOf(b, kEventMouseMenu);
  const int doubles = CountOf(b, kEventMouseDoubleClick);
  Key(b, VK_RETURN);
  EXPECT_EQ(Count(returns), 1);
  EXPECT_EQ(list->GetCurSel(), 1);
  ASSERT_TRUE(list->SelectItem(0));
  Send(b, kEventInternalMenu);
  EXPECT_EQ(Count(menus), 1);
  EXPECT_EQ(list->GetCurSel(), 1);
  Send(b, kEventInternalDoubleClick);
  EXPECT_EQ(Count(doubles), 1);

  b->SetMouseEnabled(false);
  Wheel(b, -120);
  Glide(list);
  EXPECT_EQ(list->GetScrollPos().cy, 30);
  list->SetAttribute(L"scrollselect", L"true");
  Wheel(b, -120);
  EXPECT_EQ(list->GetCurSel(), 2);
  Wheel(b, 120);
  EXPECT_EQ(list->GetCurSel(), 1);

  EXPECT_TRUE(list->ScrollItemToTop(L"C"));
  EXPECT_EQ(list->GetScrollPos().cy, 100);
  EXPECT_EQ(list->GetTopItem(), Find(L"c"));
  list->SetScrollPosY(99);
  EXPECT_EQ(list->GetTopItem(), Find(L"b"));
  EXPECT_FALSE(list->ScrollItemToTop(L"zz"));
}

}  // namespace
}  // namespace ui
