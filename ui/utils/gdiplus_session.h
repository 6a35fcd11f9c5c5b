// GdiplusSession starts GDI+ for as long as it lives. GlobalResources owns the
// process's session from Startup to Shutdown; tests that decode or draw
// without Startup hold one of their own. Create and destroy it on one thread.
#ifndef UI_UTILS_GDIPLUS_SESSION_H_
#define UI_UTILS_GDIPLUS_SESSION_H_

#include <windows.h>

namespace ui {

class GdiplusSession {
 public:
  GdiplusSession();
  ~GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

  bool started() const { return token_ != 0; }

  // Runs |release| whenever a session ends, before GDI+ stops: caches of
  // GDI+ objects must be emptied while GDI+ still runs. Any thread.
  static void AddReleaseHook(void (*release)());

 private:
  ULONG_PTR token_ = 0;
};

}  // namespace ui

#endif  // UI_UTILS_GDIPLUS_SESSION_H_
