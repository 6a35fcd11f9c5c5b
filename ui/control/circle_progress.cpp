#include "ui/control/circle_progress.h"

#include <algorithm>
#include <cmath>

#include "ui/control/attribute_values.h"
#include "ui/core/global_resources.h"
#include "ui/render/render_interface.h"
#include "ui/utils/dpi_scaler.h"

namespace ui {

namespace {

bool IsTrue(const std::wstring& value) { return value == L"true"; }

constexpr float kStartAngle = -90.0f;  // the top; angles grow clockwise on screen
constexpr float kGradientStep = 4.0f;  // degrees per shade of a gradient arc
constexpr double kPi = 3.14159265358979323846;

DWORD Mix(DWORD from, DWORD to, double t) {
  DWORD out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const double a = (from >> shift) & 0xFF;
    const double b = (to >> shift) & 0xFF;
    out |= static_cast<DWORD>(std::lround(a + (b - a) * t)) << shift;
  }
  return out;
}

}  // namespace

void CircleProgress::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"circular") {
    SetCircular(IsTrue(value));
  } else if (name == L"circlewidth") {
    SetCircleWidth(ParseLength(value));
  } else if (name == L"indicator") {
    SetIndicator(value);
  } else if (name == L"clockwise") {
    SetClockwise(IsTrue(value));
  } else if (name == L"bgcolor") {
    SetBackgroundColor(value);
  } else if (name == L"fgcolor") {
    SetForegroundColor(value);
  } else if (name == L"gradientcolor") {
    SetGradientColor(value);
  } else {
    Progress::SetAttribute(name, value);
  }
}

void CircleProgress::ReleaseAllImages() {
  Progress::ReleaseAllImages();
  indicator_.ReleaseImage();
}

void CircleProgress::SetCircular(bool circular) {
  circular_ = circular;
  Invalidate();
}

void CircleProgress::SetCircleWidth(int width) {
  circle_width_ = std::max(1, DpiScaler::GetInstance().ScaleLength(std::clamp(width, 0, 10000)));
  Invalidate();
}

void CircleProgress::SetClockwise(bool clockwise) {
  clockwise_ = clockwise;
  Invalidate();
}

void CircleProgress::SetBackgroundColor(const std::wstring& name) {
  bg_color_ = name;
  Invalidate();
}

void CircleProgress::SetForegroundColor(const std::wstring& name) {
  fg_color_ = name;
  Invalidate();
}

void CircleProgress::SetGradientColor(const std::wstring& name) {
  gradient_color_ = name;
  Invalidate();
}

void CircleProgress::SetIndicator(const std::wstring& descriptor) {
  indicator_.SetImageDescriptor(descriptor);
  Invalidate();
}

RECT CircleProgress::RingRect() const {
  const RECT& r = item_rect_;
  const int side = std::max<int>(0, std::min(r.right - r.left, r.bottom - r.top));
  // The stroke is centred on the circle: half of it inside, half outside.
  const int inset = (circle_width_ + 1) / 2;
  const int left = r.left + (r.right - r.left - side) / 2 + inset;
  const int top = r.top + (r.bottom - r.top - side) / 2 + inset;
  const int size = std::max(0, side - 2 * inset);
  return RECT{left, top, left + size, top + size};
}

void CircleProgress::DrawArc(IRenderContext* context, const RECT& ring, float start, float sweep, DWORD argb) {
  IRenderFactory* factory = GlobalResources::GetRenderFactory();
  if (!factory) return;
  std::unique_ptr<IPath> path = factory->CreatePath();
  std::unique_ptr<IPen> pen = factory->CreatePen(argb, circle_width_);
  path->AddArc(ring.left, ring.top, ring.right - ring.left, ring.bottom - ring.top, start, sweep);
  context->DrawPath(path.get(), pen.get());
}

void CircleProgress::PaintProgress(IRenderContext* context) {
  if (!circular_) {
    Progress::PaintProgress(context);
    return;
  }
  RepairRange();
  const RECT ring = RingRect();
  if (ring.right <= ring.left) return;
  if (!bg_color_.empty()) {
    if (const DWORD bg = GlobalResources::GetTextColor(bg_color_)) context->DrawEllipse(ring, circle_width_, bg);
  }
  const double share = (value_ - min_) / (double(max_) - double(min_));
  const float sweep = static_cast<float>(360.0 * share) * (clockwise_ ? 1.0f : -1.0f);
  const DWORD fg = fg_color_.empty() ? 0 : GlobalResources::GetTextColor(fg_color_);
  const DWORD gradient = gradient_color_.empty() ? 0 : GlobalResources::GetTextColor(gradient_color_);
  if (fg != 0 && sweep != 0.0f) {
    if (gradient == 0) {
      DrawArc(context, ring, kStartAngle, sweep, fg);
    } else {
      // No gradient pen: short arcs, each a shade further along.
      const int steps = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / kGradientStep)));
      const float step = sweep / steps;
      for (int i = 0; i < steps; ++i)
        DrawArc(context, ring, kStartAngle + step * i, step, Mix(fg, gradient, (i + 0.5) / steps));
    }
  }
  if (indicator_.attributes().image_name.empty() || !indicator_.EnsureLoaded(ResourceFolder())) return;
  const double angle = (kStartAngle + sweep) * kPi / 180.0;
  const double radius = (ring.right - ring.left) / 2.0;
  const double cx = (ring.left + ring.right) / 2.0 - item_rect_.left;
  const double cy = (ring.top + ring.bottom) / 2.0 - item_rect_.top;
  const int w = DpiScaler::GetInstance().ScaleLength(indicator_.info()->width());
  const int h = DpiScaler::GetInstance().ScaleLength(indicator_.info()->height());
  const int x = static_cast<int>(std::lround(cx + radius * std::cos(angle))) - w / 2;
  const int y = static_cast<int>(std::lround(cy + radius * std::sin(angle))) - h / 2;
  DrawImage(context, indicator_,
            L"destscale='false' dest='" + std::to_wstring(x) + L"," + std::to_wstring(y) + L"," +
                std::to_wstring(x + w) + L"," + std::to_wstring(y + h) + L"'");
}

}  // namespace ui
