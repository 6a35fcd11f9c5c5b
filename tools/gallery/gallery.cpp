// The control gallery: every control of the framework in one skinned,
// layered window built from its own markup (gallery_res/themes/default/
// gallery/). It prints what happens to stdout, one line per fact, so that
// the window tests can drive it through the X server and check the result:
//   ready <left> <top> <right> <bottom>       window rectangle after the first paint
//   rect <name> <left> <top> <right> <bottom> each named control, in screen pixels,
//                                             then "rects end"
//   event <type> <name> <wparam> <lparam>     click, select, unselect, setfocus, scrollchange
//   drop <name> <left> <top> <right> <bottom> a combo's pop-up opened there (after its click)
//   combo <name> <index>                      each combo's current index, with the rectangles
//   moved <left> <top>                        the window moved
//   size <kind> <l> <t> <r> <b>               minimized, maximized, restored; the window rectangle
//   visible <name> <0|1>                      after the title buttons acted
//   wmclose <wparam>                          WM_CLOSE arrived
//   startup entry <ms> resources <ms> created <ms>  since process start: wmain, skin loaded, window built
//   firstframe <ms>                           the first frame is presented, since process start
//   painted <l> <t> <r> <b> <count> <us>      on request (F9): the last paint and its time
//   memory <working set bytes>                on request (F8)
//   event textchange|return|tab <name> 0 0    a rich edit's text changed, Return or Tab in it
//   link <name> <link name>                   a click on a link of a hyperlink text
//   linkat <name> <link name or ->            any left click inside a hyperlink text: GetLinkName there
//   linkpoint <link name> <x> <y>             with the rectangles: a screen point inside each link
//   text <name> <length> <UTF-8 text>         on request (F6): every rich edit's text
//   richedit <ms>                             the skin built, every rich edit with its text services, since process start
//   combo <name> hide|disable                 with --combo-close: done 800 ms after its pop-up opened
// Usage: gallery.exe [--skin file.xml] [--items N] [--seconds S] [--lang Folder] [--combo-close hide|disable]
//   --lang picks the string table (lang/<Folder>); its agreement sentence fills the hyperlink text.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "tools/bench/process_clock.h"
#include "ui/box/box.h"
#include "ui/control/combo.h"
#include "ui/control/control.h"
#include "ui/control/label.h"
#include "ui/control/rich_edit.h"
#include "ui/core/global_resources.h"
#include "ui/core/markup_builder.h"
#include "ui/core/string_table.h"
#include "ui/window/window_impl_base.h"

namespace {

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

double Microseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
  return out;
}

// The display names of the language catalogue (lang.ini: key=name,code,direction).
std::vector<std::wstring> LanguageNames(const std::wstring& file) {
  std::vector<std::wstring> names;
  FILE* in = _wfopen(file.c_str(), L"rb");
  if (!in) return names;
  std::string content;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof(buffer), in)) > 0;) content.append(buffer, got);
  std::fclose(in);
  bool in_languages = false;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      in_languages = line == "[languages]";
      continue;
    }
    const size_t equals = line.find('=');
    if (!in_languages || equals == std::string::npos) continue;
    names.push_back(Wide(line.substr(equals + 1, line.find(',', equals) - equals - 1)));
  }
  return names;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += (c > 32 && c < 127) ? static_cast<char>(c) : '_';
  return out.empty() ? "-" : out;
}

ui::Control* PrintRect(ui::Control* control, void* data) {
  if (control->GetName().empty()) return nullptr;
  RECT rect = control->GetPos();
  // Where it shows: less the scroll offset of every box it scrolls in.
  for (ui::Control* up = control->GetParent(); up; up = up->GetParent()) {
    const SIZE offset = up->GetScrollOffset();
    ::OffsetRect(&rect, -offset.cx, -offset.cy);
  }
  POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
  ::MapWindowPoints(static_cast<HWND>(data), nullptr, corners, 2);
  Print("rect %s %ld %ld %ld %ld\n", Narrow(control->GetName()).c_str(), corners[0].x, corners[0].y, corners[1].x,
        corners[1].y);
  if (auto* combo = dynamic_cast<ui::Combo*>(control))
    Print("combo %s %d\n", Narrow(control->GetName()).c_str(), combo->GetCurSel());
  return nullptr;
}

class GalleryWindow : public ui::WindowImplBase {
 public:
  GalleryWindow(std::wstring skin, int items, std::wstring res) : skin_(std::move(skin)), items_(items), res_(std::move(res)) {}

  std::wstring WindowClassName() const override { return L"VarnoGallery"; }
  std::wstring SkinFolder() const override { return L"gallery"; }
  std::wstring SkinFile() const override { return skin_; }

  void OnSkinLoaded() override {
    // The rich edits got their text services while the tree was built, just before this.
    rich_edit_ready_ms_ = MillisecondsSinceProcessStart();
    if (ui::Control* list = FindControl(L"list")) {
      if (auto* box = dynamic_cast<ui::Box*>(list)) {
        // One document for all: its root's children join the list.
        std::wstring markup = L"<Window>";
        for (int i = 1; i < items_; ++i) {
          markup += L"<ListContainerElement class=\"listitem\" name=\"item" + std::to_wstring(i) +
                    L"\"><Label text=\"Item " + std::to_wstring(i) +
                    L"\" margin=\"8,6,0,0\" mouse=\"false\"/></ListContainerElement>";
        }
        markup += L"</Window>";
        ui::MarkupBuilder builder;
        builder.Create(markup, this, box);
      }
    }
    if (auto* combo = dynamic_cast<ui::Combo*>(FindControl(L"combo"))) {
      // 25 items of 30 pixels: the pop-up is 150 high and scrolls.
      std::wstring markup = L"<Window>";
      for (int i = 0; i < 25; ++i) {
        markup += L"<ListContainerElement class=\"listitem\" height=\"30\" font=\"system_12\" "
                  L"normaltextcolor=\"darkcolor\" textpadding=\"8,0,8,0\" align=\"vcenter\" name=\"citem" +
                  std::to_wstring(i) + L"\" text=\"Choice " + std::to_wstring(i) + L"\"/>";
      }
      markup += L"</Window>";
      ui::MarkupBuilder builder;
      builder.Create(markup, this, combo);
      combo->SelectItem(0);
    }
    if (auto* combo = dynamic_cast<ui::Combo*>(FindControl(L"langcombo"))) {
      // Every language in its own script: the drop list must show them all.
      std::wstring markup = L"<Window>";
      int i = 0;
      for (const std::wstring& name : LanguageNames(res_ + L"lang.ini")) {
        markup += L"<ListContainerElement class=\"listitem\" height=\"24\" font=\"system_12\" "
                  L"normaltextcolor=\"darkcolor\" textpadding=\"8,0,8,0\" align=\"vcenter\" name=\"lang" +
                  std::to_wstring(i++) + L"\" text=\"" + name + L"\"/>";
      }
      markup += L"</Window>";
      ui::MarkupBuilder builder;
      builder.Create(markup, this, combo);
      combo->SelectItem(0);
    }
    if (auto* links = dynamic_cast<ui::HyperlinkText*>(FindControl(L"links")))
      links->SetLinkText(ui::StringTable::GetText(L"STRID_HOMEPAGE_AGREEMENT"));
    // Text of any length must be safe: a 20000-character tooltip and a
    // label of 100000 characters (the label ends in an ellipsis).
    if (ui::Control* control = FindControl(L"longtip")) {
      std::wstring tip;
      for (int i = 0; tip.size() < 20000; ++i) tip += L"tip " + std::to_wstring(i) + L" ";
      control->SetTooltipText(tip);
    }
    if (auto* label = dynamic_cast<ui::Label*>(FindControl(L"longtext")))
      label->SetText(L"Long text " + std::wstring(100000, L'x'));
    GetRoot()->FindControl(&Watch, this, 0);
  }

  void OnLayoutReady() override {
    WindowImplBase::OnLayoutReady();
    Print("richedit %.1f\n", rich_edit_ready_ms_);
    RECT rect;
    ::GetWindowRect(GetHWND(), &rect);
    Print("ready %ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    PrintRects();
  }

  void PrintRects() {
    GetRoot()->FindControl(&PrintRect, GetHWND(), 0);
    if (auto* links = dynamic_cast<ui::HyperlinkText*>(FindControl(L"links"))) {
      // A point inside each link: between the edges of its middle character.
      for (const ui::LinkRange& link : links->GetLinks()) {
        const long middle = (link.start + link.end - 1) / 2;
        POINT a = links->PosFromChar(middle), b = links->PosFromChar(middle + 1);
        if (b.y != a.y) b.x = a.x + 3;  // the line wraps after it
        POINT point{(a.x + b.x) / 2, a.y + 7};
        ::MapWindowPoints(GetHWND(), nullptr, &point, 1);
        Print("linkpoint %s %ld %ld\n", Utf8(link.name).c_str(), point.x, point.y);
      }
    }
    Print("rects end\n");
  }

  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    switch (message) {
      case WM_PAINT: {
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        const LRESULT result = WindowImplBase::HandleMessage(message, wparam, lparam);
        ::QueryPerformanceCounter(&end);
        if (GetPaintCount() > paints_seen_) {
          paints_seen_ = GetPaintCount();
          last_paint_us_ = Microseconds(start, end);
          if (paints_seen_ == 1) Print("firstframe %.1f paint %.1f\n", MillisecondsSinceProcessStart(), last_paint_us_ / 1000);
        }
        return result;
      }
      case WM_TIMER:
        if (wparam == kComboCloseTimer && closing_combo_) {
          ::KillTimer(GetHWND(), kComboCloseTimer);
          if (combo_close_ == L"hide") closing_combo_->SetVisible(false);
          if (combo_close_ == L"disable") closing_combo_->SetEnabled(false);
          Print("combo %s %s\n", Narrow(closing_combo_->GetName()).c_str(), Narrow(combo_close_).c_str());
          closing_combo_ = nullptr;
          return 0;
        }
        break;
      case WM_LBUTTONDOWN:
        if (auto* links = dynamic_cast<ui::HyperlinkText*>(FindControl(L"links"))) {
          ui::EventArgs args;
          args.mouse_point = POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
          const RECT pos = links->GetPos();
          if (::PtInRect(&pos, args.mouse_point)) {
            const std::wstring name = links->GetLinkName(&args);
            Print("linkat links %s\n", name.empty() ? "-" : Utf8(name).c_str());
          }
        }
        break;
      case WM_CLOSE:
        Print("wmclose %u\n", static_cast<unsigned>(wparam));
        break;
      case WM_MOVE:
        if (!first_layout_) {
          RECT rect;
          ::GetWindowRect(GetHWND(), &rect);
          Print("moved %ld %ld\n", rect.left, rect.top);
        }
        break;
      case WM_SIZE: {
        RECT r;
        ::GetWindowRect(GetHWND(), &r);
        const char* kind = wparam == SIZE_MINIMIZED   ? "minimized"
                           : wparam == SIZE_MAXIMIZED ? "maximized"
                           : (wparam == SIZE_RESTORED && !first_layout_) ? "restored" : nullptr;
        if (kind) Print("size %s %ld %ld %ld %ld\n", kind, r.left, r.top, r.right, r.bottom);
        break;
      }
      case WM_KEYDOWN:
        if (wparam == VK_F9) {
          const RECT r = GetLastPaintRect();
          Print("painted %ld %ld %ld %ld %d %.0f\n", r.left, r.top, r.right, r.bottom, GetPaintCount(),
                last_paint_us_);
          return 0;
        }
        if (wparam == VK_F8) {
          PROCESS_MEMORY_COUNTERS counters{};
          counters.cb = sizeof(counters);
          ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
          Print("memory %lu\n", static_cast<unsigned long>(counters.WorkingSetSize));
          return 0;
        }
        if (wparam == VK_F6) {
          GetRoot()->FindControl(&PrintText, nullptr, 0);
          return 0;
        }
        if (wparam == VK_F7) {
          PrintRects();
          return 0;
        }
        break;
      default:
        break;
    }
    return WindowImplBase::HandleMessage(message, wparam, lparam);
  }

  void OnFinalMessage(HWND hwnd) override {
    Print("final\n");
    ::PostQuitMessage(0);
    WindowImplBase::OnFinalMessage(hwnd);
  }

 private:
  static ui::Control* PrintText(ui::Control* control, void*) {
    if (auto* edit = dynamic_cast<ui::RichEdit*>(control)) {
      const std::wstring text = edit->GetText();
      Print("text %s %zu %s\n", Narrow(control->GetName()).c_str(), text.size(), Utf8(text).c_str());
    }
    return nullptr;
  }

  static ui::Control* Watch(ui::Control* control, void* data) {
    auto* self = static_cast<GalleryWindow*>(data);
    if (control->GetName().empty()) return nullptr;
    if (auto* links = dynamic_cast<ui::HyperlinkText*>(control)) {
      links->Subscribe(ui::kEventCustomLinkClick, ui::WeakHandler(self, [links](ui::EventArgs* args) {
                         Print("link %s %s\n", Narrow(links->GetName()).c_str(), Utf8(links->GetLinkName(args)).c_str());
                         return true;
                       }));
    } else if (auto* edit = dynamic_cast<ui::RichEdit*>(control)) {
      static const std::pair<int, const char*> kText[] = {
          {ui::kEventTextChange, "textchange"}, {ui::kEventReturn, "return"}, {ui::kEventTab, "tab"}};
      for (const auto& watched : kText) {
        const char* name = watched.second;
        edit->Subscribe(watched.first, ui::WeakHandler(self, [edit, name](ui::EventArgs*) {
                          Print("event %s %s 0 0\n", name, Narrow(edit->GetName()).c_str());
                          return true;
                        }));
      }
    }
    static const std::pair<int, const char*> kWatched[] = {
        {ui::kEventClick, "click"},       {ui::kEventSelect, "select"},
        {ui::kEventUnSelect, "unselect"}, {ui::kEventSetFocus, "setfocus"},
        {ui::kEventScrollChange, "scrollchange"}};
    for (const auto& watched : kWatched) {
      const char* name = watched.second;
      control->Subscribe(watched.first, ui::WeakHandler(self, [self, name](ui::EventArgs* args) {
                           Print("event %s %s %lu %ld\n", name, Narrow(args->sender->GetName()).c_str(),
                                 static_cast<unsigned long>(args->wparam), static_cast<long>(args->lparam));
                           if (std::strcmp(name, "click") == 0) self->AfterClick(args->sender);
                           return true;
                         }));
    }
    return nullptr;
  }

  void AfterClick(ui::Control* sender) {
    auto* combo = dynamic_cast<ui::Combo*>(sender);
    if (combo && combo->GetDropWindow() && combo->GetDropWindow()->GetHWND()) {
      RECT r;
      ::GetWindowRect(combo->GetDropWindow()->GetHWND(), &r);
      Print("drop %s %ld %ld %ld %ld\n", Narrow(sender->GetName()).c_str(), r.left, r.top, r.right, r.bottom);
      if (!combo_close_.empty()) {
        closing_combo_ = combo;
        ::SetTimer(GetHWND(), kComboCloseTimer, 800, nullptr);
      }
    }
    // The title buttons act after this handler; report once they did.
    ::PostMessageW(GetHWND(), WM_APP + 10, 0, 0);
    pending_visibility_ = true;
  }

  std::wstring skin_;
  int items_;
  std::wstring res_;
  static constexpr UINT_PTR kComboCloseTimer = 77;
  ui::Combo* closing_combo_ = nullptr;

 public:
  // "hide" or "disable": done to a combo 800 ms after its pop-up opened.
  std::wstring combo_close_;

 private:
  int paints_seen_ = 0;
  double last_paint_us_ = 0;
  bool pending_visibility_ = false;

 public:
  double rich_edit_ready_ms_ = 0;
  void ReportVisibility() {
    if (!pending_visibility_) return;
    pending_visibility_ = false;
    for (const wchar_t* name : {L"maxbtn", L"restorebtn"}) {
      if (ui::Control* control = FindControl(name))
        Print("visible %s %d\n", Narrow(name).c_str(), control->IsVisible() ? 1 : 0);
    }
  }
};

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH] = {0};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring skin = L"gallery.xml";
  int items = 100;
  int seconds = 0;
  std::wstring lang = L"English";
  std::wstring combo_close;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring flag = argv[i];
    if (flag == L"--skin") skin = argv[i + 1];
    if (flag == L"--items") items = std::max(1, _wtoi(argv[i + 1]));
    if (flag == L"--seconds") seconds = _wtoi(argv[i + 1]);
    if (flag == L"--lang") lang = argv[i + 1];
    if (flag == L"--combo-close") combo_close = argv[i + 1];
  }
  const double entered = MillisecondsSinceProcessStart();
  const std::wstring res = ExeFolder() + L"gallery_res\\";
  ui::GlobalResources::Startup(res, nullptr, true, L"themes\\default", L"lang\\" + lang);
  int result = 0;
  {
    auto window = std::make_unique<GalleryWindow>(skin, items, res);
    window->combo_close_ = combo_close;
    const double started = MillisecondsSinceProcessStart();
    const bool created = window->Create(nullptr, L"VARNO gallery",
                                        WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0, true,
                                        RECT{0, 0, 0, 0}) != nullptr;
    Print("startup entry %.1f resources %.1f created %.1f\n", entered, started, MillisecondsSinceProcessStart());
    if (!created) {
      // Nothing was shown; the window is still ours to destroy.
      Print("create failed\n");
      window.reset();
      ui::GlobalResources::Shutdown();
      return 3;
    }
    GalleryWindow* shown = window.release();  // owns itself from here
    shown->CenterWindow();
    shown->ShowWindow(true, true);
    if (seconds > 0) ::SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (msg.message == WM_TIMER && msg.hwnd == nullptr) {
        ::DestroyWindow(shown->GetHWND());  // its final message quits the loop
        continue;
      }
      if (msg.message == WM_APP + 10) {
        shown->ReportVisibility();
        continue;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    result = static_cast<int>(msg.wParam);
  }
  ui::GlobalResources::Shutdown();
  return result;
}
