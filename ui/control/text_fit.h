// Which shown texts need more room than their controls give them: for the
// checks of translated skins. Each text is measured as its control draws
// it: a single-line label at its natural width, a wrapping one at its text
// area's width, the combo's shown item with the item's font and padding, a
// read-only rich edit by its text services. UI thread only.
#ifndef UI_CONTROL_TEXT_FIT_H_
#define UI_CONTROL_TEXT_FIT_H_

#include <windows.h>

#include <string>
#include <vector>

namespace ui {

class Control;

struct TextMisfit {
  Control* control = nullptr;
  std::wstring name;  // the control's name, else its type
  std::wstring text;
  SIZE needed{0, 0};  // what the text takes
  SIZE room{0, 0};    // the text area it has
};

// Every visible text control under |root| (itself included) whose text does
// not fit its text area, in tree order; |checked| (when given) counts the
// texts measured. Measures the last arranged layout.
std::vector<TextMisfit> FindTextMisfits(Control* root, int* checked = nullptr);

}  // namespace ui

#endif  // UI_CONTROL_TEXT_FIT_H_
