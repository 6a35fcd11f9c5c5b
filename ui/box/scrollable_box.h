// ScrollableBox is a box whose content may be larger than the box: the
// layout places the children in the padded rectangle as usual, and what they
// take beyond it becomes the range of a vertical and a horizontal ScrollBar.
// Children keep their unscrolled rectangles; the scroll position is the
// offset (GetScrollOffset) by which they are painted, hit-tested and
// repainted. The bars are made on demand ("vscrollbar", "hscrollbar"), get
// the skin's classes "vscrollbar" and "hscrollbar", are owned by the box
// (not children of its list) and are painted on top of the content.
// Keys, the wheel, touch and the bars move the position; every move clamps
// to the range, repaints and sends "scrollchange" (50).
//
// Attributes: "vscrollbar", "hscrollbar" (make or drop a bar),
// "vscrollbarstyle", "hscrollbarstyle" (an attribute list for the bar, made
// first), "scrollbarpadding", "vscrollunit", "hscrollunit" (pixels per step,
// 30; 0 steps 20), "scrollbarfloat" (true: bars overlay the content; false:
// a bar with a range takes its room), "defaultdisplayscrollbar" (true: a bar
// that gets a range shows at once, even one that hides itself until the
// pointer comes, and goes when the pointer leaves) and "holdend" (a view at
// the end stays at the end when the content grows). UI thread only.
#ifndef UI_BOX_SCROLLABLE_BOX_H_
#define UI_BOX_SCROLLABLE_BOX_H_

#include <cstdint>
#include <memory>
#include <string>

#include "ui/animation/animation_player.h"
#include "ui/box/box.h"
#include "ui/control/scroll_bar.h"

namespace ui {

// How far (in pixels) above and below the view the children keep their
// background images decoded; farther ones release them while scrolling.
constexpr int kScrollImageKeepDistance = 730;

class ScrollableBox : public Box {
 public:
  explicit ScrollableBox(std::unique_ptr<Layout> layout = nullptr);
  ~ScrollableBox() override;

  std::wstring GetType() const override { return L"ScrollableBox"; }

  // PlaceHolder / Control / Box
  void SetWindow(Window* window) override;
  void SetWindow(Window* window, Control* parent, bool init) override;
  void SetPos(RECT rect) override;
  void SetVisible(bool visible) override;
  void SetVisibleFromParent(bool visible) override;
  Control* FindControl(FindVisitor visitor, void* data, UINT flags) override;
  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void HandleMessage(EventArgs* args) override;
  void MouseEnter(EventArgs* args) override;
  void MouseLeave(EventArgs* args) override;
  void PaintChildren(IRenderContext* context, const RECT& dirty) override;
  SIZE GetScrollOffset() const override;

  // The position as (x, y); (0, 0) on an axis without a bar.
  virtual SIZE GetScrollPos() const;
  virtual SIZE GetScrollRange() const;
  // Clamps each axis into its range (stopping a scroll animation that runs
  // into an end); when either moved, keeps the images near the view
  // decoded, repaints and sends "scrollchange".
  virtual void SetScrollPos(int64_t x, int64_t y);
  virtual void SetScrollPosY(int64_t y);
  virtual void SetScrollPosX(int64_t x);
  // One step up or down: |delta| pixels, or one unit when it is -1 or more
  // than a unit. Animated steps glide there and add up while gliding.
  virtual void LineUp(int delta = -1, bool animated = true);
  virtual void LineDown(int delta = -1, bool animated = true);
  virtual void LineLeft(int delta = -1);
  virtual void LineRight(int delta = -1);
  // One page: the box's height (width) less padding and the other bar.
  virtual void PageUp();
  virtual void PageDown();
  virtual void ScrollToTop();
  // To the end of the range; with |arrange| a pending layout is run first,
  // so that content added just now counts.
  virtual void ScrollToBottom(bool arrange = true);
  virtual void PageLeft();
  virtual void PageRight();
  virtual void ScrollToLeftEnd();
  virtual void ScrollToRightEnd();
  // Finger movements: the content follows the finger by |delta| pixels.
  virtual void TouchUp(int delta);
  virtual void TouchDown(int delta);
  // Makes the bars that are asked for and destroys the others.
  virtual void EnableScrollBar(bool vertical, bool horizontal);
  virtual ScrollBar* GetVerticalScrollBar() const { return vbar_.get(); }
  virtual ScrollBar* GetHorizontalScrollBar() const { return hbar_.get(); }
  // Places a bar along its edge of the box.
  virtual void SyncVerticalBar();
  virtual void SyncHorizontalBar();
  // What the layout used at the last placing (the content size).
  virtual SIZE GetContentSize() const { return content_size_; }

  int GetVerticalUnit() const { return vunit_; }
  int GetHorizontalUnit() const { return hunit_; }
  bool IsScrollBarFloat() const { return bar_float_; }
  bool IsHoldEnd() const { return hold_end_; }
  void SetHoldEnd(bool hold) { hold_end_ = hold; }
  // The player of the animated line steps (null before the first one).
  AnimationPlayer* ScrollAnimation() const { return scroll_animation_.get(); }
  void StopScrollAnimation();

 protected:
  // Lays the children out and sets the ranges; keeps the position (or the
  // end, with "holdend").
  void LayoutContent();
  // The visible part of the content area, in window coordinates: the
  // padded rectangle less non-floating bars that show.
  RECT ViewRect() const;
  int StepOf(int delta, bool vertical) const;
  void AnimateTo(int64_t target);
  void KeepImagesNearView();
  // After the position moved: images, repaint, "scrollchange".
  void ScrollMoved();
  void DropBar(std::unique_ptr<ScrollBar>* bar);
  void FadeBars(bool in);
  std::unique_ptr<ScrollBar> MakeBar(bool horizontal);

  std::unique_ptr<ScrollBar> vbar_;
  std::unique_ptr<ScrollBar> hbar_;
  int vunit_;
  int hunit_;
  RECT bar_padding_{0, 0, 0, 0};
  bool bar_float_ = true;
  bool default_display_bar_ = true;
  bool hold_end_ = false;
  SIZE content_size_{0, 0};
  bool touching_ = false;
  POINT touch_point_{0, 0};
  std::unique_ptr<AnimationPlayer> scroll_animation_;
  int64_t scroll_target_ = 0;
};

}  // namespace ui

#endif  // UI_BOX_SCROLLABLE_BOX_H_
