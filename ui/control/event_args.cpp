#include "ui/control/event_args.h"

#include <cwchar>

namespace ui {

namespace {

struct EventName {
  const wchar_t* name;
  int type;
};

const EventName kEventNames[] = {
    {L"all", kEventAll},
    {L"keydown", kEventKeyDown},
    {L"keyup", kEventKeyUp},
    {L"char", kEventChar},
    {L"syskey", kEventSystemKey},
    {L"mousemove", kEventMouseMove},
    {L"mouseenter", kEventMouseEnter},
    {L"mouseleave", kEventMouseLeave},
    {L"mousehover", kEventMouseHover},
    {L"buttondown", kEventMouseButtonDown},
    {L"buttonup", kEventMouseButtonUp},
    {L"rbuttondown", kEventMouseRightButtonDown},
    {L"doubleclick", kEventMouseDoubleClick},
    {L"menu", kEventMouseMenu},
    {L"scrollwheel", kEventMouseScrollWheel},
    {L"setfocus", kEventSetFocus},
    {L"killfocus", kEventKillFocus},
    {L"windowclose", kEventWindowClose},
    {L"setcursor", kEventSetCursor},
    {L"select", kEventSelect},
    {L"unselect", kEventUnSelect},
    {L"return", kEventReturn},
    {L"tab", kEventTab},
    {L"scrollchange", kEventScrollChange},
    {L"valuechange", kEventValueChange},
};

}  // namespace

int EventTypeFromName(const std::wstring& name) {
  for (const EventName& entry : kEventNames) {
    if (name == entry.name) return entry.type;
  }
  return kEventNone;
}

}  // namespace ui
