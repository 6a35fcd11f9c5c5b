#include "installer/main/startup_hooks.h"

#include <windows.h>

#include <ole2.h>

#include <memory>
#include <string>
#include <vector>

#include "base/log/log.h"
#include "installer/main/entry.h"
#include "installer/utils/language.h"
#include "installer/wizard/setup_form.h"
#include "ui/core/global_resources.h"
#include "ui/core/resource_archive.h"
#include "ui/core/resource_archive_win.h"
#include "ui/render/render_gdiplus.h"

namespace startup {

namespace {
// The taskbar progress and the folder browser need COM (OLE) on this thread.
bool g_ole_started = false;
// Lives while the UI framework is up; UI thread.
std::unique_ptr<ui::FontWarmUp> g_font_warm_up;
}  // namespace

void MountResources() {
  // Without the archive every file is read from the same paths on disk.
  ui::MountArchive(MAKEINTRESOURCEW(133), L"ZIP", "");
}

void StartUiFramework() {
  g_ole_started = SUCCEEDED(::OleInitialize(nullptr));
  // Loads the global skin and the English texts; the wizard picks the
  // user's language later.
  ui::GlobalResources::Startup(L"resources\\", nullptr, true, L"themes\\default", L"lang\\English");
  // A right-to-left language mirrors the framework from then on.
  LanguageCatalogue::SetRightToLeftHandler([](bool rtl) { ui::GlobalResources::SetRightToLeft(rtl); });
  // The wizard's two faces are made while its window builds, not in its
  // first paint.
  g_font_warm_up = std::make_unique<ui::FontWarmUp>(std::vector<std::wstring>{L"system_12", L"system_14"});
}

void OpenWizardWindow() {
  auto wizard = std::make_unique<SetupForm>(kAppTitle);
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;  // 0x00CE0000
  if (!wizard->Create(nullptr, kAppTitle, style, 0, true, RECT{0, 0, 0, 0})) {
    // The skin did not build: the box has told the user; the object is
    // still ours, and the loop has nothing to wait for.
    QLOG_ERR(L"app: the wizard window was not created");
    wizard.reset();
    ::PostQuitMessage(0);
    return;
  }
  SetupForm* shown = wizard.release();  // owns itself from here
  shown->CenterWindow();
  shown->ShowWindow(true, true);
}

// Also closes the archive.
void ShutdownUiFramework() {
  g_font_warm_up.reset();
  LanguageCatalogue::SetRightToLeftHandler(nullptr);
  ui::GlobalResources::Shutdown();
  if (g_ole_started) ::OleUninitialize();
  g_ole_started = false;
}

}  // namespace startup
