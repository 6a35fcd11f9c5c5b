// GdiBitmap owns the 32-bit DIB section a render context paints into: the
// handle, its pixel pointer and size. Pixels are 4 bytes (blue, green, red,
// alpha). Owned by one render context; UI thread only.
#ifndef UI_RENDER_GDI_BITMAP_H_
#define UI_RENDER_GDI_BITMAP_H_

#include <windows.h>

namespace ui {

class GdiBitmap {
 public:
  GdiBitmap() = default;
  ~GdiBitmap();
  GdiBitmap(const GdiBitmap&) = delete;
  GdiBitmap& operator=(const GdiBitmap&) = delete;

  // Replaces the bitmap by a new one of that size (contents zero); false and
  // no bitmap when the size is not positive or the system refuses.
  bool Init(HDC dc, int width, int height, bool top_down = true);
  void Clear();              // all bytes to 0
  HBITMAP DetachBitmap();    // caller owns the handle; this forgets it
  void Reset();              // deletes the bitmap

  HBITMAP GetBitmap() const { return bitmap_; }
  BYTE* GetBits() const { return bits_; }
  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  bool IsTopDown() const { return top_down_; }
  // Pointer to pixel (x, y) counted from the top, or null when outside.
  BYTE* PixelAt(int x, int y) const;

  // Writes |value| into all four bytes of every pixel of |rect| (clamped).
  void ZeroAlpha(const RECT& rect, BYTE value);
  // Alpha := 0 for pixels equal to |key| (when key != 0), else 255, outside
  // the four corner blocks given by |insets|.
  void RepairAlpha(const RECT& rect, const RECT& insets, BYTE key);

 private:
  // |rect| cut to the bitmap; false when nothing is left.
  bool ClampRect(const RECT& rect, RECT* out) const;

  HBITMAP bitmap_ = nullptr;
  BYTE* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  bool top_down_ = true;
};

}  // namespace ui

#endif  // UI_RENDER_GDI_BITMAP_H_
