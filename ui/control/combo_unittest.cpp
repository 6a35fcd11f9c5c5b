#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/box/list_box.h"
#include "ui/control/combo.h"
#include "ui/control/tree_test_support.h"

namespace ui {
namespace {

using testing::RectText;
using testing::SameRect;

std::wstring Items(const std::wstring& prefix, int count) {
  std::wstring markup;
  for (int i = 0; i < count; ++i) {
    markup += L"<ListContainerElement name=\"" + prefix + std::to_wstring(i) + L"\" height=\"30\" text=\"" + prefix +
              L" " + std::to_wstring(i) + L"\" textpadding=\"6,0,6,0\" normaltextcolor=\"darkcolor\"/>";
  }
  return markup;
}

class ComboTest : public testing::TreeTest {
 protected:
  Combo* GetCombo(const std::wstring& name) {
    auto* combo = dynamic_cast<Combo*>(Find(name));
    EXPECT_TRUE(combo) << base::WideToUtf8(name);
    return combo;
  }
  // Counts |type| events that |control| sends itself, keeping the wParams.
  std::vector<WPARAM>* Record(Control* control, int type) {
    records_.push_back(std::make_unique<std::vector<WPARAM>>());
    std::vector<WPARAM>* seen = records_.back().get();
    control->Subscribe(type, [seen](EventArgs* args) {
      seen->push_back(args->wparam);
      // The combo's own "select" carries no old index.
      if (args->type == kEventSelect && args->sender->GetType() == L"Combo") {
        EXPECT_EQ(-1, args->lparam);
      }
      return true;
    });
    return seen;
  }

 private:
  std::vector<std::unique_ptr<std::vector<WPARAM>>> records_;
};

// The pop-up's rectangle: the height is the items' heights plus the list's
// 1-pixel frame, at most the drop-box height; it opens above the combo near
// the work area's bottom or with "popuptop".
TEST_F(ComboTest, DropRectFollowsItemsAndWorkArea) {
  ASSERT_TRUE(Build(L"<Window><VBox><Combo name=\"ten\" dropboxsize=\"0,150\">" + Items(L"t", 10) +
                    L"</Combo><Combo name=\"two\">" + Items(L"w", 2) +
                    L"</Combo><Combo name=\"top\" popuptop=\"true\">" + Items(L"p", 2) +
                    L"</Combo><Combo name=\"wide\" dropboxsize=\"250,100\" vscrollbar=\"false\">" + Items(L"d", 10) +
                    L"</Combo></VBox></Window>"));
  const RECT screen{0, 0, 1280, 800};
  struct Case {
    const char* what;
    const wchar_t* combo;
    RECT at;
    RECT want;
  } cases[] = {
      {"ten 30-px items, drop height 150: 150 high, 1 px below", L"ten", {100, 100, 300, 128}, {100, 129, 300, 279}},
      {"two items: 2 x 30 + 2 = 62 high", L"two", {100, 100, 300, 128}, {100, 129, 300, 191}},
      {"near the work area's bottom: above", L"ten", {100, 640, 300, 668}, {100, 490, 300, 640}},
      {"ending exactly at the bottom still fits below", L"ten", {100, 621, 300, 649}, {100, 650, 300, 800}},
      {"popuptop: above though there is room below", L"top", {100, 100, 300, 128}, {100, 38, 300, 100}},
      {"drop width 250, height capped at 100", L"wide", {10, 10, 110, 38}, {10, 39, 260, 139}},
  };
  for (const Case& c : cases) {
    Combo* combo = GetCombo(c.combo);
    ASSERT_TRUE(combo);
    const RECT got = combo->DropRect(c.at, screen);
    EXPECT_TRUE(SameRect(got, c.want)) << c.what << ": " << RectText(got);
  }
  // The items live in the list (owned by the combo, not its children), by
  // name in the window, and the list scrolls vertically only.
  Combo* ten = GetCombo(L"ten");
  ListBox* list = ten->GetListBox();
  EXPECT_EQ(10u, ten->GetCount());
  EXPECT_EQ(list, Find(L"t7")->GetParent());
  EXPECT_EQ(ten, list->GetParent());
  EXPECT_TRUE(list->GetVerticalScrollBar() && !list->GetHorizontalScrollBar());
  // A hidden item takes no room.
  Combo* two = GetCombo(L"two");
  two->GetItemAt(1)->SetVisible(false);
  EXPECT_TRUE(SameRect(two->DropRect(RECT{0, 0, 50, 20}, screen), RECT{0, 21, 50, 53}));
}

// SelectItem changes the current item quietly; the current index, out of
// range or a hidden item change nothing (or select none); removals keep the
// index on its item.
TEST_F(ComboTest, SelectItemAndRemovals) {
  ASSERT_TRUE(Build(L"<Window><VBox><Combo name=\"c\">" + Items(L"i", 5) + L"</Combo></VBox></Window>"));
  Combo* combo = GetCombo(L"c");
  ASSERT_TRUE(combo);
  std::vector<WPARAM>* combo_selects = Record(combo, kEventSelect);
  std::vector<WPARAM>* list_selects = Record(combo->GetListBox(), kEventSelect);
  std::vector<WPARAM>* unselects = Record(Find(L"i3"), kEventUnSelect);
  EXPECT_EQ(-1, combo->GetCurSel());
  EXPECT_EQ(L"", combo->GetText());

  EXPECT_TRUE(combo->SelectItem(3));
  EXPECT_EQ(3, combo->GetCurSel());
  EXPECT_EQ(3, combo->GetListBox()->GetCurSel());
  EXPECT_EQ(L"i 3", combo->GetText());
  EXPECT_FALSE(combo->SelectItem(3)) << "the current index";
  EXPECT_TRUE(unselects->empty()) << "a refused SelectItem leaves the item alone";
  EXPECT_FALSE(combo->SelectItem(-1));
  EXPECT_FALSE(combo->SelectItem(5));
  EXPECT_EQ(3, combo->GetCurSel());
  EXPECT_TRUE(combo_selects->empty() && list_selects->empty()) << "SelectItem raises no event";

  combo->GetItemAt(4)->SetVisible(false);
  EXPECT_FALSE(combo->SelectItem(4)) << "a hidden item";
  EXPECT_EQ(-1, combo->GetCurSel()) << "the combo shows what its list holds";
  EXPECT_TRUE(combo->SelectItem(3));

  EXPECT_TRUE(combo->RemoveAt(1));
  EXPECT_EQ(2, combo->GetCurSel()) << "the index follows its item";
  EXPECT_EQ(L"i 3", combo->GetText());
  EXPECT_TRUE(combo->RemoveAt(2));
  EXPECT_EQ(-1, combo->GetCurSel());
  EXPECT_EQ(L"", combo->GetText());
  EXPECT_TRUE(combo->SelectItem(0));
  combo->RemoveAll();
  EXPECT_EQ(0u, combo->GetCount());
  EXPECT_EQ(-1, combo->GetCurSel());
  EXPECT_TRUE(combo_selects->empty());
}

class HostWindow : public Window {
 public:
  std::wstring WindowClassName() const override { return L"VarnoComboTestHost"; }
};

void Pump(const std::function<bool()>& done) {
  for (int i = 0; i < 200 && !done(); ++i) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (!done()) ::Sleep(5);
  }
}

// The real pop-up: a layered tool window at the drop rectangle; keys move
// the selection without events and a focus loss keeps it; Return picks
// with one "select"; WM_CLOSE, the host's destruction and the combo's
// removal while open all bring the list back (or away) safely.
TEST_F(ComboTest, PopupOpensPicksAndAlwaysReturnsTheList) {
  auto host = std::make_unique<HostWindow>();
  ASSERT_TRUE(host->Create(nullptr, L"combo host", WS_POPUP | WS_VISIBLE, 0, false, RECT{100, 100, 500, 400}));
  MarkupBuilder builder;
  ASSERT_TRUE(builder.Create(L"<Window><VBox><Control height=\"40\"/><Combo name=\"c\" height=\"28\" width=\"200\" "
                             L"dropbox=\"bkcolor=&quot;white&quot;\">" +
                                 Items(L"i", 10) + L"</Combo></VBox></Window>",
                             host.get()));
  host->ArrangeRoot(RECT{0, 0, 400, 300});
  auto* combo = dynamic_cast<Combo*>(host->FindControl(L"c"));
  ASSERT_TRUE(combo);
  ListBox* list = combo->GetListBox();
  std::vector<WPARAM>* selects = Record(combo, kEventSelect);
  std::vector<WPARAM>* list_selects = Record(list, kEventSelect);
  std::vector<WPARAM>* clicks = Record(combo, kEventClick);
  ASSERT_TRUE(combo->SelectItem(3));
  auto closed = [&] { return combo->GetDropWindow() == nullptr; };
  auto back = [&] { return list->GetWindow() == host.get() && list->GetParent() == combo; };

  combo->Activate();
  CComboWnd* drop = combo->GetDropWindow();
  ASSERT_TRUE(drop && drop->GetHWND());
  EXPECT_EQ(1u, clicks->size());
  const HWND popup = drop->GetHWND();
  const LONG_PTR ex = ::GetWindowLongPtrW(popup, GWL_EXSTYLE);
  EXPECT_TRUE((ex & WS_EX_TOOLWINDOW) && (ex & WS_EX_LAYERED));
  EXPECT_EQ(host->GetHWND(), ::GetWindow(popup, GW_OWNER));
  RECT shown;
  ::GetWindowRect(popup, &shown);
  EXPECT_TRUE(SameRect(shown, RECT{100, 169, 300, 319})) << RectText(shown);
  EXPECT_EQ(drop, list->GetWindow());
  EXPECT_EQ(nullptr, host->FindControl(L"i2")) << "the host forgets the names while the list is away";

  ::SendMessageW(popup, WM_KEYDOWN, VK_DOWN, 0);
  ::SendMessageW(popup, WM_KEYDOWN, VK_DOWN, 0);
  Pump([] { return false; });
  EXPECT_EQ(5, list->GetCurSel());
  EXPECT_TRUE(selects->empty() && list_selects->empty()) << "keys move the selection without events";
  EXPECT_TRUE(::IsWindow(popup) && combo->GetDropWindow() == drop) << "and the list stays open";
  ::SendMessageW(popup, WM_KILLFOCUS, reinterpret_cast<WPARAM>(host->GetHWND()), 0);
  Pump(closed);
  EXPECT_TRUE(closed() && !::IsWindow(popup));
  EXPECT_TRUE(back());
  EXPECT_EQ(5, combo->GetCurSel()) << "the moved selection is kept";
  EXPECT_TRUE(selects->empty()) << "without a select event";
  EXPECT_EQ(list->GetItemAt(2), host->FindControl(L"i2"));

  // Down and Return pick item 6: one "select" with the new index.
  combo->Activate();
  ASSERT_TRUE(combo->GetDropWindow());
  ::SendMessageW(combo->GetDropWindow()->GetHWND(), WM_KEYDOWN, VK_DOWN, 0);
  ::SendMessageW(combo->GetDropWindow()->GetHWND(), WM_KEYDOWN, VK_RETURN, 0);
  Pump(closed);
  EXPECT_TRUE(closed() && back());
  EXPECT_EQ(std::vector<WPARAM>{6}, *selects);
  EXPECT_EQ(6, combo->GetCurSel());
  EXPECT_EQ(L"i 6", combo->GetText());
  EXPECT_EQ(combo, host->GetFocus()) << "the combo gets the focus back";

  // WM_CLOSE on its own (a system close) brings the list back at once.
  combo->Activate();
  ASSERT_TRUE(combo->GetDropWindow());
  ::SendMessageW(combo->GetDropWindow()->GetHWND(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(closed() && back());

  // The combo removed while open: the pop-up closes on its own.
  combo->Activate();
  ASSERT_TRUE(combo->GetDropWindow());
  const HWND orphan = combo->GetDropWindow()->GetHWND();
  auto* box = dynamic_cast<Box*>(combo->GetParent());
  ASSERT_TRUE(box);
  box->SetDefersDeletion(false);
  ASSERT_TRUE(box->Remove(combo));
  Pump([&] { return !::IsWindow(orphan); });
  EXPECT_FALSE(::IsWindow(orphan));
}

// The host destroyed while its combo is open: the owned pop-up goes first
// and hands the list back, so nothing is freed twice.
TEST_F(ComboTest, HostDestroyedWhileOpen) {
  auto host = std::make_unique<HostWindow>();
  ASSERT_TRUE(host->Create(nullptr, L"combo host", WS_POPUP | WS_VISIBLE, 0, false, RECT{100, 100, 500, 400}));
  MarkupBuilder builder;
  ASSERT_TRUE(builder.Create(L"<Window><VBox><Combo name=\"c\" height=\"28\">" + Items(L"i", 3) +
                                 L"</Combo></VBox></Window>",
                             host.get()));
  host->ArrangeRoot(RECT{0, 0, 400, 300});
  auto* combo = dynamic_cast<Combo*>(host->FindControl(L"c"));
  ASSERT_TRUE(combo);
  combo->Activate();
  ASSERT_TRUE(combo->GetDropWindow());
  const HWND popup = combo->GetDropWindow()->GetHWND();
  ::DestroyWindow(host->GetHWND());
  EXPECT_FALSE(::IsWindow(popup));
  EXPECT_EQ(nullptr, combo->GetDropWindow());
  EXPECT_EQ(host.get(), combo->GetListBox()->GetWindow());
  host.reset();
}

}  // namespace
}  // namespace ui
