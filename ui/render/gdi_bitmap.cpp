#include "ui/render/gdi_bitmap.h"

#include <algorithm>
#include <cstring>

#include "base/log/log.h"

namespace ui {

GdiBitmap::~GdiBitmap() { Reset(); }

bool GdiBitmap::Init(HDC dc, int width, int height, bool top_down) {
  Reset();
  // The byte size must fit a DWORD and an int offset.
  if (width <= 0 || height <= 0 || width > 0x7FFF || height > 0x7FFF) {
    QLOG_ERR(L"bitmap size refused:{0}x{1}") << width << height;
    return false;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = top_down ? -height : height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) ::DeleteObject(bitmap);
    QLOG_ERR(L"CreateDIBSection failed:{0}x{1} error:{2}") << width << height
                                                          << ::GetLastError();
    return false;
  }
  bitmap_ = bitmap;
  bits_ = static_cast<BYTE*>(bits);
  width_ = width;
  height_ = height;
  top_down_ = top_down;
  return true;
}

void GdiBitmap::Clear() {
  if (!bits_) return;
  ::GdiFlush();
  std::memset(bits_, 0, static_cast<size_t>(width_) * height_ * 4);
}

HBITMAP GdiBitmap::DetachBitmap() {
  HBITMAP bitmap = bitmap_;
  bitmap_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
  return bitmap;
}

void GdiBitmap::Reset() {
  if (bitmap_) ::DeleteObject(bitmap_);
  DetachBitmap();
}

BYTE* GdiBitmap::PixelAt(int x, int y) const {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
  const int row = top_down_ ? y : height_ - 1 - y;
  return bits_ + (static_cast<size_t>(row) * width_ + x) * 4;
}

bool GdiBitmap::ClampRect(const RECT& rect, RECT* out) const {
  out->left = std::max<LONG>(rect.left, 0);
  out->top = std::max<LONG>(rect.top, 0);
  out->right = std::min<LONG>(rect.right, width_);
  out->bottom = std::min<LONG>(rect.bottom, height_);
  return bits_ && out->left < out->right && out->top < out->bottom;
}

void GdiBitmap::ZeroAlpha(const RECT& rect, BYTE value) {
  RECT r;
  if (!ClampRect(rect, &r)) return;
  ::GdiFlush();
  const size_t bytes = static_cast<size_t>(r.right - r.left) * 4;
  for (int y = r.top; y < r.bottom; ++y) std::memset(PixelAt(r.left, y), value, bytes);
}

void GdiBitmap::RepairAlpha(const RECT& rect, const RECT& insets, BYTE key) {
  RECT r;
  if (!ClampRect(rect, &r)) return;
  ::GdiFlush();
  // The bands are measured from the rect as given, so a rect hanging over
  // the bitmap edge keeps its corner blocks where they really are.
  const LONG band_left = rect.left + insets.left, band_right = rect.right - insets.right;
  const LONG band_top = rect.top + insets.top, band_bottom = rect.bottom - insets.bottom;
  for (int y = r.top; y < r.bottom; ++y) {
    const bool in_row_band = y >= band_top && y < band_bottom;
    BYTE* pixel = PixelAt(r.left, y);
    for (int x = r.left; x < r.right; ++x, pixel += 4) {
      if (!in_row_band && (x < band_left || x >= band_right)) continue;
      pixel[3] = (key != 0 && pixel[3] == key) ? 0 : 255;
    }
  }
}

}  // namespace ui
