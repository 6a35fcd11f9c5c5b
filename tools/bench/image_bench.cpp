// Decodes every image of the resource archive once per round, as windows do
// on first paint (archive member into a global block, GDI+ decode, frames
// into 32-bit DIBs). Mounts the executable's own archive, or the ZIP file
// given as the first argument. Prints the image count, pixels, the first
// (cold) round, and the median and minimum over the rounds (15, or
// VARNO_IMAGE_ROUNDS). The script around it times the whole process of one
// round.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/util/file_util.h"
#include "base/util/string_util.h"
#include "ui/core/resource_archive.h"
#include "ui/core/resource_archive_win.h"
#include "ui/image/image_info.h"
#include "ui/utils/gdiplus_session.h"

namespace {

double NowMs() {
  LARGE_INTEGER f, t;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

bool IsImageName(const std::string& name) {
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  for (const char* ext : {".png", ".jpg", ".jpeg", ".gif", ".bmp"}) {
    size_t n = std::char_traits<char>::length(ext);
    if (lower.size() > n && lower.compare(lower.size() - n, n, ext) == 0) return true;
  }
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const double start = NowMs();
  std::string zip;
  if (argc > 1) {
    if (!base::ReadFileBytes(argv[1], &zip, 64u << 20) || !ui::MountArchiveMemory(zip.data(), zip.size(), "")) {
      std::fprintf(stderr, "image_bench: cannot mount %ls\n", argv[1]);
      return 1;
    }
  } else if (!ui::MountArchive(MAKEINTRESOURCEW(ui::kArchiveResourceId), ui::kArchiveResourceType, "")) {
    std::fprintf(stderr, "image_bench: no archive resource\n");
    return 1;
  }
  ui::GdiplusSession gdiplus;
  if (!gdiplus.started()) return 1;

  const ui::ZipReader& reader = ui::MountedArchive()->reader();
  std::vector<std::wstring> images;
  for (int i = 0; i < reader.EntryCount(); ++i) {
    std::string name = reader.StoredName(i);
    if (IsImageName(name)) images.push_back(base::Utf8ToWide(name));
  }
  const char* rounds_text = std::getenv("VARNO_IMAGE_ROUNDS");
  const int rounds = rounds_text && std::atoi(rounds_text) > 0 ? std::atoi(rounds_text) : 15;
  std::vector<double> times;
  long long pixels = 0;
  int frames = 0;
  for (int round = 0; round < rounds; ++round) {
    const double t0 = NowMs();
    for (const std::wstring& name : images) {
      ui::ScopedGlobalMemory block = ui::ReadArchiveMember(name);
      std::unique_ptr<ui::ImageInfo> info = ui::ImageInfo::DecodeFromMemory(block.Release());
      if (!info) {
        std::fprintf(stderr, "image_bench: cannot decode %ls\n", name.c_str());
        return 1;
      }
      if (round == 0) {
        pixels += static_cast<long long>(info->width()) * info->height() * info->FrameCount();
        frames += info->FrameCount();
      }
    }
    times.push_back(NowMs() - t0);
  }
  const double cold = times.front();
  std::sort(times.begin(), times.end());
  std::printf("images %zu, frames %d, pixels %lld; decode all: first round %.3f ms, median %.3f ms, min %.3f ms"
              " over %d rounds; process work %.1f ms\n",
              images.size(), frames, pixels, cold, times[times.size() / 2], times.front(), rounds,
              NowMs() - start);
  ui::UnmountArchive();
  return 0;
}
