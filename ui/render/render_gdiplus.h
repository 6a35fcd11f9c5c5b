// The GDI/GDI+ implementation of the drawing interfaces. Bitmaps, blits and
// clipping use GDI on one memory DC; anti-aliased shapes and all text make a
// GDI+ Graphics on that DC for the single call. GDI+ must be started by the
// owner of the process (GlobalResources::Startup). UI thread only.
#ifndef UI_RENDER_RENDER_GDIPLUS_H_
#define UI_RENDER_RENDER_GDIPLUS_H_

#include <windows.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/render/gdi_bitmap.h"
#include "ui/render/gdi_clip.h"
#include "ui/render/gdi_objects.h"
#include "ui/render/render_interface.h"

namespace Gdiplus {
class Pen;
class SolidBrush;
class GraphicsPath;
class Matrix;
}  // namespace Gdiplus

namespace ui {

class Pen_GdiPlus : public IPen {
 public:
  Pen_GdiPlus(DWORD argb, int width = 1);
  Pen_GdiPlus(const Pen_GdiPlus& other);
  ~Pen_GdiPlus() override;
  Pen_GdiPlus& operator=(const Pen_GdiPlus&) = delete;

  std::unique_ptr<IPen> Clone() const override;
  void SetWidth(int width) override;
  int GetWidth() const override;
  void SetColor(DWORD argb) override;
  DWORD GetColor() const override;
  void SetStartCap(LineCap cap) override;
  LineCap GetStartCap() const override;
  void SetEndCap(LineCap cap) override;
  LineCap GetEndCap() const override;
  void SetDashCap(DashCap cap) override;
  DashCap GetDashCap() const override;
  void SetLineJoin(LineJoin join) override;
  LineJoin GetLineJoin() const override;
  void SetDashStyle(DashStyle style) override;
  DashStyle GetDashStyle() const override;

  Gdiplus::Pen* GetPen() const { return pen_.get(); }

 private:
  std::unique_ptr<Gdiplus::Pen> pen_;
};

class Brush_Gdiplus : public IBrush {
 public:
  explicit Brush_Gdiplus(DWORD argb);
  Brush_Gdiplus(const Brush_Gdiplus& other);
  ~Brush_Gdiplus() override;
  Brush_Gdiplus& operator=(const Brush_Gdiplus&) = delete;

  std::unique_ptr<IBrush> Clone() const override;
  DWORD GetColor() const override;

  Gdiplus::SolidBrush* GetBrush() const { return brush_.get(); }

 private:
  std::unique_ptr<Gdiplus::SolidBrush> brush_;
};

class Matrix_Gdiplus : public IMatrix {
 public:
  Matrix_Gdiplus();
  Matrix_Gdiplus(const Matrix_Gdiplus& other);
  ~Matrix_Gdiplus() override;
  Matrix_Gdiplus& operator=(const Matrix_Gdiplus&) = delete;

  std::unique_ptr<IMatrix> Clone() const override;
  void Translate(int offset_x, int offset_y) override;
  void Scale(int scale_x, int scale_y) override;
  void Rotate(float angle) override;
  void RotateAt(float angle, POINT center) override;

  Gdiplus::Matrix* GetMatrix() const { return matrix_.get(); }

 private:
  std::unique_ptr<Gdiplus::Matrix> matrix_;
};

class Path_Gdiplus : public IPath {
 public:
  Path_Gdiplus();
  Path_Gdiplus(const Path_Gdiplus& other);
  ~Path_Gdiplus() override;
  Path_Gdiplus& operator=(const Path_Gdiplus&) = delete;

  std::unique_ptr<IPath> Clone() const override;
  void Reset() override;
  void SetFillMode(FillMode mode) override;
  FillMode GetFillMode() const override;
  void StartFigure() override;
  void CloseFigure() override;
  void AddLine(int x1, int y1, int x2, int y2) override;
  void AddLines(const POINT* points, int count) override;
  void AddBezier(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
  void AddCurve(const POINT* points, int count) override;
  void AddRect(int left, int top, int right, int bottom) override;
  void AddRect(const RECT& rect) override;
  void AddEllipse(int left, int top, int right, int bottom) override;
  void AddEllipse(const RECT& rect) override;
  void AddArc(int x, int y, int width, int height, float start_angle,
              float sweep_angle) override;
  void AddPie(int x, int y, int width, int height, float start_angle,
              float sweep_angle) override;
  void AddPolygon(const POINT* points, int count) override;
  void Transform(const IMatrix* matrix) override;
  RECT GetBounds(const IPen* pen = nullptr) const override;
  bool IsContainsPoint(int x, int y) const override;
  bool IsStrokeContainsPoint(int x, int y, const IPen* pen) const override;

  Gdiplus::GraphicsPath* GetPath() const { return path_.get(); }

 private:
  std::unique_ptr<Gdiplus::GraphicsPath> path_;
};

class RenderContext_GdiPlus : public IRenderContext {
 public:
  RenderContext_GdiPlus();
  ~RenderContext_GdiPlus() override;
  RenderContext_GdiPlus(const RenderContext_GdiPlus&) = delete;
  RenderContext_GdiPlus& operator=(const RenderContext_GdiPlus&) = delete;

  HDC GetDC() override;
  bool Resize(int width, int height, bool top_down = true) override;
  void Clear() override;
  std::unique_ptr<IRenderContext> Clone() override;
  HBITMAP TakeBitmap() override;
  BYTE* GetBits() override;
  int GetWidth() const override;
  int GetHeight() const override;
  void ZeroAlpha(const RECT& rect, BYTE value = 0) override;
  void RepairAlpha(const RECT& rect, const RECT& insets, BYTE key_alpha = 0) override;
  bool IsTransparentTarget() const override;
  bool SetTransparentTarget(bool transparent) override;
  int SaveDC() override;
  void RestoreDC() override;
  POINT OffsetWindowOrg(POINT delta) override;
  POINT SetWindowOrg(POINT origin) override;
  POINT GetWindowOrg() const override;
  void SetClip(const RECT& rect) override;
  void SetRoundedClip(const RECT& rect, int width, int height) override;
  void ClearClip() override;
  bool BitBlt(int x, int y, int cx, int cy, HDC src_dc, int src_x = 0, int src_y = 0,
              DWORD rop = SRCCOPY) override;
  bool AlphaBlend(int x, int y, int cx, int cy, HDC src_dc, int src_x, int src_y, int src_cx,
                  int src_cy, BYTE alpha = 255) override;
  void DrawImage(const RECT& paint_rect, HBITMAP bitmap, bool has_alpha, const RECT& dest,
                 const RECT& source, const RECT& corners, BYTE alpha = 255, bool tile_x = false,
                 bool tile_y = false) override;
  void FillColor(const RECT& rect, const std::wstring& color_name, BYTE alpha = 255) override;
  void FillColor(const RECT& rect, DWORD argb, BYTE alpha = 255) override;
  void DrawLine(const IPen* pen, int x1, int y1, int x2, int y2) override;
  void DrawLine(const RECT& rect, int width, DWORD argb) override;
  void DrawBezier(const IPen* pen, POINT p1, POINT p2, POINT p3, POINT p4) override;
  void DrawRect(const RECT& rect, int width, DWORD argb) override;
  void DrawRoundRect(const RECT& rect, SIZE corner, int width, DWORD argb) override;
  void DrawText(const RECT& rect, const std::wstring& text, DWORD argb,
                const std::wstring& font_id, UINT style, BYTE alpha = 255,
                bool line_limit = false) override;
  void DrawEllipse(const RECT& rect, int width, DWORD argb) override;
  void FillEllipse(const RECT& rect, DWORD argb) override;
  RECT MeasureText(const std::wstring& text, const std::wstring& font_id, UINT style,
                   int width = -1) override;
  void DrawPath(const IPath* path, const IPen* pen) override;
  void FillPath(const IPath* path, const IBrush* brush) override;

 private:
  // Draws one nine-slice piece: blended or half-tone stretched (see .cpp).
  // The part of |source| outside the bitmap's |bitmap_size| is cut away,
  // with the matching part of |dest|.
  void DrawPiece(HDC src_dc, SIZE bitmap_size, const RECT& dest, const RECT& source, bool blend,
                 BYTE alpha);
  // Repeats |source| over |dest| at source size along the tiled axes.
  void TilePiece(HDC src_dc, SIZE bitmap_size, const RECT& paint_rect, const RECT& dest,
                 const RECT& source, bool tile_x, bool tile_y, bool blend_always, BYTE alpha);

  ScopedMemoryDc dc_;
  HBITMAP old_bitmap_ = nullptr;  // selected into dc_ before ours
  bool render_transparent_ = false;
  GdiClip clip_;
  GdiBitmap bitmap_;
  // One level per SaveDC not yet restored: a container and the children it
  // paints each save and restore their own.
  SavedLevels saved_dc_;
};

class RenderFactory_GdiPlus : public IRenderFactory {
 public:
  RenderFactory_GdiPlus() = default;
  std::unique_ptr<IPen> CreatePen(DWORD argb, int width = 1) override;
  std::unique_ptr<IBrush> CreateBrush(DWORD argb) override;
  std::unique_ptr<IPath> CreatePath() override;
  std::unique_ptr<IMatrix> CreateMatrix() override;
  std::unique_ptr<IRenderContext> CreateRenderContext() override;
};

// Makes the GDI+ fonts of |font_ids| on a thread of its own while the
// caller goes on building its window, so that the first paint finds them in
// the font cache: under Wine the first GDI+ font of a face with font links
// takes 100 to 170 ms. Made and destroyed on the UI thread, while GDI+ is up
// (between GlobalResources::Startup and Shutdown); the destructor waits for
// the thread. The fonts themselves are shared through the cache's lock.
class FontWarmUp {
 public:
  explicit FontWarmUp(const std::vector<std::wstring>& font_ids);
  ~FontWarmUp();
  FontWarmUp(const FontWarmUp&) = delete;
  FontWarmUp& operator=(const FontWarmUp&) = delete;

 private:
  std::thread thread_;
};

}  // namespace ui

#endif  // UI_RENDER_RENDER_GDIPLUS_H_
