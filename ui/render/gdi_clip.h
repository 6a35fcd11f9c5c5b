// GdiClip applies nested clip regions to a device context: each set saves
// the DC state and intersects the clip, each clear restores the last save.
// Owned by a render context; UI thread only.
#ifndef UI_RENDER_GDI_CLIP_H_
#define UI_RENDER_GDI_CLIP_H_

#include <windows.h>

#include <vector>

namespace ui {

class GdiClip {
 public:
  GdiClip() = default;
  GdiClip(const GdiClip&) = delete;
  GdiClip& operator=(const GdiClip&) = delete;

  // |rect| is in logical coordinates; it is moved to device coordinates by
  // the DC's window origin. A failed region leaves the clip unchanged but
  // still pushes a state, so that the matching ClearClip stays balanced.
  void CreateClip(HDC dc, const RECT& rect);
  void CreateRoundClip(HDC dc, const RECT& rect, int width, int height);
  // Answers the saved level it restored (0 when there was none).
  int ClearClip(HDC dc);
  // Forgets the clips whose saved states were discarded by RestoreDC(level).
  void ForgetFromLevel(int level);
  int Depth() const { return static_cast<int>(levels_.size()); }

 private:
  void Push(HDC dc, HRGN region);

  // The SaveDC level of each clip, innermost last. Restoring to a recorded
  // level (not just "the last one") keeps an unmatched clear from popping a
  // state that somebody else saved.
  std::vector<int> levels_;
};

}  // namespace ui

#endif  // UI_RENDER_GDI_CLIP_H_
