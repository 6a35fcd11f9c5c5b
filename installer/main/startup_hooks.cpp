#include "installer/main/startup_hooks.h"

#include <windows.h>

#include "installer/utils/language.h"
#include "ui/core/global_resources.h"
#include "ui/core/resource_archive.h"
#include "ui/core/resource_archive_win.h"

// The UI framework and the wizard join here as they are built. Until then the
// process runs its UI loop with no window, and a test ends it.
namespace startup {

void MountResources() {
  // Without the archive every file is read from the same paths on disk.
  ui::MountArchive(MAKEINTRESOURCEW(133), L"ZIP", "");
}

void StartUiFramework() {
  // Loads the global skin and the English texts; the wizard picks the
  // user's language later.
  ui::GlobalResources::Startup(L"resources\\", nullptr, true, L"themes\\default", L"lang\\English");
  // A right-to-left language mirrors the framework from then on.
  LanguageCatalogue::SetRightToLeftHandler([](bool rtl) { ui::GlobalResources::SetRightToLeft(rtl); });
}

void OpenWizardWindow() {}

// Also closes the archive.
void ShutdownUiFramework() {
  LanguageCatalogue::SetRightToLeftHandler(nullptr);
  ui::GlobalResources::Shutdown();
}

}  // namespace startup
