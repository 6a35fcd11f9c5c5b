#include "ui/control/button.h"

#include <type_traits>

namespace ui {

template <typename T>
std::wstring ButtonTemplate<T>::GetType() const {
  return std::is_base_of_v<Box, T> ? L"ButtonBox" : L"Button";
}

template <typename T>
void ButtonTemplate<T>::Activate() {
  if (!this->CanActivate()) return;
  this->SendEvent(kEventClick);
}

template <typename T>
void ButtonTemplate<T>::HandleMessage(EventArgs* args) {
  const int type = args->type;
  if (!this->IsMouseEnabled() && type >= kEventMouseMove && type <= kEventMouseScrollWheel) {
    // Its parent acts instead: a wheel over it still scrolls the box.
    this->PassToParent(args);
    return;
  }
  if (type == kEventKeyDown && this->IsEnabled() && (args->key == VK_SPACE || args->key == VK_RETURN)) {
    Activate();  // last: the click may destroy this control
    return;
  }
  if (type == kEventInternalMenu) {
    if (this->IsEnabled() && this->WantsContextMenu()) {
      // The request's point (not the last mouse move) goes with the event.
      EventArgs menu = *args;
      menu.type = kEventMouseMenu;
      menu.sender = this;
      menu.timestamp = ::GetTickCount();
      this->DeliverEvent(&menu);
    }
    return;
  }
  LabelTemplate<T>::HandleMessage(args);
}

template class ButtonTemplate<Control>;
template class ButtonTemplate<Box>;

}  // namespace ui
