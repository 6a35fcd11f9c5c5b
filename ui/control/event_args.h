// Event codes of the control tree, their markup names, the record an event
// carries and the handler type. Codes are fixed: markup and the window host
// both rely on them. UI thread only.
#ifndef UI_CONTROL_EVENT_ARGS_H_
#define UI_CONTROL_EVENT_ARGS_H_

#include <windows.h>

#include <functional>
#include <string>

namespace ui {

class Control;

enum EventType {
  kEventInternalDoubleClick = 0,
  kEventInternalMenu = 1,
  kEventInternalSetFocus = 2,
  kEventInternalKillFocus = 3,
  kEventNone = 4,
  kEventAll = 6,
  kEventKeyDown = 8,
  kEventKeyUp = 9,
  kEventChar = 10,
  kEventSystemKey = 11,
  kEventMouseMove = 14,
  kEventMouseEnter = 15,
  kEventMouseLeave = 16,
  kEventMouseHover = 17,
  kEventMouseButtonDown = 18,
  kEventMouseButtonUp = 19,
  kEventMouseRightButtonDown = 20,
  kEventMouseRightButtonUp = 21,
  kEventMouseDoubleClick = 22,
  kEventMouseMenu = 23,
  kEventMouseScrollWheel = 24,
  kEventTouchDown = 27,
  kEventTouchMove = 28,
  kEventTouchUp = 29,
  kEventPointerDown = 32,
  kEventPointerMove = 33,
  kEventPointerUp = 34,
  kEventSetFocus = 36,
  kEventKillFocus = 37,
  kEventWindowSize = 38,
  kEventWindowClose = 39,
  kEventSetCursor = 40,
  kEventClick = 41,
  kEventSelect = 42,
  kEventUnSelect = 43,
  kEventTextChange = 44,
  kEventReturn = 45,
  kEventTab = 46,
  kEventCustomLinkClick = 47,
  kEventScrollChange = 50,
  kEventValueChange = 51,
  kEventResize = 52,
};

// What an event carries, in this order.
struct EventArgs {
  int type = kEventNone;
  Control* sender = nullptr;
  DWORD timestamp = 0;       // GetTickCount when sent
  POINT mouse_point{0, 0};   // client coordinates
  wchar_t key = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  float pressure = 0.0f;
};

// False stops the event: later handlers and the default reaction.
using EventHandler = std::function<bool(EventArgs*)>;

// The markup name of an event type ("buttondown"); kEventNone for a name
// that is not one, so its handlers never fire.
int EventTypeFromName(const std::wstring& name);

}  // namespace ui

#endif  // UI_CONTROL_EVENT_ARGS_H_
