// The version test the framework and the system services share, made on each
// call (it is cheap; callers that need it often keep the answer).
#ifndef BASE_WIN32_WINDOWS_VERSION_H_
#define BASE_WIN32_WINDOWS_VERSION_H_

namespace base {
namespace win32 {

// Windows Vista (6.0) or later.
bool IsVistaOrNewer();

}  // namespace win32
}  // namespace base

#endif  // BASE_WIN32_WINDOWS_VERSION_H_
