// Helpers for the render context tests: a GDI+ session per test, pixel
// reads from the off-screen bitmap and source bitmaps filled in code.
// Test code only; UI thread.
#ifndef UI_RENDER_RENDER_TEST_SUPPORT_H_
#define UI_RENDER_RENDER_TEST_SUPPORT_H_

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "gtest/gtest.h"
#include "ui/render/gdi_bitmap.h"
#include "ui/render/gdi_objects.h"
#include "ui/render/render_gdiplus.h"
#include "ui/utils/dpi_scaler.h"
#include "ui/utils/gdiplus_session.h"

namespace ui {
namespace testing {

// Pixel as 0xAARRGGBB (the bytes are blue, green, red, alpha).
inline uint32_t Pixel(IRenderContext* context, int x, int y) {
  const BYTE* p = context->GetBits() + (static_cast<size_t>(y) * context->GetWidth() + x) * 4;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void SetPixel(IRenderContext* context, int x, int y, uint32_t argb) {
  BYTE* p = context->GetBits() + (static_cast<size_t>(y) * context->GetWidth() + x) * 4;
  p[0] = argb & 0xFF;
  p[1] = (argb >> 8) & 0xFF;
  p[2] = (argb >> 16) & 0xFF;
  p[3] = argb >> 24;
}

inline uint32_t Rgb(uint32_t argb) { return argb & 0x00FFFFFF; }

// A free-standing top-down DIB (not selected into any DC), for DrawImage.
class SourceBitmap {
 public:
  // |color_at| gives the 0xAARRGGBB value of pixel (x, y).
  SourceBitmap(int width, int height, const std::function<uint32_t(int, int)>& color_at) {
    ScopedScreenDc screen;
    bitmap_.Init(screen.Get(), width, height, true);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const uint32_t c = color_at(x, y);
        BYTE* p = bitmap_.PixelAt(x, y);
        p[0] = c & 0xFF;
        p[1] = (c >> 8) & 0xFF;
        p[2] = (c >> 16) & 0xFF;
        p[3] = c >> 24;
      }
    }
  }
  HBITMAP Get() const { return bitmap_.GetBitmap(); }

 private:
  GdiBitmap bitmap_;
};

// Each test gets GDI+ and a 100 % scaler, and an opaque white surface.
class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gdiplus_.started());
    DpiScaler::GetInstance().SetAdaptingForTesting(false, 96);
    context_ = factory_.CreateRenderContext();
    ASSERT_TRUE(context_->Resize(kWidth, kHeight));
    FillWhite();
  }
  void TearDown() override { DpiScaler::GetInstance().SetAdaptingForTesting(false, 96); }

  void FillWhite() { context_->ZeroAlpha(RECT{0, 0, kWidth, kHeight}, 0xFF); }
  uint32_t At(int x, int y) { return Pixel(context_.get(), x, y); }

  static constexpr int kWidth = 80;
  static constexpr int kHeight = 60;
  GdiplusSession gdiplus_;
  RenderFactory_GdiPlus factory_;
  std::unique_ptr<IRenderContext> context_;
};

}  // namespace testing
}  // namespace ui

#endif  // UI_RENDER_RENDER_TEST_SUPPORT_H_
