// The drawing interfaces of the UI framework: a render context that paints
// into one off-screen 32-bit bitmap per window, and the factory that makes it
// together with pens, brushes, paths and matrices. Objects are owned by
// whoever asked the factory for them (std::unique_ptr); UI thread only.
#ifndef UI_RENDER_RENDER_INTERFACE_H_
#define UI_RENDER_RENDER_INTERFACE_H_

#include <windows.h>

#include <memory>
#include <string>

namespace ui {

class IMatrix;

// A stroke: width, ARGB colour, caps, join and dash style.
class IPen {
 public:
  // Values are those of the GDI+ enumerations of the same names.
  enum LineCap { kCapFlat = 0, kCapSquare = 1, kCapRound = 2, kCapTriangle = 3 };
  enum DashCap { kDashCapFlat = 0, kDashCapRound = 2, kDashCapTriangle = 3 };
  enum LineJoin { kJoinMiter = 0, kJoinBevel = 1, kJoinRound = 2, kJoinMiterClipped = 3 };
  enum DashStyle {
    kDashStyleSolid = 0,
    kDashStyleDash = 1,
    kDashStyleDot = 2,
    kDashStyleDashDot = 3,
    kDashStyleDashDotDot = 4,
    kDashStyleCustom = 5
  };

  virtual ~IPen() = default;
  virtual std::unique_ptr<IPen> Clone() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual int GetWidth() const = 0;
  virtual void SetColor(DWORD argb) = 0;
  virtual DWORD GetColor() const = 0;
  virtual void SetStartCap(LineCap cap) = 0;
  virtual LineCap GetStartCap() const = 0;
  virtual void SetEndCap(LineCap cap) = 0;
  virtual LineCap GetEndCap() const = 0;
  virtual void SetDashCap(DashCap cap) = 0;
  virtual DashCap GetDashCap() const = 0;
  virtual void SetLineJoin(LineJoin join) = 0;
  virtual LineJoin GetLineJoin() const = 0;
  virtual void SetDashStyle(DashStyle style) = 0;
  virtual DashStyle GetDashStyle() const = 0;
};

// A solid fill colour (ARGB).
class IBrush {
 public:
  virtual ~IBrush() = default;
  virtual std::unique_ptr<IBrush> Clone() const = 0;
  virtual DWORD GetColor() const = 0;
};

// A 2-D affine transform.
class IMatrix {
 public:
  virtual ~IMatrix() = default;
  virtual std::unique_ptr<IMatrix> Clone() const = 0;
  virtual void Translate(int offset_x, int offset_y) = 0;
  virtual void Scale(int scale_x, int scale_y) = 0;
  virtual void Rotate(float angle) = 0;
  virtual void RotateAt(float angle, POINT center) = 0;
};

// A vector path made of figures; coordinates are logical pixels.
class IPath {
 public:
  enum FillMode { kFillModeAlternate = 0, kFillModeWinding = 1 };

  virtual ~IPath() = default;
  virtual std::unique_ptr<IPath> Clone() const = 0;
  virtual void Reset() = 0;
  virtual void SetFillMode(FillMode mode) = 0;
  virtual FillMode GetFillMode() const = 0;
  virtual void StartFigure() = 0;
  virtual void CloseFigure() = 0;
  virtual void AddLine(int x1, int y1, int x2, int y2) = 0;
  virtual void AddLines(const POINT* points, int count) = 0;
  virtual void AddBezier(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) = 0;
  virtual void AddCurve(const POINT* points, int count) = 0;
  virtual void AddRect(int left, int top, int right, int bottom) = 0;
  virtual void AddRect(const RECT& rect) = 0;
  virtual void AddEllipse(int left, int top, int right, int bottom) = 0;
  virtual void AddEllipse(const RECT& rect) = 0;
  virtual void AddArc(int x, int y, int width, int height, float start_angle,
                      float sweep_angle) = 0;
  virtual void AddPie(int x, int y, int width, int height, float start_angle,
                      float sweep_angle) = 0;
  virtual void AddPolygon(const POINT* points, int count) = 0;
  virtual void Transform(const IMatrix* matrix) = 0;
  // Bounds of the path, widened for |pen| when one is given.
  virtual RECT GetBounds(const IPen* pen = nullptr) const = 0;
  virtual bool IsContainsPoint(int x, int y) const = 0;
  virtual bool IsStrokeContainsPoint(int x, int y, const IPen* pen) const = 0;
};

// Text styles of DrawText/MeasureText are the Win32 DT_* bits: DT_CENTER
// (0x1), DT_RIGHT (0x2), DT_VCENTER (0x4), DT_BOTTOM (0x8), DT_SINGLELINE
// (0x20), DT_NOCLIP (0x100), DT_END_ELLIPSIS (0x8000).
//
// The operations keep this slot order; new ones go at the end.
class IRenderContext {
 public:
  virtual ~IRenderContext() = default;

  virtual HDC GetDC() = 0;
  // False when the size is unchanged (pixels kept) or the bitmap cannot be
  // made (the context then has no bitmap).
  virtual bool Resize(int width, int height, bool top_down = true) = 0;
  virtual void Clear() = 0;
  virtual std::unique_ptr<IRenderContext> Clone() = 0;
  // Hands the bitmap to the caller (who must DeleteObject it) and forgets it.
  virtual HBITMAP TakeBitmap() = 0;
  virtual BYTE* GetBits() = 0;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual void ZeroAlpha(const RECT& rect, BYTE value = 0) = 0;
  virtual void RepairAlpha(const RECT& rect, const RECT& insets, BYTE key_alpha = 0) = 0;
  virtual bool IsTransparentTarget() const = 0;
  virtual bool SetTransparentTarget(bool transparent) = 0;  // returns the old value
  // Saves nest: each RestoreDC undoes the innermost SaveDC not yet undone.
  virtual int SaveDC() = 0;
  // Back to the state of the last SaveDC; clips set since then are dropped
  // too (their ClearClip calls then do nothing). A save made inside a clip
  // is undone by that clip's ClearClip, and its RestoreDC then does nothing.
  virtual void RestoreDC() = 0;
  virtual POINT OffsetWindowOrg(POINT delta) = 0;    // returns the old origin
  virtual POINT SetWindowOrg(POINT origin) = 0;      // returns the old origin
  virtual POINT GetWindowOrg() const = 0;
  // Clips nest (each intersects the current one); every set must be
  // matched by a ClearClip, which undoes the innermost one. Rects are
  // logical, like all drawing coordinates; an empty (or inverted) rect
  // clips everything away.
  virtual void SetClip(const RECT& rect) = 0;
  virtual void SetRoundedClip(const RECT& rect, int width, int height) = 0;
  virtual void ClearClip() = 0;
  virtual bool BitBlt(int x, int y, int cx, int cy, HDC src_dc, int src_x = 0, int src_y = 0,
                      DWORD rop = SRCCOPY) = 0;
  virtual bool AlphaBlend(int x, int y, int cx, int cy, HDC src_dc, int src_x, int src_y,
                          int src_cx, int src_cy, BYTE alpha = 255) = 0;
  // Nine-slice drawing of |bitmap|; |corners| are insets in source pixels.
  virtual void DrawImage(const RECT& paint_rect, HBITMAP bitmap, bool has_alpha,
                         const RECT& dest, const RECT& source, const RECT& corners,
                         BYTE alpha = 255, bool tile_x = false, bool tile_y = false) = 0;
  virtual void FillColor(const RECT& rect, const std::wstring& color_name, BYTE alpha = 255) = 0;
  virtual void FillColor(const RECT& rect, DWORD argb, BYTE alpha = 255) = 0;
  virtual void DrawLine(const IPen* pen, int x1, int y1, int x2, int y2) = 0;
  virtual void DrawLine(const RECT& rect, int width, DWORD argb) = 0;
  virtual void DrawBezier(const IPen* pen, POINT p1, POINT p2, POINT p3, POINT p4) = 0;
  virtual void DrawRect(const RECT& rect, int width, DWORD argb) = 0;
  virtual void DrawRoundRect(const RECT& rect, SIZE corner, int width, DWORD argb) = 0;
  virtual void DrawText(const RECT& rect, const std::wstring& text, DWORD argb,
                        const std::wstring& font_id, UINT style, BYTE alpha = 255,
                        bool line_limit = false) = 0;
  virtual void DrawEllipse(const RECT& rect, int width, DWORD argb) = 0;
  virtual void FillEllipse(const RECT& rect, DWORD argb) = 0;
  // |width| -1 measures unbounded.
  virtual RECT MeasureText(const std::wstring& text, const std::wstring& font_id, UINT style,
                           int width = -1) = 0;
  virtual void DrawPath(const IPath* path, const IPen* pen) = 0;
  virtual void FillPath(const IPath* path, const IBrush* brush) = 0;
};

// Makes the drawing objects; one per process, held by GlobalResources.
class IRenderFactory {
 public:
  virtual ~IRenderFactory() = default;
  virtual std::unique_ptr<IPen> CreatePen(DWORD argb, int width = 1) = 0;
  virtual std::unique_ptr<IBrush> CreateBrush(DWORD argb) = 0;
  virtual std::unique_ptr<IPath> CreatePath() = 0;
  virtual std::unique_ptr<IMatrix> CreateMatrix() = 0;
  virtual std::unique_ptr<IRenderContext> CreateRenderContext() = 0;
};

// Clips |context| to |rect| for the life of the object when |clip| is true.
class AutoClip {
 public:
  AutoClip(IRenderContext* context, const RECT& rect, bool clip = true);
  AutoClip(IRenderContext* context, const RECT& rect, SIZE round, bool clip = true);
  ~AutoClip();
  AutoClip(const AutoClip&) = delete;
  AutoClip& operator=(const AutoClip&) = delete;

 private:
  IRenderContext* context_;
  bool clipped_;
};

}  // namespace ui

#endif  // UI_RENDER_RENDER_INTERFACE_H_
