// The steps of the UI thread's start-up and shut-down that belong to other
// subsystems: the resource archive, the UI framework and the wizard window.
// Each is one call, made on the UI thread by MainThread.
#ifndef INSTALLER_MAIN_STARTUP_HOOKS_H_
#define INSTALLER_MAIN_STARTUP_HOOKS_H_

namespace startup {

void MountResources();
void StartUiFramework();
void OpenWizardWindow();
void ShutdownUiFramework();

}  // namespace startup

#endif  // INSTALLER_MAIN_STARTUP_HOOKS_H_
