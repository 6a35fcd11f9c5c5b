#include "base/win32/windows_version.h"

#include <windows.h>

namespace base {
namespace win32 {

bool IsVistaOrNewer() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  // GetVersionExW is deprecated but answers truthfully for the major
  // version, which is all this asks.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ::GetVersionExW(&info);
#pragma GCC diagnostic pop
  return info.dwMajorVersion > 5;
}

}  // namespace win32
}  // namespace base
