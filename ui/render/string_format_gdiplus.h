// The mapping of the DT_* text styles (render_interface.h) onto a GDI+
// string format, shared by DrawText and MeasureText. Internal to the render
// context and its tests; UI thread only (it reads the right-to-left flag).
#ifndef UI_RENDER_STRING_FORMAT_GDIPLUS_H_
#define UI_RENDER_STRING_FORMAT_GDIPLUS_H_

#include <windows.h>

#include <objidl.h>
#include <gdiplus.h>

namespace ui {
namespace internal {

// Adds to |format| (normally the generic typographic one) the trimming,
// flags and alignments for |style|, and the right-to-left direction when
// GlobalResources says the UI is right to left.
void ApplyTextStyle(Gdiplus::StringFormat* format, UINT style, bool line_limit);

}  // namespace internal
}  // namespace ui

#endif  // UI_RENDER_STRING_FORMAT_GDIPLUS_H_
