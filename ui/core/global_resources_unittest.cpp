#include "ui/core/global_resources.h"

#include <gtest/gtest.h>

#include <set>

#include "ui/core/global_skin.h"
#include "ui/core/markup.h"
#include "ui/core/resource_archive.h"
#include "ui/core/resource_archive_win.h"
#include "ui/core/string_table.h"
#include "ui/image/image_descriptor.h"
#include "ui/image/image_info.h"
#include "ui/utils/dpi_scaler.h"

namespace ui {
namespace {

const wchar_t kDefaultSystemFace[] = L"\u5FAE\u8F6F\u96C5\u9ED1";

class GlobalResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    GlobalResources::Shutdown();
    DpiScaler::GetInstance().SetAdaptingForTesting(false, 96);
  }
  static LOGFONTW FontOf(HFONT font) {
    LOGFONTW lf{};
    ::GetObjectW(font, sizeof(lf), &lf);
    return lf;
  }
};

TEST_F(GlobalResourcesTest, FontIdsDefaultsAndDuplicates) {
  HFONT first = GlobalResources::AddFont(L"", L"Arial", 12, false, false, false, false);
  HFONT second = GlobalResources::AddFont(L"", L"Arial", 14, true, false, false, false);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(GlobalResources::GetFont(L"0"), first);
  EXPECT_EQ(GlobalResources::GetFont(L"1"), second);
  EXPECT_EQ(GlobalResources::GetFont(L""), nullptr);  // no default yet

  HFONT kept = GlobalResources::AddFont(L"title", L"Tahoma", 20, false, true, true, true);
  // The second definition of an id is dropped; the first one answers.
  EXPECT_EQ(GlobalResources::AddFont(L"title", L"Arial", 30, true, false, false, false), kept);
  EXPECT_EQ(GlobalResources::FontCount(), 3u);
  FontInfo* info = GlobalResources::GetFontInfo(L"title");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->face_name, L"Tahoma");
  EXPECT_EQ(info->size, 20);
  EXPECT_TRUE(info->underline && info->italic && !info->bold);
  LOGFONTW lf = FontOf(kept);
  EXPECT_EQ(lf.lfHeight, -20);
  EXPECT_TRUE(lf.lfUnderline);
  EXPECT_EQ(FontOf(second).lfWeight, FW_BOLD);
  EXPECT_EQ(GlobalResources::GetFont(L""), kept);  // the last default
  EXPECT_EQ(GlobalResources::GetFont(L"nothing"), nullptr);
  EXPECT_EQ(GlobalResources::GetFontInfo(L"nothing"), nullptr);

  // Metrics are filled on demand with a device context.
  EXPECT_FALSE(info->has_metrics);
  HDC dc = ::CreateCompatibleDC(nullptr);
  info = GlobalResources::GetFontInfo(L"title", dc);
  ::DeleteDC(dc);
  EXPECT_TRUE(info->has_metrics);
  EXPECT_GT(info->metrics.tmHeight, 0);
}

TEST_F(GlobalResourcesTest, DpiScalesFontsAndLengths) {
  DpiScaler& dpi = DpiScaler::GetInstance();
  dpi.SetAdaptingForTesting(true, 120);
  EXPECT_EQ(dpi.ScalePercent(), 125);
  EXPECT_EQ(dpi.ScaleLength(24), 30);
  EXPECT_EQ(FontOf(GlobalResources::AddFont(L"a", L"Arial", 24, false, false, false, false)).lfHeight, -30);
  RECT r = dpi.ScaleRectangle(RECT{3, 3, 13, 5});
  EXPECT_EQ(r.left, 4);
  EXPECT_EQ(r.right, 17);  // 4 + 13 (width 10 scaled on its own)
  EXPECT_EQ(r.bottom, 7);

  dpi.SetAdaptingForTesting(true, 144);
  EXPECT_EQ(dpi.ScalePercent(), 150);
  EXPECT_EQ(dpi.ScaleExtent(SIZE{16, 24}).cy, 36);
  EXPECT_EQ(FontOf(GlobalResources::AddFont(L"b", L"Arial", 24, false, false, false, false)).lfHeight, -36);

  // Off: nothing changes whatever the DPI.
  dpi.SetAdaptingForTesting(false, 144);
  EXPECT_EQ(dpi.ScalePercent(), 100);
  EXPECT_EQ(dpi.ScaleLength(24), 24);
  EXPECT_EQ(FontOf(GlobalResources::AddFont(L"c", L"Arial", 24, false, false, false, false)).lfHeight, -24);
}

BOOL WINAPI MonitorAnswers120(HMONITOR, int, UINT* x, UINT* y) {
  *x = *y = 120;
  return TRUE;
}
BOOL WINAPI MonitorFails(HMONITOR, int, UINT*, UINT*) { return FALSE; }
BOOL WINAPI MonitorAnswersZero(HMONITOR, int, UINT* x, UINT* y) {
  *x = *y = 0;
  return TRUE;
}

// The primary monitor's DPI: the per-monitor answer where there is one; the
// screen's logical pixels per inch when the system predates it or its
// look-up is missing or fails (a 144 DPI screen must not be drawn at 100 %).
TEST_F(GlobalResourcesTest, PrimaryMonitorDpiFallsBackToTheScreen) {
  struct Case {
    const char* name;
    bool per_monitor;
    DpiSources::GetDpiForMonitorFn look_up;
    int screen_dpi;
    int expected;
  };
  const Case cases[] = {
      {"per-monitor answer", true, MonitorAnswers120, 144, 120},
      {"look-up missing", true, nullptr, 144, 144},
      {"look-up fails", true, MonitorFails, 144, 144},
      {"look-up answers 0", true, MonitorAnswersZero, 144, 144},
      {"system before per-monitor DPI", false, MonitorAnswers120, 144, 144},
      {"nothing known", true, MonitorFails, 0, 96},
  };
  for (const Case& c : cases) {
    DpiSources sources;
    sources.per_monitor = c.per_monitor;
    sources.get_dpi_for_monitor = c.look_up;
    sources.primary = ::MonitorFromPoint(POINT{1, 1}, MONITOR_DEFAULTTOPRIMARY);
    sources.screen_dpi = c.screen_dpi;
    EXPECT_EQ(PrimaryMonitorDpi(sources), c.expected) << c.name;
  }
  // This system's own answer is one of its sources'.
  const DpiSources system = DpiSources::FromSystem();
  EXPECT_GT(system.screen_dpi, 0);
  EXPECT_GT(PrimaryMonitorDpi(), 0);
}

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

// Plays a window holding a font handle across the switch: at refresh time
// the held handle must still be a font it can deselect, and it takes the
// new one by id.
struct FontHoldingRefresh : IWindowRefresh {
  explicit FontHoldingRefresh(const wchar_t* id) : id(id), held(GlobalResources::GetFont(id)) {}
  void RefreshForLayoutChange() override {
    ++calls;
    held_was_font = ::GetObjectType(held) == OBJ_FONT;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, held);
    held_was_selectable = old != nullptr && old != HGDI_ERROR;
    if (held_was_selectable) ::SelectObject(dc, old);
    ::DeleteDC(dc);
    replaced = held;
    held = GlobalResources::GetFont(id);
  }
  const wchar_t* id;
  HFONT held;
  HFONT replaced = nullptr;
  int calls = 0;
  bool held_was_font = false;
  bool held_was_selectable = false;
};

TEST_F(GlobalResourcesTest, RightToLeftSwitchesSystemFontsAndRepaints) {
  GlobalResources::AddFont(L"system_12", L"system", 12, false, false, false, true);
  GlobalResources::AddFont(L"system_bold_14", L"system", 14, true, false, false, false);
  GlobalResources::AddFont(L"plain", L"system", 12, false, false, false, false);
  GlobalResources::AddFont(L"arial", L"Arial", 12, false, false, false, false);
  EXPECT_EQ(GlobalResources::GetFontInfo(L"system_12")->face_name, kDefaultSystemFace);

  WNDCLASSW wc{};
  wc.lpfnWndProc = PlainWindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VarnoRtlTestWindow";
  ::RegisterClassW(&wc);
  HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"rtl", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_TRUE(hwnd);
  ::UpdateWindow(hwnd);
  ::ValidateRect(hwnd, nullptr);
  FontHoldingRefresh refresh(L"system_12");
  GlobalResources::RegisterWindow(hwnd, &refresh);

  GlobalResources::SetRightToLeft(true);
  EXPECT_TRUE(GlobalResources::IsRightToLeft());
  // The handle the window held was alive while it refreshed, and is
  // deleted once every window has (no leak either).
  EXPECT_TRUE(refresh.held_was_font);
  EXPECT_TRUE(refresh.held_was_selectable);
  EXPECT_EQ(::GetObjectType(refresh.replaced), 0u);
  EXPECT_EQ(refresh.held, GlobalResources::GetFont(L"system_12"));
  EXPECT_NE(refresh.held, refresh.replaced);
  EXPECT_EQ(GlobalResources::GetFontInfo(L"system_12")->face_name, L"Segoe UI");
  EXPECT_EQ(std::wstring(FontOf(GlobalResources::GetFont(L"system_bold_14")).lfFaceName), L"Segoe UI");
  EXPECT_EQ(FontOf(GlobalResources::GetFont(L"system_bold_14")).lfWeight, FW_BOLD);
  EXPECT_EQ(GlobalResources::GetFontInfo(L"plain")->face_name, kDefaultSystemFace);  // id decides
  EXPECT_EQ(GlobalResources::GetFontInfo(L"arial")->face_name, L"Arial");
  EXPECT_TRUE(::GetUpdateRect(hwnd, nullptr, FALSE));
  EXPECT_EQ(refresh.calls, 1);
  // New "system" fonts follow the mode.
  GlobalResources::AddFont(L"late", L"system", 12, false, false, false, false);
  EXPECT_EQ(GlobalResources::GetFontInfo(L"late")->face_name, L"Segoe UI");

  ::ValidateRect(hwnd, nullptr);
  GlobalResources::SetRightToLeft(true);  // no change, no work
  EXPECT_FALSE(::GetUpdateRect(hwnd, nullptr, FALSE));
  EXPECT_EQ(refresh.calls, 1);

  GlobalResources::SetRightToLeft(false);
  EXPECT_EQ(GlobalResources::GetFontInfo(L"system_12")->face_name, kDefaultSystemFace);
  EXPECT_EQ(refresh.calls, 2);
  EXPECT_TRUE(refresh.held_was_font);
  EXPECT_EQ(::GetObjectType(refresh.replaced), 0u);

  GlobalResources::UnregisterWindow(hwnd);
  EXPECT_TRUE(GlobalResources::GetRegisteredWindows().empty());
  ::DestroyWindow(hwnd);
}

TEST_F(GlobalResourcesTest, ColoursAndClasses) {
  GlobalResources::AddTextColor(L"c", L"#FF112233");
  EXPECT_EQ(GlobalResources::GetTextColor(L"c"), 0xFF112233u);
  GlobalResources::AddTextColor(L"c", L"#80abcdef");  // overwrites
  EXPECT_EQ(GlobalResources::GetTextColor(L"c"), 0x80ABCDEFu);
  GlobalResources::AddTextColor(L"empty", L"");
  EXPECT_EQ(GlobalResources::GetTextColor(L"empty"), 0u);
  const size_t before = GlobalResources::TextColorCount();
  EXPECT_EQ(GlobalResources::GetTextColor(L"unknown"), 0u);
  EXPECT_EQ(GlobalResources::TextColorCount(), before + 1);  // entered with 0

  EXPECT_EQ(GlobalResources::GetClassAttributes(L"none"), L"");
  MarkupDocument doc;
  ASSERT_TRUE(doc.Load(
      L"<Global linkfontcolor=\"blue\" selectedcolor=\"sel\" defaultfontcolor=\"text\" disabledfontcolor=\"off\" "
      L"linkhoverfontcolor=\"nothing\" bogus=\"1\">"
      L"<Font id=\"f\" name=\"Arial\" size=\"15\" bold=\"true\" italic=\"True\" default=\"true\"/>"
      L"<Font id=\"skipped\" name=\"\"/>"
      L"<Font id=\"sized\" name=\"Arial\" size=\"x\"/>"
      L"<TextColor name=\"blue\" value=\"#ff0000ff\"/>"
      L"<TextColor name=\"sel\" value=\"#ffe4e7eb\"/>"
      L"<TextColor name=\"\" value=\"#ff000000\"/>"
      L"<Class name=\"x\" _value=\"5\"/>"
      L"<Class name=\"btn\" width=\"24\" value=\" height=&quot;3&quot;\" normalimage=\"file='a.png' corner='1,1,1,1'\"/>"
      L"<Class name=\"lead\" value=\"\t  a=&quot;1&quot;\"/>"
      L"<Class name=\"\" width=\"1\"/>"
      L"<Image name=\"ignored\"/><Unknown/>"
      L"</Global>"));
  ASSERT_TRUE(ApplyGlobalSkin(doc.RootNode()));
  EXPECT_EQ(GlobalResources::GetClassAttributes(L"x"), L"value=\"5\"");
  EXPECT_EQ(GlobalResources::GetClassAttributes(L"btn"),
            L"width=\"24\" height=\"3\" normalimage=\"file='a.png' corner='1,1,1,1'\"");
  EXPECT_EQ(GlobalResources::GetClassAttributes(L"lead"), L"a=\"1\"");
  EXPECT_EQ(GlobalResources::ClassCount(), 3u);
  // The root's colours name entries the children define.
  EXPECT_EQ(GlobalResources::GetLinkFontColor(), 0xFF0000FFu);
  EXPECT_EQ(GlobalResources::GetSelectedColor(), 0xFFE4E7EBu);
  EXPECT_EQ(GlobalResources::GetLinkHoverFontColor(), 0u);
  EXPECT_EQ(GlobalResources::GetDefaultTextColorName(), L"text");
  EXPECT_EQ(GlobalResources::GetDisabledTextColorName(), L"off");
  FontInfo* f = GlobalResources::GetFontInfo(L"");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->size, 15);
  EXPECT_TRUE(f->bold);
  EXPECT_FALSE(f->italic);  // only the exact "true"
  EXPECT_EQ(GlobalResources::GetFontInfo(L"skipped"), nullptr);
  EXPECT_EQ(GlobalResources::GetFontInfo(L"sized")->size, 12);

  MarkupDocument window;
  ASSERT_TRUE(window.Load(L"<Window><Class name=\"w\" width=\"1\"/></Window>"));
  EXPECT_FALSE(ApplyGlobalSkin(window.RootNode()));
  EXPECT_EQ(GlobalResources::GetClassAttributes(L"w"), L"");
}

// Every image a class names, as a window in "form" would resolve it.
std::set<std::wstring> ClassImages(const std::wstring& attributes) {
  std::set<std::wstring> images;
  size_t pos = 0;
  while ((pos = attributes.find(L"image=\"", pos)) != std::wstring::npos) {
    pos += 7;
    size_t end = attributes.find(L'"', pos);
    if (end == std::wstring::npos) break;
    ImageAttributes a;
    SetImageDescriptor(attributes.substr(pos, end - pos), 100, &a);
    images.insert(ResolveImagePath(a.image_name, L"form\\"));
    pos = end;
  }
  return images;
}

TEST_F(GlobalResourcesTest, ShippedSkinThroughTheArchive) {
  ASSERT_TRUE(MountArchive(MAKEINTRESOURCEW(kArchiveResourceId), kArchiveResourceType, ""));
  ASSERT_TRUE(GlobalResources::Startup(L"resources\\", nullptr, false, L"themes\\default", L"lang\\English"));
  EXPECT_EQ(ResourceRoot(), L"resources\\themes\\default\\");
  EXPECT_EQ(GlobalResources::FontCount(), 30u);
  EXPECT_EQ(GlobalResources::TextColorCount(), 43u);
  EXPECT_EQ(GlobalResources::ClassCount(), 48u);
  EXPECT_EQ(StringTable::GetText(L"STRID_HOMEPAGE_INSTALL"), L"Install Now");
  EXPECT_TRUE(GlobalResources::GetRenderFactory());

  FontInfo* f12 = GlobalResources::GetFontInfo(L"system_12");
  FontInfo* f14 = GlobalResources::GetFontInfo(L"system_14");
  ASSERT_TRUE(f12 && f14);
  EXPECT_EQ(GlobalResources::GetFont(L""), f12->font);
  EXPECT_EQ(f12->size, 12);
  EXPECT_EQ(f14->size, 14);
  EXPECT_EQ(f14->face_name, kDefaultSystemFace);

  const std::pair<const wchar_t*, DWORD> colours[] = {
      {L"white", 0xffffffff},           {L"darkcolor", 0xff333333},         {L"lightcolor", 0xff888888},
      {L"dark_gray", 0xff72797f},       {L"red", 0xffff0032},               {L"textdefaultcolor", 0xff333333},
      {L"bk_wnd_lightcolor", 0xffffffff}, {L"bk_wnd_deepcolor", 0xffFAFAFA}, {L"splitline_level1", 0xffE6E6E6},
      {L"bk_listitem_normal", 0xffFFFFFF}, {L"bk_listitem_hovered", 0xfff0f2f5},
      {L"bk_listitem_selected", 0xffe4e7eb}};
  for (const auto& c : colours) EXPECT_EQ(GlobalResources::GetTextColor(c.first), c.second) << c.first;
  EXPECT_EQ(GlobalResources::GetDefaultTextColorName(), L"textdefaultcolor");
  EXPECT_NE(GlobalResources::GetLinkFontColor(), 0u);

  auto has = [](const wchar_t* cls, const wchar_t* piece) {
    return GlobalResources::GetClassAttributes(cls).find(piece) != std::wstring::npos;
  };
  EXPECT_TRUE(has(L"btn_start", L"font=\"system_14\" width=\"200\" height=\"40\" normaltextcolor=\"white\""));
  // Disabled looks like normal; the art stretches by nine slices so the
  // button can grow with its words.
  EXPECT_TRUE(has(L"btn_start", L"disabledimage=\"file='../public/button/btn_start_normal.png' corner='8,8,8,8'\""));
  EXPECT_TRUE(has(L"btn_global_line", L"width=\"88\" height=\"28\" font=\"system_12\" normaltextcolor=\"dark_gray\""));
  // A hot image switches the hot fade on again, so the switch-off must come
  // after it in the class.
  const std::wstring close = GlobalResources::GetClassAttributes(L"btn_wnd_close");
  ASSERT_NE(close.find(L"fadehot=\"false\""), std::wstring::npos);
  EXPECT_GT(close.find(L"fadehot=\"false\""), close.find(L"hotimage="));
  EXPECT_TRUE(has(L"btn_wnd_min", L"width=\"24\" height=\"24\""));
  EXPECT_TRUE(has(L"btn_path", L"disabledimage=\"file='../public/button/btn_path_normal.png' fade='128'\""));
  EXPECT_TRUE(has(L"checkbox_font12", L"height=\"16\" textpadding=\"20,0,0,0\" font=\"system_12\""));
  EXPECT_TRUE(has(L"checkbox_font12", L"selecteddisabledimage=\"file='../public/checkbox/check_yes.png' dest='0,0,16,16' fade='80'\""));
  EXPECT_EQ(GlobalResources::GetClassAttributes(L"splitline_hor_level1"), L"bkcolor=\"splitline_level1\" height=\"1\"");
  EXPECT_TRUE(has(L"progress_blue", L"valign=\"center\" width=\"stretch\" height=\"6\" hor=\"true\" min=\"0\" max=\"100\""));
  EXPECT_TRUE(has(L"listitem", L"selectednormalcolor=\"bk_listitem_selected\" fadehot=\"false\""));
  EXPECT_TRUE(has(L"vscrollbar", L"thumbnormalimage="));
  EXPECT_TRUE(has(L"hscrollbar", L"hor=\"true\""));

  // Every image a class names is in the archive, and decodes.
  const wchar_t* classes[] = {L"btn_start", L"btn_global_line", L"btn_global_blue", L"btn_global_gray",
                              L"btn_wnd_min", L"btn_wnd_close", L"btn_wnd_max", L"btn_wnd_restore", L"btn_path",
                              L"btn_icon_close_small", L"checkbox_font12", L"checkbox_font14", L"checkbox_custom",
                              L"option_font12", L"option_font14", L"progress_blue", L"progress_green", L"edit_frame",
                              L"combo_default", L"box_shadow", L"vscrollbar", L"hscrollbar", L"vscrollbar_thin",
                              L"hscrollbar_thin"};
  size_t checked = 0;
  for (const wchar_t* cls : classes) {
    const std::wstring attributes = GlobalResources::GetClassAttributes(cls);
    ASSERT_FALSE(attributes.empty()) << cls;
    for (const std::wstring& image : ClassImages(attributes)) {
      std::string bytes;
      EXPECT_TRUE(ReadArchiveMemberBytes(image, &bytes)) << image;
      EXPECT_TRUE(GlobalResources::GetImage(image)) << image;
      ++checked;
    }
  }
  EXPECT_GE(checked, 55u);
  // The check boxes the wizard's markup names by its own spelling.
  std::string bytes;
  EXPECT_TRUE(ReadArchiveMemberBytes(ResolveImagePath(L"../public/CheckBox/custom_no.png", L"form\\"), &bytes));

  // Right-to-left mode switches the "system" fonts' face, and back.
  GlobalResources::SetRightToLeft(true);
  EXPECT_TRUE(GlobalResources::IsRightToLeft());
  EXPECT_EQ(GlobalResources::GetFontInfo(L"system_14")->face_name, L"Segoe UI");
  GlobalResources::SetRightToLeft(false);
  EXPECT_FALSE(GlobalResources::IsRightToLeft());
  EXPECT_EQ(GlobalResources::GetFontInfo(L"system_14")->face_name, kDefaultSystemFace);

  GlobalResources::Shutdown();
  EXPECT_FALSE(IsArchiveMounted());
  EXPECT_EQ(GlobalResources::FontCount(), 0u);
  EXPECT_EQ(GlobalResources::GetRenderFactory(), nullptr);
}

TEST_F(GlobalResourcesTest, MissingSkinLeavesTablesEmpty) {
  UnmountArchive();
  EXPECT_FALSE(GlobalResources::Startup(L"no_such_root\\", nullptr, false, L"themes\\default", L"lang\\English"));
  EXPECT_EQ(GlobalResources::FontCount(), 0u);
  EXPECT_EQ(GlobalResources::ClassCount(), 0u);
  EXPECT_EQ(GlobalResources::GetFont(L""), nullptr);
}

}  // namespace
}  // namespace ui
