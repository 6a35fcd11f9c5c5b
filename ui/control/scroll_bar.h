// ScrollBar is a floating control that shows and moves one scroll position
// within 0..range: two optional buttons (up/left and down/right), the rail
// between them and the thumb on the rail. Its owner, when it has one, is the
// ScrollableBox it scrolls: the bar then asks the box to move (so the
// content, the other bar and the "scrollchange" event follow) and the box
// sets the bar's range and position back. A bar without an owner moves its
// own position and sends "scrollchange" itself.
//
// Geometry along the bar (vertical; a horizontal bar swaps the axes), for a
// bar of length H and thickness b: the rail is H less b for each shown
// button; the thumb is rail x H / (H + range) long, at least the minimum
// length and at most the rail, and sits (rail - thumb) x position / range
// into the rail. A bar no longer than its buttons shows two half-length
// buttons and no thumb.
//
// UI thread only: the 50 ms repeat timer of a held button or thumb runs on
// the framework timer, bound weakly to the bar.
#ifndef UI_CONTROL_SCROLL_BAR_H_
#define UI_CONTROL_SCROLL_BAR_H_

#include <cstdint>
#include <string>

#include "ui/control/control.h"

namespace ui {

class ScrollableBox;

class ScrollBar : public Control {
 public:
  // Interval of the repeat timer while a button of the mouse is held.
  static constexpr int kRepeatIntervalMs = 50;
  // Ticks a held button (or rail) waits before it repeats its step.
  static constexpr int kRepeatDelayTicks = 5;
  static constexpr int kDefaultThickness = 16;

  ScrollBar();
  ~ScrollBar() override;

  std::wstring GetType() const override { return L"ScrollBar"; }

  // PlaceHolder / Control
  void SetPos(RECT rect) override;
  void Invalidate() override;
  bool HitTestScrolled(POINT point) const override;
  // A bar of a box is placed by its range, not by whether it shows: its
  // showing and hiding (the fades on hover) repaint it and arrange nothing.
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void HandleMessage(EventArgs* args) override;
  void MouseEnter(EventArgs* args) override;
  void MouseLeave(EventArgs* args) override;
  void CancelPress() override;
  void PaintBackgroundImage(IRenderContext* context) override;
  void PaintStateImage(IRenderContext* context) override;
  void ReleaseAllImages() override;

  // A negative range becomes 0; the position is clamped into it. A range of
  // 0 hides the bar; a range that becomes non-zero shows it with its fades,
  // unless it hides itself automatically.
  void SetScrollRange(int64_t range);
  int64_t GetScrollRange() const { return range_; }
  void SetScrollPos(int64_t pos);
  int64_t GetScrollPos() const { return pos_; }
  bool IsHorizontal() const { return horizontal_; }
  // A horizontal bar is 16 high unless its height is fixed and stretches
  // along; a vertical one likewise with the width.
  void SetHorizontal(bool horizontal);
  ScrollableBox* GetOwner() const { return owner_; }
  void SetOwner(ScrollableBox* owner) { owner_ = owner; }
  int GetLineSize() const { return line_size_; }
  void SetLineSize(int size);  // DPI-scaled
  int GetThumbMinLength() const { return thumb_min_length_; }
  void SetThumbMinLength(int length);  // DPI-scaled
  bool IsShowButton1() const { return show_button1_; }
  bool IsShowButton2() const { return show_button2_; }
  void SetShowButton1(bool show);
  void SetShowButton2(bool show);
  bool IsAutoHide() const { return auto_hide_; }
  void SetAutoHide(bool auto_hide) { auto_hide_ = auto_hide; }
  // The fixed size across the bar (width when vertical), 16 when it has none.
  int Thickness() const;

  // The parts, in window coordinates, as last positioned.
  RECT GetButton1Rect() const { return button1_rect_; }
  RECT GetButton2Rect() const { return button2_rect_; }
  RECT GetThumbRect() const { return thumb_rect_; }
  RECT GetRailRect() const { return rail_rect_; }
  ControlState GetButton1State() const { return button1_state_; }
  ControlState GetButton2State() const { return button2_state_; }
  ControlState GetThumbState() const { return thumb_state_; }
  // The rail less the thumb: how far the thumb can travel. 0 when the thumb
  // fills the rail (or there is none), and then the thumb cannot be dragged.
  int64_t FreeRailLength() const;
  bool IsRepeating() const { return repeat_timer_.HasUsed(); }

  // What the repeat timer runs every 50 ms: applies the pending drag and,
  // once a held button or rail has waited, repeats its step.
  void OnRepeatTimer();

 private:
  enum Part { kPartNone, kPartButton1, kPartButton2, kPartThumb, kPartRailBefore, kPartRailAfter };

  void ComputeGeometry();
  Part PartAt(POINT point) const;
  // The coordinate of |point| along the bar.
  LONG Along(POINT point) const { return horizontal_ ? point.x : point.y; }
  // Steps through the owner, or on the bar's own position without one.
  void StepLine(bool forward);
  void StepPage(bool forward);
  void MoveTo(int64_t pos);
  void StartRepeat();
  void StopRepeat();
  // The scroll offsets of the ancestors that move this bar: an owner's own
  // scrolling does not, the bar sits on top of its content.
  SIZE AncestorScroll() const;
  void PaintPart(IRenderContext* context, Image* images, ControlState state, const RECT& part);
  // The image slot array of an attribute such as "thumbhotimage", with the
  // state it names; null when the name is not an image attribute.
  Image* PartImages(const std::wstring& name, ControlState* state);

  bool horizontal_ = false;
  ScrollableBox* owner_ = nullptr;
  int64_t range_ = 100;
  int64_t pos_ = 0;
  int line_size_;
  int thumb_min_length_;
  bool show_button1_ = true;
  bool show_button2_ = true;
  bool auto_hide_ = true;

  Image bk_images_[4];
  Image button1_images_[4];
  Image button2_images_[4];
  Image thumb_images_[4];
  Image rail_images_[4];

  RECT button1_rect_{0, 0, 0, 0};
  RECT button2_rect_{0, 0, 0, 0};
  RECT thumb_rect_{0, 0, 0, 0};
  RECT rail_rect_{0, 0, 0, 0};
  ControlState button1_state_ = kStateNormal;
  ControlState button2_state_ = kStateNormal;
  ControlState thumb_state_ = kStateNormal;

  Part held_ = kPartNone;
  POINT drag_start_{0, 0};
  int64_t drag_start_pos_ = 0;
  int64_t pending_offset_ = 0;
  bool has_pending_offset_ = false;
  POINT last_point_{0, 0};
  int repeat_ticks_ = 0;
  base::WeakCallbackFlag repeat_timer_;  // owner of the 50 ms timer
};

}  // namespace ui

#endif  // UI_CONTROL_SCROLL_BAR_H_
