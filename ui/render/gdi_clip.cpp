#include "ui/render/gdi_clip.h"

#include "base/log/log.h"
#include "ui/render/gdi_objects.h"

namespace ui {
namespace {

// Logical to device coordinates under a plain window-origin mapping.
RECT ToDevice(HDC dc, const RECT& rect) {
  POINT origin{};
  ::GetWindowOrgEx(dc, &origin);
  RECT device = rect;
  ::OffsetRect(&device, -origin.x, -origin.y);
  return device;
}

}  // namespace

void GdiClip::CreateClip(HDC dc, const RECT& rect) {
  const RECT device = ToDevice(dc, rect);
  ScopedRegion region(::CreateRectRgnIndirect(&device));
  Push(dc, region.Get());
}

void GdiClip::CreateRoundClip(HDC dc, const RECT& rect, int width, int height) {
  const RECT device = ToDevice(dc, rect);
  ScopedRegion region(::CreateRoundRectRgn(device.left, device.top, device.right + 1,
                                           device.bottom + 1, width, height));
  Push(dc, region.Get());
}

void GdiClip::Push(HDC dc, HRGN region) {
  const int level = ::SaveDC(dc);
  if (level <= 0) {
    QLOG_ERR(L"SaveDC failed, error:{0}") << ::GetLastError();
    levels_.push_back(0);  // keeps set/clear pairs balanced
    return;
  }
  levels_.push_back(level);
  if (!region) {
    QLOG_ERR(L"clip region failed, error:{0}") << ::GetLastError();
    return;
  }
  ::ExtSelectClipRgn(dc, region, RGN_AND);
}

int GdiClip::ClearClip(HDC dc) {
  if (levels_.empty()) return 0;
  const int level = levels_.back();
  levels_.pop_back();
  if (level > 0) ::RestoreDC(dc, level);
  return level;
}

void GdiClip::ForgetFromLevel(int level) {
  while (!levels_.empty() && levels_.back() >= level) levels_.pop_back();
}

}  // namespace ui
