#include "ui/box/layout.h"

#include <gtest/gtest.h>

#include "ui/box/box.h"
#include "ui/control/attribute_values.h"
#include "ui/control/tree_test_support.h"

namespace ui {
namespace {

using testing::RectText;
using testing::SameRect;

class LayoutTest : public testing::TreeTest {};

struct Placement {
  const wchar_t* name;
  RECT rect;
};

struct LayoutCase {
  const char* what;
  const wchar_t* markup;
  SIZE client;
  std::vector<Placement> expected;
};

// Every layout figure from markup text: the tree is built, laid out on the
// client rectangle and each named control's rectangle compared.
TEST_F(LayoutTest, PlacesChildrenFromMarkup) {
  const LayoutCase cases[] = {
      {"title bar: stretch 562, buttons at 582 and 611, 6 px down",
       L"<Window><HBox name=\"bar\" height=\"36\" padding=\"10,0,5,0\">"
       L"<Control name=\"title\"/>"
       L"<Control name=\"min\" width=\"24\" height=\"24\" margin=\"10,6,0,0\"/>"
       L"<Control name=\"close\" width=\"24\" height=\"24\" margin=\"5,6,0,0\"/>"
       L"</HBox></Window>",
       {640, 36},
       {{L"title", {10, 0, 572, 36}}, {L"min", {582, 6, 606, 30}}, {L"close", {611, 6, 635, 30}}}},
      {"three stretch children share 100 as 34, 33, 33",
       L"<Window><HBox><Control name=\"a\"/><Control name=\"b\"/><Control name=\"c\"/></HBox></Window>",
       {100, 10},
       {{L"a", {0, 0, 34, 10}}, {L"b", {34, 0, 67, 10}}, {L"c", {67, 0, 100, 10}}}},
      {"fixed children wider than the box: stretch gets 0, nothing given away",
       L"<Window><HBox><Control name=\"a\" width=\"80\"/><Control name=\"s\"/><Control name=\"t\"/>"
       L"<Control name=\"b\" width=\"80\"/></HBox></Window>",
       {100, 10},
       {{L"a", {0, 0, 80, 10}}, {L"s", {80, 0, 80, 10}}, {L"t", {80, 0, 80, 10}}, {L"b", {80, 0, 160, 10}}}},
      {"vertical flow with child margin, margins and alignment",
       L"<Window><VBox childmargin=\"4\" padding=\"2,3,2,3\"><Control name=\"a\" height=\"20\"/>"
       L"<Control name=\"b\" width=\"30\" halign=\"right\" margin=\"0,1,5,0\"/>"
       L"<Control name=\"c\" height=\"10\" width=\"20\" halign=\"center\"/></VBox></Window>",
       {100, 100},
       // b stretches: 100 - 6 (padding) - 20 - 10 - 1 - 8 (two child margins) = 55
       {{L"a", {2, 3, 98, 23}}, {L"b", {63, 28, 93, 83}}, {L"c", {40, 87, 60, 97}}}},
      {"auto heights: a VBox measures its children, margins and padding",
       L"<Window><VBox><VBox name=\"v\" height=\"auto\" childmargin=\"4\" padding=\"0,5,0,6\">"
       L"<Control name=\"a\" height=\"20\"/><Control name=\"b\" height=\"30\" margin=\"0,2,0,3\"/>"
       L"</VBox><Control name=\"rest\"/></VBox></Window>",
       {200, 300},
       {{L"v", {0, 0, 200, 70}}, {L"a", {0, 5, 200, 25}}, {L"b", {0, 31, 200, 61}}, {L"rest", {0, 70, 200, 300}}}},
      {"min and max clamp after the share; what one gives up is not handed on",
       L"<Window><HBox><Control name=\"a\" maxwidth=\"50\"/><Control name=\"b\" minwidth=\"200\"/>"
       L"</HBox></Window>",
       {300, 10},
       {{L"a", {0, 0, 50, 10}}, {L"b", {50, 0, 250, 10}}}},
      {"a floating child is placed by its margins and takes no room",
       L"<Window><HBox><Control name=\"a\" width=\"50\"/>"
       L"<Control name=\"f\" float=\"true\" width=\"30\" height=\"30\" margin=\"10,20,0,0\"/>"
       L"<Control name=\"b\" width=\"50\"/></HBox></Window>",
       {200, 100},
       {{L"a", {0, 0, 50, 100}}, {L"f", {10, 20, 40, 50}}, {L"b", {50, 0, 100, 100}}}},
      {"a centred child wider than its slot shifts left by half the excess, toward zero",
       L"<Window><VBox><Control name=\"w\" width=\"131\" height=\"10\" halign=\"center\"/></VBox></Window>",
       {100, 50},
       {{L"w", {-15, 0, 116, 10}}}},
      {"free layout: alignment inside the box",
       L"<Window><Box><Control name=\"br\" width=\"10\" height=\"10\" halign=\"right\" valign=\"bottom\""
       L" margin=\"0,0,5,5\"/><Control name=\"c\" width=\"10\" height=\"11\" halign=\"center\" valign=\"center\"/>"
       L"</Box></Window>",
       {100, 50},
       {{L"br", {85, 35, 95, 45}}, {L"c", {45, 19, 55, 30}}}},
      {"tiles: three columns of 34, 33, 33, rows as tall as their children",
       L"<Window><VBox><TileBox name=\"t\" columns=\"3\" height=\"auto\">"
       L"<Control name=\"t0\" height=\"20\"/><Control name=\"t1\" height=\"20\"/><Control name=\"t2\" height=\"20\"/>"
       L"<Control name=\"t3\" height=\"20\"/><Control name=\"t4\" height=\"20\"/></TileBox>"
       L"<Control name=\"after\"/></VBox></Window>",
       {100, 100},
       {{L"t", {0, 0, 100, 40}},
        {L"t0", {0, 0, 34, 20}},
        {L"t1", {34, 0, 67, 20}},
        {L"t2", {67, 0, 100, 20}},
        {L"t3", {0, 20, 34, 40}},
        {L"t4", {34, 20, 67, 40}},
        {L"after", {0, 40, 100, 100}}}},
      {"tiles by item size: columns from the width, children centred in their cells",
       L"<Window><TileBox itemsize=\"40,30\" childmargin=\"0\"><Control name=\"i0\" width=\"20\" height=\"10\"/>"
       L"<Control name=\"i1\" width=\"20\" height=\"10\"/><Control name=\"i2\" width=\"20\" height=\"10\"/>"
       L"<Control name=\"i3\" width=\"20\" height=\"10\"/></TileBox></Window>",
       {130, 100},
       {{L"i0", {12, 10, 32, 20}}, {L"i1", {55, 10, 75, 20}}, {L"i2", {98, 10, 118, 20}}, {L"i3", {12, 40, 32, 50}}}},
      {"an empty tile box and one whose first child stretches measure their padding, never negative",
       L"<Window><VBox><TileBox name=\"empty\" height=\"auto\" padding=\"0,3,0,4\"/>"
       L"<TileBox name=\"st\" height=\"auto\" itemsize=\"0,0\"><Control/><Control/></TileBox>"
       L"<Control name=\"rest\"/></VBox></Window>",
       {100, 100},
       {{L"empty", {0, 0, 100, 7}}, {L"st", {0, 7, 100, 7}}, {L"rest", {0, 7, 100, 100}}}},
      {"box_custom: height auto then 128 ends fixed at 128",
       L"<Window><VBox><VBox name=\"box_custom\" height=\"auto\" height=\"128\"><Control height=\"10\"/></VBox>"
       L"<Control name=\"below\"/></VBox></Window>",
       {640, 360},
       {{L"box_custom", {0, 0, 640, 128}}, {L"below", {0, 128, 640, 360}}}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(Build(c.markup));
    Arrange(c.client.cx, c.client.cy);
    for (const Placement& p : c.expected) {
      const RECT got = Pos(p.name);
      EXPECT_TRUE(SameRect(got, p.rect)) << base::WideToUtf8(p.name) << " at " << RectText(got) << ", want "
                                         << RectText(p.rect);
    }
  }
  EXPECT_EQ(Find(L"box_custom")->GetFixedHeight(), 128);
}

// Auto sizes measured without placing: the VBox of two stretch children
// and no fixed ones measures -1 per child plus margins, one child margin
// and the padding; an empty free box measures negative.
TEST_F(LayoutTest, MeasuresAutoBoxes) {
  ASSERT_TRUE(Build(
      L"<Window><VBox><VBox name=\"two\" height=\"auto\" width=\"auto\" childmargin=\"4\" padding=\"1,5,2,6\">"
      L"<Control margin=\"3,2,0,3\"/><Control margin=\"0,1,0,0\" width=\"40\"/></VBox>"
      L"<Box name=\"empty\" width=\"auto\" height=\"auto\"/></VBox></Window>"));
  const SIZE two = Find(L"two")->MeasureSize(SIZE{500, 500});
  EXPECT_EQ(two.cy, -2 + 2 + 3 + 1 + 4 + 5 + 6);
  EXPECT_EQ(two.cx, 40 + 1 + 2);
  const SIZE empty = Find(L"empty")->MeasureSize(SIZE{500, 500});
  EXPECT_LT(empty.cx, 0);
  Arrange(500, 500);
  const RECT placed = Pos(L"empty");
  EXPECT_EQ(placed.right - placed.left, 0);
}

// Sizes a skin may carry that would overflow 32-bit sums: every rectangle
// stays within the clamped range and no width turns negative.
TEST_F(LayoutTest, HugeAndNegativeSizesDoNotOverflow) {
  ASSERT_TRUE(Build(
      L"<Window><HBox name=\"row\" childmargin=\"2147483647\" padding=\"2147483647,-2147483648,5,99999999999\">"
      L"<Control name=\"a\" width=\"99999999999\"/><Control name=\"b\" width=\"4294967296\"/>"
      L"<Control name=\"s\" margin=\"2147483647,0,2147483647,0\"/>"
      L"<Control name=\"n\" width=\"-5\" minwidth=\"-7\" maxwidth=\"-2147483648\"/>"
      L"<Control name=\"c\" width=\"2000000000\" margin=\"-2000000000,0,0,0\"/></HBox></Window>"));
  Arrange(640, 36);
  for (const wchar_t* name : {L"row", L"a", L"b", L"s", L"n", L"c"}) {
    const RECT r = Pos(name);
    SCOPED_TRACE(base::WideToUtf8(name) + " " + RectText(r));
    EXPECT_GE(r.right, r.left);
    EXPECT_GE(r.bottom, r.top);
    for (LONG v : {r.left, r.top, r.right, r.bottom}) {
      EXPECT_LE(v, kMaxLength);
      EXPECT_GE(v, -kMaxLength);
    }
  }
  // A negative width other than stretch and auto is ignored.
  EXPECT_EQ(Find(L"n")->GetFixedWidth(), kStretch);
  EXPECT_EQ(Find(L"a")->GetFixedWidth(), kMaxLength);
}

// Readers of numeric lists never read past the text and drop what is
// incomplete.
TEST(AttributeValuesTest, ListsStopAtTheEnd) {
  struct Case {
    const wchar_t* text;
    int count;
    bool ok;
    std::vector<int> values;
  } cases[] = {
      {L"10,6,0,0", 4, true, {10, 6, 0, 0}}, {L"1,2", 4, false, {}},     {L"1,2,3,", 4, false, {}},
      {L"", 2, false, {}},                   {L"7", 1, true, {7}},       {L"a,b", 2, true, {0, 0}},
      {L"-3x4", 2, true, {-3, 4}},           {L"99999999999,1", 2, true, {kMaxLength, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(base::WideToUtf8(c.text));
    int out[4] = {-100, -100, -100, -100};
    EXPECT_EQ(ParseIntList(c.text, out, c.count), c.ok);
    if (c.ok) {
      for (int i = 0; i < c.count; ++i) EXPECT_EQ(out[i], c.values[i]);
    } else {
      EXPECT_EQ(out[0], -100);
    }
  }
  struct ListCase {
    const wchar_t* text;
    std::vector<AttributePair> pairs;
  } lists[] = {
      {L"width=\"10\" height=\"20\"", {{L"width", L"10"}, {L"height", L"20"}}},
      {L"width=\"10\" height=", {{L"width", L"10"}}},
      {L"width=\"10\" height=\"20", {{L"width", L"10"}}},
      {L"value", {}},
      {L"=\"x\"", {}},
      {L"a=b", {}},
      {L"a=\"1\"  b=\"2\"", {{L"a", L"1"}}},
      {L"a=\"1\"b=\"2\"", {{L"a", L"1"}}},
      {L"a=\"\"", {{L"a", L""}}},
  };
  for (const ListCase& c : lists) {
    SCOPED_TRACE(base::WideToUtf8(c.text));
    EXPECT_EQ(ParseAttributeList(c.text), c.pairs);
  }
}

}  // namespace
}  // namespace ui
