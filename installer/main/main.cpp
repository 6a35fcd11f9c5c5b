#include <windows.h>

#include "installer/main/entry.h"

// The command line is never read: everything comes from the resources.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return RunSetupProcess(); }
