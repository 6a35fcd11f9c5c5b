// Fatal assertions for the base library's invariants. They catch programming
// errors, never bad input, so they stay on in release builds: a broken
// invariant in the task machinery would otherwise corrupt state silently.
#ifndef BASE_CHECK_H_
#define BASE_CHECK_H_

namespace base {
namespace internal {
// Reports "<expression> (<file>:<line>)" to the debugger output and stderr,
// then ends the process.
[[noreturn]] void CheckFailed(const char* expression, const char* file, int line);
}  // namespace internal
}  // namespace base

#define BASE_CHECK(expr) \
  ((expr) ? (void)0 : ::base::internal::CheckFailed(#expr, __FILE__, __LINE__))

#endif  // BASE_CHECK_H_
