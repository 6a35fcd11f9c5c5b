#include "ui/control/combo.h"

#include <algorithm>
#include <memory>

#include "ui/control/attribute_values.h"
#include "ui/control/label.h"
#include "ui/core/global_resources.h"
#include "ui/render/render_interface.h"
#include "ui/utils/dpi_scaler.h"

namespace ui {

namespace {

constexpr int kDefaultDropHeight = 150;
constexpr UINT kComboTextStyle = DT_END_ELLIPSIS | DT_SINGLELINE | DT_VCENTER;  // 0x8024

int Scale(int value) { return DpiScaler::GetInstance().ScaleLength(value); }

// The combo's list: the keys (and the scroll-select wheel) move the
// selection without "select", which would count as a pick and close the
// pop-up on every key; Return, Space and clicks still pick.
class ComboListBox : public ListBox {
 public:
  ComboListBox() : ListBox(std::make_unique<VLayout>()) {}

  void HandleMessage(EventArgs* args) override {
    const int count = static_cast<int>(GetCount());
    const int current = GetCurSel();
    if (NearestSelectable(0, true) >= 0) {
      int target = -2;
      if (args->type == kEventKeyDown) {
        switch (args->key) {
          case VK_HOME: target = NearestSelectable(0, true); break;
          case VK_END: target = NearestSelectable(count - 1, false); break;
          case VK_UP: target = current > 0 ? NearestSelectable(current - 1, false) : -1; break;
          case VK_DOWN: target = NearestSelectable(current + 1, true); break;
          default: break;
        }
      } else if (args->type == kEventMouseScrollWheel && IsScrollSelect() && IsMouseEnabled()) {
        target = GET_WHEEL_DELTA_WPARAM(args->wparam) > 0
                     ? (current > 0 ? NearestSelectable(current - 1, false) : -1)
                     : NearestSelectable(current + 1, true);
      }
      if (target != -2) {
        if (target >= 0) SelectItem(target, true, false);
        return;
      }
    }
    ListBox::HandleMessage(args);
  }
};

// What the combo shows of an item: a label's text, font, padding and
// normal colour, whichever base the label has.
struct ItemLook {
  std::wstring text;
  std::wstring font;
  std::wstring color;
  RECT padding{0, 0, 0, 0};
};

template <typename T>
bool ReadLook(Control* item, ItemLook* look) {
  auto* label = dynamic_cast<LabelTemplate<T>*>(item);
  if (!label) return false;
  look->text = label->GetText();
  look->font = label->GetFont();
  look->color = label->GetStateTextColor(kStateNormal);
  look->padding = label->GetTextPadding();
  return true;
}

bool ReadItemLook(Control* item, ItemLook* look) {
  return item && (ReadLook<Box>(item, look) || ReadLook<Control>(item, look));
}

}  // namespace

// ---- Combo ----

Combo::Combo() : list_(std::make_unique<ComboListBox>()), drop_size_{0, Scale(kDefaultDropHeight)} {
  // A one-pixel frame the items stay inside (the height rule counts it).
  list_->SetAttribute(L"bordersize", L"1");
  list_->GetLayout()->SetPadding(RECT{1, 1, 1, 1}, true);
  list_->EnableScrollBar(true, false);
  list_->SetParent(this);
  list_->Subscribe(kEventSelect, WeakHandler(this, [this](EventArgs*) {
                     OnListSelect();
                     return true;
                   }));
}

Combo::~Combo() {
  if (CComboWnd* drop = drop_) {
    drop_ = nullptr;
    drop->DetachOwner();
  }
}

void Combo::SetWindow(Window* window) {
  Box::SetWindow(window);
  if (!drop_) list_->SetWindow(window);
}

void Combo::SetWindow(Window* window, Control* parent, bool init) {
  Box::SetWindow(window, parent, init);
  if (drop_) return;  // the pop-up has the list; it comes back on closing
  if (window && init)
    window->InitControl(list_.get(), this);
  else
    list_->SetWindow(window, this, init);
}

void Combo::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"dropbox") {
    drop_attributes_ = value;
    list_->ApplyAttributeList(value);
  } else if (name == L"dropboxsize") {
    int v[2] = {0, 0};
    if (ParseIntList(value, v, 2)) drop_size_ = SIZE{Scale(std::max(0, v[0])), Scale(std::max(0, v[1]))};
  } else if (name == L"popuptop") {
    popup_top_ = value == L"true";
  } else if (name == L"vscrollbar") {
    // The list always scrolls vertically.
  } else {
    Box::SetAttribute(name, value);
  }
}

void Combo::PaintOwnText(IRenderContext* context) {
  if (cur_sel_ < 0) return;
  ItemLook look;
  if (!ReadItemLook(list_->GetItemAt(static_cast<size_t>(cur_sel_)), &look) || look.text.empty()) return;
  if (look.color.empty()) return;
  const DWORD argb = GlobalResources::GetTextColor(look.color);
  if (argb == 0) return;
  const RECT& r = item_rect_;
  const RECT area{r.left + look.padding.left, r.top + look.padding.top, r.right - look.padding.right,
                  r.bottom - look.padding.bottom};
  context->DrawText(area, look.text, argb, look.font, kComboTextStyle, 255);
}

void Combo::Activate() {
  if (!CanActivate()) return;
  std::weak_ptr<base::WeakFlag> alive = AliveFlag();
  DropDown();
  if (alive.expired()) return;
  SendEvent(kEventClick);
  if (alive.expired()) return;
  Invalidate();
}

bool Combo::Add(Control* control) { return AddAt(control, list_->GetCount()); }

bool Combo::AddAt(Control* control, size_t index) {
  const bool added = list_->AddAt(control, index);
  cur_sel_ = list_->GetCurSel();
  return added;
}

bool Combo::Remove(Control* control) {
  const bool removed = list_->Remove(control);
  cur_sel_ = list_->GetCurSel();
  Invalidate();
  return removed;
}

bool Combo::RemoveAt(size_t index) {
  const bool removed = list_->RemoveAt(index);
  cur_sel_ = list_->GetCurSel();
  Invalidate();
  return removed;
}

void Combo::RemoveAll() {
  list_->RemoveAll();
  cur_sel_ = -1;
  Invalidate();
}

size_t Combo::GetCount() const { return list_->GetCount(); }

Control* Combo::GetItemAt(size_t index) const { return list_->GetItemAt(index); }

std::wstring Combo::GetText() const {
  if (cur_sel_ < 0) return std::wstring();
  ItemLook look;
  return ReadItemLook(list_->GetItemAt(static_cast<size_t>(cur_sel_)), &look) ? look.text : std::wstring();
}

bool Combo::SelectItem(int index) {
  if (index < 0 || index >= static_cast<int>(list_->GetCount()) || index == cur_sel_) return false;
  cur_sel_ = index;
  // A hidden or disabled item cannot be selected: the combo then shows
  // none rather than an item its list does not hold.
  const bool selected = list_->SelectItem(index, false, false);
  if (!selected) cur_sel_ = list_->GetCurSel();
  Invalidate();
  return selected;
}

RECT Combo::DropRect(const RECT& combo_screen, const RECT& work_area) const {
  const int width = drop_size_.cx > 0 ? drop_size_.cx : combo_screen.right - combo_screen.left;
  int items = 0;
  for (size_t i = 0; i < list_->GetCount(); ++i) {
    Control* item = list_->GetItemAt(i);
    if (!item->IsVisible()) continue;
    const RECT margin = item->GetMargin();
    items += std::max<LONG>(0, item->MeasureSize(SIZE{width, kDefaultMaxSize}).cy) + margin.top + margin.bottom;
  }
  const RECT pad = list_->GetLayout()->GetPadding();
  const int height = std::min<int>(items + pad.top + pad.bottom, drop_size_.cy);
  RECT drop{combo_screen.left, combo_screen.bottom + 1, combo_screen.left + width, combo_screen.bottom + 1 + height};
  if (drop.bottom > work_area.bottom || popup_top_) {
    drop.bottom = combo_screen.top;
    drop.top = combo_screen.top - height;
  }
  return drop;
}

bool Combo::DropDown() {
  if (drop_) return true;
  Window* window = GetWindow();
  if (!window || !window->GetHWND()) return false;
  const HWND parent = window->GetHWND();
  // Where the combo shows: less the offset of every box it scrolls in.
  RECT rect = GetPos();
  for (Control* up = GetParent(); up; up = up->GetParent()) {
    const SIZE offset = up->GetScrollOffset();
    ::OffsetRect(&rect, -offset.cx, -offset.cy);
  }
  ::MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(::MonitorFromWindow(parent, MONITOR_DEFAULTTOPRIMARY), &info);
  const RECT drop_rect = DropRect(rect, info.rcWork);

  auto drop = std::make_unique<CComboWnd>(this);
  if (!drop->Create(parent, std::wstring(), WS_POPUP, WS_EX_TOOLWINDOW, true, drop_rect)) return false;
  drop_ = drop.release();  // owns itself from here
  drop_->ShowWindow(true, true);
  // The pop-up took the activation; the main window keeps its active look.
  ::SendMessageW(::GetAncestor(parent, GA_ROOT), WM_NCACTIVATE, TRUE, 0);
  if (!drop_) return false;  // closed at once
  // The keys act on the current item (or the list when there is none).
  Control* current = cur_sel_ >= 0 ? list_->GetItemAt(static_cast<size_t>(cur_sel_)) : nullptr;
  if (current && current->GetWindow() == drop_ && current->IsVisible() && current->IsEnabled())
    current->SetFocus();
  else if (list_->GetWindow() == drop_)
    list_->SetFocus();
  return drop_ != nullptr;
}

void Combo::OnListSelect() {
  // A pick: the pop-up closes once this event is over.
  if (drop_ && drop_->GetHWND()) ::PostMessageW(drop_->GetHWND(), WM_KILLFOCUS, 0, 0);
  cur_sel_ = list_->GetCurSel();
  Invalidate();
  SendEvent(kEventSelect, static_cast<WPARAM>(cur_sel_), static_cast<LPARAM>(-1));
}

void Combo::SetVisible(bool visible) {
  Box::SetVisible(visible);
  if (!visible) CloseDrop();
}

void Combo::SetVisibleFromParent(bool visible) {
  Box::SetVisibleFromParent(visible);
  if (!visible) CloseDrop();
}

void Combo::SetEnabled(bool enabled) {
  Box::SetEnabled(enabled);
  if (!enabled) CloseDrop();
}

void Combo::CloseDrop() {
  // Posted: this may run inside the pop-up's own message handling.
  if (drop_ && drop_->GetHWND() && !drop_->IsClosing()) ::PostMessageW(drop_->GetHWND(), WM_KILLFOCUS, 0, 0);
}

void Combo::OnDropClosed(CComboWnd* drop) {
  if (drop_ != drop) return;
  drop_ = nullptr;
  Invalidate();
}

void Combo::TakeListBack() {
  if (window_)
    window_->InitControl(list_.get(), this);
  else
    list_->SetWindow(nullptr, this, false);
}

// ---- CComboWnd ----

CComboWnd::CComboWnd(Combo* owner) : owner_(owner) {}

CComboWnd::~CComboWnd() {
  // The root never owns the list; make sure it does not hold it either.
  ReturnList();
}

LRESULT CComboWnd::OnCreate() {
  AttachNativeWindow(hwnd_);
  if (owner_ && owner_->GetWindow()) SetResourcePath(owner_->GetWindow()->GetResourcePath());
  auto root = std::make_unique<Box>();
  root->SetOwnsChildren(false);  // the list is the combo's
  AttachRoot(std::move(root));
  if (owner_) {
    ListBox* list = owner_->list_.get();
    if (Window* from = list->GetWindow()) from->ForgetSubtree(list);
    GetRoot()->Add(list);
    // Laid out now, so that the current item can be scrolled into view
    // before the first paint.
    RECT client;
    ::GetClientRect(hwnd_, &client);
    ArrangeRoot(client);
    const int current = list->GetCurSel();
    if (Control* item = current >= 0 ? list->GetItemAt(static_cast<size_t>(current)) : nullptr)
      list->EnsureVisible(item->GetPos());
  }
  // No fade-in: the list shows at once.
  first_layout_ = false;
  created_ = true;
  return 0;
}

void CComboWnd::ReturnList() {
  if (!owner_) return;
  Box* root = GetRoot();
  ListBox* list = owner_->list_.get();
  if (!root || root->GetItemIndex(list) < 0) return;
  if (Control* hover = GetHoverControl()) {
    SetHoverControl(nullptr);
    SendTo(hover, kEventMouseLeave, GetLastMousePos());
  }
  CancelPress();
  SetFocus(nullptr);
  if (!owner_ || root->GetItemIndex(list) < 0) return;  // an event handler did it
  root->Remove(list);  // only unlinked: the root does not own it
  ForgetSubtree(list);
  owner_->TakeListBack();
}

void CComboWnd::DetachOwner() {
  ReturnList();
  owner_ = nullptr;
  if (hwnd_ && !closing_) {
    closing_ = true;
    ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
  }
}

LRESULT CComboWnd::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  // These two are this window's own, before any filter or routing: they
  // bring the list back to the combo whatever happens to the rest.
  if (message == WM_KILLFOCUS) {
    if (!closing_ && reinterpret_cast<HWND>(wparam) != hwnd_) {
      closing_ = true;
      ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
      if (owner_) {
        // Moved with the keys and not picked: kept, without an event.
        const int moved = owner_->list_->GetCurSel();
        if (moved >= 0 && moved != owner_->cur_sel_) {
          owner_->cur_sel_ = moved;
          owner_->Invalidate();
        }
      }
      ReturnList();
    }
    return 0;
  }
  if (message == WM_CLOSE) {
    closing_ = true;
    ReturnList();
    if (owner_) owner_->SetFocus();
    return CallOriginalProc(message, wparam, lparam);
  }
  if (closing_) return CallOriginalProc(message, wparam, lparam);
  if (message == WM_CREATE) return OnCreate();
  return Window::HandleMessage(message, wparam, lparam);
}

void CComboWnd::OnFinalMessage(HWND /*hwnd*/) {
  ReturnList();
  Combo* owner = owner_;
  owner_ = nullptr;
  if (owner) owner->OnDropClosed(this);
  // A window that never came to be stays with whoever made it.
  if (!created_) return;
  DetachRoot().reset();
  delete this;
}

}  // namespace ui
