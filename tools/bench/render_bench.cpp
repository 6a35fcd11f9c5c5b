// Paints a 640 x 360 wizard-like scene into a render context many times and
// reports the median time per frame; writes the last frame as a PNG so the
// result can be looked at. Usage: render_bench [frames] [png path]
#include <windows.h>

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/util/string_util.h"
#include "ui/core/global_resources.h"
#include "ui/render/gdi_bitmap.h"
#include "ui/render/gdi_objects.h"
#include "ui/render/render_gdiplus.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/utils/gdiplus_session.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;

// A free-standing 32-bit DIB filled by |color_at| (premultiplied ARGB).
template <typename F>
std::unique_ptr<ui::GdiBitmap> MakeBitmap(int width, int height, F color_at) {
  auto bitmap = std::make_unique<ui::GdiBitmap>();
  ui::ScopedScreenDc screen;
  if (!bitmap->Init(screen.Get(), width, height, true)) return nullptr;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const DWORD c = color_at(x, y);
      BYTE* p = bitmap->PixelAt(x, y);
      p[0] = c & 0xFF;
      p[1] = (c >> 8) & 0xFF;
      p[2] = (c >> 16) & 0xFF;
      p[3] = c >> 24;
    }
  }
  return bitmap;
}

DWORD Premultiply(DWORD argb) {
  const DWORD a = argb >> 24;
  auto mul = [a](DWORD v) { return v * a / 255; };
  return (a << 24) | (mul((argb >> 16) & 0xFF) << 16) | (mul((argb >> 8) & 0xFF) << 8) |
         mul(argb & 0xFF);
}

struct Scene {
  std::unique_ptr<ui::GdiBitmap> background;  // 640 x 360 gradient, opaque
  std::unique_ptr<ui::GdiBitmap> frame;       // 24 x 24 rounded panel, alpha
  std::unique_ptr<ui::GdiBitmap> stripe;      // 8 x 8 tile
  std::unique_ptr<ui::GdiBitmap> icon;        // 32 x 32 state image, alpha
};

Scene MakeScene() {
  Scene s;
  s.background = MakeBitmap(kWidth, kHeight, [](int x, int y) -> DWORD {
    const DWORD r = 30 + x * 40 / kWidth, g = 60 + y * 80 / kHeight, b = 140 + x * 80 / kWidth;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
  });
  s.frame = MakeBitmap(24, 24, [](int x, int y) -> DWORD {
    // A 2-pixel light border with rounded corners around a translucent body.
    const double cx = std::min(std::max(x + 0.5, 8.0), 16.0), cy = std::min(std::max(y + 0.5, 8.0), 16.0);
    const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
    if (d > 8.0) return 0u;
    if (d > 6.0 || x < 2 || y < 2 || x > 21 || y > 21) return Premultiply(0xFFE8F0FF);
    return Premultiply(0xC0203048);
  });
  s.stripe = MakeBitmap(8, 8, [](int x, int y) -> DWORD {
    return ((x + y) % 8 < 4) ? 0xFF2D6CDFu : 0xFF3A7AEEu;
  });
  s.icon = MakeBitmap(32, 32, [](int x, int y) -> DWORD {
    const double d = std::hypot(x - 15.5, y - 15.5);
    if (d > 15.0) return 0u;
    if (d > 12.0) return Premultiply(0xFFFFFFFF);
    return Premultiply(0xFFF08030);
  });
  return s;
}

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Background, frames, progress bar, state images and shapes.
void PaintImages(ui::IRenderContext* rc, const Scene& s, int frame_index) {
  const RECT all{0, 0, kWidth, kHeight};
  rc->Clear();
  rc->DrawImage(all, s.background->GetBitmap(), false, all, RECT{0, 0, kWidth, kHeight}, RECT{});
  // Caption bar and panels: nine-slice frames.
  rc->FillColor(RECT{0, 0, kWidth, 36}, 0xFF1B2A44u);
  rc->DrawImage(all, s.frame->GetBitmap(), true, RECT{20, 56, 620, 200}, RECT{0, 0, 24, 24},
                RECT{8, 8, 8, 8});
  rc->DrawImage(all, s.frame->GetBitmap(), true, RECT{20, 214, 300, 340}, RECT{0, 0, 24, 24},
                RECT{8, 8, 8, 8});
  rc->DrawImage(all, s.frame->GetBitmap(), true, RECT{320, 214, 620, 340}, RECT{0, 0, 24, 24},
                RECT{8, 8, 8, 8}, 200);
  // Progress bar: a tiled stripe inside a rounded outline.
  const int progress = 40 + (frame_index % 60) * 4;
  rc->DrawImage(all, s.stripe->GetBitmap(), false, RECT{40, 160, 40 + progress, 176},
                RECT{0, 0, 8, 8}, RECT{}, 255, true, false);
  rc->DrawRoundRect(RECT{39, 159, 601, 176}, SIZE{8, 8}, 1, 0xFFE8F0FFu);
  // A dozen state images (buttons), every other one faded as if hovered.
  for (int i = 0; i < 12; ++i) {
    const int x = 222 + i * 34;
    rc->DrawImage(all, s.icon->GetBitmap(), true, RECT{x, 4, x + 32, 36}, RECT{0, 0, 32, 32},
                  RECT{}, i % 2 ? 160 : 255);
  }
  rc->DrawEllipse(RECT{570, 182, 598, 210}, 2, 0xFFFFC040u);
  rc->FillEllipse(RECT{576, 188, 592, 204}, 0xC0FF6020u);
}

// Ten text runs.
void PaintText(ui::IRenderContext* rc) {
  const wchar_t* texts[] = {L"Install VARNO",
                            L"Install Now",
                            L"I have read and agree to the Licence Agreement and Terms of Service",
                            L"Installation folder: C:\\Program Files\\VARNO",
                            L"Set as Default PDF Viewer",
                            L"Language: English",
                            L"Downloading 42%",
                            L"Hide",
                            L"Installation Completed!",
                            L"\x5F00\x59CB Start Now"};
  const wchar_t* fonts[] = {L"bench_title", L"bench_button", L"bench_small", L"bench_small",
                            L"bench_normal", L"bench_normal", L"bench_normal", L"bench_button",
                            L"bench_title", L"bench_cjk"};
  const RECT boxes[] = {{12, 8, 400, 32},   {40, 70, 600, 110},   {40, 112, 600, 150},
                        {40, 228, 290, 260}, {40, 266, 290, 296}, {40, 300, 290, 330},
                        {340, 228, 600, 260}, {340, 266, 600, 296}, {340, 300, 600, 330},
                        {40, 178, 560, 198}};
  const UINT styles[] = {DT_SINGLELINE | DT_VCENTER,
                         DT_SINGLELINE | DT_CENTER | DT_VCENTER,
                         DT_CENTER,
                         DT_SINGLELINE | DT_END_ELLIPSIS | DT_VCENTER,
                         DT_SINGLELINE | DT_VCENTER,
                         DT_SINGLELINE | DT_VCENTER,
                         DT_SINGLELINE | DT_RIGHT | DT_VCENTER,
                         DT_SINGLELINE | DT_CENTER | DT_VCENTER,
                         DT_SINGLELINE | DT_CENTER | DT_VCENTER,
                         DT_SINGLELINE | DT_VCENTER};
  for (int i = 0; i < 10; ++i)
    rc->DrawText(boxes[i], texts[i], i == 2 ? 0xFFB8C8E8u : 0xFFFFFFFFu, fonts[i], styles[i]);
}

void Paint(ui::IRenderContext* rc, const Scene& s, int frame_index) {
  PaintImages(rc, s, frame_index);
  PaintText(rc);
}

template <typename F>
double MedianMs(int frames, F paint) {
  std::vector<double> times;
  times.reserve(frames);
  for (int i = 0; i < frames; ++i) {
    const double t0 = Now();
    paint(i);
    ::GdiFlush();
    times.push_back(Now() - t0);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

bool EncoderClsid(const wchar_t* mime, CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<BYTE> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (wcscmp(codecs[i].MimeType, mime) == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

bool SavePng(ui::IRenderContext* rc, const std::wstring& path) {
  CLSID png;
  if (!EncoderClsid(L"image/png", &png)) return false;
  // The scene is an opaque window, presented by a plain copy that ignores
  // alpha (stretched pieces leave alpha 0 behind), so alpha is dropped.
  Gdiplus::Bitmap bitmap(rc->GetWidth(), rc->GetHeight(), rc->GetWidth() * 4,
                         PixelFormat32bppRGB, rc->GetBits());
  return bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}


}  // namespace

int main(int argc, char** argv) {
  const double start = Now();
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
  const std::wstring png = argc > 2 ? base::Utf8ToWide(argv[2]) : L"render_scene.png";

  ui::GdiplusSession gdiplus;
  if (!gdiplus.started()) return 1;
  ui::DpiScaler::GetInstance().SetAdaptingForTesting(false, 96);
  ui::GlobalResources::AddFont(L"bench_title", L"Tahoma", 18, true, false, false, false);
  ui::GlobalResources::AddFont(L"bench_button", L"Tahoma", 16, true, false, false, false);
  ui::GlobalResources::AddFont(L"bench_normal", L"Tahoma", 14, false, false, false, true);
  ui::GlobalResources::AddFont(L"bench_small", L"Tahoma", 12, false, true, false, false);
  ui::GlobalResources::AddFont(L"bench_cjk", L"Noto Sans CJK SC", 14, false, false, false, false);

  ui::RenderFactory_GdiPlus factory;
  std::unique_ptr<ui::IRenderContext> rc = factory.CreateRenderContext();
  if (!rc->Resize(kWidth, kHeight)) return 1;
  const Scene scene = MakeScene();
  if (!scene.background || !scene.frame || !scene.stripe || !scene.icon) return 1;

  std::vector<double> times;
  times.reserve(frames);
  for (int i = 0; i < frames; ++i) {
    const double t0 = Now();
    Paint(rc.get(), scene, i);
    ::GdiFlush();
    times.push_back(Now() - t0);
  }
  std::vector<double> sorted = times;
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted[sorted.size() / 2];
  const double p90 = sorted[std::min(sorted.size() - 1, sorted.size() * 9 / 10)];
  const double images = MedianMs(frames, [&](int i) { PaintImages(rc.get(), scene, i); });
  const double text = MedianMs(frames, [&](int) { PaintText(rc.get()); });
  Paint(rc.get(), scene, frames - 1);
  const bool saved = SavePng(rc.get(), png);
  std::printf("render_bench: %d frames of %dx%d: median %.3f ms, p90 %.3f ms, min %.3f ms, "
              "max %.3f ms\n",
              frames, kWidth, kHeight, median, p90, sorted.front(), sorted.back());
  std::printf("render_bench: parts: images and shapes median %.3f ms, ten text runs median "
              "%.3f ms\n", images, text);
  std::printf("render_bench: in-process total %.1f ms; scene %ls %s\n", Now() - start,
              png.c_str(), saved ? "written" : "NOT written");
  return saved ? 0 : 1;
}
