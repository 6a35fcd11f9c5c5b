#include "installer/main/startup_hooks.h"

// The archive, the UI framework and the wizard join here as they are built.
// Until then each step does nothing: the process runs its UI loop with no
// window, and a test ends it.
namespace startup {

void MountResources() {}

void StartUiFramework() {}

void OpenWizardWindow() {}

void ShutdownUiFramework() {}

}  // namespace startup
