// The language tour: the real wizard window, shown in every language of the
// catalogue on each of its views, with every shown text measured against
// the room its control gives it. Driven by tools/tests/wizard_tour_test.py
// over stdout and stdin, one line per fact:
//   misfit <view> <language> <control> <needed w>x<h> <room w>x<h> <UTF-8 text>
//   place <name> <left> <top> <right> <bottom>  before each shot line: a
//        control's rectangle relative to the body (for the direction checks)
//   direction rtl|ltr <face>  before each shot line: the framework's text
//        direction and the face of its system fonts
//   shot <view> <language> <texts checked> <left> <top> <right> <bottom>
//        the body in screen pixels; then waits for one line on stdin
//   tour end <misfits>
// Views: "home" (custom box open, the path error shown), "download" (each
// slogan measured, the first one shown), "end". Exit code 1 when any text
// did not fit, 2 when the wizard did not open.
//
// Built on the demo archive: its settings name only 127.0.0.1. Nothing here
// clicks a link or closes the end page (which would open a web address).
// UI thread only, besides the stdin reader.
#include <windows.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/util/string_util.h"
#include "base/win32/scoped_handle.h"
#include "installer/main/entry.h"
#include "installer/main/startup_hooks.h"
#include "installer/utils/language.h"
#include "installer/wizard/setup_form.h"
#include "ui/box/tab_box.h"
#include "ui/control/check_box.h"
#include "ui/control/text_fit.h"
#include "ui/core/global_resources.h"

namespace {

std::string Utf8(const std::wstring& text) { return base::WideToUtf8(text); }

void Print(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// Lines arrive on a thread of their own; each releases the semaphore once.
class StdinLines {
 public:
  StdinLines() : lines_(::CreateSemaphoreW(nullptr, 0, 1 << 20, nullptr)) {
    HANDLE semaphore = lines_.Get();
    std::thread([semaphore] {
      char line[256];
      while (std::fgets(line, sizeof(line), stdin)) ::ReleaseSemaphore(semaphore, 1, nullptr);
    }).detach();  // ends with the process; it touches only the semaphore
  }
  HANDLE Get() const { return lines_.Get(); }

 private:
  base::win32::ScopedHandle lines_;
};

void PumpOnce() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// Runs the window's messages for |ms|: fades, size changes, paints.
void Pump(DWORD ms) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    PumpOnce();
    const DWORD spent = ::GetTickCount() - start;
    if (spent >= ms) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
  }
}

// Keeps the window's messages running until the driver's next line.
void WaitForLine(HANDLE lines) {
  for (;;) {
    PumpOnce();
    const DWORD got = ::MsgWaitForMultipleObjects(1, &lines, FALSE, 60000, QS_ALLINPUT);
    if (got == WAIT_OBJECT_0 || got == WAIT_TIMEOUT) return;
  }
}

class Tour {
 public:
  Tour(SetupForm* form, HANDLE lines) : form_(form), lines_(lines) {}

  int misfits() const { return misfits_; }

  // Lays out and paints what the last change asked for.
  void Settle(DWORD ms) {
    Pump(ms);
    ::RedrawWindow(form_->GetHWND(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(30);
  }

  // Reports the texts that do not fit; the count of those checked.
  int Measure(const std::string& view, const std::wstring& language) {
    int checked = 0;
    for (const ui::TextMisfit& m : ui::FindTextMisfits(form_->GetRoot(), &checked)) {
      ++misfits_;
      char sizes[96];
      std::snprintf(sizes, sizeof(sizes), " %ldx%ld %ldx%ld ", m.needed.cx, m.needed.cy, m.room.cx, m.room.cy);
      Print("misfit " + view + " " + Utf8(language) + " " + Utf8(m.name) + sizes + Utf8(m.text));
    }
    return checked;
  }

  void Shot(const std::string& view, const std::wstring& language, int checked) {
    const RECT body = Body();
    char line[160];
    for (const wchar_t* name : {L"label_error", L"label_carousel", L"label_complete"}) {
      ui::Control* control = form_->FindControl(name);
      if (!control || !control->IsVisible()) continue;
      RECT r = control->GetPos(false);
      ::MapWindowPoints(form_->GetHWND(), nullptr, reinterpret_cast<POINT*>(&r), 2);
      std::snprintf(line, sizeof(line), "place %s %ld %ld %ld %ld", Utf8(name).c_str(), r.left - body.left,
                    r.top - body.top, r.right - body.left, r.bottom - body.top);
      Print(line);
    }
    // The framework's direction and the face the system fonts have now.
    const ui::FontInfo* font = ui::GlobalResources::GetFontInfo(L"system_12");
    Print(std::string("direction ") + (ui::GlobalResources::IsRightToLeft() ? "rtl " : "ltr ") +
          (font ? Utf8(font->face_name) : std::string("?")));
    std::snprintf(line, sizeof(line), "shot %s %s %d %ld %ld %ld %ld", view.c_str(), Utf8(language).c_str(), checked,
                  body.left, body.top, body.right, body.bottom);
    Print(line);
    WaitForLine(lines_);
  }

  template <typename T>
  T* Find(const wchar_t* name) {
    return dynamic_cast<T*>(form_->FindControl(name));
  }

 private:
  // The client area less the shadow, in screen pixels.
  RECT Body() const {
    RECT r{};
    ::GetClientRect(form_->GetHWND(), &r);
    const RECT shadow = form_->GetShadowPadding();
    r = RECT{r.left + shadow.left, r.top + shadow.top, r.right - shadow.right, r.bottom - shadow.bottom};
    ::MapWindowPoints(form_->GetHWND(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  SetupForm* form_;
  HANDLE lines_;
  int misfits_ = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> only;  // --lang KEY (repeatable): a shorter tour
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::wstring(argv[i]) == L"--lang") only.push_back(argv[i + 1]);
  }
  StdinLines lines;
  startup::MountResources();
  startup::StartUiFramework();
  auto owned = std::make_unique<SetupForm>(kAppTitle);
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
  if (!owned->Create(nullptr, kAppTitle, style, 0, true, RECT{0, 0, 0, 0})) {
    Print("tour: the wizard did not open");
    startup::ShutdownUiFramework();
    return 2;
  }
  SetupForm* form = owned.release();  // owns itself from here
  form->CenterWindow();
  form->ShowWindow(true, true);
  Tour tour(form, lines.Get());
  tour.Settle(500);

  LanguageCatalogue catalogue;
  catalogue.Init(L"");
  std::vector<std::wstring> keys;
  for (const auto& entry : catalogue.GetLanguages()) {
    bool wanted = only.empty();
    for (const std::wstring& key : only) wanted = wanted || key == entry.first;
    if (wanted) keys.push_back(entry.first);
  }

  // Home: the custom box opened as a click on its icon opens it, with the
  // path error shown as a bad path shows it.
  auto* icon = tour.Find<ui::CheckBox>(L"checkbox_icon");
  if (icon) icon->Activate();
  if (ui::Control* error = form->FindControl(L"label_error")) error->SetVisible(true);
  tour.Settle(400);
  for (const std::wstring& key : keys) {
    form->ShowLanguage(key);
    tour.Settle(20);
    tour.Shot("home", key, tour.Measure("home", key));
  }

  // Download: the box closed again, the page as the install click leaves it.
  if (icon) icon->Activate();
  for (const wchar_t* name : {L"minbtn", L"closebtn"}) {
    if (ui::Control* button = form->FindControl(name)) button->SetVisible(false);
  }
  if (auto* pages = tour.Find<ui::TabBox>(L"switch")) pages->SelectItem(SetupForm::kDownloadPage);
  form->ShowProgress(42);
  tour.Settle(400);
  for (const std::wstring& key : keys) {
    form->ShowLanguage(key);
    int checked = 0;
    for (int slide : {2, 3, 1}) {  // the first one stays for the picture
      form->ShowSlide(slide);
      tour.Settle(20);
      checked += tour.Measure("download", key);
    }
    tour.Shot("download", key, checked);
  }

  // End: the close button back, as a finished installation shows it.
  if (ui::Control* close = form->FindControl(L"closebtn")) close->SetVisible(true);
  if (auto* pages = tour.Find<ui::TabBox>(L"switch")) pages->SelectItem(SetupForm::kEndPage);
  tour.Settle(400);
  for (const std::wstring& key : keys) {
    form->ShowLanguage(key);
    tour.Settle(20);
    tour.Shot("end", key, tour.Measure("end", key));
  }

  Print("tour end " + std::to_string(tour.misfits()));
  // Not WM_CLOSE: on the end page it would open the feedback address.
  ::DestroyWindow(form->GetHWND());
  Pump(100);
  startup::ShutdownUiFramework();
  return tour.misfits() > 0 ? 1 : 0;
}
