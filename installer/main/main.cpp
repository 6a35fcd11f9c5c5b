#include <windows.h>

#include <cstdlib>
#include <exception>

#include "installer/main/entry.h"

// The command line is never read: everything comes from the resources.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return RunSetupProcess(); }

// The runtime's default handler for an exception nobody catches, replaced by
// one that ends the process the same way without printing the exception's
// name: a windowed program has nowhere to print it, and the name demangler
// the printing needs is some 50 KB of a program that must stay under 1 MB.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
