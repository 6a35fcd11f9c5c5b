// Faults on purpose, so that the test command can show it catches them:
// "crash" writes through a bad pointer, "double-free" frees a heap block
// twice, which goes unnoticed unless Wine's heap checking is on.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

__attribute__((noinline)) void WriteThrough(volatile int* target) { *target = 1; }

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "crash") == 0) {
    std::printf("fault fixture: writing through a bad pointer\n");
    std::fflush(stdout);
    WriteThrough(reinterpret_cast<volatile int*>(static_cast<ULONG_PTR>(0x7004)));
  } else if (std::strcmp(mode, "double-free") == 0) {
    HANDLE heap = ::GetProcessHeap();
    void* block = ::HeapAlloc(heap, 0, 64);
    ::HeapFree(heap, 0, block);
    ::HeapFree(heap, 0, block);
  } else {
    std::printf("usage: fault_fixture crash|double-free\n");
    return 2;
  }
  std::printf("fault fixture: still running\n");
  return 0;
}
