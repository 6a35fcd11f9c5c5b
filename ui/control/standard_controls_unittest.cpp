// Labels, buttons, check boxes, options and progress bars built from
// markup, driven by events and painted off screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "ui/control/button.h"
#include "ui/control/check_box.h"
#include "ui/control/circle_progress.h"
#include "ui/control/label.h"
#include "ui/control/option.h"
#include "ui/control/progress.h"
#include "ui/control/text_fit.h"
#include "ui/control/tree_test_support.h"

namespace ui {
namespace {

using testing::Pixel;
using testing::Rgb;

class StandardControlsTest : public testing::TreeTest {
 protected:
  // Records "name:select" / "name:unselect" / "name:click" for |names|.
  void Watch(Window* window, std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) {
      Control* c = window->FindControl(name);
      ASSERT_TRUE(c) << base::WideToUtf8(name);
      const std::string n = base::WideToUtf8(name);
      c->Subscribe(kEventSelect, Note(n + ":select"));
      c->Subscribe(kEventUnSelect, Note(n + ":unselect"));
      c->Subscribe(kEventClick, Note(n + ":click"));
    }
  }
  EventHandler Note(const std::string& what) {
    return [this, what](EventArgs*) {
      log_.push_back(what);
      return true;
    };
  }
  ISelectable* Sel(const wchar_t* name) { return dynamic_cast<ISelectable*>(Find(name)); }

  // The bounding box of the pixels within |tolerance| of |rgb| per channel.
  static RECT Inked(IRenderContext* surface, uint32_t rgb, int tolerance = 40) {
    RECT box{surface->GetWidth(), surface->GetHeight(), -1, -1};
    for (int y = 0; y < surface->GetHeight(); ++y) {
      for (int x = 0; x < surface->GetWidth(); ++x) {
        const uint32_t p = Rgb(Pixel(surface, x, y));
        bool match = true;
        for (int shift : {0, 8, 16})
          match = match && std::abs(int((p >> shift) & 0xFF) - int((rgb >> shift) & 0xFF)) <= tolerance;
        if (!match) continue;
        box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                   std::max<LONG>(box.bottom, y + 1)};
      }
    }
    return box;
  }

  std::vector<std::string> log_;
};

// Every element name makes its kind; the button kinds (and what derives
// from them) answer IsButton for the caption hit test.
TEST_F(StandardControlsTest, ElementNamesMakeTheirKinds) {
  ASSERT_TRUE(Build(L"<Window><VBox><Label name=\"Label\"/><Button name=\"Button\"/><CheckBox name=\"CheckBox\"/>"
                    L"<Option name=\"Option\"/><LabelBox name=\"LabelBox\"/><ButtonBox name=\"ButtonBox\"/>"
                    L"<CheckBoxBox name=\"CheckBoxBox\"><Label name=\"inner\"/></CheckBoxBox>"
                    L"<OptionBox name=\"OptionBox\"/></VBox></Window>"));
  const struct {
    const wchar_t* name;
    bool button;
    bool box;
  } kinds[] = {{L"Label", false, false},   {L"Button", true, false},   {L"CheckBox", true, false},
               {L"Option", true, false},   {L"LabelBox", false, true}, {L"ButtonBox", true, true},
               {L"CheckBoxBox", true, true}, {L"OptionBox", true, true}};
  for (const auto& k : kinds) {
    SCOPED_TRACE(base::WideToUtf8(k.name));
    Control* c = Find(k.name);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->GetType(), k.name);
    EXPECT_EQ(c->IsButton(), k.button);
    EXPECT_EQ(dynamic_cast<Box*>(c) != nullptr, k.box);
    EXPECT_EQ(c->ControlFlags(), k.button ? 1u : 0u);  // labels are no tab stops
  }
  EXPECT_EQ(Find(L"inner")->GetParent(), Find(L"CheckBoxBox"));
}

// The "align" words by substring in a fixed order: "vcenter" centres both
// ways (and contains "center"), "left" and "right" drop the single line.
TEST_F(StandardControlsTest, AlignWords) {
  const struct {
    const wchar_t* value;
    UINT style;
  } cases[] = {
      {L"", 0x8120},
      {L"left", 0x8100},
      {L"center", 0x8121},
      {L"right", 0x8102},
      {L"top", 0x8120},
      {L"vcenter", 0x8125},
      {L"bottom", 0x8128},
      {L"left vcenter", 0x8125},
      {L"vcenter left", 0x8125},
      {L"right bottom", 0x812A},
      {L"right vcenter", 0x8127},  // "center" comes before "right", "vcenter" after
      {L"centre", 0x8120},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(c.value));
    EXPECT_EQ(ApplyTextAlign(kLabelDefaultTextStyle, c.value), c.style);
  }
  // Painted: "left vcenter" puts the text in the middle of the label.
  ASSERT_TRUE(Build(L"<Window><HBox><Label name=\"l\" width=\"240\" height=\"60\" text=\"Install\" align=\"left vcenter\""
                    L" font=\"system_bold_24\" normaltextcolor=\"black\"/></HBox></Window>"));
  std::unique_ptr<IRenderContext> surface = PaintWindow(240, 60);
  const RECT ink = Inked(surface.get(), 0x000000, 60);
  ASSERT_LT(ink.left, ink.right) << "no text painted";
  EXPECT_NEAR((ink.left + ink.right) / 2, 120, 4) << testing::RectText(ink);
  EXPECT_NEAR((ink.top + ink.bottom) / 2, 30, 5) << testing::RectText(ink);
}

// The text id speaks while the text is empty; a text set later wins, and
// clearing it brings the id's text back. UTF-8 both ways.
TEST_F(StandardControlsTest, TextIdFallbackAndUtf8) {
  ASSERT_TRUE(Build(L"<Window><HBox><Button name=\"b\" textid=\"STRID_ENDPAGE_START\"/></HBox></Window>"));
  auto* b = dynamic_cast<Button*>(Find(L"b"));
  ASSERT_TRUE(b);
  EXPECT_EQ(b->GetText(), L"Start Now");
  b->SetTextUtf8("Gr\xC3\xBC\xC3\x9F" "e");
  EXPECT_EQ(b->GetText(), L"Gr\u00FC\u00DFe");
  EXPECT_EQ(b->TextUtf8(), "Gr\xC3\xBC\xC3\x9F" "e");
  b->SetText(L"");
  EXPECT_EQ(b->GetText(), L"Start Now");
  b->SetTextIdUtf8("STRID_NO_SUCH_KEY");
  EXPECT_EQ(b->GetText(), L"");
}

// Auto size: text plus padding; a longer text re-arranges; a label free
// to grow (no maximum width) that does not fit wraps to the space.
TEST_F(StandardControlsTest, AutoSizeMeasuresText) {
  ASSERT_TRUE(Build(L"<Window><VBox><HBox height=\"auto\"><Label name=\"plain\" width=\"auto\" height=\"auto\""
                    L" text=\"Install Now\"/><Label name=\"padded\" width=\"auto\" height=\"auto\" text=\"Install Now\""
                    L" textpadding=\"4,2,6,3\"/></HBox></VBox></Window>"));
  Arrange(400, 300);
  const RECT plain = Pos(L"plain");
  const RECT padded = Pos(L"padded");
  const LONG w = plain.right - plain.left;
  const LONG h = plain.bottom - plain.top;
  EXPECT_GT(w, 30);
  EXPECT_GT(h, 8);
  EXPECT_EQ(padded.right - padded.left, w + 10);
  EXPECT_EQ(padded.bottom - padded.top, h + 5);

  auto* label = dynamic_cast<Label*>(Find(L"plain"));
  window_.SetArrangePending(false);
  label->SetText(L"Install Now");
  EXPECT_FALSE(window_.IsArrangePending()) << "an equal text changes nothing";
  label->SetText(L"Install Now, please");
  EXPECT_TRUE(window_.IsArrangePending());
  Arrange(400, 300);
  EXPECT_GT(Pos(L"plain").right - Pos(L"plain").left, w);

  ASSERT_TRUE(Build(L"<Window><VBox><Label name=\"wrap\" width=\"auto\" height=\"auto\" maxwidth=\"stretch\""
                    L" singleline=\"false\" text=\"One-Stop PDF Editor and Reader, powerful and free\"/>"
                    L"<Label name=\"line\" width=\"auto\" height=\"auto\" text=\"One line\"/></VBox></Window>"));
  Arrange(120, 300);
  const RECT wrap = Pos(L"wrap");
  const RECT line = Pos(L"line");
  EXPECT_LE(wrap.right - wrap.left, 120);
  EXPECT_GE(wrap.bottom - wrap.top, 2 * (line.bottom - line.top)) << testing::RectText(wrap);
}

// A check box as the skins make it: a 16-pixel mark at a fixed destination,
// words beside it, a 16-pixel height that is less than one line of its
// 12-pixel font. The words decide the auto width and show; an image-only button
// still takes its image's size.
TEST_F(StandardControlsTest, CheckBoxWordsBesideTheirMark) {
  ASSERT_TRUE(Build(L"<Window><VBox><CheckBox name=\"cb\" text=\"Custom Install\" width=\"auto\" height=\"16\""
                    L" textpadding=\"20,0,0,0\" font=\"system_12\" normaltextcolor=\"black\""
                    L" normalimage=\"file='../public/checkbox/check_no.png' dest='0,0,16,16'\"/>"
                    L"<Button name=\"icon\" width=\"auto\" height=\"auto\""
                    L" normalimage=\"file='../public/checkbox/check_no.png' dest='0,0,16,16'\"/></VBox></Window>"));
  Arrange(400, 100);
  const RECT cb = Pos(L"cb");
  EXPECT_GT(cb.right - cb.left, 20 + 40) << testing::RectText(cb);
  EXPECT_EQ(cb.bottom - cb.top, 16);
  const RECT icon = Pos(L"icon");
  EXPECT_EQ(icon.right - icon.left, 16);
  EXPECT_EQ(icon.bottom - icon.top, 16);
  std::unique_ptr<IRenderContext> surface = PaintWindow(400, 100);
  const RECT ink = Inked(surface.get(), 0x000000, 60);
  ASSERT_LT(ink.left, ink.right) << "the words are not painted";
  EXPECT_GE(ink.left, 20);
  EXPECT_NEAR((ink.top + ink.bottom) / 2, 8, 4) << testing::RectText(ink);
}

// Selecting: a check box toggles on click and re-selecting it sends
// nothing; an option re-selected sends "select" again and a click never
// unselects it.
TEST_F(StandardControlsTest, SelectEvents) {
  ASSERT_TRUE(Build(L"<Window><HBox><CheckBox name=\"cb\"/><Option name=\"op\"/></HBox></Window>"));
  Watch(&window_, {L"cb", L"op"});
  const struct {
    const wchar_t* name;
    int action;  // 1 SetSelected(true), 0 SetSelected(false), 2 Activate
    std::vector<std::string> expected;
    bool selected;
  } steps[] = {
      {L"cb", 1, {"cb:select"}, true},
      {L"cb", 1, {}, true},
      {L"cb", 2, {"cb:click", "cb:unselect"}, false},
      {L"cb", 0, {}, false},
      {L"op", 1, {"op:select"}, true},
      {L"op", 1, {"op:select"}, true},
      {L"op", 2, {"op:click", "op:select"}, true},
      {L"op", 0, {"op:unselect"}, false},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(base::WideToUtf8(s.name) + " action " + std::to_string(s.action));
    log_.clear();
    Control* c = Find(s.name);
    if (s.action == 2)
      c->Activate();
    else
      Sel(s.name)->SetSelected(s.action == 1, true);
    EXPECT_EQ(log_, s.expected);
    EXPECT_EQ(Sel(s.name)->IsSelected(), s.selected);
  }
  // Without events an option still says "unselect"; a check box is silent.
  log_.clear();
  Sel(L"op")->SetSelected(false, false);
  Sel(L"cb")->SetSelected(true, false);
  EXPECT_EQ(log_, std::vector<std::string>{"op:unselect"});
}

// A group is one window's: selecting unselects the others of the group in
// that window only. A destroyed option leaves its group; an option given a
// window later joins it then; a detached tree leaves the table.
TEST_F(StandardControlsTest, OptionGroupsPerWindow) {
  const wchar_t* markup =
      L"<Window><HBox name=\"row\"><Option name=\"a\" group=\"g\" selected=\"true\"/><OptionBox name=\"b\" group=\"g\"/>"
      L"<Option name=\"c\" group=\"other\" selected=\"true\"/></HBox></Window>";
  ASSERT_TRUE(Build(markup));
  testing::RecordingWindow second;
  MarkupBuilder builder;
  ASSERT_TRUE(builder.Create(markup, &second));
  ASSERT_TRUE(window_.GetOptionGroup(L"g"));
  EXPECT_EQ(window_.GetOptionGroup(L"g")->size(), 2u);

  Watch(&window_, {L"a", L"b", L"c"});
  Find(L"b")->Activate();
  EXPECT_EQ(log_, (std::vector<std::string>{"b:click", "a:unselect", "b:select"}));
  EXPECT_FALSE(Sel(L"a")->IsSelected());
  EXPECT_TRUE(Sel(L"c")->IsSelected());
  EXPECT_TRUE(dynamic_cast<ISelectable*>(second.FindControl(L"a"))->IsSelected()) << "another window's group";

  // Destroyed: gone from the table, and selecting the others reads no freed option.
  Box* row = dynamic_cast<Box*>(Find(L"row"));
  row->SetDefersDeletion(false);
  ASSERT_TRUE(row->Remove(Find(L"a")));
  ASSERT_EQ(window_.GetOptionGroup(L"g")->size(), 1u);
  Sel(L"b")->SetSelected(true, true);

  // A later window: the option joins when the box it is added to has one.
  auto late = std::make_unique<Option>();
  late->SetName(L"late");
  late->SetGroup(L"g");
  EXPECT_EQ(window_.GetOptionGroup(L"g")->size(), 1u);
  ASSERT_TRUE(row->Add(late.release()));
  ASSERT_EQ(window_.GetOptionGroup(L"g")->size(), 2u);
  log_.clear();
  Find(L"late")->Activate();
  EXPECT_FALSE(Sel(L"b")->IsSelected());
  EXPECT_EQ(log_, std::vector<std::string>{"b:unselect"});

  // Regrouped: leaves "g"; detached: the window keeps no member.
  dynamic_cast<Option*>(Find(L"late"))->SetGroup(L"other");
  EXPECT_FALSE(Sel(L"c")->IsSelected());
  EXPECT_EQ(window_.GetOptionGroup(L"g")->size(), 1u);
  std::unique_ptr<Box> detached = window_.DetachRoot();
  EXPECT_EQ(window_.GetOptionGroup(L"g"), nullptr);
  EXPECT_EQ(window_.GetOptionGroup(L"other"), nullptr);
  detached.reset();
  EXPECT_EQ(window_.GetOptionGroup(L"g"), nullptr);
}

// Space and Return click a focused, enabled button; other keys and a
// disabled button do not. A check box toggles by key as by mouse.
TEST_F(StandardControlsTest, KeysActivateButtons) {
  ASSERT_TRUE(Build(L"<Window><HBox><Button name=\"b\"/><CheckBox name=\"cb\"/><Label name=\"l\"/></HBox></Window>"));
  Watch(&window_, {L"b", L"cb", L"l"});
  const struct {
    const wchar_t* name;
    wchar_t key;
    bool enabled;
    std::vector<std::string> expected;
  } cases[] = {
      {L"b", VK_SPACE, true, {"b:click"}},
      {L"b", VK_RETURN, true, {"b:click"}},
      {L"b", L'A', true, {}},
      {L"b", VK_SPACE, false, {}},
      {L"cb", VK_RETURN, true, {"cb:click", "cb:select"}},
      {L"l", VK_SPACE, true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(c.name) + " key " + std::to_string(c.key));
    Control* control = Find(c.name);
    control->SetEnabled(c.enabled);
    log_.clear();
    control->SendEvent(kEventKeyDown, c.key, 0, c.key);
    EXPECT_EQ(log_, c.expected);
    control->SetEnabled(true);
  }
}

// A button without mouse input hands its mouse events to its parent (the
// wheel still reaches a scrolling box) and is not pushed; with mouse input
// a press is its own. The context menu carries the request's point.
TEST_F(StandardControlsTest, MouseOffButtonPassesToParent) {
  ASSERT_TRUE(Build(L"<Window><HBox name=\"row\"><Button name=\"off\" mouse=\"false\"/><Button name=\"on\" menu=\"true\"/>"
                    L"</HBox></Window>"));
  Box* row = dynamic_cast<Box*>(Find(L"row"));
  std::vector<std::pair<int, Control*>> seen;
  row->SubscribeBubbled(kEventAll, [&](EventArgs* args) {
    seen.emplace_back(args->type, args->sender);
    return true;
  });
  Control* off = Find(L"off");
  Control* on = Find(L"on");
  off->SendEvent(kEventMouseScrollWheel, MAKEWPARAM(0, WHEEL_DELTA));
  off->SendEvent(kEventMouseButtonDown);
  on->SendEvent(kEventMouseButtonDown);
  EXPECT_EQ(off->GetState(), kStateNormal);
  EXPECT_EQ(on->GetState(), kStatePushed);
  EXPECT_EQ(seen, (std::vector<std::pair<int, Control*>>{{kEventMouseScrollWheel, off}, {kEventMouseButtonDown, off}}));

  POINT menu_point{0, 0};
  on->Subscribe(kEventMouseMenu, [&](EventArgs* args) {
    menu_point = args->mouse_point;
    return true;
  });
  window_.SetLastMousePos(POINT{1, 1});
  EventArgs request;
  request.type = kEventInternalMenu;
  request.sender = on;
  request.mouse_point = POINT{17, 9};
  on->DeliverEvent(&request);
  EXPECT_EQ(menu_point.x, 17);
  EXPECT_EQ(menu_point.y, 9);
}

// Painting by state: the hot text colour fades in over the normal one; a
// selected check box paints its selected colour and text colour, disabled
// the disabled text colour.
TEST_F(StandardControlsTest, TextAndSelectedColoursPaint) {
  ASSERT_TRUE(Build(L"<Window><HBox><CheckBox name=\"cb\" width=\"200\" height=\"40\" text=\"Wg\" font=\"system_bold_24\""
                    L" normaltextcolor=\"black\" hottextcolor=\"blue\" selectedtextcolor=\"red\" normalcolor=\"white\""
                    L" selectednormalcolor=\"light_gray\" disabledtextcolor=\"green\"/></HBox></Window>"));
  auto* cb = dynamic_cast<CheckBox*>(Find(L"cb"));
  const uint32_t black = 0x000000, blue = Rgb(GlobalResources::GetTextColor(L"blue"));
  const uint32_t red = Rgb(GlobalResources::GetTextColor(L"red"));
  const uint32_t green = Rgb(GlobalResources::GetTextColor(L"green"));
  const uint32_t light_gray = Rgb(GlobalResources::GetTextColor(L"light_gray"));
  ASSERT_NE(green, 0u);
  const struct {
    const char* what;
    int step;  // 0 none, 1 mouse enter (fade finished), 2 select, 3 disable
    uint32_t text;
    uint32_t background;
  } steps[] = {
      {"at rest", 0, black, 0xFFFFFF},
      {"hot", 1, blue, 0xFFFFFF},
      {"selected", 2, red, light_gray},
      {"selected and disabled", 3, green, light_gray},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.what);
    if (s.step == 1) {
      window_.SetHoverControl(cb);
      cb->SendEvent(kEventMouseEnter);
      AnimationPlayer* hot = cb->Animations()->PlayerFor(kFadeHot);
      ASSERT_TRUE(hot && hot->IsPlaying());
      hot->AdvanceForTesting(1000);
    }
    if (s.step == 2) cb->SetSelected(true, true);
    if (s.step == 3) cb->SetEnabled(false);
    std::unique_ptr<IRenderContext> surface = PaintWindow(200, 40);
    EXPECT_EQ(Rgb(Pixel(surface.get(), 190, 35)), s.background);
    const RECT ink = Inked(surface.get(), s.text, 24);
    EXPECT_LT(ink.left, ink.right) << "no text in the expected colour";
    for (uint32_t other : {black, blue, red, green}) {
      if (other == s.text) continue;
      const RECT stray = Inked(surface.get(), other, 24);
      EXPECT_GE(stray.left, stray.right) << "text also in " << std::hex << other;
    }
  }
}

// The fill follows the repaired range: a value past the end paints full,
// an empty or inverted range becomes min..min+1, a value that is not a
// number counts as min; vertical fills from the bottom. The image goes
// with the exact modifier, stretched or revealing the same rectangle.
TEST_F(StandardControlsTest, ProgressRangeAndFill) {
  const std::wstring image = WriteSolidBmp(L"bar.bmp", 200, 20, 0x00FF00);
  ASSERT_TRUE(Build(L"<Window><VBox><Progress name=\"p\" width=\"200\" height=\"20\" progresscolor=\" blue\""
                    L" progressimage=\"file='" + image + L"'\"/><Progress name=\"d\"/></VBox></Window>"));
  auto* p = dynamic_cast<Progress*>(Find(L"p"));
  ASSERT_TRUE(p);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    int min, max;
    double value;
    bool horizontal;
    RECT fill;
    int repaired_max;
    double repaired_value;
  } cases[] = {
      {0, 100, 50, true, {0, 0, 100, 20}, 100, 50},   {0, 100, 150, true, {0, 0, 200, 20}, 100, 100},
      {0, 0, 0, true, {0, 0, 0, 20}, 1, 0},           {0, 0, 1, true, {0, 0, 200, 20}, 1, 1},
      {10, 5, 7, true, {0, 0, 0, 20}, 11, 10},        {0, 100, -5, true, {0, 0, 0, 20}, 100, 0},
      {0, 3, 1, true, {0, 0, 66, 20}, 3, 1},          {0, 100, 25, false, {0, 15, 200, 20}, 100, 25},
      {0, 100, nan, true, {0, 0, 0, 20}, 100, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.min) + ".." + std::to_string(c.max) + " value " + std::to_string(c.value));
    p->SetMinValue(c.min);
    p->SetMaxValue(c.max);
    p->SetValue(c.value);
    p->SetHorizontal(c.horizontal);
    std::unique_ptr<IRenderContext> surface = PaintWindow(200, 40);
    const RECT& f = c.fill;
    EXPECT_EQ(p->GetLastModifier(), L"destscale='false' dest='" + std::to_wstring(f.left) + L"," +
                                        std::to_wstring(f.top) + L"," + std::to_wstring(f.right) + L"," +
                                        std::to_wstring(f.bottom) + L"'");
    EXPECT_EQ(p->GetMaxValue(), c.repaired_max);
    EXPECT_EQ(p->GetValue(), c.repaired_value);
    if (c.horizontal) {
      if (f.right > 0) {
        EXPECT_EQ(Rgb(Pixel(surface.get(), f.right - 1, 10)), 0x00FF00u);
      }
      if (f.right < 200) {
        EXPECT_EQ(Rgb(Pixel(surface.get(), f.right, 10)), 0xFFFFFFu);
      }
    } else {
      EXPECT_EQ(Rgb(Pixel(surface.get(), 100, f.top)), 0x00FF00u);
      EXPECT_EQ(Rgb(Pixel(surface.get(), 100, f.top - 1)), 0xFFFFFFu);
    }
  }
  p->SetHorizontal(true);
  p->SetValue(50);
  p->SetStretchFore(false);
  PaintWindow(200, 40);
  EXPECT_EQ(p->GetLastModifier(), L"destscale='false' dest='0,0,100,20' source='0,0,100,20'");
  // Without the image the colour shows (its leading blank skipped).
  p->SetProgressImage(L"");
  std::unique_ptr<IRenderContext> surface = PaintWindow(200, 40);
  EXPECT_EQ(Rgb(Pixel(surface.get(), 50, 10)), Rgb(GlobalResources::GetTextColor(L"blue")));
  EXPECT_EQ(Rgb(Pixel(surface.get(), 150, 10)), 0xFFFFFFu);

  auto* d = dynamic_cast<Progress*>(Find(L"d"));
  EXPECT_EQ(d->GetFixedHeight(), 12);
  EXPECT_EQ(d->GetTextStyle(), UINT(DT_CENTER | DT_SINGLELINE));
  EXPECT_EQ(d->GetType(), L"Progress");
}

// The ring: a quarter sweeps from the top clockwise (or the other way);
// with "circular" off it fills as a bar.
TEST_F(StandardControlsTest, CircleProgressRing) {
  const uint32_t blue = Rgb(GlobalResources::GetTextColor(L"blue"));
  const uint32_t light_gray = Rgb(GlobalResources::GetTextColor(L"light_gray"));
  const struct {
    const wchar_t* extra;
    uint32_t top_right, top_left, bar;
  } cases[] = {
      {L"", blue, light_gray, 0xFFFFFF},
      {L" clockwise=\"false\"", light_gray, blue, 0xFFFFFF},
      {L" circular=\"false\"", 0xFFFFFF, blue, blue},  // a bar 15 wide
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(c.extra));
    ASSERT_TRUE(Build(std::wstring(L"<Window><HBox><CircleProgress name=\"c\" width=\"60\" height=\"60\" circlewidth=\"6\""
                                   L" bgcolor=\"light_gray\" fgcolor=\"blue\" progresscolor=\"blue\" value=\"25\"") +
                      c.extra + L"/></HBox></Window>"));
    EXPECT_EQ(Find(L"c")->GetType(), L"CircleProgress");
    std::unique_ptr<IRenderContext> surface = PaintWindow(60, 60);
    // Mid-stroke, 45 degrees either side of the top (radius 27 about 30,30).
    EXPECT_EQ(Rgb(Pixel(surface.get(), 49, 11)), c.top_right);
    EXPECT_EQ(Rgb(Pixel(surface.get(), 11, 11)), c.top_left);
    EXPECT_EQ(Rgb(Pixel(surface.get(), 2, 2)), c.bar);  // outside the ring
  }
}

// The misfit walk: a single line needs its natural width, wrapping text its
// height at the area's width, padding takes room; hidden subtrees and texts
// that fit are not reported.
TEST_F(StandardControlsTest, TextMisfitsAreFound) {
  ASSERT_TRUE(Build(L"<Window><VBox>"
                    L"<Label name=\"auto\" width=\"auto\" height=\"auto\" text=\"Installation Path:\"/>"
                    L"<Label name=\"narrow\" width=\"40\" height=\"24\" text=\"Installation Path:\"/>"
                    L"<Button name=\"padded\" width=\"120\" height=\"24\" textpadding=\"60,0,0,0\""
                    L" text=\"Installation Path:\"/>"
                    L"<Label name=\"wraps\" width=\"120\" height=\"60\" singleline=\"false\""
                    L" text=\"Installation Path: C:\\Program Files\"/>"
                    L"<Label name=\"short\" width=\"120\" height=\"16\" singleline=\"false\""
                    L" text=\"One-Stop PDF Editor and Reader, powerful and free\"/>"
                    L"<VBox visible=\"false\"><Label name=\"hidden\" width=\"10\" height=\"24\" text=\"Hidden\"/>"
                    L"</VBox></VBox></Window>"));
  Arrange(400, 300);
  int checked = 0;
  std::vector<std::string> names;
  for (const TextMisfit& m : FindTextMisfits(window_.GetRoot(), &checked)) {
    names.push_back(base::WideToUtf8(m.name));
    EXPECT_TRUE(m.needed.cx > m.room.cx || m.needed.cy > m.room.cy) << names.back();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"narrow", "padded", "short"}));
  EXPECT_EQ(checked, 5);
}

}  // namespace
}  // namespace ui
