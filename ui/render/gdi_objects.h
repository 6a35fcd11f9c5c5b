// Small RAII owners for the GDI objects the render context makes: memory
// device contexts, bitmaps/regions/brushes/pens/fonts, and the selection of an
// object into a device context. Owners are not shared; UI thread only.
#ifndef UI_RENDER_GDI_OBJECTS_H_
#define UI_RENDER_GDI_OBJECTS_H_

#include <windows.h>

#include "base/win32/scoped_handle.h"

namespace ui {

struct MemoryDcTraits {
  static HDC InvalidValue() { return nullptr; }
  static void Free(HDC dc) { ::DeleteDC(dc); }
};
// A device context from CreateCompatibleDC.
using ScopedMemoryDc = base::win32::ScopedGeneric<HDC, MemoryDcTraits>;

template <typename T>
struct GdiObjectTraits {
  static T InvalidValue() { return nullptr; }
  static void Free(T object) { ::DeleteObject(object); }
};
using ScopedBitmap = base::win32::ScopedGeneric<HBITMAP, GdiObjectTraits<HBITMAP>>;
using ScopedRegion = base::win32::ScopedGeneric<HRGN, GdiObjectTraits<HRGN>>;
using ScopedBrush = base::win32::ScopedGeneric<HBRUSH, GdiObjectTraits<HBRUSH>>;
using ScopedPen = base::win32::ScopedGeneric<HPEN, GdiObjectTraits<HPEN>>;
using ScopedFont = base::win32::ScopedGeneric<HFONT, GdiObjectTraits<HFONT>>;

// A screen device context from GetDC(nullptr), released on scope exit.
class ScopedScreenDc {
 public:
  ScopedScreenDc() : dc_(::GetDC(nullptr)) {}
  ~ScopedScreenDc() {
    if (dc_) ::ReleaseDC(nullptr, dc_);
  }
  ScopedScreenDc(const ScopedScreenDc&) = delete;
  ScopedScreenDc& operator=(const ScopedScreenDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

// Selects |object| into |dc| and puts the previous object back on scope exit.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object)
      : dc_(dc), old_(object ? ::SelectObject(dc, object) : nullptr) {}
  ~ScopedSelectObject() {
    if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
  bool ok() const { return old_ && old_ != HGDI_ERROR; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace ui

#endif  // UI_RENDER_GDI_OBJECTS_H_
