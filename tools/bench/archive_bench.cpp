// Mounts the executable's own resource archive and reads every member once
// through ReadArchiveMember, as the installer's start-up does; prints the
// member count, the bytes read and the time inside the process. The script
// around it times the whole process.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/util/string_util.h"
#include "ui/core/resource_archive.h"
#include "ui/core/resource_archive_win.h"

int main() {
  LARGE_INTEGER f, start, end;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&start);
  if (!ui::MountArchive(MAKEINTRESOURCEW(133), L"ZIP", "")) {
    std::fprintf(stderr, "archive_bench: no archive resource\n");
    return 1;
  }
  const ui::ZipReader& reader = ui::MountedArchive()->reader();
  int members = 0;
  size_t bytes = 0;
  for (int i = 0; i < reader.EntryCount(); ++i) {
    std::string name = reader.StoredName(i);
    if (name.empty() || name.back() == '/') continue;
    size_t size = 0;
    ui::ScopedGlobalMemory block = ui::ReadArchiveMember(base::Utf8ToWide(name), &size);
    if (!block.Valid()) {
      std::fprintf(stderr, "archive_bench: cannot read %s\n", name.c_str());
      return 1;
    }
    ++members;
    bytes += size;
  }
  ::QueryPerformanceCounter(&end);
  std::printf("members %d, bytes %zu, mount and read %.3f ms\n", members, bytes,
              1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(f.QuadPart));
  return 0;
}
