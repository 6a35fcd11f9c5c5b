// GdiClip applies nested clip regions to a device context: each set saves
// the DC state and intersects the clip, each clear restores the last save.
// SavedLevels is the bookkeeping both the clips and the render context's own
// saves use on the one DC save stack. Owned by a render context; UI thread
// only.
#ifndef UI_RENDER_GDI_CLIP_H_
#define UI_RENDER_GDI_CLIP_H_

#include <windows.h>

#include <vector>

namespace ui {

// DC save levels, innermost last. Restoring the DC to a level discards every
// state saved at that level or above, whoever saved it. Those entries stay
// where they are, marked dead, so that their owners' later pops stay matched
// and do nothing instead of taking an outer owner's level.
class SavedLevels {
 public:
  // A level of 0 or less (a failed save) is pushed dead.
  void Push(int level);
  // The level to restore for the innermost entry, 0 when it is dead or
  // there is none.
  int Pop();
  // Marks dead every entry at |level| or above.
  void DiscardFrom(int level);
  int Depth() const { return static_cast<int>(entries_.size()); }

 private:
  struct Entry {
    int level;
    bool alive;
  };
  std::vector<Entry> entries_;
};

class GdiClip {
 public:
  GdiClip() = default;
  GdiClip(const GdiClip&) = delete;
  GdiClip& operator=(const GdiClip&) = delete;

  // |rect| is in logical coordinates; it is moved to device coordinates by
  // the DC's window origin. An empty rect clips everything away. A failed
  // region leaves the clip unchanged but still pushes a state, so that the
  // matching ClearClip stays balanced.
  void CreateClip(HDC dc, const RECT& rect);
  void CreateRoundClip(HDC dc, const RECT& rect, int width, int height);
  // Answers the saved level it restored (0 when there was none, or when a
  // RestoreDC had already discarded it).
  int ClearClip(HDC dc);
  // Marks dead the clips whose saved states RestoreDC(level) discarded.
  void ForgetFromLevel(int level) { levels_.DiscardFrom(level); }
  int Depth() const { return levels_.Depth(); }

 private:
  void Push(HDC dc, HRGN region);

  // The SaveDC level of each clip. Restoring to a recorded level (not just
  // "the last one") keeps an unmatched clear from popping a state that
  // somebody else saved.
  SavedLevels levels_;
};

}  // namespace ui

#endif  // UI_RENDER_GDI_CLIP_H_
