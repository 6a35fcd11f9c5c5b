// The GDI+ pen, brush, matrix and path wrappers, the factory and AutoClip.
#include <windows.h>

#include <gdiplus.h>

#include <vector>

#include "ui/render/render_gdiplus.h"

namespace ui {
namespace {

std::vector<Gdiplus::Point> ToGdiplusPoints(const POINT* points, int count) {
  std::vector<Gdiplus::Point> out;
  if (!points || count <= 0) return out;
  out.reserve(count);
  for (int i = 0; i < count; ++i) out.emplace_back(points[i].x, points[i].y);
  return out;
}

}  // namespace

// ---- Pen ----

Pen_GdiPlus::Pen_GdiPlus(DWORD argb, int width)
    : pen_(std::make_unique<Gdiplus::Pen>(Gdiplus::Color(argb), static_cast<Gdiplus::REAL>(width))) {}

Pen_GdiPlus::Pen_GdiPlus(const Pen_GdiPlus& other) : IPen(), pen_(other.pen_->Clone()) {}

Pen_GdiPlus::~Pen_GdiPlus() = default;

std::unique_ptr<IPen> Pen_GdiPlus::Clone() const { return std::make_unique<Pen_GdiPlus>(*this); }

void Pen_GdiPlus::SetWidth(int width) { pen_->SetWidth(static_cast<Gdiplus::REAL>(width)); }

int Pen_GdiPlus::GetWidth() const { return static_cast<int>(pen_->GetWidth()); }

void Pen_GdiPlus::SetColor(DWORD argb) { pen_->SetColor(Gdiplus::Color(argb)); }

DWORD Pen_GdiPlus::GetColor() const {
  Gdiplus::Color color;
  pen_->GetColor(&color);
  return color.GetValue();
}

void Pen_GdiPlus::SetStartCap(LineCap cap) { pen_->SetStartCap(static_cast<Gdiplus::LineCap>(cap)); }

IPen::LineCap Pen_GdiPlus::GetStartCap() const { return static_cast<LineCap>(pen_->GetStartCap()); }

void Pen_GdiPlus::SetEndCap(LineCap cap) { pen_->SetEndCap(static_cast<Gdiplus::LineCap>(cap)); }

IPen::LineCap Pen_GdiPlus::GetEndCap() const { return static_cast<LineCap>(pen_->GetEndCap()); }

void Pen_GdiPlus::SetDashCap(DashCap cap) { pen_->SetDashCap(static_cast<Gdiplus::DashCap>(cap)); }

IPen::DashCap Pen_GdiPlus::GetDashCap() const { return static_cast<DashCap>(pen_->GetDashCap()); }

void Pen_GdiPlus::SetLineJoin(LineJoin join) {
  pen_->SetLineJoin(static_cast<Gdiplus::LineJoin>(join));
}

IPen::LineJoin Pen_GdiPlus::GetLineJoin() const {
  return static_cast<LineJoin>(pen_->GetLineJoin());
}

void Pen_GdiPlus::SetDashStyle(DashStyle style) {
  pen_->SetDashStyle(static_cast<Gdiplus::DashStyle>(style));
}

IPen::DashStyle Pen_GdiPlus::GetDashStyle() const {
  return static_cast<DashStyle>(pen_->GetDashStyle());
}

// ---- Brush ----

Brush_Gdiplus::Brush_Gdiplus(DWORD argb)
    : brush_(std::make_unique<Gdiplus::SolidBrush>(Gdiplus::Color(argb))) {}

Brush_Gdiplus::Brush_Gdiplus(const Brush_Gdiplus& other)
    : IBrush(), brush_(std::make_unique<Gdiplus::SolidBrush>(Gdiplus::Color(other.GetColor()))) {}

Brush_Gdiplus::~Brush_Gdiplus() = default;

std::unique_ptr<IBrush> Brush_Gdiplus::Clone() const {
  return std::make_unique<Brush_Gdiplus>(*this);
}

DWORD Brush_Gdiplus::GetColor() const {
  Gdiplus::Color color;
  brush_->GetColor(&color);
  return color.GetValue();
}

// ---- Matrix ----

Matrix_Gdiplus::Matrix_Gdiplus() : matrix_(std::make_unique<Gdiplus::Matrix>()) {}

Matrix_Gdiplus::Matrix_Gdiplus(const Matrix_Gdiplus& other)
    : IMatrix(), matrix_(other.matrix_->Clone()) {}

Matrix_Gdiplus::~Matrix_Gdiplus() = default;

std::unique_ptr<IMatrix> Matrix_Gdiplus::Clone() const {
  return std::make_unique<Matrix_Gdiplus>(*this);
}

void Matrix_Gdiplus::Translate(int offset_x, int offset_y) {
  matrix_->Translate(static_cast<Gdiplus::REAL>(offset_x), static_cast<Gdiplus::REAL>(offset_y));
}

void Matrix_Gdiplus::Scale(int scale_x, int scale_y) {
  matrix_->Scale(static_cast<Gdiplus::REAL>(scale_x), static_cast<Gdiplus::REAL>(scale_y));
}

void Matrix_Gdiplus::Rotate(float angle) { matrix_->Rotate(angle); }

void Matrix_Gdiplus::RotateAt(float angle, POINT center) {
  matrix_->RotateAt(angle, Gdiplus::PointF(static_cast<Gdiplus::REAL>(center.x),
                                           static_cast<Gdiplus::REAL>(center.y)));
}

// ---- Path ----

Path_Gdiplus::Path_Gdiplus() : path_(std::make_unique<Gdiplus::GraphicsPath>()) {}

Path_Gdiplus::Path_Gdiplus(const Path_Gdiplus& other) : IPath(), path_(other.path_->Clone()) {}

Path_Gdiplus::~Path_Gdiplus() = default;

std::unique_ptr<IPath> Path_Gdiplus::Clone() const {
  return std::make_unique<Path_Gdiplus>(*this);
}

void Path_Gdiplus::Reset() { path_->Reset(); }

void Path_Gdiplus::SetFillMode(FillMode mode) {
  path_->SetFillMode(static_cast<Gdiplus::FillMode>(mode));
}

IPath::FillMode Path_Gdiplus::GetFillMode() const {
  return static_cast<FillMode>(path_->GetFillMode());
}

void Path_Gdiplus::StartFigure() { path_->StartFigure(); }

void Path_Gdiplus::CloseFigure() { path_->CloseFigure(); }

void Path_Gdiplus::AddLine(int x1, int y1, int x2, int y2) { path_->AddLine(x1, y1, x2, y2); }

void Path_Gdiplus::AddLines(const POINT* points, int count) {
  std::vector<Gdiplus::Point> p = ToGdiplusPoints(points, count);
  if (!p.empty()) path_->AddLines(p.data(), static_cast<INT>(p.size()));
}

void Path_Gdiplus::AddBezier(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  path_->AddBezier(x1, y1, x2, y2, x3, y3, x4, y4);
}

void Path_Gdiplus::AddCurve(const POINT* points, int count) {
  std::vector<Gdiplus::Point> p = ToGdiplusPoints(points, count);
  if (!p.empty()) path_->AddCurve(p.data(), static_cast<INT>(p.size()));
}

void Path_Gdiplus::AddRect(int left, int top, int right, int bottom) {
  path_->AddRectangle(Gdiplus::Rect(left, top, right - left, bottom - top));
}

void Path_Gdiplus::AddRect(const RECT& rect) {
  AddRect(rect.left, rect.top, rect.right, rect.bottom);
}

void Path_Gdiplus::AddEllipse(int left, int top, int right, int bottom) {
  path_->AddEllipse(Gdiplus::Rect(left, top, right - left, bottom - top));
}

void Path_Gdiplus::AddEllipse(const RECT& rect) {
  AddEllipse(rect.left, rect.top, rect.right, rect.bottom);
}

void Path_Gdiplus::AddArc(int x, int y, int width, int height, float start_angle,
                          float sweep_angle) {
  path_->AddArc(x, y, width, height, start_angle, sweep_angle);
}

void Path_Gdiplus::AddPie(int x, int y, int width, int height, float start_angle,
                          float sweep_angle) {
  path_->AddPie(x, y, width, height, start_angle, sweep_angle);
}

void Path_Gdiplus::AddPolygon(const POINT* points, int count) {
  std::vector<Gdiplus::Point> p = ToGdiplusPoints(points, count);
  if (!p.empty()) path_->AddPolygon(p.data(), static_cast<INT>(p.size()));
}

void Path_Gdiplus::Transform(const IMatrix* matrix) {
  const auto* m = dynamic_cast<const Matrix_Gdiplus*>(matrix);
  if (m) path_->Transform(m->GetMatrix());
}

RECT Path_Gdiplus::GetBounds(const IPen* pen) const {
  const auto* p = dynamic_cast<const Pen_GdiPlus*>(pen);
  Gdiplus::RectF bounds;
  RECT out{};
  if (path_->GetBounds(&bounds, nullptr, p ? p->GetPen() : nullptr) != Gdiplus::Ok) return out;
  out.left = static_cast<LONG>(bounds.X);
  out.top = static_cast<LONG>(bounds.Y);
  out.right = static_cast<LONG>(bounds.X + bounds.Width);
  out.bottom = static_cast<LONG>(bounds.Y + bounds.Height);
  return out;
}

bool Path_Gdiplus::IsContainsPoint(int x, int y) const {
  return path_->IsVisible(x, y) != FALSE;
}

bool Path_Gdiplus::IsStrokeContainsPoint(int x, int y, const IPen* pen) const {
  const auto* p = dynamic_cast<const Pen_GdiPlus*>(pen);
  return p && path_->IsOutlineVisible(x, y, p->GetPen()) != FALSE;
}

// ---- Factory ----

std::unique_ptr<IPen> RenderFactory_GdiPlus::CreatePen(DWORD argb, int width) {
  return std::make_unique<Pen_GdiPlus>(argb, width);
}

std::unique_ptr<IBrush> RenderFactory_GdiPlus::CreateBrush(DWORD argb) {
  return std::make_unique<Brush_Gdiplus>(argb);
}

std::unique_ptr<IPath> RenderFactory_GdiPlus::CreatePath() {
  return std::make_unique<Path_Gdiplus>();
}

std::unique_ptr<IMatrix> RenderFactory_GdiPlus::CreateMatrix() {
  return std::make_unique<Matrix_Gdiplus>();
}

std::unique_ptr<IRenderContext> RenderFactory_GdiPlus::CreateRenderContext() {
  return std::make_unique<RenderContext_GdiPlus>();
}

// ---- AutoClip ----

AutoClip::AutoClip(IRenderContext* context, const RECT& rect, bool clip)
    : context_(context), clipped_(clip && context) {
  if (clipped_) context_->SetClip(rect);
}

AutoClip::AutoClip(IRenderContext* context, const RECT& rect, SIZE round, bool clip)
    : context_(context), clipped_(clip && context) {
  if (clipped_) context_->SetRoundedClip(rect, round.cx, round.cy);
}

AutoClip::~AutoClip() {
  if (clipped_) context_->ClearClip();
}

}  // namespace ui
