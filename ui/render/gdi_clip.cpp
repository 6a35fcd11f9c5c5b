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

// GDI swaps the corners of an inverted rect, so {10,10,5,5} would clip to
// [5,10) x [5,10). An empty rect (a child scrolled out of its box gives
// one) must clip everything: it gets the empty region.
HRGN EmptyRegion() { return ::CreateRectRgn(0, 0, 0, 0); }

}  // namespace

void SavedLevels::Push(int level) { entries_.push_back(Entry{level, level > 0}); }

int SavedLevels::Pop() {
  if (entries_.empty()) return 0;
  const Entry entry = entries_.back();
  entries_.pop_back();
  return entry.alive ? entry.level : 0;
}

void SavedLevels::DiscardFrom(int level) {
  for (Entry& entry : entries_) {
    if (entry.level >= level) entry.alive = false;
  }
}

void GdiClip::CreateClip(HDC dc, const RECT& rect) {
  const RECT device = ToDevice(dc, rect);
  ScopedRegion region(::IsRectEmpty(&device) ? EmptyRegion() : ::CreateRectRgnIndirect(&device));
  Push(dc, region.Get());
}

void GdiClip::CreateRoundClip(HDC dc, const RECT& rect, int width, int height) {
  const RECT device = ToDevice(dc, rect);
  // The region reaches one pixel past right and bottom, so the emptiness
  // test is on the rect as given, not on the region's corners.
  ScopedRegion region(::IsRectEmpty(&device)
                          ? EmptyRegion()
                          : ::CreateRoundRectRgn(device.left, device.top, device.right + 1,
                                                 device.bottom + 1, width, height));
  Push(dc, region.Get());
}

void GdiClip::Push(HDC dc, HRGN region) {
  const int level = ::SaveDC(dc);
  levels_.Push(level);  // a failed save is pushed dead: set/clear pairs stay balanced
  if (level <= 0) {
    QLOG_ERR(L"SaveDC failed, error:{0}") << ::GetLastError();
    return;
  }
  if (!region) {
    QLOG_ERR(L"clip region failed, error:{0}") << ::GetLastError();
    return;
  }
  ::ExtSelectClipRgn(dc, region, RGN_AND);
}

int GdiClip::ClearClip(HDC dc) {
  const int level = levels_.Pop();
  if (level > 0) ::RestoreDC(dc, level);
  return level;
}

}  // namespace ui
