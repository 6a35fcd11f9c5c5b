// The demo's stand-in for the user's browser: registered as the prefix's
// handler of http and https addresses, it records the address it was asked
// to open ("browser" lines of the record file, see demo_record.h) and opens
// nothing. A window-less GUI program, so no console shows.
#include <windows.h>

#include "tools/demo/demo_record.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return demo::AppendRecord(demo::RecordPath(fixture::OwnFolder()), "browser", "") ? 0 : 1;
}
