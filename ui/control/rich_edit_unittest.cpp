// The rich edit and hyperlink text over the system's text services, built
// from markup, driven by synthetic events and painted off screen.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "ui/control/rich_edit.h"
#include "ui/control/tree_test_support.h"

namespace ui {
namespace {

using testing::Pixel;

class RichEditTest : public testing::TreeTest {
 protected:
  void TearDown() override { PressKeys({}); }

  RichEdit* Edit(const wchar_t* name) { return dynamic_cast<RichEdit*>(Find(name)); }

  // The thread's key state as GetKeyState reads it.
  static void PressKeys(std::initializer_list<int> keys) {
    BYTE state[256] = {};
    for (int key : keys) state[key] = 0x80;
    ::SetKeyboardState(state);
  }
  static void Type(Control* control, const std::wstring& text) {
    for (wchar_t c : text) control->SendEvent(kEventChar, c, 0, c);
  }
  static bool Clip(const std::wstring& text) {
    HWND owner = ::CreateWindowW(L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    bool ok = owner && ::OpenClipboard(owner) && ::EmptyClipboard();
    if (ok) {
      HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
      if (void* p = block ? ::GlobalLock(block) : nullptr) {
        std::memcpy(p, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        ::GlobalUnlock(block);
      }
      ok = block && ::SetClipboardData(CF_UNICODETEXT, block);
      if (!ok && block) ::GlobalFree(block);
    }
    ::CloseClipboard();
    if (owner) ::DestroyWindow(owner);
    return ok;
  }
  // Pixels of |surface| within |rect| that are clearly red (the prompt).
  static int RedPixels(IRenderContext* surface, const RECT& rect) {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
      for (int x = rect.left; x < rect.right; ++x) {
        const uint32_t p = Pixel(surface, x, y);
        if (((p >> 16) & 0xFF) > 180 && ((p >> 8) & 0xFF) < 110 && (p & 0xFF) < 130) ++count;
      }
    }
    return count;
  }
  EventHandler Count(int* counter) {
    return [counter](EventArgs*) {
      ++*counter;
      return true;
    };
  }
};

// The path edit of the wizard: prompt while empty, text of any length,
// the change event, and the prompt gone once something is typed.
TEST_F(RichEditTest, TextPromptAndChangeEvents) {
  ASSERT_TRUE(Build(L"<Window><VBox><RichEdit name=\"path\" width=\"300\" height=\"30\" font=\"system_14\""
                    L" normaltextcolor=\"blue\" promptmode=\"true\" prompttext=\"Choose a folder\""
                    L" promptcolor=\"red\" align=\"vcenter\"/></VBox></Window>"));
  RichEdit* edit = Edit(L"path");
  ASSERT_TRUE(edit);
  EXPECT_EQ(Find(L"path")->GetType(), L"RichEdit");
  ASSERT_TRUE(edit->HasTextServices()) << "no text services";
  EXPECT_EQ(edit->ControlFlags(), 1u);
  int changes = 0;
  edit->Subscribe(kEventTextChange, Count(&changes));

  EXPECT_TRUE(edit->IsPromptShown());
  std::unique_ptr<IRenderContext> surface = PaintWindow(300, 30);
  EXPECT_GT(RedPixels(surface.get(), RECT{0, 0, 300, 30}), 20) << "prompt not painted";

  window_.SetFocus(edit);
  EXPECT_TRUE(edit->IsFocused());
  Type(edit, L"C");
  EXPECT_EQ(edit->GetText(), L"C");
  EXPECT_GE(changes, 1);
  EXPECT_FALSE(edit->IsPromptShown());
  surface = PaintWindow(300, 30);
  EXPECT_EQ(RedPixels(surface.get(), RECT{0, 0, 300, 30}), 0) << "prompt still painted";

  // A path far beyond MAX_PATH and the old 32767 limit round-trips.
  std::wstring path = L"C:\\";
  while (path.size() < 70000) path += L"very long folder name\\";
  edit->SetText(path);
  EXPECT_EQ(edit->GetText(), path);
  EXPECT_EQ(edit->GetTextLength(), static_cast<long>(path.size()));
  edit->SetText(L"");
  EXPECT_TRUE(edit->IsPromptShown());
  edit->SetSel(0, -1);
  edit->ReplaceSel(L"D:\\Apps");
  EXPECT_EQ(edit->GetText(), L"D:\\Apps");

  // Text set in markup before the services exist is kept.
  ASSERT_TRUE(Build(L"<Window><VBox><RichEdit name=\"e\" text=\"preset\"/></VBox></Window>"));
  EXPECT_EQ(Edit(L"e")->GetText(), L"preset");
}

// Number mode keeps digits, typed or pasted, in order; other keys raise
// "return" and "tab" as asked.
TEST_F(RichEditTest, NumberModeAndKeyEvents) {
  ASSERT_TRUE(Build(L"<Window><VBox><RichEdit name=\"n\" number=\"true\" height=\"24\"/>"
                    L"<RichEdit name=\"r\" wantreturnmsg=\"true\" height=\"24\"/>"
                    L"<RichEdit name=\"c\" wantreturnmsg=\"true\" returnmsgwantctrl=\"true\" height=\"24\"/>"
                    L"<RichEdit name=\"t\" wanttab=\"true\" height=\"24\"/></VBox></Window>"));
  RichEdit* number = Edit(L"n");
  ASSERT_TRUE(number && number->HasTextServices());
  EXPECT_EQ(number->GetEditStyle() & kEditNumber, kEditNumber);
  Type(number, L"a1b2 3");
  EXPECT_EQ(number->GetText(), L"123");
  number->SendEvent(kEventKeyDown, VK_BACK, 0, VK_BACK);  // a real key press sends both
  Type(number, L"\b");
  EXPECT_EQ(number->GetText(), L"12") << "Backspace must still act";
  ASSERT_TRUE(Clip(L"x3-y4z5"));
  PressKeys({VK_CONTROL});
  number->SendEvent(kEventKeyDown, 'V', 0, 'V');
  PressKeys({});
  EXPECT_EQ(number->GetText(), L"12345");
  number->ReplaceSel(L"six6");
  EXPECT_EQ(number->GetText(), L"123456");

  int returns = 0, tabs = 0;
  for (const wchar_t* name : {L"r", L"c", L"t"}) {
    Find(name)->Subscribe(kEventReturn, Count(&returns));
    Find(name)->Subscribe(kEventTab, Count(&tabs));
  }
  Control* r = Find(L"r");
  r->SendEvent(kEventKeyDown, VK_RETURN, 0, VK_RETURN);
  Type(r, L"\r");
  EXPECT_EQ(returns, 1);
  EXPECT_EQ(Edit(L"r")->GetText(), L"");
  PressKeys({VK_SHIFT});
  r->SendEvent(kEventKeyDown, VK_RETURN, 0, VK_RETURN);
  EXPECT_EQ(returns, 1) << "Shift+Return is no return message";

  Control* c = Find(L"c");
  PressKeys({});
  c->SendEvent(kEventKeyDown, VK_RETURN, 0, VK_RETURN);
  EXPECT_EQ(returns, 1) << "needs Ctrl";
  PressKeys({VK_CONTROL});
  c->SendEvent(kEventKeyDown, VK_RETURN, 0, VK_RETURN);
  EXPECT_EQ(returns, 2);

  // Tab: "tab" from a control that does not want it, text in one that does.
  PressKeys({VK_TAB});
  Type(r, L"\t");
  EXPECT_EQ(tabs, 1);
  EXPECT_EQ(Edit(L"r")->GetText(), L"");
  EXPECT_FALSE(Edit(L"r")->WantsTab());
  Type(Find(L"t"), L"\t");
  EXPECT_EQ(tabs, 1);
  EXPECT_EQ(Edit(L"t")->GetText(), L"\t");
  EXPECT_TRUE(Edit(L"t")->WantsTab());

  // The window keeps Tab from a focused edit unless it wants it.
  int keydowns = 0;
  Find(L"r")->Subscribe(kEventKeyDown, Count(&keydowns));
  Find(L"t")->Subscribe(kEventKeyDown, Count(&keydowns));
  window_.SetFocus(Find(L"r"));
  window_.HandleMessage(WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(keydowns, 0);
  window_.SetFocus(Find(L"t"));
  window_.HandleMessage(WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(keydowns, 1);
  EXPECT_EQ(window_.GetFocus(), Find(L"t"));
}

// The wizard's agreement line: three plain spans and two links; a press on
// a link raises the link click, whose handler reads the name; elsewhere
// nothing. The text refuses typing, which would move the links.
TEST_F(RichEditTest, HyperlinkTextLinks) {
  ASSERT_TRUE(Build(L"<Window><VBox><HyperlinkText name=\"agree\" width=\"600\" height=\"40\" font=\"system_14\""
                    L" normaltextcolor=\"darkcolor\" linkcolor=\"blue\"/></VBox></Window>"));
  auto* text = dynamic_cast<HyperlinkText*>(Find(L"agree"));
  ASSERT_TRUE(text && text->HasTextServices());
  EXPECT_EQ(text->GetType(), L"HyperlinkText");
  const std::wstring plain = L"By clicking \"Install Now\", you agree to the EULA and Service Agreements.";
  text->SetLinkText(L"By clicking \"Install Now\", you agree to the {link:eula}EULA{/link} and "
                    L"{link:terms}Service Agreements{/link}.");
  Arrange(600, 40);
  EXPECT_EQ(text->GetText(), plain);
  ASSERT_EQ(text->GetLinks().size(), 2u);
  const long eula = static_cast<long>(plain.find(L"EULA"));
  const long terms = static_cast<long>(plain.find(L"Service"));
  EXPECT_EQ(text->GetLinks()[0].start, eula);
  EXPECT_EQ(text->GetLinks()[0].end, eula + 4);
  EXPECT_EQ(text->GetLinks()[0].name, L"eula");
  EXPECT_EQ(text->GetLinks()[1].start, terms);
  EXPECT_EQ(text->GetLinks()[1].name, L"terms");

  std::vector<std::wstring> clicked;
  text->Subscribe(kEventCustomLinkClick, [&](EventArgs* args) {
    clicked.push_back(text->GetLinkName(args));
    return true;
  });
  auto press = [&](POINT at) {
    EventArgs args;
    args.type = kEventMouseButtonDown;
    args.sender = text;
    args.mouse_point = at;
    text->DeliverEvent(&args);
    args.type = kEventMouseButtonUp;
    text->DeliverEvent(&args);
  };
  const POINT on_eula = text->PosFromChar(eula + 1);
  const POINT on_terms = text->PosFromChar(terms + 3);
  const POINT on_plain = text->PosFromChar(3);
  EventArgs probe;
  for (const auto& c : {std::make_pair(on_eula, L"eula"), std::make_pair(on_terms, L"terms"),
                        std::make_pair(on_plain, L""), std::make_pair(POINT{599, 39}, L"")}) {
    probe.mouse_point = POINT{c.first.x + 2, c.first.y + 3};
    EXPECT_EQ(text->GetLinkName(&probe), c.second) << c.first.x << "," << c.first.y;
  }
  press(POINT{on_eula.x + 2, on_eula.y + 3});
  press(POINT{on_plain.x + 2, on_plain.y + 3});
  press(POINT{on_terms.x + 2, on_terms.y + 3});
  EXPECT_EQ(clicked, (std::vector<std::wstring>{L"eula", L"terms"}));

  window_.SetFocus(text);
  Type(text, L"xyz");
  EXPECT_EQ(text->GetText(), plain) << "typing changed the linked text";

  // Malformed markup shows literally and records no link.
  text->SetLinkText(L"see {link:eula}EULA");
  EXPECT_EQ(text->GetText(), L"see {link:eula}EULA");
  EXPECT_TRUE(text->GetLinks().empty());
  probe.mouse_point = POINT{on_eula.x + 2, on_eula.y + 3};
  EXPECT_EQ(text->GetLinkName(&probe), L"");
}

}  // namespace
}  // namespace ui
