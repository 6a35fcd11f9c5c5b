#include "installer/main/startup_hooks.h"

#include <windows.h>

#include "ui/core/resource_archive.h"
#include "ui/core/resource_archive_win.h"

// The UI framework and the wizard join here as they are built. Until then the
// process runs its UI loop with no window, and a test ends it.
namespace startup {

void MountResources() {
  // Without the archive every file is read from the same paths on disk.
  ui::MountArchive(MAKEINTRESOURCEW(133), L"ZIP", "");
}

void StartUiFramework() {}

void OpenWizardWindow() {}

void ShutdownUiFramework() { ui::UnmountArchive(); }

}  // namespace startup
