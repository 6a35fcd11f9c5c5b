// Control is what every element of a window's tree shares: the attribute
// vocabulary of the markup, the visual state model (normal, hot, pushed,
// disabled), visibility, enabling and focus, the six painting steps that
// subclasses refine, and the event system (handler lists, dispatch, the
// default reactions that bubble an event to the parent). Boxes own their
// children; a control is destroyed by its box. UI thread only.
#ifndef UI_CONTROL_CONTROL_H_
#define UI_CONTROL_CONTROL_H_

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/animation/animation_manager.h"
#include "ui/animation/fade_target.h"
#include "ui/control/event_args.h"
#include "ui/control/place_holder.h"
#include "ui/image/image.h"

namespace ui {

class IRenderContext;

enum ControlState { kStateNormal = 0, kStateHot = 1, kStatePushed = 2, kStateDisabled = 3 };
enum CursorType { kCursorArrow = 0, kCursorHand = 1, kCursorIBeam = 2 };

// Flags of FindControl.
enum FindFlags : UINT {
  kFindVisible = 1,
  kFindEnabled = 2,
  kFindHitTest = 4,
  kFindTopFirst = 8,
  kFindMeFirst = 0x80000000u,
};

// Answers a control for |control| (stopping the walk) or null (going on).
using FindVisitor = Control* (*)(Control* control, void* data);

// An owned object a control carries for its user.
class UserDataBase {
 public:
  virtual ~UserDataBase() = default;
};

// |handler| bound weakly to |owner|: once the owner is gone the handler is
// skipped and the event goes on (a weak callback alone would answer false
// and stop it).
EventHandler WeakHandler(base::SupportWeakCallback* owner, EventHandler handler);

class Control : public PlaceHolder, public FadeTarget {
 public:
  Control();
  ~Control() override;

  // What the builder's element table calls the class (for diagnostics and
  // the window host's hit test).
  virtual std::wstring GetType() const { return L"Control"; }
  // Buttons of either kind (and what derives from them) take a press in the
  // window's caption instead of letting it drag the window.
  virtual bool IsButton() const { return false; }

  // PlaceHolder
  SIZE MeasureSize(SIZE available) override;
  void OnPositionChanged() override;

  // The image that decides an auto size: background, else normal state.
  virtual Image* AutoSizeImage();
  virtual UINT CursorKind() const { return cursor_; }
  virtual std::wstring TooltipText() const;
  virtual std::string TooltipTextUtf8() const;
  virtual void SetTooltipText(const std::wstring& text);
  virtual void SetTooltipTextUtf8(const std::string& text);
  virtual void SetTooltipTextId(const std::wstring& id);
  virtual void SetTooltipTextIdUtf8(const std::string& id);
  virtual void SetTooltipWidth(int width);
  virtual int TooltipWidth() const { return tooltip_width_; }
  virtual bool WantsContextMenu() const { return context_menu_; }
  virtual void SetWantsContextMenu(bool used) { context_menu_ = used; }
  virtual std::wstring DataId() const { return data_id_; }
  virtual std::string DataIdUtf8() const;
  virtual void SetDataId(const std::wstring& id) { data_id_ = id; }
  virtual void SetDataIdUtf8(const std::string& id);
  virtual UserDataBase* UserData() const { return user_data_.get(); }
  virtual void SetUserData(std::unique_ptr<UserDataBase> data) { user_data_ = std::move(data); }
  virtual void SetVisibleWithFade(bool visible);
  virtual void SetVisibleFromParent(bool visible);
  virtual void SetVisible(bool visible);
  virtual bool IsEnabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  virtual bool IsMouseEnabled() const { return mouse_enabled_; }
  virtual void SetMouseEnabled(bool enabled) { mouse_enabled_ = enabled; }
  virtual bool IsKeyboardEnabled() const { return keyboard_enabled_; }
  virtual void SetKeyboardEnabled(bool enabled) { keyboard_enabled_ = enabled; }
  virtual bool IsFocused() const { return focused_; }
  virtual void SetFocus();
  // 1 marks a tab stop. Only what acts on keys is one (buttons and what
  // derives from them, text input): Tab must not stop on spacers, images
  // and containers, where the focus would vanish from the user's sight.
  virtual UINT ControlFlags() const { return 0; }
  // A focused control that takes Tab as input keeps it: the window then
  // does not move the focus (a rich edit with "wanttab").
  virtual bool WantsTab() const { return false; }
  virtual bool IsMouseHeld() const { return mouse_focused_; }
  virtual void SetMouseHeld(bool held) { mouse_focused_ = held; }
  virtual bool CanActivate() const { return IsVisible() && IsEnabled(); }
  virtual void Activate() {}
  virtual Control* FindControl(FindVisitor visitor, void* data, UINT flags);
  virtual RECT GetMargin() const { return margin_; }
  virtual void SetMargin(RECT margin, bool dpi_scale = true);
  virtual SIZE MeasureLabelText(SIZE /*available*/) { return SIZE{0, 0}; }
  virtual bool HitTestScrolled(POINT point) const;
  // Runs this control's handlers (for its own events) and the default
  // reaction. False when the event was stopped or the control destroyed.
  virtual bool DeliverEvent(EventArgs* args);
  virtual bool TracksHover() const;
  virtual void SetAttribute(const std::wstring& name, const std::wstring& value);
  virtual void Paint(IRenderContext* context, const RECT& dirty);
  virtual void PaintLayers(IRenderContext* context, const RECT& dirty);
  virtual void PaintChildren(IRenderContext* /*context*/, const RECT& /*dirty*/) {}
  virtual bool LoadBackgroundImage();
  virtual void ReleaseBackgroundImage();
  virtual void ReleaseAllImages();
  virtual void HandleMessage(EventArgs* args);
  virtual void MouseEnter(EventArgs* args);
  virtual void MouseLeave(EventArgs* args);
  virtual void ButtonDown(EventArgs* args);
  virtual void ButtonUp(EventArgs* args);
  // Ends a press without a click: the window lost the mouse or closes.
  virtual void CancelPress();
  virtual void PaintBackgroundColor(IRenderContext* context);
  virtual void PaintBackgroundImage(IRenderContext* context);
  virtual void PaintStateColor(IRenderContext* context);
  virtual void PaintStateImage(IRenderContext* context);
  virtual void PaintOwnText(IRenderContext* /*context*/) {}
  virtual void PaintFrame(IRenderContext* context);
  // How far the content of this control is scrolled (boxes that scroll).
  virtual SIZE GetScrollOffset() const { return SIZE{0, 0}; }

  // FadeTarget
  void SetFadeAlphaValue(int alpha) override;
  void SetFadeHotAlphaValue(int alpha) override;
  void SetFadeFixedWidth(int width) override;
  void SetFadeFixedHeight(int height) override;
  void SetFadeRenderOffset(int x, int y) override;
  POINT FadeRenderOffset() const override { return render_offset_; }
  SIZE FadeEstimateSize(SIZE available) override { return MeasureSize(available); }
  void SetFadeVisible(bool visible) override { SetVisible(visible); }

  // Handlers run in the order attached.
  void Subscribe(int type, EventHandler handler);
  void AddMarkupHandler(int type, EventHandler handler);
  // Builds an EventArgs from this control and delivers it here.
  bool SendEvent(int type, WPARAM wparam = 0, LPARAM lparam = 0, wchar_t key = 0);

  // Applies an attribute-list string pair by pair.
  void ApplyAttributeList(const std::wstring& list);

  // Draws one image slot; false when there is nothing to draw.
  bool DrawImage(IRenderContext* context, Image& image, const std::wstring& modifier = std::wstring(),
                 int fade = -1);

  // The control and every ancestor's visibility together.
  bool IsVisibleInTree() const;
  // Whether |control| is this control or below it.
  bool IsAncestorOf(const Control* control) const;
  // The fades of this control (players made on demand).
  bool HasFade(FadeKind kind) const;
  void SetFade(FadeKind kind, bool on);
  AnimationManager* Animations();

  ControlState GetState() const { return state_; }
  void SetState(ControlState state);
  int GetHotAlpha() const { return hot_alpha_; }
  int GetAlpha() const { return alpha_; }
  void SetAlpha(int alpha);
  void SetHotAlpha(int alpha);
  POINT GetRenderOffset() const { return render_offset_; }
  void SetRenderOffset(POINT offset);
  bool IsNoFocus() const { return no_focus_; }
  bool IsReceivePointer() const { return receive_pointer_; }
  void SetBkColor(const std::wstring& name);
  const std::wstring& GetBkColor() const { return bk_color_; }
  void SetStateColor(ControlState state, const std::wstring& name);
  const std::wstring& GetStateColor(ControlState state) const { return state_colors_[state]; }
  void SetBkImage(const std::wstring& descriptor);
  Image& BkImage() { return bk_image_; }
  Image& StateImage(ControlState state) { return state_images_[state]; }
  Image& ForeStateImage(ControlState state) { return fore_state_images_[state]; }
  void SetStateImage(ControlState state, const std::wstring& descriptor);
  void SetForeStateImage(ControlState state, const std::wstring& descriptor);
  int GetBorderSize() const { return border_size_; }
  RECT GetBorderSizes() const { return border_sides_; }
  const std::wstring& GetBorderColor() const { return border_color_; }
  SIZE GetBorderRound() const { return border_round_; }
  const std::wstring& GetTooltipTextId() const { return tooltip_text_id_; }
  // The window's resource folder, for relative image names.
  std::wstring ResourceFolder() const;

 protected:
  // Fires one handler list; false when a handler stopped it or |alive|
  // expired (then |*destroyed| is set).
  static bool RunHandlers(std::map<int, std::vector<EventHandler>>* lists, int type, EventArgs* args,
                          const std::weak_ptr<base::WeakFlag>& alive, bool* destroyed);
  // Programmatic then markup handlers of |type| and of "all".
  bool RunOwnHandlers(EventArgs* args, const std::weak_ptr<base::WeakFlag>& alive, bool* destroyed);
  void PassToParent(EventArgs* args);
  // A control state's colour with the fallbacks of the state model.
  std::wstring StateColorWithFallback(ControlState state) const;
  void DrawStateImages(IRenderContext* context, Image* images);
  // The frame timer of an animated background image.
  void StartImageTimer(int interval_ms);
  void StepImage();

  std::map<int, std::vector<EventHandler>> handlers_;
  std::map<int, std::vector<EventHandler>> markup_handlers_;
  std::unique_ptr<UserDataBase> user_data_;
  bool context_menu_ = false;
  bool enabled_ = true;
  bool mouse_enabled_ = true;
  bool keyboard_enabled_ = true;
  bool focused_ = false;
  bool mouse_focused_ = false;
  bool no_focus_ = false;
  bool clip_ = true;
  bool receive_pointer_ = true;
  bool in_resize_event_ = false;
  int border_size_ = 0;
  RECT border_sides_{0, 0, 0, 0};
  std::wstring border_color_;
  SIZE border_round_{0, 0};
  int tooltip_width_ = 300;
  int alpha_ = 255;
  int hot_alpha_ = 0;
  POINT render_offset_{0, 0};
  RECT margin_{0, 0, 0, 0};
  RECT paint_rect_{0, 0, 0, 0};
  UINT cursor_ = kCursorArrow;
  ControlState state_ = kStateNormal;
  std::wstring tooltip_text_;
  std::wstring tooltip_text_id_;
  std::wstring data_id_;
  std::wstring bk_color_;
  std::wstring state_colors_[4];
  Image state_images_[4];
  Image fore_state_images_[4];
  Image bk_image_;
  std::unique_ptr<AnimationManager> animations_;
  base::WeakCallbackFlag image_timer_;  // owner of the frame timer
  std::unique_ptr<IRenderContext> cache_surface_;
};

}  // namespace ui

#endif  // UI_CONTROL_CONTROL_H_
