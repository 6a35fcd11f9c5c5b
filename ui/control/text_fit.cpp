#include "ui/control/text_fit.h"

#include <algorithm>

#include "ui/box/box.h"
#include "ui/control/combo.h"
#include "ui/control/label.h"
#include "ui/control/rich_edit.h"
#include "ui/core/global_resources.h"

namespace ui {

namespace {

RECT Inset(const RECT& r, const RECT& pad) {
  return RECT{r.left + pad.left, r.top + pad.top, r.right - pad.right, r.bottom - pad.bottom};
}

SIZE SizeOf(const RECT& r) { return SIZE{r.right - r.left, r.bottom - r.top}; }

// The font's em height (its line less the internal leading), or 0.
LONG EmHeight(const std::wstring& font) {
  HDC screen = ::GetDC(nullptr);
  const FontInfo* info = GlobalResources::GetFontInfo(font, screen);
  const LONG em = info && info->has_metrics ? info->metrics.tmHeight - info->metrics.tmInternalLeading : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return em;
}

// A single line is drawn whole or ellipsized, so it needs its natural
// width; wrapping text needs its height at the area's width. An unclipped
// single line may be taller than its box (the painter centres the whole
// line on it): only its em height must fit.
SIZE Needed(Window* window, const std::wstring& text, const std::wstring& font, UINT style, SIZE room) {
  const bool single = (style & DT_SINGLELINE) != 0;
  SIZE needed = MeasureControlText(window, text, font, style, single ? -1 : std::max<LONG>(0, room.cx));
  if (single && (style & DT_NOCLIP)) {
    const LONG em = EmHeight(font);
    if (em > 0) needed.cy = std::min(needed.cy, em);
  }
  return needed;
}

struct Walker {
  std::vector<TextMisfit> found;
  int checked = 0;
};

void Check(Walker* walker, Control* control, const std::wstring& text, SIZE needed, SIZE room) {
  ++walker->checked;
  if (needed.cx <= room.cx && needed.cy <= room.cy) return;
  TextMisfit misfit;
  misfit.control = control;
  misfit.name = control->GetName().empty() ? control->GetType() : control->GetName();
  misfit.text = text;
  misfit.needed = needed;
  misfit.room = room;
  walker->found.push_back(misfit);
}

template <typename T>
bool CheckLabel(Walker* walker, Control* control) {
  auto* label = dynamic_cast<LabelTemplate<T>*>(control);
  if (!label) return false;
  const std::wstring text = label->GetText();
  if (text.empty()) return true;
  const SIZE room = SizeOf(Inset(control->GetPos(false), label->GetTextPadding()));
  Check(walker, control, text, Needed(control->GetWindow(), text, label->GetFont(), label->GetTextStyle(), room),
        room);
  return true;
}

void CheckCombo(Walker* walker, Combo* combo) {
  const int index = combo->GetCurSel();
  if (index < 0 || !combo->GetListBox()) return;
  Control* item = combo->GetListBox()->GetItemAt(static_cast<size_t>(index));
  // The combo draws the item's text with the item's font and padding.
  auto* label = dynamic_cast<LabelTemplate<Box>*>(item);
  auto* leaf = dynamic_cast<LabelTemplate<Control>*>(item);
  if (!label && !leaf) return;
  const std::wstring text = label ? label->GetText() : leaf->GetText();
  if (text.empty()) return;
  const RECT pad = label ? label->GetTextPadding() : leaf->GetTextPadding();
  const std::wstring font = label ? label->GetFont() : leaf->GetFont();
  const SIZE room = SizeOf(Inset(combo->GetPos(false), pad));
  Check(walker, combo, text, MeasureControlText(combo->GetWindow(), text, font, DT_SINGLELINE | DT_VCENTER, -1),
        room);
}

void Walk(Walker* walker, Control* control) {
  if (!control || !control->IsVisible()) return;
  if (auto* combo = dynamic_cast<Combo*>(control)) {
    CheckCombo(walker, combo);  // its items live in the pop-up's list
    return;
  }
  if (auto* edit = dynamic_cast<RichEdit*>(control)) {
    // An input scrolls its text; only shown read-only text must fit.
    if (edit->IsReadOnly() && !edit->GetText().empty()) {
      // The services draw only inside the text rectangle.
      Check(walker, control, edit->GetText(), edit->NaturalTextSize(), SizeOf(edit->TextRect()));
    }
    return;
  }
  if (!CheckLabel<Control>(walker, control)) CheckLabel<Box>(walker, control);
  if (auto* box = dynamic_cast<Box*>(control)) {
    for (size_t i = 0; i < box->GetCount(); ++i) Walk(walker, box->GetItemAt(i));
  }
}

}  // namespace

std::vector<TextMisfit> FindTextMisfits(Control* root, int* checked) {
  Walker walker;
  Walk(&walker, root);
  if (checked) *checked = walker.checked;
  return walker.found;
}

}  // namespace ui
